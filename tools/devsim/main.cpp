// ardel-devsim: plays the maker's devices on a private test LAN.
//   ardel-devsim --config FILE [--journal FILE] [--generate N [--base IP] [--tavo-share F]]
//                [--allow-host-netns]; --help lists the options.
// Prints "ready" once every socket is bound, runs until SIGTERM/SIGINT,
// prints its counts and exits 0. SIGUSR1 prints the counts without stopping.
#include "net/EventLoop.h"
#include "tools/devsim/DevsimConfig.h"
#include "tools/devsim/Emulator.h"
#include "tools/devsim/Journal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

using namespace ardel::devsim;

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const char c = char(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// The emulator answers whoever asks; on the host's own interfaces it would
// answer real traffic, so it refuses to run in the first network namespace.
// Where pid 1's namespace is hidden (containers, sandboxes) it cannot be
// compared: then only a namespace that `ip netns` named (scripts/netns-run.sh
// makes those) counts as private. When in doubt it refuses.
bool inHostNetns()
{
    struct stat self {};
    if (::stat("/proc/self/ns/net", &self) != 0)
        return true;
    struct stat other {};
    if (::stat("/proc/1/ns/net", &other) == 0)
        return self.st_ino == other.st_ino && self.st_dev == other.st_dev;
    const QStringList named = QDir(QStringLiteral("/run/netns")).entryList(QDir::Files | QDir::System);
    for (const QString &name : named) {
        const QByteArray path = QFile::encodeName(QStringLiteral("/run/netns/") + name);
        if (::stat(path.constData(), &other) == 0 && self.st_ino == other.st_ino && self.st_dev == other.st_dev)
            return false;
    }
    return true;
}

void printStats(const char *what, const Stats &s)
{
    std::printf("%s: udp received=%llu tcp chunks=%llu replies sent=%llu pending=%llu send errors=%llu dropped on purpose=%llu\n",
                what, static_cast<unsigned long long>(s.udpReceived), static_cast<unsigned long long>(s.tcpChunks),
                static_cast<unsigned long long>(s.repliesSent), static_cast<unsigned long long>(s.repliesPending),
                static_cast<unsigned long long>(s.sendErrors), static_cast<unsigned long long>(s.requestsDropped));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    ardel::UsePlainEventLoop();
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Plays the maker's network devices. Run it only inside a private network namespace\n"
                       "(scripts/netns-run.sh), never on a machine's real interfaces. Prints \"ready\" once\n"
                       "every socket is bound and runs until SIGTERM or SIGINT; SIGUSR1 prints the counts."));
    p.addHelpOption();
    p.addOption(
        {QStringLiteral("config"), QStringLiteral("The emulated devices (JSON, see docs/devsim.md)."), QStringLiteral("file")});
    p.addOption({QStringLiteral("journal"),
                 QStringLiteral("Write every datagram and TCP chunk received to this file (JSON lines)."),
                 QStringLiteral("file")});
    p.addOption({QStringLiteral("generate"),
                 QStringLiteral("Add n devices on consecutive addresses from --base; --config may then be omitted."),
                 QStringLiteral("n")});
    p.addOption({QStringLiteral("base"), QStringLiteral("First address of the generated devices."), QStringLiteral("ip"),
                 QStringLiteral("10.77.128.1")});
    p.addOption({QStringLiteral("tavo-share"),
                 QStringLiteral("Share (0..1, spread evenly) of the generated devices that are TAVOW devices."),
                 QStringLiteral("f"), QStringLiteral("0")});
    p.addOption({QStringLiteral("allow-host-netns"),
                 QStringLiteral("Run even in the host's network namespace (only on an isolated machine).")});
    // A bad command line exits 2, as a bad config does; process() would exit 1.
    if (!p.parse(app.arguments())) {
        std::fprintf(stderr, "ardel-devsim: %s\n\n%s", qPrintable(p.errorText()), qPrintable(p.helpText()));
        return 2;
    }
    if (p.isSet(QStringLiteral("help"))) {
        std::printf("%s", qPrintable(p.helpText()));
        return 0;
    }
    if (!p.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "ardel-devsim: unknown argument %s\n\n%s", qPrintable(p.positionalArguments().constFirst()),
                     qPrintable(p.helpText()));
        return 2;
    }
    const QString configPath = p.value(QStringLiteral("config"));
    const QString journalPath = p.value(QStringLiteral("journal"));
    const bool allowHost = p.isSet(QStringLiteral("allow-host-netns"));
    int generate = 0;
    if (p.isSet(QStringLiteral("generate"))) {
        bool ok = false;
        generate = p.value(QStringLiteral("generate")).toInt(&ok);
        if (!ok || generate < 0) {
            std::fprintf(stderr, "ardel-devsim: --generate needs a count\n");
            return 2;
        }
    }
    std::uint32_t base = 0;
    if (!ParseIPv4(p.value(QStringLiteral("base")), base)) {
        std::fprintf(stderr, "ardel-devsim: --base needs a dotted IPv4 address\n");
        return 2;
    }
    bool shareOk = false;
    const double tavoShare = p.value(QStringLiteral("tavo-share")).toDouble(&shareOk);
    if (!shareOk) {
        std::fprintf(stderr, "ardel-devsim: --tavo-share needs a number 0..1\n");
        return 2;
    }
    if (configPath.isEmpty() && generate == 0) {
        std::fprintf(stderr, "ardel-devsim: give --config or --generate\n\n%s", qPrintable(p.helpText()));
        return 2;
    }
    if (!allowHost && inHostNetns()) {
        std::fprintf(stderr, "ardel-devsim: refusing to run in the host's network namespace (or one it cannot tell from it); "
                             "use scripts/netns-run.sh (or --allow-host-netns on an isolated machine)\n");
        return 2;
    }

    SimConfig cfg;
    QString error;
    if (!configPath.isEmpty()) {
        QFile f(configPath);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "ardel-devsim: cannot read %s: %s\n", qPrintable(configPath), qPrintable(f.errorString()));
            return 2;
        }
        if (!ParseConfig(f.readAll(), cfg, error)) {
            std::fprintf(stderr, "ardel-devsim: %s: %s\n", qPrintable(configPath), qPrintable(error));
            return 2;
        }
    }
    if (generate > 0 && !GenerateDevices(generate, base, tavoShare, cfg.devices, error)) {
        std::fprintf(stderr, "ardel-devsim: %s\n", qPrintable(error));
        return 2;
    }

    Journal journal;
    if (!journal.Open(journalPath, error)) {
        std::fprintf(stderr, "ardel-devsim: %s\n", qPrintable(error));
        return 2;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) {
        std::perror("ardel-devsim: socketpair");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGUSR1, &sa, nullptr);

    Emulator emu(std::move(cfg), journal.IsOpen() ? &journal : nullptr);
    QString summary;
    if (!emu.Start(error, summary)) {
        std::fprintf(stderr, "ardel-devsim: %s\n", qPrintable(error));
        return 1;
    }

    QSocketNotifier sigNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&sigNotifier, &QSocketNotifier::activated, &app, [&] {
        char c = 0;
        while (::read(g_signalPipe[0], &c, 1) == 1) {
            if (c == SIGUSR1)
                printStats("devsim stats", emu.GetStats());
            else
                app.quit();
        }
    });

    std::printf("devsim ready: %s\n", qPrintable(summary));
    std::fflush(stdout);
    app.exec();
    journal.Flush();
    printStats("devsim stopped", emu.GetStats());
    return 0;
}
