// The time of day that stamps message lines. A burst of replies brings
// thousands of lines a second: converting to local time (the C library looks
// at the zone file each time) is done once a second only.
#pragma once

#include <QString>

namespace ardel {

// The local time of day as "HH:mm:ss" and its milliseconds.
struct TClockStamp {
    QString hms;
    int ms = 0;
};

// Main thread only: the second's text is kept between calls.
TClockStamp CurrentClockStamp();

// "HH:mm:ss:zzz: " as the message pane shows it.
QString PaneStamp(const TClockStamp &stamp);

} // namespace ardel
