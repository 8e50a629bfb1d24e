#include "net/EventLoop.h"

#include <QByteArray>
#include <QtGlobal>

namespace ardel {

void UsePlainEventLoop()
{
#if defined(Q_OS_LINUX)
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
#endif
}

} // namespace ardel
