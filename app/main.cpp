#include "app/ArdelWindows.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ardel::SetApplicationTitle();
    ardel::TArdelWindows windows;
    windows.f_main->show();
    return QApplication::exec();
}
