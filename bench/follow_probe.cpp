#include "follow_probe.h"

#include <sys/resource.h>

#include <cstdlib>
#include <random>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

Follower::Follower(const QString& name, int debounceMs) {
    params_.LoadParams();
    params_.usethread = true; // the program's default
    manager_.LoadFromRegistry();
    window_.linesThatFit = 40;
    deps_.window = &window_;
    deps_.manager = &manager_;
    deps_.params = &params_;
    deps_.clock = &clock_;
    engine_ = std::make_unique<TailEngine>(deps_, 1000, debounceMs);
    engine_->SetTailStatus(tsStop); // the stop shows the last tailed name: type the name after it
    window_.fileNameText = name;
    engine_->SetTailStatus(tsStart);
}

Follower::~Follower() {
    engine_->SetTailStatus(tsStop);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::vector<double> Latencies(const QString& file, const QString& name, int debounceMs, int samples) {
    static int run = 0; // markers of one run are never in the view of another's lines
    ++run;
    Follower follower(name, debounceMs);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> pause(50, 1000);
    std::vector<double> ms;
    for (int i = 0; i < samples; ++i) {
        RunEventsFor(pause(random));
        const QByteArray marker = "line " + QByteArray::number(i) + " of run " + QByteArray::number(run);
        QFile out(file);
        if (!out.open(QIODevice::Append))
            std::exit(1);
        QElapsedTimer timer;
        timer.start();
        out.write(marker + '\n');
        out.close();
        while (!follower.View().contains(QString::fromLatin1(marker)) && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    return ms;
}

double FollowCpuPercent(const QString& name, int debounceMs, int ms, const std::function<void()>& measuring) {
    Follower follower(name, debounceMs);
    RunEventsFor(1500); // the first passes
    if (measuring)
        measuring();
    const double before = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunEventsFor(ms);
    return 100 * (CpuSeconds() - before) / (wall.elapsed() / 1e3);
}
