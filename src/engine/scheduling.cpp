#include "engine/scheduling.h"

#include <algorithm>

namespace {
constexpr qint32 kMaxAdaptedRate = 60;
}

QString WaitingText(bool autotimer, qint32 countdown, bool workerMode) {
    QString text = autotimer ? QStringLiteral("Autowaiting ") : QStringLiteral("Waiting ");
    text += QLatin1Char('(') + QString::number(countdown) + QLatin1String("s)");
    if (workerMode)
        text += QLatin1Char('*');
    return text;
}

qint32 AdaptedRefreshRate(qint32 rate, bool autotimer, qint32 definitionRate, bool changed, qint64 passMs,
                          qint64 sinceLastChangeMs) {
    if (!autotimer)
        return rate;
    if (changed)
        return static_cast<qint32>(std::max<qint64>(definitionRate, passMs / 1000 + 1));
    if (rate < sinceLastChangeMs / 1000)
        return std::min(kMaxAdaptedRate, rate + 1);
    return rate;
}

void ResetRefreshRate(TailRuntime& rt, qint32 definitionRate) {
    if (rt.TailStatus.load() != tsStart)
        return;
    rt.RefreshRate = definitionRate;
    qint32 countdown = rt.Countdown.load();
    while (countdown > definitionRate && !rt.Countdown.compare_exchange_weak(countdown, definitionRate)) {
    }
}

QString PassDurationText(qint64 ms) {
    return QLatin1String("T=") + QString::number(ms / 1000) + QLatin1Char('.') +
           QString::number(ms % 1000).rightJustified(3, QLatin1Char('0')) + QLatin1Char('s');
}
