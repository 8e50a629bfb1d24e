// Wall clock and millisecond counter behind the log's time stamps.
#pragma once

#include <QDateTime>

#include <memory>

namespace ardel {

// The stamps follow a millisecond counter between resynchronisations with the
// wall clock; both sources sit behind this seam so that the rule can be driven.
class TNaploClock {
public:
    virtual ~TNaploClock() = default;
    // Wall clock: milliseconds since 1970-01-01 UTC (shown in local time).
    virtual qint64 NowMSecs() = 0;
    // Monotonic millisecond counter; wraps around at 2^32.
    virtual quint32 Tick() = 0;

    // The wall clock as a local date-time.
    QDateTime Now() { return QDateTime::fromMSecsSinceEpoch(NowMSecs()); }
};

// The machine's clocks (CLOCK_MONOTONIC for the counter).
class TSystemNaploClock final : public TNaploClock {
public:
    qint64 NowMSecs() override;
    quint32 Tick() override;
};

// Shared instance of the machine's clocks.
std::shared_ptr<TNaploClock> SystemNaploClock();

// "Date-time zero" of the log: a moment far in the past.
QDateTime NaploZeroDateTime();

} // namespace ardel
