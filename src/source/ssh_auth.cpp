#include "source/ssh_auth.h"

#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "source/source_questions.h"
#include "source/ssh_link.h"

namespace {

// Secrets typed, by "kind target detail"; questions the person refused.
struct Secrets {
    std::mutex lock;
    std::map<QString, QString> typed;
    std::set<QString> refused;
};

Secrets& Memory() {
    static Secrets secrets;
    return secrets;
}

// The secret kept for key, else asked; nullopt when refused (now or before) or nobody answers.
std::optional<QString> SecretFor(const QString& key, const QString& prompt, SourceCancel cancel) {
    {
        std::lock_guard guard(Memory().lock);
        if (const auto kept = Memory().typed.find(key); kept != Memory().typed.end())
            return kept->second;
        if (Memory().refused.count(key))
            return std::nullopt;
    }
    std::optional<QString> answer = AskSourceSecret(prompt, cancel);
    if (IsCancelled(cancel))
        return std::nullopt; // not the person's refusal: asked again next time
    std::lock_guard guard(Memory().lock);
    if (answer)
        Memory().typed[key] = *answer;
    else
        Memory().refused.insert(key);
    return answer;
}

void Forget(const QString& key) {
    std::lock_guard guard(Memory().lock);
    Memory().typed.erase(key);
}

struct AuthContext {
    QString shown;
    SourceCancel cancel;
    StepLimit* limit = nullptr;
    int keys = 0; // passphrases asked for in this login: the keys are tried in the same order
    std::set<QString> used;
};

// libssh's question for a key's passphrase, while it loads the key: the request's time limit is
// held while the person types.
int AskPassphrase(const char*, char* buf, size_t len, int, int, void* userdata) {
    auto& context = *static_cast<AuthContext*>(userdata);
    const QString key = QStringLiteral("passphrase %1 %2").arg(context.shown).arg(++context.keys);
    context.limit->Hold();
    const std::optional<QString> secret =
        SecretFor(key, QStringLiteral("Passphrase of key %1 for %2:").arg(context.keys).arg(context.shown),
                  context.cancel);
    context.limit->Restart();
    if (!secret)
        return -1;
    context.used.insert(key);
    const QByteArray bytes = secret->toUtf8();
    if (size_t(bytes.size()) >= len)
        return -1;
    std::memcpy(buf, bytes.constData(), size_t(bytes.size()) + 1);
    return 0;
}

QString MethodNames(int methods) {
    QStringList names;
    if (methods & SSH_AUTH_METHOD_PUBLICKEY)
        names += QStringLiteral("publickey");
    if (methods & SSH_AUTH_METHOD_PASSWORD)
        names += QStringLiteral("password");
    if (methods & SSH_AUTH_METHOD_INTERACTIVE)
        names += QStringLiteral("keyboard-interactive");
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

int TryPassword(SshLink& link, AuthContext& context, StepLimit& limit) {
    const QString key = QStringLiteral("password ") + context.shown;
    limit.Hold();
    const std::optional<QString> password =
        SecretFor(key, QStringLiteral("Password for %1:").arg(context.shown), context.cancel);
    limit.Restart();
    if (!password)
        return SSH_AUTH_DENIED;
    const int rc = ssh_userauth_password(link.session, nullptr, password->toUtf8().constData());
    if (rc == SSH_AUTH_DENIED)
        Forget(key);
    return rc;
}

// The server's own prompts (PAM's "Password:", a one-time code...).
int TryInteractive(SshLink& link, AuthContext& context, StepLimit& limit) {
    int rc = ssh_userauth_kbdint(link.session, nullptr, nullptr);
    std::set<QString> asked;
    while (rc == SSH_AUTH_INFO) {
        const int prompts = ssh_userauth_kbdint_getnprompts(link.session);
        for (int i = 0; i < prompts; ++i) {
            const QString prompt =
                QString::fromUtf8(ssh_userauth_kbdint_getprompt(link.session, unsigned(i), nullptr));
            const QString key = QStringLiteral("prompt %1 %2").arg(context.shown, prompt);
            limit.Hold();
            const std::optional<QString> answer = SecretFor(
                key, QStringLiteral("%1 (%2)").arg(prompt.trimmed(), context.shown), context.cancel);
            limit.Restart();
            if (!answer)
                return SSH_AUTH_DENIED;
            asked.insert(key);
            ssh_userauth_kbdint_setanswer(link.session, unsigned(i), answer->toUtf8().constData());
        }
        rc = ssh_userauth_kbdint(link.session, nullptr, nullptr);
    }
    if (rc == SSH_AUTH_DENIED)
        for (const QString& key : asked)
            Forget(key);
    return rc;
}

} // namespace

bool Authenticate(SshLink& link, const QString& shown, SourceCancel cancel, QString* error) {
    StepLimit limit(link.fd, cancel, kRequestLimit);
    AuthContext context{shown, cancel, &limit, 0, {}};
    ssh_callbacks_init(&link.callbacks);
    link.callbacks.userdata = &context;
    link.callbacks.auth_function = AskPassphrase;
    ssh_set_callbacks(link.session, &link.callbacks);

    int rc = ssh_userauth_none(link.session, nullptr);
    const int methods = ssh_userauth_list(link.session, nullptr);
    if (rc != SSH_AUTH_SUCCESS && rc != SSH_AUTH_ERROR && (methods & SSH_AUTH_METHOD_PUBLICKEY)) {
        rc = ssh_userauth_publickey_auto(link.session, nullptr, nullptr);
        if (rc == SSH_AUTH_DENIED)
            for (const QString& key : context.used)
                Forget(key);
    }
    for (int tries = 0; tries < 3 && rc == SSH_AUTH_DENIED && (methods & SSH_AUTH_METHOD_PASSWORD); ++tries)
        rc = TryPassword(link, context, limit);
    if (rc == SSH_AUTH_DENIED && (methods & SSH_AUTH_METHOD_INTERACTIVE))
        rc = TryInteractive(link, context, limit);
    link.callbacks.auth_function = nullptr;
    link.callbacks.userdata = nullptr;
    if (rc == SSH_AUTH_SUCCESS)
        return true;
    link.broken = true;
    const StepCut cut = limit.Cut();
    if (cut != StepCut::None || rc == SSH_AUTH_ERROR)
        *error = StepFailure(link, cut, shown);
    else
        *error = QStringLiteral("Permission denied for %1 (the server accepts: %2)")
                     .arg(shown, MethodNames(methods));
    return false;
}
