#pragma once
// Waiting for an outcome with a deadline in a gtest run. The QTRY_ macros report failures to
// QTestLib, which a gtest run never reads, so they cannot be used here.
#include <QDeadlineTimer>
#include <QTest>

inline constexpr int kDeadlineMs = 10000;

// Processes events until condition() holds; false when the deadline passed first.
template <typename Condition> bool WaitUntil(Condition condition, int timeoutMs = kDeadlineMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QTest::qWait(10);
    }
    return true;
}
