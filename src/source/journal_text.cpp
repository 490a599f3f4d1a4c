#include "source/journal_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include "platform/file_names.h"
#include "source/journal_render.h"

namespace {

constexpr qsizetype kFlushBytes = 1 << 20;
constexpr int kCancelLookEvery = 1024; // entries

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The text's own file, unnamed from the start: in the user's cache folder (on a disk, where /tmp
// may be memory), else in the temporary folder.
int OpenStore(QString* error) {
    QStringList folders;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty() && QDir().mkpath(cache + QStringLiteral("/kovra")))
        folders << cache + QStringLiteral("/kovra");
    folders << QDir::tempPath();
    int last = 0;
    for (const QString& folder : folders) {
        const QByteArray native = EncodeFileName(folder);
        int fd = ::open(native.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            QByteArray pattern = native + "/kovra-journal-XXXXXX";
            fd = ::mkostemp(pattern.data(), O_CLOEXEC);
            if (fd >= 0)
                ::unlink(pattern.constData());
        }
        if (fd >= 0)
            return fd;
        last = errno;
    }
    *error = QStringLiteral("Cannot keep the journal's text: ") + ErrnoText(last);
    return -1;
}

void AddMatches(sd_journal* journal, const JournalName& name) {
    for (size_t g = 0; g < name.groups.size(); ++g) {
        if (g > 0)
            sd_journal_add_disjunction(journal);
        for (const QByteArray& match : name.groups[g])
            sd_journal_add_match(journal, match.constData(), size_t(match.size()));
    }
}

} // namespace

sd_journal* OpenJournal(const JournalName& name, bool withMatches, QString* error) {
    sd_journal* journal = nullptr;
    const int r = name.folder.isEmpty()
                      ? sd_journal_open(&journal, SD_JOURNAL_LOCAL_ONLY)
                      : sd_journal_open_directory(&journal, EncodeFileName(name.folder).constData(), 0);
    if (r < 0) {
        *error = QStringLiteral("Cannot open the journal") +
                 (name.folder.isEmpty() ? QString() : QStringLiteral(" in ") + name.folder) +
                 QStringLiteral(": ") + ErrnoText(-r);
        return nullptr;
    }
    if (withMatches)
        AddMatches(journal, name);
    return journal;
}

namespace {

bool InGroup(const char* group) {
    const struct group* entry = ::getgrnam(group);
    if (!entry)
        return false;
    if (::getegid() == entry->gr_gid)
        return true;
    gid_t groups[256];
    const int n = ::getgroups(256, groups);
    for (int i = 0; i < n; ++i) {
        if (groups[i] == entry->gr_gid)
            return true;
    }
    return false;
}

QString AccessNotice(const JournalName& name) {
    if (!name.folder.isEmpty() || ::geteuid() == 0 || InGroup("systemd-journal") || InGroup("adm"))
        return QString();
    return QStringLiteral("Only your own entries: system entries need membership of the "
                          "systemd-journal or adm group");
}

bool HoldsJournalFiles(const QString& folder) {
    const QStringList patterns{QStringLiteral("*.journal"), QStringLiteral("*.journal~")};
    QDir dir(folder);
    if (!dir.entryList(patterns, QDir::Files).isEmpty())
        return true;
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!QDir(dir.filePath(sub)).entryList(patterns, QDir::Files).isEmpty())
            return true;
    }
    return false;
}

} // namespace

// Copies of the fields a line is made of: the journal's pointers last only until its next call.
struct JournalText::Fields {
    std::string message, hostname, identifier, comm, pid, syslogPid, sourceRealtime, priority;
};

std::unique_ptr<JournalText> JournalText::Create(const JournalName& name, QString* error) {
    sd_journal* journal = OpenJournal(name, true, error);
    if (!journal)
        return nullptr;
    const int store = OpenStore(error);
    if (store < 0) {
        sd_journal_close(journal);
        return nullptr;
    }
    // The descriptor makes the journal look for files that come and go (rotation, vacuuming).
    sd_journal_get_fd(journal);
    return std::unique_ptr<JournalText>(new JournalText(name, journal, store));
}

JournalText::JournalText(const JournalName& name, sd_journal* journal, int store)
    : name_(name), journal_(journal), store_(store), accessNotice_(AccessNotice(name)),
      fields_(std::make_unique<Fields>()) {
    struct stat info {};
    if (::fstat(store_, &info) == 0) {
        identity_.device = info.st_dev;
        identity_.inode = info.st_ino;
    }
    // Until an entry comes, the age shown is that of the first look.
    newestUs_ = QDateTime::currentMSecsSinceEpoch() * 1000;
    sd_journal_seek_head(journal_);
}

JournalText::~JournalText() {
    sd_journal_close(journal_);
    ::close(store_);
}

