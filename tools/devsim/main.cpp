// ardel-devsim: plays the maker's devices on a private test LAN.
//   ardel-devsim --config FILE [--journal FILE] [--generate N [--base IP] [--tavo-share F]]
// Prints "ready" once every socket is bound, runs until SIGTERM/SIGINT,
// prints its counts and exits 0. SIGUSR1 prints the counts without stopping.
#include "tools/devsim/DevsimConfig.h"
#include "tools/devsim/Emulator.h"
#include "tools/devsim/Journal.h"

#include <QCoreApplication>
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

void usage()
{
    std::fprintf(stderr,
                 "usage: ardel-devsim --config FILE [--journal FILE] [--generate N [--base IP] [--tavo-share F]]\n"
                 "                    [--allow-host-netns]\n"
                 "Plays network devices; run it only inside a private network namespace\n"
                 "(scripts/netns-run.sh), never on a machine's real interfaces.\n");
}

// The emulator answers whoever asks; on the host's own interfaces it would
// answer real traffic, so it refuses to run in the first network namespace.
bool inHostNetns()
{
    struct stat self{}, init{};
    if (::stat("/proc/self/ns/net", &self) != 0 || ::stat("/proc/1/ns/net", &init) != 0)
        return false;
    return self.st_ino == init.st_ino && self.st_dev == init.st_dev;
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
    QCoreApplication app(argc, argv);
    QString configPath, journalPath;
    int generate = 0;
    std::uint32_t base = (10u << 24) | (77u << 16) | (128u << 8) | 1u;
    double tavoShare = 0.0;
    bool allowHost = false;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            usage();
            return 0;
        } else if (a == QLatin1String("--allow-host-netns")) {
            allowHost = true;
        } else if (!hasValue) {
            std::fprintf(stderr, "ardel-devsim: %s needs a value\n", qPrintable(a));
            usage();
            return 2;
        } else if (a == QLatin1String("--config")) {
            configPath = args.at(++i);
        } else if (a == QLatin1String("--journal")) {
            journalPath = args.at(++i);
        } else if (a == QLatin1String("--generate")) {
            bool ok = false;
            generate = args.at(++i).toInt(&ok);
            if (!ok || generate < 0) {
                std::fprintf(stderr, "ardel-devsim: --generate needs a count\n");
                return 2;
            }
        } else if (a == QLatin1String("--base")) {
            if (!ParseIPv4(args.at(++i), base)) {
                std::fprintf(stderr, "ardel-devsim: --base needs a dotted IPv4 address\n");
                return 2;
            }
        } else if (a == QLatin1String("--tavo-share")) {
            bool ok = false;
            tavoShare = args.at(++i).toDouble(&ok);
            if (!ok) {
                std::fprintf(stderr, "ardel-devsim: --tavo-share needs a number 0..1\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "ardel-devsim: unknown argument %s\n", qPrintable(a));
            usage();
            return 2;
        }
    }
    if (configPath.isEmpty() && generate == 0) {
        usage();
        return 2;
    }
    if (!allowHost && inHostNetns()) {
        std::fprintf(stderr, "ardel-devsim: refusing to run in the host's network namespace; "
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
    struct sigaction sa{};
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
