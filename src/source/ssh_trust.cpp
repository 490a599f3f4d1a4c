#include "source/ssh_trust.h"

#include <mutex>
#include <set>

#include <QCryptographicHash>
#include <QFile>
#include <QMessageAuthenticationCode>

#include "platform/file_names.h"
#include "source/source_questions.h"
#include "source/ssh_watchdog.h"

namespace {

// Servers whose key the user refused: "entry fingerprint".
struct Refusals {
    std::mutex lock;
    std::set<QString> refused;
};

Refusals& Refused() {
    static Refusals refusals;
    return refusals;
}

// ssh's host patterns: * and ? stand for any text and any character.
bool GlobMatches(QStringView pattern, QStringView text) {
    if (pattern.isEmpty())
        return text.isEmpty();
    if (pattern[0] == u'*')
        return GlobMatches(pattern.sliced(1), text) ||
               (!text.isEmpty() && GlobMatches(pattern, text.sliced(1)));
    return !text.isEmpty() && (pattern[0] == u'?' || pattern[0] == text[0]) &&
           GlobMatches(pattern.sliced(1), text.sliced(1));
}

// "|1|salt|hash": the HMAC-SHA1 of the entry keyed with the salt.
bool HashedMatches(QByteArrayView field, const QString& entry) {
    const QList<QByteArray> parts = field.toByteArray().split('|');
    if (parts.size() != 4 || parts[1] != "1")
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts[2]);
    return QMessageAuthenticationCode::hash(entry.toUtf8(), salt, QCryptographicHash::Sha1) ==
           QByteArray::fromBase64(parts[3]);
}

bool HostsMatch(const QByteArray& hosts, const QString& entry) {
    if (hosts.startsWith("|1|"))
        return HashedMatches(hosts, entry);
    bool matched = false;
    for (const QByteArray& one : hosts.split(',')) {
        const bool negated = one.startsWith('!');
        const QString pattern = QString::fromUtf8(negated ? one.mid(1) : one).toLower();
        if (GlobMatches(pattern, entry.toLower())) {
            if (negated)
                return false;
            matched = true;
        }
    }
    return matched;
}

QString Fingerprint(ssh_key key) {
    unsigned char* hash = nullptr;
    size_t length = 0;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) != SSH_OK)
        return QStringLiteral("(no fingerprint)");
    char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    ssh_clean_pubkey_hash(&hash);
    const QString fingerprint = QString::fromLatin1(text);
    ssh_string_free_char(text);
    return fingerprint;
}

// "FILE, line N" for the recorded key, or the files when no line is found.
QString WhereRecorded(const QString& file, const QString& entry, const QString& keyType) {
    for (const QString& candidate : {file, QStringLiteral("/etc/ssh/ssh_known_hosts")}) {
        QFile known(candidate);
        if (!known.open(QIODevice::ReadOnly))
            continue;
        if (const int line = KnownHostsLine(known.readAll(), entry, keyType); line > 0)
            return QStringLiteral("%1, line %2").arg(candidate).arg(line);
    }
    return file;
}

} // namespace

QString SessionOption(ssh_session session, ssh_options_e option) {
    char* value = nullptr;
    if (ssh_options_get(session, option, &value) != SSH_OK)
        return QString();
    const QString text = DecodeFileName(value);
    ssh_string_free_char(value);
    return text;
}

int KnownHostsLine(const QByteArray& text, const QString& entry, const QString& keyType) {
    int first = 0;
    int number = 0;
    for (const QByteArray& raw : text.split('\n')) {
        ++number;
        QList<QByteArray> fields = raw.simplified().split(' ');
        if (fields.isEmpty() || fields[0].isEmpty() || fields[0].startsWith('#'))
            continue;
        if (fields[0].startsWith('@')) {
            if (fields[0] != "@cert-authority")
                continue; // revoked keys are no record of the server's key
            fields.removeFirst();
        }
        if (fields.size() < 2 || !HostsMatch(fields[0], entry))
            continue;
        if (QString::fromLatin1(fields[1]) == keyType)
            return number;
        if (first == 0)
            first = number;
    }
    return first;
}

bool TrustServer(ssh_session session, unsigned port, const QString& shown, SourceCancel cancel,
                 QString* error) {
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session, &key) != SSH_OK) {
        *error = QStringLiteral("No host key from %1").arg(shown);
        return false;
    }
    const QString fingerprint = Fingerprint(key);
    const QString keyType = QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key)));
    ssh_key_free(key);
    const QString host = SessionOption(session, SSH_OPTIONS_HOST);
    const QString entry = port == 22 ? host : QStringLiteral("[%1]:%2").arg(host).arg(port);
    const QString file = SessionOption(session, SSH_OPTIONS_KNOWNHOSTS);

    switch (ssh_session_is_known_server(session)) {
    case SSH_KNOWN_HOSTS_OK:
        return true;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        *error =
            QStringLiteral("The host key of %1 is not the one recorded for it (%2 key %3): refused. If the "
                           "server's key was changed on purpose, remove the old key from %4")
                .arg(shown, keyType, fingerprint, WhereRecorded(file, entry, keyType));
        return false;
    case SSH_KNOWN_HOSTS_NOT_FOUND:
    case SSH_KNOWN_HOSTS_UNKNOWN:
        break;
    case SSH_KNOWN_HOSTS_ERROR:
        *error = QStringLiteral("Cannot check the host key of %1: %2")
                     .arg(shown, QString::fromUtf8(ssh_get_error(session)));
        return false;
    }
    const QString refusal = entry + u' ' + fingerprint;
    {
        std::lock_guard guard(Refused().lock);
        if (Refused().refused.count(refusal)) {
            *error = QStringLiteral("The host key of %1 (%2) was not accepted").arg(shown, fingerprint);
            return false;
        }
    }
    const QString question =
        QStringLiteral("The authenticity of host %1 can't be established.\n%2 key fingerprint is %3.\n"
                       "Trust this host and add its key to %4?")
            .arg(entry, keyType, fingerprint, file);
    if (!AskSourceConfirm(question, cancel)) {
        if (IsCancelled(cancel)) {
            *error = QStringLiteral("Stopped while asking about %1").arg(shown);
        } else {
            std::lock_guard guard(Refused().lock);
            Refused().refused.insert(refusal);
            *error = QStringLiteral("The host key of %1 (%2) was not accepted").arg(shown, fingerprint);
        }
        return false;
    }
    if (ssh_session_update_known_hosts(session) != SSH_OK) {
        *error = QStringLiteral("Cannot add the host key of %1 to %2: %3")
                     .arg(shown, file, QString::fromUtf8(ssh_get_error(session)));
        return false;
    }
    return true;
}
