#pragma once
// The engine's only source of the current time (pass durations, last change time, the quiet
// period of the file-change sound), so tests can drive time with a fake they advance.
// Now() may be called from the pass thread (the worker in worker mode).
#include <QDateTime>

class EngineClock {
public:
    virtual ~EngineClock() = default;
    virtual QDateTime Now() const = 0;
};

// Local wall-clock time.
class SystemClock final : public EngineClock {
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};
