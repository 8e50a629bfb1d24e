// Shared main of every test program. Programs that show widgets are built
// with ARDEL_TEST_WIDGETS and get a QApplication; the others a QCoreApplication,
// so they need no platform plugin at all.
#ifdef ARDEL_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include "net/EventLoop.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <unistd.h>

int main(int argc, char **argv)
{
    // Tests never need a display; a window system would only add noise.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        // One directory per user: Qt rejects a runtime directory owned by
        // someone else, e.g. one left behind by a run as root.
        const QByteArray dir = QDir::tempPath().toUtf8() + "/ardel-test-runtime-" + QByteArray::number(::getuid());
        QDir().mkpath(QString::fromUtf8(dir));
        QFile::setPermissions(QString::fromUtf8(dir), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", dir);
    }
    // The event loop the programs run.
    ardel::UsePlainEventLoop();
#ifdef ARDEL_TEST_WIDGETS
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
