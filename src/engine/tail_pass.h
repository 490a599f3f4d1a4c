#pragma once
// DomTail: one tick of the tail window. A tick counts down; the tick that reaches zero runs a full
// pass: resolve the file, read the last window of bytes before the offset (again and again with
// auto offset), cut and shape the lines, publish them into the view when they differ from what is
// shown, show the file status, run the alert step, adapt the refresh rate. Every tick ends with
// the clear request, the waiting text and the busy flag cleared, whatever way it ends.
//
// Threads: runs on the window thread (timer mode: window is the real port, pending events are
// processed after each progress text) or on a worker (worker mode: window is a GuiThreadPort).
#include <limits>

#include <QString>

#include "engine/tail_runtime.h"

class TailWindowPort;

// The largest value of RzSpinEditOffset; the auto offset never goes past it.
inline constexpr qint64 kMaxOffset = 999999;
// The window of a read buffer of 0: the whole file, however big (positions are 64-bit).
inline constexpr qint64 kWholeFile = std::numeric_limits<qint64>::max() / 4;

void DomTail(TailRuntime& rt, const EngineDeps& deps, TailWindowPort& window, bool workerMode);
