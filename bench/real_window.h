#pragma once
// The real tail window (offscreen) for the benchmarks that time what a user meets: the window with
// silent dialogs, sound, mail and notifications; a writer thread that appends lines like a logger
// (one write a line); a probe of the window thread's stalls; the process's memory and CPU.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include "tools/silent_services.h"
#include "window/fTail.h"

class TailEngine;
class TBaseTailFile;

// A field of /proc/self/status in MiB (VmRSS, VmHWM).
double StatusMiB(const char* field);
// CPU seconds of the process, and of the calling thread.
double ProcessCpuSeconds();
double ThreadCpuSeconds();
// Runs the event loop for ms milliseconds.
void RunFor(int ms);
// Handles events until the engine's tick has ended.
void WaitWhileBusy(TailEngine& engine);

struct RealWindow {
    SilentDialogs dialogs;
    NoSound sound;
    NoMail mail;
    NoNotifications notifications;
    std::unique_ptr<TFormTail> form;

    // ticksByHand: no timer and no change notifications; else the program's own.
    RealWindow(const QString& file, bool ticksByHand);
    ~RealWindow();
    TailEngine& Engine();
    TBaseTailFile& Def();
};

// The line a logger appends, numbered.
QByteArray AppendedLine(qint64 number);

// Appends numbered lines at `perSecond` lines a second, one write each, until it goes.
class LogWriter {
public:
    LogWriter(const QString& path, int perSecond);
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;
    qint64 Written() const { return written_; }
    // CPU seconds the writer spent (measured on its own thread), once it has stopped.
    double Stop();

private:
    void Run(const QString& path, int perSecond);
    std::atomic<bool> stop_{false};
    std::atomic<qint64> written_{0};
    std::atomic<double> cpu_{0};
    std::thread thread_;
};

// The window thread's lateness, measured by a 10 ms timer: each firing later than due is a stall.
class StallProbe {
public:
    // note: what to say about a stall over 50 ms (to stderr, as a comment line).
    explicit StallProbe(std::function<QString()> note = {});
    // The longest stall since the last call, in ms.
    double TakeWorst() { return std::exchange(worst_, 0.0); }

private:
    std::function<QString()> note_;
    QTimer timer_;
    QElapsedTimer clock_;
    double worst_ = 0;
};
