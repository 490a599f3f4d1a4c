#pragma once
// The scheduler's small rules: the waiting text, the refresh-rate adaptation after a pass and the
// reset of the refresh rate. Pure functions plus one that works on the shared runtime state.
#include <QString>

#include "engine/tail_runtime.h"

// "Autowaiting (12s)" / "Waiting (4s)", with "*" appended in worker mode.
QString WaitingText(bool autotimer, qint32 countdown, bool workerMode);

// The refresh rate after a pass. With the auto timer: a change gives max(definition rate, whole
// seconds of the pass + 1); no change grows the rate by one (up to 60) once the whole seconds since
// the last change exceed it. Without the auto timer the rate stays.
qint32 AdaptedRefreshRate(qint32 rate, bool autotimer, qint32 definitionRate, bool changed, qint64 passMs,
                          qint64 sinceLastChangeMs);

// Only while started: refresh rate := definitionRate; countdown := min(countdown, that rate).
void ResetRefreshRate(TailRuntime& rt, qint32 definitionRate);

// "T=0.047s".
QString PassDurationText(qint64 ms);
