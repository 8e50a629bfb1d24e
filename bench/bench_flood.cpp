// The receive path under a flood: valid discovery replies from many device
// addresses, sent as fast as the sender can, while the real windows are in
// the reply window of their first "X". Measures the replies the program fully
// handles per second (log line, message pane batch, table merge) beside a
// bare recvmmsg drain of the same traffic on a socket with the same options,
// in the same run. Run it through scripts/bench.sh (inside netns-run.sh).
//
//   bench_flood [--count N] [--sources S] [--rounds R] [--drain 0]
//   bench_flood send --to IP --port P --count N --sources S   (internal: the
//       sender, started in the device namespace; floods once per line read
//       from stdin and prints "sent N ms")
#include "app/ArdelWindows.h"
#include "bench/BenchSupport.h"
#include "app/MainWindowProbe.h"
#include "app/MemoryPlatform.h"
#include "net/EventLoop.h"
#include "net/UDPComms.h"
#include "tavo/TavoWire.h"
#include "tests/common/TestLan.h"
#include "tools/devsim/Device.h"
#include "tools/devsim/DevsimConfig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <random>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace ardel;
using ardelbench::LoadAverage;

namespace {

struct Args {
    QString mode = QStringLiteral("run");
    QString to = QStringLiteral("10.77.0.1");
    int port = TUDPComms::kLocalPort;
    int count = 200000;
    int sources = 20000;
    int rounds = 2;
    bool drain = true;
};

Args ParseArgs(const QStringList &a)
{
    Args r;
    int i = 1;
    if (a.size() > 1 && !a.at(1).startsWith(QLatin1String("--")))
        r.mode = a.at(i++);
    for (; i + 1 < a.size(); i += 2) {
        const QString k = a.at(i);
        const QString v = a.at(i + 1);
        if (k == QLatin1String("--to"))
            r.to = v;
        else if (k == QLatin1String("--port"))
            r.port = v.toInt();
        else if (k == QLatin1String("--count"))
            r.count = v.toInt();
        else if (k == QLatin1String("--sources"))
            r.sources = v.toInt();
        else if (k == QLatin1String("--rounds"))
            r.rounds = v.toInt();
        else if (k == QLatin1String("--drain"))
            r.drain = v != QLatin1String("0");
        else {
            std::fprintf(stderr, "unknown argument %s\n", qPrintable(k));
            std::exit(2);
        }
    }
    if (r.count <= 0 || r.sources <= 0 || r.sources > 32767) {
        std::fprintf(stderr, "--count must be > 0, --sources 1..32767\n");
        std::exit(2);
    }
    return r;
}

// ---------------------------------------------------------------- sender

// Floods from the device namespace: every datagram is a device's real
// discovery reply, sent from that device's address (IP_PKTINFO) with sendmmsg.
int RunSender(const Args &a)
{
    std::vector<devsim::DeviceConfig> cfgs;
    QString error;
    if (!devsim::GenerateDevices(a.sources, 0x0A4D8001u /* 10.77.128.1 */, 0, cfgs, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    std::mt19937 rng(1);
    std::vector<QByteArray> payload;
    payload.reserve(cfgs.size());
    for (const auto &c : cfgs)
        payload.push_back(devsim::Device(c).DiscoveryReply(rng));

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    const int buf = 32 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &buf, sizeof buf);
    ::setsockopt(fd, IPPROTO_IP, IP_TRANSPARENT, &one, sizeof one);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_port = htons(wire::kPlainPort);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&self), sizeof self) != 0) {
        std::fprintf(stderr, "sender bind: %s\n", std::strerror(errno));
        return 1;
    }
    sockaddr_in dst{};
    dst.sin_family = AF_INET;
    dst.sin_port = htons(quint16(a.port));
    ::inet_pton(AF_INET, qPrintable(a.to), &dst.sin_addr);

    constexpr int kBatch = 64;
    struct Slot {
        iovec iov;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    };
    std::vector<Slot> outgoing(kBatch);
    std::vector<mmsghdr> msgs(kBatch);

    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        QElapsedTimer t;
        t.start();
        int sent = 0;
        while (sent < a.count) {
            const int n = std::min(kBatch, a.count - sent);
            for (int k = 0; k < n; ++k) {
                const int i = (sent + k) % a.sources;
                Slot &s = outgoing[size_t(k)];
                s.iov = {const_cast<char *>(payload[size_t(i)].constData()), size_t(payload[size_t(i)].size())};
                std::memset(s.control, 0, sizeof s.control);
                msghdr &m = msgs[size_t(k)].msg_hdr;
                m = msghdr{};
                m.msg_name = &dst;
                m.msg_namelen = sizeof dst;
                m.msg_iov = &s.iov;
                m.msg_iovlen = 1;
                m.msg_control = s.control;
                m.msg_controllen = sizeof s.control;
                cmsghdr *c = CMSG_FIRSTHDR(&m);
                c->cmsg_level = IPPROTO_IP;
                c->cmsg_type = IP_PKTINFO;
                c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
                in_pktinfo pi{};
                pi.ipi_spec_dst.s_addr = htonl(cfgs[size_t(i)].ip);
                std::memcpy(CMSG_DATA(c), &pi, sizeof pi);
            }
            const int r = ::sendmmsg(fd, msgs.data(), unsigned(n), 0);
            if (r < 0) {
                if (errno == EINTR || errno == ENOBUFS || errno == EAGAIN)
                    continue;
                std::fprintf(stderr, "sendmmsg: %s\n", std::strerror(errno));
                return 1;
            }
            sent += r;
        }
        std::printf("sent %d %.1f\n", sent, double(t.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
    }
    return 0;
}

