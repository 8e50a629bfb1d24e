#include "net/ClockStamp.h"

#include <QDateTime>

#include <limits>

namespace ardel {

TClockStamp CurrentClockStamp()
{
    static qint64 cachedSec = std::numeric_limits<qint64>::min();
    static QString cachedHms;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 sec = now >= 0 ? now / 1000 : (now - 999) / 1000;
    if (sec != cachedSec) {
        cachedHms = QDateTime::fromMSecsSinceEpoch(sec * 1000).time().toString(QStringLiteral("HH:mm:ss"));
        cachedSec = sec;
    }
    return {cachedHms, static_cast<int>(now - sec * 1000)};
}

QString PaneStamp(const TClockStamp &stamp)
{
    return stamp.hms + QLatin1Char(':') + QString::number(stamp.ms).rightJustified(3, QLatin1Char('0')) + QStringLiteral(": ");
}

} // namespace ardel
