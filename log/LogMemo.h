// The multi-line text control that shows what the log writer writes.
#pragma once

#include <QString>

namespace ardel {

// Implemented by whoever wants to see the log writer's lines as they are
// written (the tests do; the main window fills its message pane itself
// through WriteMessage). Only the main thread calls it.
class LogMemo {
public:
    virtual ~LogMemo() = default;
    // Adds one line at the end; the line carries no line break.
    virtual void AppendLine(const QString &line) = 0;
    // Scrolls so that the caret (the end of the text) is visible.
    virtual void ScrollCaretIntoView() = 0;
};

} // namespace ardel
