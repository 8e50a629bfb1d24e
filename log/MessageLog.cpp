#include "log/MessageLog.h"

#include "log/NaploComponent.h"

namespace ardel {

void ApplyProgramLogSettings(TNaploComponent &log, const QString &file)
{
    log.SetConvertToPrintable(true);
    log.SetLogging(true);
    log.SetLogTime(true);
    log.SetLogEvertythingToDB(false);
    log.SetLogFile(file);
    log.SetLogLimit(10000000);
    log.SetLogLevel(TLogLevel::LogEverything);
    // Several lines per datagram: one append per turn of the event loop.
    log.SetHoldLinesForTurn(true);
}

void WriteMessageLine(TNaploComponent &log, const TClockStamp &stamp, const QString &text)
{
    log.WriteLog(stamp.hms + QStringLiteral(": ") + text, false);
}

} // namespace ardel
