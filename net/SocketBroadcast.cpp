#include "net/SocketBroadcast.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace ardel {

bool SetSocketBroadcast(qintptr descriptor, bool on)
{
    if (descriptor < 0)
        return false;
#ifdef Q_OS_WIN
    const BOOL v = on ? TRUE : FALSE;
    return ::setsockopt(static_cast<SOCKET>(descriptor), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&v), sizeof v)
           == 0;
#else
    const int v = on ? 1 : 0;
    return ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_BROADCAST, &v, sizeof v) == 0;
#endif
}

bool SocketBroadcastEnabled(qintptr descriptor)
{
    if (descriptor < 0)
        return false;
#ifdef Q_OS_WIN
    BOOL v = FALSE;
    int len = sizeof v;
    if (::getsockopt(static_cast<SOCKET>(descriptor), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char *>(&v), &len) != 0)
        return false;
    return v != FALSE;
#else
    int v = 0;
    socklen_t len = sizeof v;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_BROADCAST, &v, &len) != 0)
        return false;
    return v != 0;
#endif
}

} // namespace ardel
