#include "app/ArdelWindows.h"
#include "app/MemoryPlatform.h"
#include "net/EventLoop.h"

#include <QApplication>

int main(int argc, char **argv)
{
    ardel::TuneAllocator();
    ardel::UsePlainEventLoop();
    QApplication app(argc, argv);
    ardel::SetApplicationTitle();
    ardel::TArdelWindows windows;
    windows.f_main->show();
    return QApplication::exec();
}
