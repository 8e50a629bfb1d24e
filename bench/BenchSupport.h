// Small pieces the end-to-end benchmarks share.
#pragma once

#include <QFile>
#include <QString>

namespace ardelbench {

// The machine's load average (1, 5 and 15 minutes), printed beside every
// figure: the figures depend on it.
inline QString LoadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2) : QString();
}

} // namespace ardelbench
