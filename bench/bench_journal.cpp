// The journal as a source, on journal files written by the real systemd-journal-remote, printed as
// tab-separated rows against `journalctl -o short-iso` on the same files in the same run:
// rendering the whole journal (the first look at a name), following it (rendering a batch of new
// entries against journalctl showing the same last entries), and a 50 KiB pass over the journal
// against the same pass over a file holding the same bytes. The rendered text is checked to be
// journalctl's, byte for byte.
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include "bench_stats.h"
#include "pass_runner.h"
#include "source/journal_name.h"
#include "source/journal_text.h"

namespace {

constexpr int kEntries = 200000;
constexpr int kBatch = 10000;
constexpr quint64 kFirstUs = 1796839360000000;

QByteArray ExportText(int from, int count) {
    static const char* const kIdentifiers[] = {"sshd", "cron", "kernel", "nginx", "postfix/smtpd"};
    QByteArray text;
    for (int i = from; i < from + count; ++i) {
        const quint64 at = kFirstUs + quint64(i) * 100000;
        text += "__REALTIME_TIMESTAMP=" + QByteArray::number(at) +
                "\n__MONOTONIC_TIMESTAMP=" + QByteArray::number(at / 1000) +
                "\n_BOOT_ID=0123456789abcdef0123456789abcdef\n_HOSTNAME=web" + QByteArray::number(i % 7) +
                "\nSYSLOG_IDENTIFIER=" + kIdentifiers[i % 5] +
                "\n_PID=" + QByteArray::number(1000 + i % 900) + "\n_SYSTEMD_UNIT=unit" +
                QByteArray::number(i % 11) + ".service\nPRIORITY=6\n";
        const QByteArray message = "request " + QByteArray::number(i) + " from 10.0." +
                                   QByteArray::number(i % 250) + ".7 served in " +
                                   QByteArray::number(i % 97) + " ms";
        if (i % 50 == 0) { // now and then a message of three lines, in the binary form
            const QByteArray lines = message + "\n  at frame one\n  at frame two";
            char length[8];
            for (int b = 0; b < 8; ++b)
                length[b] = char((quint64(lines.size()) >> (8 * b)) & 0xFF);
            text += "MESSAGE\n" + QByteArray(length, 8) + lines + "\n\n";
        } else {
            text += "MESSAGE=" + message + "\n\n";
        }
    }
    return text;
}

void WriteJournal(const QString& file, const QByteArray& text) {
    QProcess remote;
    remote.start("/lib/systemd/systemd-journal-remote", {"--output=" + file, "-"});
    remote.write(text);
    remote.closeWriteChannel();
    if (!remote.waitForFinished(-1) || remote.exitCode() != 0) {
        std::fprintf(stderr, "bench: systemd-journal-remote failed: %s\n",
                     remote.readAllStandardError().constData());
        std::exit(2);
    }
}

// journalctl's output (the reference only: the program never runs it), and its seconds.
QByteArray Journalctl(const QString& folder, const QStringList& more, double* seconds) {
    QProcess journalctl;
    QElapsedTimer timer;
    timer.start();
    journalctl.start("journalctl", QStringList{"-D", folder, "-o", "short-iso", "--no-pager"} + more);
    if (!journalctl.waitForFinished(-1) || journalctl.exitCode() != 0) {
        std::fprintf(stderr, "bench: journalctl could not run: %s\n", qPrintable(journalctl.errorString()));
        std::exit(2);
    }
    const QByteArray out = journalctl.readAllStandardOutput();
    *seconds = timer.nsecsElapsed() / 1e9;
    return out;
}

std::unique_ptr<JournalText> Rendered(const QString& folder, FileStamp* stamp) {
    QString error;
    const std::optional<JournalName> name = ParseJournalName("journal:" + folder, &error);
    std::unique_ptr<JournalText> text = JournalText::Create(*name, &error);
    if (!text || !text->Refresh(nullptr, stamp, &error)) {
        std::fprintf(stderr, "bench: the journal could not be read: %s\n", qPrintable(error));
        std::exit(2);
    }
    return text;
}

QByteArray Bytes(const JournalText& text, qint64 from, qint64 to) {
    QByteArray bytes(to - from, '\0');
    QString error;
    bytes.resize(text.ReadAt(from, bytes.data(), bytes.size(), &error));
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    setenv("TZ", "UTC", 1);
    BenchFolders folders;
    QCoreApplication app(argc, argv);
    const QString folder = folders.data.filePath("journal");
    QDir().mkpath(folder);
    const QString file = folder + "/remote.journal";
    WriteJournal(file, ExportText(0, kEntries));

    std::printf("journal\tentries\tkovra ms\tjournalctl ms\tratio\tMB/s\tsame bytes\n");
    std::vector<double> ours, theirs;
    FileStamp stamp;
    QByteArray reference;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        const std::unique_ptr<JournalText> text = Rendered(folder, &stamp);
        ours.push_back(timer.nsecsElapsed() / 1e6);
        double seconds = 0;
        reference = Journalctl(folder, {}, &seconds);
        theirs.push_back(seconds * 1000);
        if (run == 0 && Bytes(*text, 0, stamp.size) != reference)
            std::printf("render\t-\t-\t-\t-\t-\tDIFFERENT\n");
    }
    const double renderMs = Median(ours), refMs = Median(theirs);
    std::printf("render whole\t%d\t%.1f\t%.1f\t%.2f\t%.1f\t%s\n", kEntries, renderMs, refMs, renderMs / refMs,
                stamp.size / 1e6 / (renderMs / 1000), stamp.size == reference.size() ? "yes" : "no");

    // Following: batches appended while the text is open; each refresh renders only the batch.
    FileStamp followed;
    const std::unique_ptr<JournalText> text = Rendered(folder, &followed);
    ours.clear();
    theirs.clear();
    bool same = true;
    for (int batch = 0; batch < 3; ++batch) {
        WriteJournal(file, ExportText(kEntries + batch * kBatch, kBatch));
        const qint64 before = followed.size;
        QElapsedTimer timer;
        timer.start();
        QString error;
        text->Refresh(nullptr, &followed, &error);
        ours.push_back(timer.nsecsElapsed() / 1e6);
        double seconds = 0;
        const QByteArray last = Journalctl(folder, {"-n", QString::number(kBatch)}, &seconds);
        theirs.push_back(seconds * 1000);
        same = same && Bytes(*text, before, followed.size) == last;
    }
    const double followMs = Median(ours), lastMs = Median(theirs);
    std::printf("follow batch\t%d\t%.1f\t%.1f\t%.2f\t%.1f\t%s\n", kBatch, followMs, lastMs, followMs / lastMs,
                (followed.size - stamp.size) / 3 / 1e6 / (followMs / 1000), same ? "yes" : "no");

    // The pass over the journal's text against the same pass over a file of the same bytes.
    const QString copy = folders.data.filePath("copy.log");
    QFile out(copy);
    out.open(QIODevice::WriteOnly);
    out.write(Bytes(*text, 0, followed.size));
    out.close();
    PassRunner journalPass("journal:" + folder, 50 * 1024), filePass(copy, 50 * 1024);
    journalPass.Pass();
    filePass.Pass();
    const double journalMs = MedianMs(15, [&] { journalPass.Pass(); });
    const double fileMs = MedianMs(15, [&] { filePass.Pass(); });
    std::printf("pass 50 KiB\t-\t%.3f\t%.3f (same bytes in a file)\t%.2f\t-\t%s\n", journalMs, fileMs,
                journalMs / fileMs,
                journalPass.Window().ViewText() == filePass.Window().ViewText() ? "yes" : "no");
    return 0;
}
