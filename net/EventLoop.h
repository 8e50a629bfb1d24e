// Which event loop Qt runs. On Linux, Qt runs GLib's main loop when GLib is
// there; it takes a mutex and a prepare, query and check pass on every turn.
// The device exchanges turn the loop for every reply (a TAVOW pass thousands
// of times a second), where Qt's own loop did the same work about a tenth
// faster. The one platform-specific file is EventLoop.cpp.
#pragma once

namespace ardel {

// Before the application object exists. An explicit QT_NO_GLIB is left as
// the user set it.
void UsePlainEventLoop();

} // namespace ardel