// ---------------------------------------------------------------- receiver

struct Sender {
    QProcess proc;

    bool Start(const Args &a, int port)
    {
        const QString ns = testlan::deviceNamespace();
        proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), ns,
                                          QCoreApplication::applicationFilePath(), QStringLiteral("send"), QStringLiteral("--to"),
                                          a.to, QStringLiteral("--port"), QString::number(port), QStringLiteral("--count"),
                                          QString::number(a.count), QStringLiteral("--sources"), QString::number(a.sources)});
        return proc.waitForStarted(5000);
    }
    void Go()
    {
        proc.write("go\n");
        proc.waitForBytesWritten(1000);
    }
    // The sender's "sent N ms" line, waited for while the event loop runs.
    QByteArray Result(int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (!proc.canReadLine() && t.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            proc.waitForReadyRead(0);
        }
        return proc.readLine().trimmed();
    }
    void Stop()
    {
        proc.closeWriteChannel();
        if (!proc.waitForFinished(5000))
            proc.kill();
    }
};

struct Figures {
    quint64 handled = 0;
    double busyMs = 0;
    double rate = 0;
};

// The windows, shown: their first "X" goes out and no device answers it, so
// the flood arrives inside the reply window and is handled as replies.
Figures FloodProgram(const Args &a, Sender &sender)
{
    TArdelWindows windows;
    Tf_main *m = windows.f_main.get();
    m->show();
    QCoreApplication::processEvents();
    const TMainWindowProbe probe(*m);
    const quint64 before = probe.PlainDatagramsHandled();
    sender.Go();
    // Busy time: first handled reply to the last, sampled every millisecond.
    QElapsedTimer clock;
    clock.start();
    qint64 first = -1;
    qint64 last = 0;
    quint64 seen = before;
    qint64 quietSince = clock.elapsed();
    while (clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const quint64 now = probe.PlainDatagramsHandled();
        if (now != seen) {
            if (first < 0)
                first = clock.nsecsElapsed();
            last = clock.nsecsElapsed();
            seen = now;
            quietSince = clock.elapsed();
        } else if (first >= 0 && clock.elapsed() - quietSince > 300) {
            break;
        }
        if (seen - before >= quint64(a.count))
            break;
    }
    Figures f;
    f.handled = seen - before;
    // The first reply's own handling is not inside first..last: count one less.
    f.busyMs = first >= 0 ? double(last - first) / 1e6 : 0;
    f.rate = f.busyMs > 0 ? double(f.handled - 1) / (f.busyMs / 1000.0) : 0;
    std::printf("sender: %s\n", sender.Result(10000).constData());
    std::printf("program: handled %llu of %d in %.1f ms: %.0f replies/s; rows %d; lost %lld\n",
                static_cast<unsigned long long>(f.handled), a.count, f.busyMs, f.rate, probe.Table().RowCount(),
                static_cast<long long>(a.count) - static_cast<long long>(f.handled));
    return f;
}

