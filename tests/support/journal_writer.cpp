#include "support/journal_writer.h"

#include <QProcess>
#include <QtEndian>

namespace {

const QString kJournalRemote = QStringLiteral("/lib/systemd/systemd-journal-remote");

} // namespace

// A value with a line feed or another control byte goes in the binary form: the name, a line
// feed, the length as 64-bit little-endian, the bytes and a line feed.
JournalExport& JournalExport::Entry(int second, std::initializer_list<Field> fields, const char* boot) {
    const quint64 at = kFirstUs + quint64(second) * 1000000;
    text_ += "__REALTIME_TIMESTAMP=" + QByteArray::number(at) +
             "\n__MONOTONIC_TIMESTAMP=" + QByteArray::number(at / 1000) + "\n_BOOT_ID=" + boot + '\n';
    for (const auto& [name, value] : fields) {
        const bool binary = std::any_of(value.begin(), value.end(), [](char c) { return quint8(c) < 32; });
        if (!binary) {
            text_ += QByteArray(name) + '=' + value + '\n';
            continue;
        }
        char length[8];
        qToLittleEndian(quint64(value.size()), length);
        text_ += QByteArray(name) + '\n' + QByteArray(length, 8) + value + '\n';
    }
    text_ += '\n';
    return *this;
}

JournalExport& JournalExport::Line(int second, const char* identifier, const char* unit,
                                   const QByteArray& message) {
    return Entry(second, {{"_HOSTNAME", "web1"},
                          {"SYSLOG_IDENTIFIER", identifier},
                          {"_PID", QByteArray::number(100 + second)},
                          {"_SYSTEMD_UNIT", unit},
                          {"MESSAGE", message}});
}

bool WriteJournal(const QString& journalFile, const JournalExport& entries, QString* error) {
    QProcess remote;
    remote.start(kJournalRemote, {QStringLiteral("--output=") + journalFile, QStringLiteral("-")});
    if (!remote.waitForStarted(30000)) {
        *error = kJournalRemote + QStringLiteral(" cannot run (package systemd-journal-remote): ") +
                 remote.errorString();
        return false;
    }
    remote.write(entries.Text());
    remote.closeWriteChannel();
    if (!remote.waitForFinished(60000) || remote.exitStatus() != QProcess::NormalExit ||
        remote.exitCode() != 0) {
        *error = QStringLiteral("systemd-journal-remote failed: ") +
                 QString::fromLocal8Bit(remote.readAllStandardError());
        return false;
    }
    return true;
}
