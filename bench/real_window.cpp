#include "real_window.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>

#include <sys/resource.h>

#include "engine/tail_state.h"
#include "settings/uList.h"
#include "window/tail_widgets.h"

double StatusMiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

void RunFor(int ms) {
    QEventLoop loop; // sleeps between events: a spin would be counted as the window's CPU
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void WaitWhileBusy(TailEngine& engine) {
    while (engine.Busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

RealWindow::RealWindow(const QString& file, bool ticksByHand) {
    TailWindowServices services;
    services.dialogs = &dialogs;
    services.sound = &sound;
    services.mail = &mail;
    services.notifier = &notifications;
    services.joinInstances = false;
    services.arguments = {QStringLiteral("kovra")};
    if (ticksByHand) {
        services.tickIntervalMs = 3600 * 1000;
        services.changeDebounceMs = -1;
    }
    form = std::make_unique<TFormTail>(services);
    form->resize(900, 700);
    form->show();
    form->Widgets().EditComboBox->setText(file);
}

RealWindow::~RealWindow() {
    form->SetTailStatus(tsStop);
    form->close();
}

TailEngine& RealWindow::Engine() {
    return form->Engine();
}

TBaseTailFile& RealWindow::Def() {
    return *form->Manager().List->DefFile;
}

QByteArray AppendedLine(qint64 number) {
    return "2026-12-09 09:14:02.613 INFO  [bench] appended line " + QByteArray::number(number) + '\n';
}

LogWriter::LogWriter(const QString& path, int perSecond)
    : thread_([this, path, perSecond] { Run(path, perSecond); }) {}

LogWriter::~LogWriter() {
    Stop();
}

double LogWriter::Stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    return cpu_;
}

void LogWriter::Run(const QString& path, int perSecond) {
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::Unbuffered))
        return;
    const double cpuStart = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const auto period = std::chrono::nanoseconds(1000000000LL / perSecond);
    while (!stop_) {
        // Every line that is due, one write each, as a logger's lines come.
        const qint64 due = (std::chrono::steady_clock::now() - start) / period + 1;
        for (; written_ < due && !stop_; ++written_)
            file.write(AppendedLine(written_));
        std::this_thread::sleep_until(start + period * written_.load());
    }
    cpu_ = ThreadCpuSeconds() - cpuStart;
}

StallProbe::StallProbe(std::function<QString()> note) : note_(std::move(note)) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        const double gap = clock_.nsecsElapsed() / 1e6;
        clock_.restart();
        worst_ = std::max(worst_, gap - 10);
        if (gap - 10 > 50 && note_)
            std::fprintf(stderr, "# stall of %.0f ms, then: %s\n", gap - 10, qPrintable(note_()));
    });
    clock_.start();
    timer_.start();
}