// The same traffic into a bare socket bound to the same address and port with
// the program's receive buffer, read with recvmmsg as fast as it comes.
Figures FloodDrain(const Args &a, Sender &sender)
{
    Figures f;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int rcv = int(TUDPComms::kReceiveBuffer);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof rcv);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_port = htons(quint16(a.port));
    ::inet_pton(AF_INET, qPrintable(a.to), &self.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&self), sizeof self) != 0) {
        std::fprintf(stderr, "drain bind: %s\n", std::strerror(errno));
        ::close(fd);
        return f;
    }
    constexpr int kBatch = 64;
    constexpr int kSize = int(TUDPComms::kMaxDatagram);
    std::vector<char> buffers(size_t(kBatch) * kSize);
    std::vector<iovec> iov(kBatch);
    std::vector<mmsghdr> msgs(kBatch);
    std::vector<sockaddr_in> from(kBatch);
    sender.Go();
    QElapsedTimer clock;
    clock.start();
    qint64 first = -1;
    qint64 last = 0;
    qint64 quietSince = clock.elapsed();
    quint64 n = 0;
    std::size_t bytes = 0;
    while (n < quint64(a.count) && clock.elapsed() < 60000) {
        for (int k = 0; k < kBatch; ++k) {
            iov[size_t(k)] = {buffers.data() + size_t(k) * kSize, size_t(kSize)};
            msgs[size_t(k)].msg_hdr = msghdr{};
            msgs[size_t(k)].msg_hdr.msg_iov = &iov[size_t(k)];
            msgs[size_t(k)].msg_hdr.msg_iovlen = 1;
            msgs[size_t(k)].msg_hdr.msg_name = &from[size_t(k)];
            msgs[size_t(k)].msg_hdr.msg_namelen = sizeof(sockaddr_in);
        }
        const int r = ::recvmmsg(fd, msgs.data(), kBatch, MSG_DONTWAIT, nullptr);
        if (r > 0) {
            if (first < 0)
                first = clock.nsecsElapsed();
            last = clock.nsecsElapsed();
            quietSince = clock.elapsed();
            n += quint64(r);
            for (int k = 0; k < r; ++k)
                bytes += msgs[size_t(k)].msg_len;
        } else if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            std::fprintf(stderr, "recvmmsg: %s\n", std::strerror(errno));
            break;
        } else if (first >= 0 && clock.elapsed() - quietSince > 300) {
            break;
        }
    }
    ::close(fd);
    f.handled = n;
    f.busyMs = first >= 0 ? double(last - first) / 1e6 : 0;
    f.rate = f.busyMs > 0 ? double(n - 1) / (f.busyMs / 1000.0) : 0;
    std::printf("sender: %s\n", sender.Result(10000).constData());
    std::printf("drain:   read %llu of %d (%zu bytes) in %.1f ms: %.0f datagrams/s; lost %lld\n",
                static_cast<unsigned long long>(n), a.count, bytes, f.busyMs, f.rate,
                static_cast<long long>(a.count) - static_cast<long long>(n));
    return f;
}

int RunReceiver(const Args &a)
{
    if (testlan::deviceNamespace().isEmpty()) {
        std::fprintf(stderr, "not inside scripts/netns-run.sh (ARDEL_DEV_NS is unset)\n");
        return 1;
    }
    std::printf("== receive path: %d valid replies from %d addresses, flooded at the sender's pace; goal >= 100,000 "
                "handled/s; load %s\n",
                a.count, a.sources, qPrintable(LoadAverage()));
    Sender sender;
    if (!sender.Start(a, a.port)) {
        std::fprintf(stderr, "sender did not start\n");
        return 1;
    }
    QThread::msleep(300); // the sender builds its datagrams first
    for (int round = 1; round <= a.rounds; ++round) {
        std::printf("-- round %d (load %s)\n", round, qPrintable(LoadAverage()));
        const Figures p = FloodProgram(a, sender);
        const Figures d = a.drain ? FloodDrain(a, sender) : Figures{};
        std::printf("SUMMARY flood round %d: program %.0f replies/s (%llu handled), drain %.0f/s (%llu read), ratio %.3f "
                    "[%s]\n",
                    round, p.rate, static_cast<unsigned long long>(p.handled), d.rate, static_cast<unsigned long long>(d.handled),
                    d.rate > 0 ? p.rate / d.rate : 0.0, p.rate >= 100000 ? "goal met" : "GOAL MISSED");
        std::fflush(stdout);
    }
    sender.Stop();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const Args a = ParseArgs(args);
    // As the program's main does.
    ardel::TuneAllocator();
    ardel::UsePlainEventLoop();
    if (a.mode == QLatin1String("send")) {
        QCoreApplication app(argc, argv);
        return RunSender(a);
    }
    QApplication app(argc, argv);
    // The windows write Ardel.log into the working directory.
    return RunReceiver(a);
}
