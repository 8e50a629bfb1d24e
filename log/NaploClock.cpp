#include "log/NaploClock.h"

// The monotonic clock is the log's platform seam for time.
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <time.h>
#endif

namespace ardel {

qint64 TSystemNaploClock::NowMSecs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

quint32 TSystemNaploClock::Tick()
{
#ifdef Q_OS_WIN
    return quint32(GetTickCount64()); // wraps like any 32-bit millisecond counter
#else
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const quint64 ms = quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u;
    return quint32(ms); // wraps like any 32-bit millisecond counter
#endif
}

std::shared_ptr<TNaploClock> SystemNaploClock()
{
    static const std::shared_ptr<TNaploClock> clock = std::make_shared<TSystemNaploClock>();
    return clock;
}

QDateTime NaploZeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

} // namespace ardel
