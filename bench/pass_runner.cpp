#include "pass_runner.h"

#include <QElapsedTimer>

PassRunner::PassRunner(const QString& file, qint64 windowBytes, AddressResolver* resolver) {
    params_.LoadParams();
    params_.usethread = false;
    manager_.LoadFromRegistry();
    manager_.SetFileName(file);
    window_.readBufferKo = static_cast<int>(windowBytes / 1024);
    window_.linesThatFit = 40;
    window_.processEvents = true;
    rt_.TailStatus = tsStart;
    deps_.window = &window_;
    deps_.manager = &manager_;
    deps_.params = &params_;
    deps_.clock = &clock_;
    deps_.resolver = resolver;
    // Full passes: a pass over an unchanged file would otherwise reuse the last one and time nothing.
    rt_.Window.SetEnabled(false);
}

double PassRunner::Pass(bool dropShownLine) {
    if (dropShownLine) {
        ViewSnapshotBuilder shown(window_.view);
        shown.DropFront(1);
        window_.view = shown.Build();
    }
    rt_.Countdown = 1;
    QElapsedTimer timer;
    timer.start();
    DomTail(rt_, deps_, window_, false);
    return timer.nsecsElapsed() / 1e9;
}
