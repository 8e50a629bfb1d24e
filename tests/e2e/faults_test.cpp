// Faults from outside the program: ports taken, addresses gone, floods of
// malformed datagrams, oversized datagrams, hostile TCP peers and device texts
// full of control bytes and markup. The program must keep working and report
// through the message pane.
#include "tests/e2e/e2e_fixture.h"

#include "app/core/DeviceTable.h"
#include "net/IPInfo.h"
#include "net/TextUtil.h"
#include "net/UDPComms.h"
#include "net/ui/frm_netparam.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <fcntl.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <random>
#include <chrono>
#include <thread>

using namespace ardel;

namespace {

// How much the peak memory may grow under a flood. AddressSanitizer keeps
// freed blocks in its quarantine (256 MB by default) and pads every block, so
// its builds grow by far more than the program does; they get a looser bound
// that still catches growth without limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kGrowthBoundKb = 1024 * 1024;
#else
constexpr qint64 kGrowthBoundKb = 200 * 1024;
#endif

// ---------------------------------------------------------------- device side

// A thread that lives in the device namespace for its whole life, so that the
// sockets it creates are device sockets.
class DeviceThread {
public:
    ~DeviceThread() { stop(); }

    // body runs in the device namespace until it returns or stop() is asked.
    bool start(std::function<void(const std::atomic<bool> &stop)> body)
    {
        std::promise<bool> joined;
        auto ready = joined.get_future();
        m_stop = false;
        m_thread = std::thread([this, body = std::move(body), joined = std::move(joined)]() mutable {
            const bool ok = joinDeviceNamespace();
            joined.set_value(ok);
            if (ok)
                body(m_stop);
        });
        return ready.get();
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    static bool joinDeviceNamespace()
    {
        const QByteArray ns = qgetenv("ARDEL_DEV_NS");
        if (ns.isEmpty())
            return false;
        const int fd = ::open(("/run/netns/" + ns).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool ok = ::setns(fd, CLONE_NEWNET) == 0;
        ::close(fd);
        return ok;
    }

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

sockaddr_in sockAddr(const char *addr, quint16 port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, addr, &sa.sin_addr);
    return sa;
}

// Call from a DeviceThread body.
int udpSocket(const char *addr, quint16 port, const char *ifname = nullptr)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const int big = 4 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    if (ifname)
        ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, ifname, static_cast<socklen_t>(std::strlen(ifname)));
    const sockaddr_in sa = sockAddr(addr, port);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A raw UDP sender with its own source address: it can send from any source
// port, 65500 too, while the emulator holds that port on every address.
int rawUdpSocket(const char *addr)
{
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        return -1;
    // It also sees every UDP datagram of the namespace; keep that copy small.
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const int big = 4 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    const sockaddr_in sa = sockAddr(addr, 0);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One datagram through a raw socket; checksum 0 means none for IPv4.
void sendRawUdp(int fd, quint16 fromPort, const sockaddr_in &to, const char *data, int size)
{
    static thread_local QByteArray packet;
    packet.resize(8 + size);
    auto *h = reinterpret_cast<unsigned char *>(packet.data());
    const quint16 len = static_cast<quint16>(8 + size);
    const quint16 dst = ntohs(to.sin_port);
    h[0] = static_cast<unsigned char>(fromPort >> 8);
    h[1] = static_cast<unsigned char>(fromPort);
    h[2] = static_cast<unsigned char>(dst >> 8);
    h[3] = static_cast<unsigned char>(dst);
    h[4] = static_cast<unsigned char>(len >> 8);
    h[5] = static_cast<unsigned char>(len);
    h[6] = h[7] = 0;
    std::memcpy(packet.data() + 8, data, static_cast<size_t>(size));
    (void)::sendto(fd, packet.constData(), static_cast<size_t>(packet.size()), 0, reinterpret_cast<const sockaddr *>(&to),
                   sizeof to);
}

void sendTo(int fd, const sockaddr_in &to, const QByteArray &data)
{
    (void)::sendto(fd, data.constData(), static_cast<size_t>(data.size()), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
}

// A plain device played byte for byte: answers "X" and "V" on port 65535 with
// the given replies, so that any byte can be put on the wire.
void answerPlain(const std::atomic<bool> &stop, const char *addr, const QByteArray &discovery, const QByteArray &version,
                 std::atomic<int> &answered, std::atomic<bool> &listening)
{
    // Broadcasts reach only a socket bound to no address; the answer leaves
    // from the device's own address.
    const int in = udpSocket("0.0.0.0", 65535, "dev0");
    const int out = udpSocket(addr, 65535);
    if (in < 0 || out < 0)
        return;
    listening = true;
    char buf[2048];
    while (!stop) {
        pollfd p{in, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(in, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &len);
        if (n == 1 && buf[0] == 'X')
            sendTo(out, from, discovery);
        else if (n == 1 && buf[0] == 'V')
            sendTo(out, from, version);
        else
            continue;
        ++answered;
    }
    ::close(in);
    ::close(out);
}

// ------------------------------------------------------------------ measuring

qint64 procStatusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The longest time the main thread did not get round to a 1 ms timer.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_worst = std::max(m_worst, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start(1);
    }
    qint64 worstMs() const { return m_worst; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

void report(const QString &line)
{
    std::fprintf(stderr, "[faults] %s\n", qPrintable(line));
}

bool memoHas(const QStringList &lines, const std::function<bool(const QString &)> &pred)
{
    return std::any_of(lines.begin(), lines.end(), pred);
}

QJsonArray devicesOnBothSegments()
{
    return {PlainDevice("10.77.128.10", "0.26.75.12.200.3", "Kelvara Kft.", "Kazán-1", "AV 2.41.7"),
            PlainDevice("10.77.128.11", "0.26.75.12.200.4", "Gépház", "Szivattyú", "AV 2.41.8"),
            PlainDevice("10.78.128.10", "0.26.75.12.201.3", "Telephely B", "Kút", "AV 2.0.0"),
            PlainDevice("10.99.0.5", "0.26.75.12.203.9", "Távoli", "Mérő", "AV 2.0.1")};
}

class FaultsTest : public E2eTest {
protected:
    void TearDown() override
    {
        E2eTest::TearDown();
        SetAdapterProvider({});
    }
    // Every address of devices is in the table, and nothing else.
    void expectExactly(const QStringList &ips)
    {
        const TDeviceTableModel *t = &Probe(main()).Table();
        EXPECT_EQ(t->RowCount(), ips.size());
        for (const QString &ip : ips)
            EXPECT_GE(t->FindDeviceRow(ip), 0) << ip.toStdString();
    }
};

// ------------------------------------------------------- endpoints that fail

struct StartupFault {
    const char *what;
    std::function<void(std::unique_ptr<QUdpSocket> &squatter)> arrange;
};

class StartupFaultTest : public FaultsTest, public ::testing::WithParamInterface<StartupFault> {};

TEST_P(StartupFaultTest, StartUpGoesOnAndTheOtherSegmentIsListed)
{
    ASSERT_TRUE(startDevices(devicesOnBothSegments()));
    std::unique_ptr<QUdpSocket> squatter;
    GetParam().arrange(squatter);
    showAndWaitIdle(10000);
    Tf_main *m = main();

    const QStringList memo = memoTexts();
    EXPECT_TRUE(memoHas(memo, [](const QString &l) {
        return l.startsWith(QStringLiteral("Hálózat indítási hiba: ")) && l.contains(QStringLiteral("ws0"))
               && l.endsWith(QStringLiteral(" ,6"));
    })) << memo.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(Probe(m).Comms()->ServerCount(), 2);
    EXPECT_EQ(Probe(m).Comms()->OpenServerCount(), 1);
    EXPECT_EQ(m->StatusPanel(3), QStringLiteral("Hálózati csatlakozások: 2"));
    // Only the second segment is reachable, and it is listed in full.
    expectExactly({QStringLiteral("10.78.128.10")});
    EXPECT_EQ(Probe(m).Table().Cell(0, ColVersion), QStringLiteral("AV 2.0.0"));

    // A later refresh keeps working the same way.
    Control<QPushButton>(m, "bbtn_refresh")->click();
    ASSERT_TRUE(waitIdle(10000));
    expectExactly({QStringLiteral("10.78.128.10")});
    EXPECT_EQ(Probe(m).Table().Cell(0, ColListStatus), QStringLiteral("régi"));
}

INSTANTIATE_TEST_SUITE_P(Endpoints, StartupFaultTest,
                         ::testing::Values(StartupFault{"PortTaken",
                                                        [](std::unique_ptr<QUdpSocket> &squatter) {
                                                            // Another program holds port 1010 on the first address.
                                                            squatter = std::make_unique<QUdpSocket>();
                                                            ASSERT_TRUE(squatter->bind(
                                                                QHostAddress(QString::fromLatin1(testlan::kWsAddr0)), 1010,
                                                                QAbstractSocket::DontShareAddress));
                                                        }},
                                           StartupFault{"AddressGone",
                                                        [](std::unique_ptr<QUdpSocket> &) {
                                                            // The snapshot still names an address that is no longer configured.
                                                            SetAdapterProvider([] {
                                                                std::vector<TAdapterRecord> v = PlatformAdapters();
                                                                for (TAdapterRecord &a : v)
                                                                    for (TInfoIPAddress &p : a.IPAddresses)
                                                                        if (p.IPAddress == QLatin1String(testlan::kWsAddr0))
                                                                            p.IPAddress = QStringLiteral("10.77.0.99");
                                                                return v;
                                                            });
                                                        }}),
                         [](const ::testing::TestParamInfo<StartupFault> &p) { return std::string(p.param.what); });

// ------------------------------------------------- the network dialog mid-exchange

TEST_F(FaultsTest, NetworkDialogConfirmedWhileDiscoveryRepliesPourIn)
{
    ASSERT_TRUE(startDevices({PlainDevice("10.77.128.10", "0.26.75.12.200.3", "o", "n", "AV 1"),
                              PlainDevice("10.78.128.10", "0.26.75.12.201.3", "o", "n", "AV 1")}));
    showAndWaitIdle(10000);
    Tf_main *m = main();
    Tf_netparam *dlg = windows->f_netparam.get();

    // Twenty devices that answer a discovery again and again, through both segments.
    constexpr int kFlooders = 20;
    std::atomic<long> sent{0};
    DeviceThread flood;
    ASSERT_TRUE(flood.start([&](const std::atomic<bool> &stop) {
        std::vector<int> fds;
        std::vector<QByteArray> replies;
        for (int k = 0; k < kFlooders; ++k) {
            const QByteArray ip = (k % 2 ? "10.78.129." : "10.77.129.") + QByteArray::number(k + 1);
            fds.push_back(udpSocket(ip.constData(), 40000));
            replies.push_back("A0.26.75.13.0." + QByteArray::number(k) + "/1001/N**I*/x/Flood/F" + QByteArray::number(k));
        }
        const sockaddr_in to[2] = {sockAddr(testlan::kWsAddr0, 1010), sockAddr(testlan::kWsAddr1, 1010)};
        QElapsedTimer clock;
        clock.start();
        long n = 0;
        while (!stop) {
            for (int k = 0; k < kFlooders; ++k)
                sendTo(fds[static_cast<size_t>(k)], to[k % 2], replies[static_cast<size_t>(k)]);
            n += kFlooders;
            // About 5000 replies a second.
            while (!stop && n > clock.elapsed() * 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sent = n;
        for (int fd : fds)
            ::close(fd);
    }));

    Control<QPushButton>(m, "bbtn_refresh")->click();
    testlan::pumpFor(300);
    int checkedOnOpen = -1;
    OnNextModal([&](QWidget *) {
        checkedOnOpen = 0;
        for (QCheckBox *b : dlg->findChildren<QCheckBox *>())
            if (b != dlg->cb_first && b->isChecked())
                ++checkedOnOpen;
        // Confirmed a little later, with replies arriving all the while.
        QTimer::singleShot(300, dlg, [dlg] { QTest::mouseClick(dlg->bbtn_set, Qt::LeftButton); });
    });
    m->bbtn_netClick();
    EXPECT_EQ(checkedOnOpen, 2);
    EXPECT_EQ(dlg->Answer(), 1);
    EXPECT_EQ(Probe(m).Comms()->OpenServerCount(), 2);
    EXPECT_EQ(m->StatusPanel(3), QStringLiteral("Hálózati csatlakozások: 2"));

    // The reopened endpoints take replies at once.
    const quint64 before = Probe(m).PlainDatagramsHandled();
    ASSERT_TRUE(testlan::pumpUntil([&] { return Probe(m).PlainDatagramsHandled() > before + 200; }, 5000));
    flood.stop();
    ASSERT_TRUE(waitIdle(15000)) << "the refresh did not end after the replies stopped";
    report(QStringLiteral("dialog test: %1 flood replies sent, %2 plain datagrams handled")
               .arg(sent.load())
               .arg(Probe(m).PlainDatagramsHandled()));

    // One row per device, each holding its own reply.
    const TDeviceTableModel *t = &Probe(m).Table();
    EXPECT_EQ(t->RowCount(), kFlooders + 2);
    for (int k = 0; k < kFlooders; ++k) {
        const QString ip =
            QStringLiteral("%1%2").arg(k % 2 ? QStringLiteral("10.78.129.") : QStringLiteral("10.77.129.")).arg(k + 1);
        const int r = t->FindDeviceRow(ip);
        ASSERT_GE(r, 0) << ip.toStdString();
        EXPECT_EQ(t->Cell(r, ColMac), QStringLiteral("0.26.75.13.0.%1").arg(k));
        EXPECT_EQ(t->Cell(r, ColDeviceName), QStringLiteral("F%1").arg(k));
    }
    EXPECT_GE(t->FindDeviceRow(QStringLiteral("10.77.128.10")), 0);
    EXPECT_GE(t->FindDeviceRow(QStringLiteral("10.78.128.10")), 0);

    // With the flood gone, a refresh through the reopened endpoints keeps only the real devices.
    Control<QPushButton>(m, "bbtn_refresh")->click();
    ASSERT_TRUE(waitIdle(10000));
    expectExactly({QStringLiteral("10.77.128.10"), QStringLiteral("10.78.128.10")});
}

// ---------------------------------------------------------- hostile datagrams

TEST_F(FaultsTest, FloodOfMalformedDatagramsDuringARefresh)
{
    ASSERT_TRUE(startDevices(devicesOnBothSegments()));
    showAndWaitIdle(10000);
    Tf_main *m = main();
    expectExactly({QStringLiteral("10.77.128.10"), QStringLiteral("10.77.128.11"), QStringLiteral("10.78.128.10"),
                   QStringLiteral("10.99.0.5")});

    const qint64 rssBefore = procStatusKb("VmRSS");
    const qint64 hwmBefore = procStatusKb("VmHWM");
    const quint64 plainBefore = Probe(m).PlainDatagramsHandled();
    const quint64 tavoBefore = Probe(m).TavoDatagramsHandled();
    const quint64 cutBefore = Probe(m).Comms()->TruncatedDatagrams();

    // Random bytes of random sizes, some over 8192 bytes, a quarter of them
    // from port 65500 so that they take the TAVO road; about 20000 a second.
    constexpr int kFloodMs = 4000;
    constexpr int kPerSecond = 20000;
    std::atomic<long> sent{0}, oversized{0}, fromTavo{0};
    std::atomic<bool> floodDone{false};
    DeviceThread flood;
    ASSERT_TRUE(flood.start([&](const std::atomic<bool> &stop) {
        const int plainFd = rawUdpSocket("10.77.200.50");
        const int tavoFd = rawUdpSocket("10.77.200.51");
        if (plainFd < 0 || tavoFd < 0)
            return;
        const sockaddr_in to = sockAddr(testlan::kWsAddr0, 1010);
        std::mt19937 rng(20240611);
        QByteArray buf(20000, '\0');
        for (char &c : buf)
            c = static_cast<char>(rng());
        QElapsedTimer clock;
        clock.start();
        long n = 0;
        while (!stop && clock.elapsed() < kFloodMs) {
            const unsigned pick = rng() % 100;
            int size = 0;
            if (pick < 70)
                size = static_cast<int>(rng() % 600);
            else if (pick < 95)
                size = 600 + static_cast<int>(rng() % 7592);
            else
                size = 8193 + static_cast<int>(rng() % 11000);
            // A fresh start for every datagram, so that no two are equal.
            const int offset = static_cast<int>(rng() % (buf.size() - size + 1));
            buf[offset] = static_cast<char>(rng());
            const bool tavo = rng() % 4 == 0;
            sendRawUdp(tavo ? tavoFd : plainFd, tavo ? 65500 : 4000, to, buf.constData() + offset, size);
            ++n;
            oversized += size > 8192 ? 1 : 0;
            fromTavo += tavo ? 1 : 0;
            while (!stop && n > clock.elapsed() * kPerSecond / 1000)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        sent = n;
        floodDone = true;
        ::close(plainFd);
        ::close(tavoFd);
    }));

    StallMeter stall;
    QElapsedTimer clock;
    clock.start();
    testlan::pumpFor(300);
    Control<QPushButton>(m, "bbtn_refresh")->click();
    ASSERT_TRUE(testlan::pumpUntil([&] { return floodDone.load(); }, kFloodMs + 20000));
    const qint64 floodEnd = clock.elapsed();
    // The flood kept the reply window open; the refresh ends once it stops.
    ASSERT_TRUE(waitIdle(30000)) << "the refresh did not end after the flood";
    const qint64 refreshEnd = clock.elapsed();

    const qint64 rssAfter = procStatusKb("VmRSS");
    const qint64 hwmAfter = procStatusKb("VmHWM");
    const quint64 plain = Probe(m).PlainDatagramsHandled() - plainBefore;
    const quint64 tavo = Probe(m).TavoDatagramsHandled() - tavoBefore;
    report(QStringLiteral("flood: sent %1 datagrams in %2 ms (%3 over 8192, %4 from 65500); handled plain %5, tavo %6, "
                          "cut %7")
               .arg(sent.load())
               .arg(kFloodMs)
               .arg(oversized.load())
               .arg(fromTavo.load())
               .arg(plain)
               .arg(tavo)
               .arg(Probe(m).Comms()->TruncatedDatagrams() - cutBefore));
    report(QStringLiteral("flood: VmRSS %1 -> %2 kB, VmHWM %3 -> %4 kB, longest main-thread stall %5 ms, "
                          "refresh ended %6 ms after the flood")
               .arg(rssBefore)
               .arg(rssAfter)
               .arg(hwmBefore)
               .arg(hwmAfter)
               .arg(stall.worstMs())
               .arg(refreshEnd - floodEnd));

    EXPECT_GT(plain, 1000u);
    EXPECT_GT(tavo, 100u);
    EXPECT_GT(Probe(m).Comms()->TruncatedDatagrams(), cutBefore);
    // Every real device is still listed, confirmed by this refresh, and nothing of the flood.
    expectExactly({QStringLiteral("10.77.128.10"), QStringLiteral("10.77.128.11"), QStringLiteral("10.78.128.10"),
                   QStringLiteral("10.99.0.5")});
    for (int r = 0; r < Probe(m).Table().RowCount(); ++r)
        EXPECT_EQ(Probe(m).Table().Cell(r, ColListStatus), QStringLiteral("régi"));
    // Generous bounds only: the exact figures are in the report above.
    EXPECT_LT(hwmAfter - hwmBefore, kGrowthBoundKb);
    EXPECT_LT(stall.worstMs(), 2000);
}

TEST_F(FaultsTest, OversizedDatagramsAreCutAndTheProgramGoesOn)
{
    ASSERT_TRUE(startDevices(devicesOnBothSegments()));
    showAndWaitIdle(10000);
    Tf_main *m = main();
    const quint64 cutBefore = Probe(m).Comms()->TruncatedDatagrams();
    const quint64 plainBefore = Probe(m).PlainDatagramsHandled();
    const quint64 tavoBefore = Probe(m).TavoDatagramsHandled();

    const struct {
        quint16 fromPort;
        int size;
    } cases[] = {{4000, 8192}, {4000, 8193}, {4000, 20000}, {4000, 65507}, {65500, 9000}, {65500, 65507}};
    DeviceThread dev;
    ASSERT_TRUE(dev.start([&](const std::atomic<bool> &) {
        const sockaddr_in to = sockAddr(testlan::kWsAddr0, 1010);
        const int fd = rawUdpSocket("10.77.200.60");
        const QByteArray x(65507, 'x');
        for (const auto &c : cases)
            sendRawUdp(fd, c.fromPort, to, x.constData(), c.size);
        ::close(fd);
    }));
    dev.stop();
    ASSERT_TRUE(testlan::pumpUntil(
        [&] { return Probe(m).PlainDatagramsHandled() - plainBefore == 4 && Probe(m).TavoDatagramsHandled() - tavoBefore == 2; },
        5000));
    EXPECT_EQ(Probe(m).Comms()->TruncatedDatagrams() - cutBefore, 5u);
    // What arrived is reported, cut to 8192 bytes.
    const QByteArray log = logBytes();
    const QByteArray full = "Received outer: \"" + QByteArray(8192, 'x') + "\" from 10.77.200.60 on port ";
    EXPECT_EQ(log.count(full), 6);
    EXPECT_FALSE(log.contains(QByteArray(8193, 'x')));

    ASSERT_TRUE(waitIdle(5000));
    Control<QPushButton>(m, "bbtn_refresh")->click();
    ASSERT_TRUE(waitIdle(10000));
    expectExactly({QStringLiteral("10.77.128.10"), QStringLiteral("10.77.128.11"), QStringLiteral("10.78.128.10"),
                   QStringLiteral("10.99.0.5")});
}

// The memory that tells echoes through a second endpoint from new answers
// keeps datagrams from port 65500; a flood from many source addresses must
// not make it hold them all.
TEST_F(FaultsTest, EchoMemoryStaysSmallUnderAFloodFromManyAddresses)
{
    create();
    Tf_main *m = main();
    const struct {
        const char *what;
        int size;
        int peers;
    } cases[] = {{"datagrams longer than any packet", 8192, 2000}, {"packet-sized datagrams", 1000, 4000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        // Bytes in use on the heap: unlike RSS, not hidden by memory that
        // earlier tests freed.
        const auto inUse = [] {
            const struct mallinfo2 mi = ::mallinfo2();
            return static_cast<qint64>(mi.uordblks + mi.hblkhd);
        };
        const qint64 before = inUse();
        QByteArray d(c.size, 'x');
        quint32 serial = 0;
        for (int p = 0; p < c.peers; ++p) {
            const QString peer = QStringLiteral("10.99.%1.%2").arg(p / 250).arg(p % 250 + 1);
            for (int k = 0; k < 16; ++k) {
                ++serial;
                std::memcpy(d.data(), &serial, sizeof serial); // a fresh copy each time
                EXPECT_FALSE(m->IsEchoFromAnotherEndpoint(peer, d, QString::fromLatin1(testlan::kWsAddr0)));
            }
        }
        const qint64 grown = inUse() - before;
        report(QStringLiteral("echo memory, %1: %2 datagrams, heap in use grew %3 kB")
                   .arg(QString::fromLatin1(c.what))
                   .arg(c.peers * 16)
                   .arg(grown / 1024));
        EXPECT_LT(grown, 16 * 1024 * 1024);
    }
    // Still telling echoes apart afterwards.
    const QByteArray answer = "\xfb answer \xfc";
    EXPECT_FALSE(m->IsEchoFromAnotherEndpoint(QStringLiteral("10.77.128.5"), answer, QString::fromLatin1(testlan::kWsAddr0)));
    EXPECT_TRUE(m->IsEchoFromAnotherEndpoint(QStringLiteral("10.77.128.5"), answer, QString::fromLatin1(testlan::kWsAddr1)));
}

// -------------------------------------------------------- hostile TCP peers

enum class PeerKind { EndlessNoEnd, ClosesMidFrame };

struct TcpFault {
    const char *what;
    PeerKind kind;
};

class TcpFaultTest : public FaultsTest, public ::testing::WithParamInterface<TcpFault> {};

TEST_P(TcpFaultTest, FrameBufferStaysBoundedAndTheTimerEndsTheConnection)
{
    create();
    Tf_main *m = main();
    const PeerKind kind = GetParam().kind;
    std::atomic<long long> peerSent{0};
    std::atomic<bool> listening{false};
    DeviceThread peer;
    ASSERT_TRUE(peer.start([&](const std::atomic<bool> &stop) {
        const int ls = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        const sockaddr_in sa = sockAddr("10.77.128.40", 1001);
        if (::bind(ls, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0 || ::listen(ls, 4) != 0) {
            ::close(ls);
            return;
        }
        listening = true;
        int c = -1;
        while (!stop && c < 0) {
            pollfd p{ls, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0)
                c = ::accept4(ls, nullptr, nullptr, SOCK_CLOEXEC);
        }
        if (c < 0) {
            ::close(ls);
            return;
        }
        std::mt19937 rng(7);
        QByteArray chunk(16384, '\0');
        if (kind == PeerKind::ClosesMidFrame) {
            // The start of an answer, then the connection goes.
            const QByteArray half = QByteArray::fromHex("fb0102034153595745");
            peerSent += ::send(c, half.constData(), static_cast<size_t>(half.size()), MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ::close(c);
            ::close(ls);
            return;
        }
        // A frame start, then bytes that never end it (0xFB now and then restarts it).
        chunk[0] = static_cast<char>(0xFB);
        while (!stop) {
            for (int i = 1; i < chunk.size(); ++i) {
                char b = static_cast<char>(rng());
                if (b == static_cast<char>(0xFC))
                    b = 'x';
                chunk[i] = b;
            }
            pollfd p{c, POLLOUT, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::send(c, chunk.constData(), static_cast<size_t>(chunk.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                break; // the program closed the connection
            if (n > 0)
                peerSent += n;
            chunk[0] = 'y';
        }
        ::close(c);
        ::close(ls);
    }));
    ASSERT_TRUE(testlan::pumpUntil([&] { return listening.load(); }, 3000));

    qsizetype biggestFrame = 0;
    QObject::connect(Control<QTcpSocket>(m, "TAVOSocket1"), &QTcpSocket::readyRead, m,
                     [&] { biggestFrame = std::max(biggestFrame, Probe(m).TavoFramer().Partial().size()); });
    const qint64 hwmBefore = procStatusKb("VmHWM");
    StallMeter stall;
    const int firstLine = static_cast<int>(memoTexts().size());
    m->SetTavoRemoteAddress(QStringLiteral("10.77.128.40"));
    m->OpenTavoConnection();
    EXPECT_TRUE(m->IsBusy());
    ASSERT_TRUE(testlan::pumpUntil([&] { return !m->IsBusy(); }, 8000)) << "the TCP timer did not end the connection";
    const QStringList lines = memoSince(firstLine);
    const qint64 hwmAfter = procStatusKb("VmHWM");
    peer.stop();
    report(QStringLiteral("tcp %1: peer sent %2 bytes, largest frame buffer %3 bytes, VmHWM %4 -> %5 kB, "
                          "longest stall %6 ms")
               .arg(QString::fromLatin1(GetParam().what))
               .arg(peerSent.load())
               .arg(biggestFrame)
               .arg(hwmBefore)
               .arg(hwmAfter)
               .arg(stall.worstMs()));

    EXPECT_TRUE(lines.contains(QStringLiteral("A kapcsolat létrejött!")));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), QStringLiteral("TCP timer"));
    EXPECT_LE(biggestFrame, 1024);
    EXPECT_LE(Probe(m).TavoFramer().Partial().size(), 1024);
    EXPECT_EQ(Probe(m).TcpState(), QAbstractSocket::UnconnectedState);
    EXPECT_FALSE(memoHas(lines, [](const QString &l) { return l.startsWith(QStringLiteral("Az EEPROM")); }));
    EXPECT_LT(hwmAfter - hwmBefore, kGrowthBoundKb);
    // The pane shows the beginning of each chunk (stamp, at most one control
    // byte written out as "#nn" past the limit, "…"); the log file has it all.
    for (const QString &l : m->MemoLines())
        EXPECT_LE(l.size(), 14 + Tf_main::kMemoMaxLineChars + 3);
    if (kind == PeerKind::EndlessNoEnd) {
        EXPECT_GT(peerSent.load(), 100000);
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, TcpFaultTest,
                         ::testing::Values(TcpFault{"EndlessWithoutEndByte", PeerKind::EndlessNoEnd},
                                           TcpFault{"ClosesMidFrame", PeerKind::ClosesMidFrame}),
                         [](const ::testing::TestParamInfo<TcpFault> &p) { return std::string(p.param.what); });

// ------------------------------------------------------- hostile device texts

TEST_F(FaultsTest, DeviceTextsWithControlBytesUndefinedBytesAndMarkupStayPlainText)
{
    // Owner and name carry markup, control bytes and the bytes code page 1250
    // leaves undefined; the name also holds "/" (a closing tag), which must
    // not shift the sender's address out of the "IP cím" column.
    const QByteArray owner = "<b>Tulaj\x81\x83<b>";
    const QByteArray name = QByteArray("<img src=x>\x88\x90\x98\x07\x1b[31m\r\nN\0v<i>x</i>/10.1.2.3", 41);
    const QByteArray discovery = "A0.26.75.12.209.1/1001/N**I*/x/" + owner + "/" + name;
    const QByteArray version = "AV <i>9</i>\x81\x98";
    std::atomic<int> answered{0};
    std::atomic<bool> listening{false};
    DeviceThread dev;
    ASSERT_TRUE(dev.start(
        [&](const std::atomic<bool> &stop) { answerPlain(stop, "10.77.128.61", discovery, version, answered, listening); }));
    // The window broadcasts its first "X" as it shows: the device must be
    // listening by then (on a loaded machine its thread may not be yet).
    for (int i = 0; i < 500 && !listening; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(listening.load());
    showAndWaitIdle(10000);
    Tf_main *m = main();
    ASSERT_GT(answered.load(), 0);

    // The table holds the texts as they came, and the view paints them as text.
    const TDeviceTableModel *t = &Probe(m).Table();
    const int r = t->FindDeviceRow(QStringLiteral("10.77.128.61"));
    ASSERT_GE(r, 0);
    const struct {
        int column;
        QString text;
    } cells[] = {{ColOwner, FromCp1250(owner)}, {ColDeviceName, FromCp1250(name)}, {ColVersion, FromCp1250(version)}};
    auto *delegate = qobject_cast<QStyledItemDelegate *>(Control<QTableView>(m, "ngrid_machine_list")->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    for (const auto &c : cells) {
        const QModelIndex idx = t->index(r, c.column);
        EXPECT_EQ(t->data(idx, Qt::DisplayRole).toString(), c.text) << c.column;
        EXPECT_EQ(Control<QTableView>(m, "ngrid_machine_list")->indexWidget(idx), nullptr);
        // The delegate shows the text itself; only line breaks become line separators.
        QString shown = c.text;
        shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
        EXPECT_EQ(delegate->displayText(t->data(idx, Qt::DisplayRole), QLocale()), shown) << c.column;
    }
    EXPECT_TRUE(t->Cell(r, ColDeviceName).contains(QChar(0x88))); // U+0088 survives as it came
    EXPECT_EQ(t->Cell(r, ColIp), QStringLiteral("10.77.128.61"));
    EXPECT_TRUE(t->Cell(r, ColTavow).isEmpty());
    EXPECT_EQ(t->RowCount(), 1);

    // One message is one memo line, markup and all.
    const QStringList memo = memoTexts();
    const QString expected = QStringLiteral("\" from 10.77.128.61 on port 65535");
    int replyLines = 0;
    for (const QString &l : memo) {
        if (!l.startsWith(QStringLiteral("Received outer: \"A0.26.75.12.209.1/")))
            continue;
        ++replyLines;
        EXPECT_TRUE(l.endsWith(expected)) << l.toStdString();
        EXPECT_TRUE(l.contains(QStringLiteral("<b>Tulaj")));
        EXPECT_TRUE(l.contains(QStringLiteral("<img src=x>")));
    }
    EXPECT_EQ(replyLines, 2); // the two discovery passes
    for (const QString &l : m->MemoLines())
        EXPECT_FALSE(l.contains(QLatin1Char('\n')) || l.contains(QLatin1Char('\r')) || l.contains(QChar::LineSeparator)
                     || l.contains(QChar::ParagraphSeparator));

    // Status bar panels never read markup.
    for (QLabel *panel : Control<QStatusBar>(m, "StatusB1")->findChildren<QLabel *>())
        EXPECT_EQ(panel->textFormat(), Qt::PlainText) << panel->objectName().toStdString();

    // The export error box shows its text as text.
    m->SetExportFileNameSource([this] { return dir.filePath(QStringLiteral("<b>nincs</b>/<img src=x>.csv")); });
    Qt::TextFormat format = Qt::RichText;
    QString shownText;
    OnNextModal([&](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            format = box->textFormat();
            shownText = box->text();
            box->accept();
        }
    });
    m->bbtn_exportClick();
    EXPECT_FALSE(shownText.isEmpty());
    EXPECT_EQ(format, Qt::PlainText);

    // So does the IP collision warning, reached with the device's own address.
    m->SelectRow(r);
    QString warning;
    Qt::TextFormat warningFormat = Qt::RichText;
    OnNextModal([&](QWidget *setip) {
        OnNextModal([&](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                warning = box->text();
                warningFormat = box->textFormat();
            }
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QTest::keyClick(setip, Qt::Key_Return);
    });
    m->bbtn_change_ipClick();
    EXPECT_EQ(warning, QStringLiteral("IP cím ütközés van a megadott értékkel! Biztosan folytatja?"));
    EXPECT_EQ(warningFormat, Qt::PlainText);

    // The log file has the same line, with every byte written out printable.
    EXPECT_TRUE(logBytes().contains("<b>Tulaj"));
}

} // namespace
