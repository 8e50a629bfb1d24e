// ardel-cli: the device exchanges of the Ardel window from a command line.
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliRun.h"
#include "net/EventLoop.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    ardel::UsePlainEventLoop();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ardel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ARDEL_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const ardel::cli::ParseResult parsed = ardel::cli::ParseArguments(app.arguments().mid(1));
    if (parsed.kind == ardel::cli::ParseResult::Help) {
        out << parsed.text;
        return ardel::cli::ExitOk;
    }
    if (parsed.kind == ardel::cli::ParseResult::Error) {
        err << parsed.text << '\n';
        return ardel::cli::ExitUsage;
    }
    const int status = ardel::cli::RunCommand(parsed.options, out, err);
    out.flush();
    err.flush();
    return status;
}
