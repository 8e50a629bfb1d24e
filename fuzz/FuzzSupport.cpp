#include "fuzz/FuzzSupport.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace ardelfuzz {

namespace {
int g_argc = 1;
char g_arg0[] = "ardel-fuzz";
char *g_argv[] = {g_arg0, nullptr};
} // namespace

void InitQt()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString xdg = QDir::tempPath() + QStringLiteral("/ardel-fuzz-xdg");
        QDir().mkpath(xdg);
        QFile::setPermissions(xdg, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", xdg.toLocal8Bit());
    }
    // Lives until the process ends, as in the program.
    new QApplication(g_argc, g_argv);
}

void Fail(const char *what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace ardelfuzz