bool JournalText::Refresh(SourceCancel cancel, FileStamp* stamp, QString* error) {
    std::lock_guard guard(lock_);
    if (!broken_.isEmpty()) {
        *error = broken_;
        return false;
    }
    sd_journal_process(journal_);
    QByteArray pending;
    int r = 0;
    for (int count = 1; (r = sd_journal_next(journal_)) > 0; ++count) {
        RenderCurrent(pending);
        if (pending.size() >= kFlushBytes && !Flush(pending, error))
            return false;
        if (count % kCancelLookEvery == 0 && cancel && cancel->load())
            break;
    }
    if (!Flush(pending, error))
        return false;
    if (r < 0) {
        *error = QStringLiteral("Cannot read the journal: ") + ErrnoText(-r);
        return false;
    }
    notice_ = size_.load() == 0 ? EmptyNotice() : QString();
    *stamp = identity_;
    stamp->size = size_.load();
    stamp->modifiedNs = newestUs_ * 1000;
    return true;
}

void JournalText::RenderCurrent(QByteArray& out) {
    sd_id128_t boot;
    uint64_t monotonic = 0;
    if (sd_journal_get_monotonic_usec(journal_, &monotonic, &boot) >= 0) {
        if (hasBoot_ && std::memcmp(lastBoot_, boot.bytes, sizeof lastBoot_) != 0) {
            char hex[SD_ID128_STRING_MAX];
            RenderBootLine(sd_id128_to_string(boot, hex), out);
        }
        std::memcpy(lastBoot_, boot.bytes, sizeof lastBoot_);
        hasBoot_ = true;
    }
    struct Wanted {
        const char* prefix;
        size_t length;
        std::string* into;
        bool seen;
    };
    Fields& f = *fields_;
    Wanted wanted[] = {{"MESSAGE=", 8, &f.message, false},
                       {"_HOSTNAME=", 10, &f.hostname, false},
                       {"SYSLOG_IDENTIFIER=", 18, &f.identifier, false},
                       {"_COMM=", 6, &f.comm, false},
                       {"_PID=", 5, &f.pid, false},
                       {"SYSLOG_PID=", 11, &f.syslogPid, false},
                       {"_SOURCE_REALTIME_TIMESTAMP=", 27, &f.sourceRealtime, false},
                       {"PRIORITY=", 9, &f.priority, false}};
    const void* data = nullptr;
    size_t length = 0;
    sd_journal_restart_data(journal_);
    while (sd_journal_enumerate_available_data(journal_, &data, &length) > 0) {
        const char* text = static_cast<const char*>(data);
        for (Wanted& w : wanted) {
            if (!w.seen && length >= w.length && std::memcmp(text, w.prefix, w.length) == 0) {
                w.into->assign(text + w.length, length - w.length);
                w.seen = true;
                break;
            }
        }
    }
    const auto view = [&](int i) {
        return wanted[i].seen ? QByteArrayView(wanted[i].into->data(), qsizetype(wanted[i].into->size()))
                              : QByteArrayView();
    };
    uint64_t realtime = 0;
    sd_journal_get_realtime_usec(journal_, &realtime);
    const qsizetype start = out.size();
    RenderJournalEntry(JournalEntryFields{view(0), view(1), view(2), view(3), view(4), view(5), view(6)},
                       realtime, out);
    levels_.Add(QByteArrayView(out).sliced(start), view(7));
    if (wanted[0].seen)
        newestUs_ = qint64(realtime);
}

bool JournalText::Flush(QByteArray& pending, QString* error) {
    qsizetype done = 0;
    while (done < pending.size()) {
        const ssize_t n = ::pwrite(store_, pending.constData() + done, size_t(pending.size() - done),
                                   off_t(size_.load() + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            broken_ = QStringLiteral("Cannot keep the journal's text: ") + ErrnoText(n < 0 ? errno : ENOSPC);
            *error = broken_;
            return false;
        }
        done += n;
    }
    size_.fetch_add(done);
    pending.resize(0);
    return true;
}

qint64 JournalText::ReadAt(qint64 position, char* data, qint64 n, QString* error) const {
    const qint64 end = std::min(position + n, size_.load());
    qint64 total = 0;
    while (position + total < end) {
        const ssize_t got =
            ::pread(store_, data + total, size_t(end - position - total), off_t(position + total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *error = ErrnoText(errno);
            return -1;
        }
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

// Asked only while nothing was rendered, so the journal can go back to its head afterwards.
QString JournalText::EmptyNotice() {
    bool anyEntry = false;
    if (!name_.groups.empty()) {
        sd_journal_flush_matches(journal_);
        sd_journal_seek_head(journal_);
        anyEntry = sd_journal_next(journal_) > 0;
        AddMatches(journal_, name_);
        sd_journal_seek_head(journal_);
    }
    if (anyEntry)
        return QStringLiteral("No entry matches ") + name_.matchText;
    if (!name_.folder.isEmpty() && !HoldsJournalFiles(name_.folder))
        return QStringLiteral("No journal files in ") + name_.folder;
    return QStringLiteral("No journal entries");
}

// The empty cases are said while they last; that only the user's own entries show, once.
QString JournalText::Notice() {
    std::lock_guard guard(lock_);
    QString notice = notice_;
    if (!std::exchange(accessTold_, true) && !accessNotice_.isEmpty())
        notice += (notice.isEmpty() ? QString() : QStringLiteral(" - ")) + accessNotice_;
    return notice;
}
