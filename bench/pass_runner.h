#pragma once
// One tail engine state and its fake window over a file, for the benchmarks: passes run on the
// calling thread, each one replacing the view as when the file changed since the last pass.
#include <QString>

#include "engine/clock.h"
#include "engine/tail_pass.h"
#include "settings/uList.h"
#include "settings/uParam.h"
#include "support/fake_tail_window.h"

class PassRunner {
public:
    // resolver: the reverse-DNS cache the passes ask (not owned; may be null).
    PassRunner(const QString& file, qint64 windowBytes, AddressResolver* resolver = nullptr);

    FakeTailWindow& Window() { return window_; }
    // Seconds of one pass. dropShownLine: the shown text loses its first line first, so the pass
    // replaces it as when the file changed.
    double Pass(bool dropShownLine = true);
    // Off (the default): every pass reads and processes its whole window.
    void SetIncremental(bool on) { rt_.Window.SetEnabled(on); }
    qint64 ReadBufferBytes() const { return rt_.Buffer.Capacity(); }
    // What the passes keep of their output between them: its line index (and the block cache).
    qint64 OutputBytes() const { return rt_.Window.Last().output.MemoryBytes(); }

private:
    TTailParam params_;
    TTailFileManager manager_;
    FakeTailWindow window_;
    SystemClock clock_;
    TailRuntime rt_;
    EngineDeps deps_;
};
