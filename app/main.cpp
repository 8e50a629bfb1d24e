#include "app/ArdelWindows.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ardel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ardel"));
    ardel::TArdelWindows windows;
    windows.f_main->show();
    return QApplication::exec();
}
