#pragma once
// Journal files written as a fleet's collector writes them: journal-export text piped into the real
// systemd-journal-remote, which creates the file or appends to it. A test that cannot run it fails
// with the reason.
#include <initializer_list>
#include <utility>

#include <QByteArray>
#include <QString>

// Entries are 2026-12-09 18:02:40 UTC plus `second` seconds, on boot `boot`.
class JournalExport {
public:
    using Field = std::pair<const char*, QByteArray>;
    JournalExport& Entry(int second, std::initializer_list<Field> fields, const char* boot = kBootA);
    // SYSLOG_IDENTIFIER, _PID, _SYSTEMD_UNIT and MESSAGE on host "web1".
    JournalExport& Line(int second, const char* identifier, const char* unit, const QByteArray& message);
    const QByteArray& Text() const { return text_; }

    static constexpr const char* kBootA = "0123456789abcdef0123456789abcdef";
    static constexpr quint64 kFirstUs = 1796839360000000; // 2026-12-09T18:02:40Z

private:
    QByteArray text_;
};

// Appends the entries to journalFile (a name ending in ".journal"); false with *error.
bool WriteJournal(const QString& journalFile, const JournalExport& entries, QString* error);
