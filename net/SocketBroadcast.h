// Switching a UDP socket's broadcast permission. Qt switches it on for every
// UDP socket it creates and offers no way to switch it off, so this goes to
// the socket itself: the one platform-specific file is SocketBroadcast.cpp.
#pragma once

#include <QtGlobal>

namespace ardel {

// True when the option is now as asked.
bool SetSocketBroadcast(qintptr descriptor, bool on);
// Whether the kernel would let the socket send to a broadcast address.
bool SocketBroadcastEnabled(qintptr descriptor);

} // namespace ardel
