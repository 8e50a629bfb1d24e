// The program's message lines: every step of every flow is one line stamped
// with the time of day, written to the log file with the program's settings
// (the window also shows it in its message pane).
#pragma once

#include "net/ClockStamp.h"

#include <QString>

namespace ardel {

class TNaploComponent;

// The log file's settings of the program: printable text, time stamps,
// everything logged, cut back at 10,000,000 bytes, the lines of one turn of
// the event loop appended together; file is the log's name.
void ApplyProgramLogSettings(TNaploComponent &log, const QString &file);

// One message line into the log: "HH:mm:ss: text".
void WriteMessageLine(TNaploComponent &log, const TClockStamp &stamp, const QString &text);

} // namespace ardel
