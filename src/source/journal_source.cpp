#include "source/journal_source.h"

#include <mutex>
#include <utility>

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QSocketNotifier>

#include <systemd/sd-journal.h>

#include "source/journal_name.h"
#include "source/journal_text.h"

namespace {

// A window follows one name: the texts of the last two names asked for are kept.
constexpr size_t kTextsKept = 2;

class JournalTexts {
public:
    // The text of name, made when it is not kept yet; null with *error.
    std::shared_ptr<JournalText> Get(const QString& name, const JournalName& parsed, QString* error) {
        std::lock_guard guard(lock_);
        for (auto it = kept_.begin(); it != kept_.end(); ++it) {
            if (it->first == name) {
                std::rotate(kept_.begin(), it, it + 1);
                return kept_.front().second;
            }
        }
        std::shared_ptr<JournalText> text = JournalText::Create(parsed, error);
        if (!text)
            return nullptr;
        kept_.insert(kept_.begin(), {name, text});
        if (kept_.size() > kTextsKept)
            kept_.pop_back();
        return text;
    }

    // The text of name when it is kept; never makes one.
    std::shared_ptr<JournalText> Find(const QString& name) {
        std::lock_guard guard(lock_);
        for (const auto& kept : kept_) {
            if (kept.first == name)
                return kept.second;
        }
        return nullptr;
    }

    // A folder that went: the text made from it goes too, and one that comes back starts anew.
    void Forget(const QString& name) {
        std::lock_guard guard(lock_);
        std::erase_if(kept_, [&](const auto& kept) { return kept.first == name; });
    }

private:
    std::mutex lock_;
    std::vector<std::pair<QString, std::shared_ptr<JournalText>>> kept_;
};

JournalTexts& Texts() {
    static JournalTexts texts;
    return texts;
}

// The text of name brought up to date; null with facts->error, or with facts->exists false.
std::shared_ptr<JournalText> Refreshed(const QString& name, SourceCancel cancel, SourceFacts* facts,
                                       FileStamp* stamp) {
    const std::optional<JournalName> parsed = ParseJournalName(name, &facts->error);
    if (!parsed)
        return nullptr;
    if (!parsed->folder.isEmpty() && !QFileInfo(parsed->folder).isDir()) {
        Texts().Forget(name);
        return nullptr;
    }
    std::shared_ptr<JournalText> text = Texts().Get(name, *parsed, &facts->error);
    if (!text || !text->Refresh(cancel, stamp, &facts->error))
        return nullptr;
    facts->exists = facts->isFile = true;
    facts->size = stamp->size;
    facts->lastModified = QDateTime::fromMSecsSinceEpoch(stamp->modifiedNs / 1000000);
    facts->notice = text->Notice();
    return text;
}

// The journal's descriptor wakes the window thread; what it says is taken in at once, and any
// entry appended, or file added or removed, is a change.
class JournalWatch final : public QObject, public SourceWatch {
public:
    JournalWatch(sd_journal* journal, int fd, std::function<void()> changed)
        : journal_(journal), changed_(std::move(changed)),
          notifier_(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
            if (sd_journal_process(journal_) > SD_JOURNAL_NOP)
                changed_();
        });
    }
    ~JournalWatch() override {
        notifier_.reset();
        sd_journal_close(journal_);
    }
    JournalWatch(const JournalWatch&) = delete;
    JournalWatch& operator=(const JournalWatch&) = delete;

    void Renew() override {}

private:
    sd_journal* journal_;
    std::function<void()> changed_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace

SourceTraits JournalKind::Traits() const {
    return SourceTraits{false, false, QStringLiteral("Journal")};
}

SourceFacts JournalKind::Facts(const QString& name, SourceCancel cancel) const {
    SourceFacts facts;
    FileStamp stamp;
    Refreshed(name, cancel, &facts, &stamp);
    return facts;
}

std::unique_ptr<SourceReader> JournalKind::Open(const QString& name, QString* error,
                                                SourceCancel cancel) const {
    SourceFacts facts;
    FileStamp stamp;
    std::shared_ptr<JournalText> text = Refreshed(name, cancel, &facts, &stamp);
    if (!text) {
        *error = facts.error.isEmpty() ? QStringLiteral("No such file or directory") : facts.error;
        return nullptr;
    }
    return std::make_unique<StampedReader<std::shared_ptr<JournalText>>>(std::move(text), stamp);
}

std::optional<std::vector<FolderEntry>> JournalKind::ListFiles(const QString&, SourceCancel) const {
    return std::nullopt;
}

std::unique_ptr<SourceWatch> JournalKind::Watch(const QString& name, std::function<void()> changed) const {
    QString error;
    const std::optional<JournalName> parsed = ParseJournalName(name, &error);
    sd_journal* journal = parsed ? OpenJournal(*parsed, false, &error) : nullptr;
    if (!journal)
        return nullptr;
    const int fd = sd_journal_get_fd(journal);
    if (fd < 0) {
        sd_journal_close(journal);
        return nullptr;
    }
    return std::make_unique<JournalWatch>(journal, fd, std::move(changed));
}

// The folder's path gives way to its last part: "journal:remote:_SYSTEMD_UNIT=ssh.service".
QString JournalKind::ShortName(const QString& name) const {
    const std::optional<JournalName> parsed = ParseJournalName(name, nullptr);
    if (!parsed || parsed->folder.isEmpty())
        return name;
    const QString folder = QFileInfo(QDir::cleanPath(parsed->folder)).fileName();
    return QString::fromUtf16(kJournalPrefix) + folder +
           (parsed->matchText.isEmpty() ? QString() : QLatin1Char(':') + parsed->matchText);
}

// Looked up at each call: the text is made by the passes and may go with its folder.
LineLevelLookup JournalKind::LineLevels(const QString& name) const {
    return [name](QStringView line) {
        const std::shared_ptr<JournalText> text = Texts().Find(name);
        return text ? text->Levels().Of(line) : LineLevel::Plain;
    };
}
