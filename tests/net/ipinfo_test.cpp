#include "net/IPInfo.h"
#include "net/TextUtil.h"

#include <QScopeGuard>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace ardel;

namespace {

QString bytesText(const IPv4Bytes &b)
{
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

TAdapterRecord adapter(const QString &name, std::vector<TInfoIPAddress> pairs,
                       QByteArray mac = QByteArray::fromHex("001A2B3C4D5E"), bool up = true)
{
    TAdapterRecord r;
    r.AdapterName = name;
    r.Description = name + QStringLiteral(" (veth)");
    r.Address = mac;
    r.IsUp = up;
    r.IPAddresses = std::move(pairs);
    return r;
}

} // namespace

TEST(SplitText, KeepsEveryPieceIncludingEmptyOnes)
{
    const struct {
        QString text;
        QStringList pieces;
    } cases[] = {
        {QString(), {QString()}},
        {QStringLiteral("a"), {QStringLiteral("a")}},
        {QStringLiteral("a/b"), {QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("a/"), {QStringLiteral("a"), QString()}},
        {QStringLiteral("/a"), {QString(), QStringLiteral("a")}},
        {QStringLiteral("a//b"), {QStringLiteral("a"), QString(), QStringLiteral("b")}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SplitText(c.text, QLatin1Char('/')), c.pieces) << c.text.toStdString();
}

TEST(IPTextToBytes, FourPiecesKeepLowBitsAnythingElseIsZero)
{
    const struct {
        const char *text;
        const char *bytes;
    } cases[] = {
        {"192.168.1.10", "192.168.1.10"},
        {"192.168.1.300", "192.168.1.44"},
        {"-1.0.0.1", "255.0.0.1"},
        {"192.168.1", "0.0.0.0"},
        {"1.2.3.4.5", "0.0.0.0"},
        {"1..2.3", "1.0.2.3"},
        {"a.b.c.d", "0.0.0.0"},
        {"", "0.0.0.0"},
        {" 1.2.3.4", "0.2.3.4"},
        {"99999999999999999999.1.1.1", "0.1.1.1"},
        {"9999999999999999999.1.1.1", "0.1.1.1"}, // 19 nines: unreadable, not wrapped
        {"-9999999999999999999.1.1.1", "0.1.1.1"},
        {"2147483647.1.1.1", "255.1.1.1"}, // the 32-bit range keeps its low bits
        {"2147483648.1.1.1", "0.1.1.1"},   // beyond it the piece does not convert
        {"-2147483647.1.1.1", "1.1.1.1"},
        {"-2147483649.1.1.1", "0.1.1.1"},
        {"+300.1.1.1", "44.1.1.1"},
        {"0000000000000000300.1.1.1", "44.1.1.1"}, // 19 characters
        {"00000000000000000300.1.1.1", "0.1.1.1"}, // 20 characters
        {"1.2.3.4 ", "1.2.3.0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(bytesText(IPTextToBytes(QString::fromLatin1(c.text))), QString::fromLatin1(c.bytes)) << c.text;
}

TEST(IsInOwnSubnet, ComparesTheMaskedBytes)
{
    TOwnSubnet own;
    own.OwnAddress = IPTextToBytes(QStringLiteral("192.168.1.10"));
    own.OwnMask = IPTextToBytes(QStringLiteral("255.255.255.0"));
    const struct {
        const char *ip;
        bool inside;
    } cases[] = {
        {"192.168.1.200", true}, {"192.168.1.10", true},
        {"192.168.2.1", false},  {"192.168.1", false},    // three pieces read as 0.0.0.0
        {"10.0.0.1", false},     {"192.168.1.300", true}, // 300 keeps 44
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsInOwnSubnet(QString::fromLatin1(c.ip), own), c.inside) << c.ip;

    const TOwnSubnet unset; // no subnet settled: everything counts as local
    EXPECT_TRUE(IsInOwnSubnet(QStringLiteral("8.8.8.8"), unset));
    EXPECT_TRUE(IsInOwnSubnet(QStringLiteral("garbage"), unset));
}

TEST(TInfoIPAddress, AsText)
{
    EXPECT_EQ(TInfoIPAddress().AsText(), QString());
    EXPECT_EQ(TInfoIPAddress(QStringLiteral("10.0.0.1"), QString()).AsText(), QStringLiteral("10.0.0.1/"));
    EXPECT_EQ(TInfoIPAddress(QStringLiteral("10.0.0.1"), QStringLiteral("255.0.0.0")).AsText(),
              QStringLiteral("10.0.0.1/255.0.0.0"));
}

TEST(BytesToMACText, UpperCaseHexJoinedByColons)
{
    const QByteArray mac = QByteArray::fromHex("001A2B3C4D5E");
    EXPECT_EQ(BytesToMACText(mac, 6), QStringLiteral("00:1A:2B:3C:4D:5E"));
    EXPECT_EQ(BytesToMACText(mac, 0), QString());
    EXPECT_EQ(BytesToMACText(mac, 2), QStringLiteral("00:1A"));
    EXPECT_EQ(BytesToMACText(mac, 99), QStringLiteral("00:1A:2B:3C:4D:5E")) << "never reads past the bytes";
}

struct OwnCase {
    const char *name;
    QStringList hosts;
    std::vector<TAdapterRecord> adapters;
    QStringList messages;
    QString maskText;
    QString ownMask;
};

TEST(ListOwnAddresses, ReportsAdaptersAndSettlesTheOwnSubnet)
{
    const OwnCase cases[] = {
        {"exact match",
         {QStringLiteral("192.168.1.10")},
         {adapter(QStringLiteral("eth0"), {{QStringLiteral("192.168.1.10"), QStringLiteral("255.255.255.0")}})},
         {QStringLiteral("IP Adresses: 1"), QStringLiteral("Subnet: 255.255.255.0"), QStringLiteral("00:1A:2B:3C:4D:5E")},
         QStringLiteral("255.255.255.0"),
         QStringLiteral("255.255.255.0")},
        {"containment counts as a match",
         {QStringLiteral("10.0.0.1")},
         {adapter(QStringLiteral("eth0"), {{QStringLiteral("10.0.0.12"), QStringLiteral("255.0.0.0")}})},
         {QStringLiteral("IP Adresses: 1"), QStringLiteral("Subnet: 255.0.0.0"), QStringLiteral("00:1A:2B:3C:4D:5E")},
         QStringLiteral("255.0.0.0"),
         QStringLiteral("255.0.0.0")},
        {"no match",
         {QStringLiteral("172.16.0.1")},
         {adapter(QStringLiteral("eth0"), {{QStringLiteral("10.0.0.12"), QStringLiteral("255.0.0.0")}})},
         {QStringLiteral("IP Adresses: 1"), QStringLiteral("00:1A:2B:3C:4D:5E")},
         QString(),
         QStringLiteral("0.0.0.0")},
        {"only the first pair of an adapter sets the mask",
         {QStringLiteral("10.1.0.1")},
         {adapter(QStringLiteral("eth0"), {{QStringLiteral("10.2.0.1"), QStringLiteral("255.255.0.0")},
                                           {QStringLiteral("10.1.0.1"), QStringLiteral("255.0.0.0")}})},
         {QStringLiteral("IP Adresses: 2"), QStringLiteral("00:1A:2B:3C:4D:5E")},
         QString(),
         QStringLiteral("0.0.0.0")},
        {"empty hardware address gives an empty line",
         {QStringLiteral("10.0.0.1")},
         {adapter(QStringLiteral("tun0"), {{QStringLiteral("10.0.0.1"), QStringLiteral("255.255.255.255")}}, QByteArray())},
         {QStringLiteral("IP Adresses: 1"), QStringLiteral("Subnet: 255.255.255.255"), QString()},
         QStringLiteral("255.255.255.255"),
         QStringLiteral("255.255.255.255")},
        {"no host address matches nothing",
         {},
         {adapter(QStringLiteral("eth0"), {{QStringLiteral("10.0.0.1"), QStringLiteral("255.0.0.0")}})},
         {QStringLiteral("IP Adresses: 1"), QStringLiteral("00:1A:2B:3C:4D:5E")},
         QString(),
         QStringLiteral("0.0.0.0")},
        {"the last matching adapter decides",
         {QStringLiteral("10.0.0.1")},
         {adapter(QStringLiteral("eth0"), {{QStringLiteral("10.0.0.1"), QStringLiteral("255.0.0.0")}}),
          adapter(QStringLiteral("eth1"), {{QStringLiteral("10.0.0.1"), QStringLiteral("255.255.0.0")}})},
         {QStringLiteral("IP Adresses: 1"), QStringLiteral("Subnet: 255.0.0.0"), QStringLiteral("00:1A:2B:3C:4D:5E"),
          QStringLiteral("IP Adresses: 1"), QStringLiteral("Subnet: 255.255.0.0"), QStringLiteral("00:1A:2B:3C:4D:5E")},
         QStringLiteral("255.255.0.0"),
         QStringLiteral("255.255.0.0")},
    };
    for (const OwnCase &c : cases) {
        SCOPED_TRACE(c.name);
        const TIPInfo info(c.adapters);
        QStringList messages;
        TOwnSubnet own;
        ListOwnAddresses(
            info, c.hosts, [&](const QString &m) { messages.append(m); }, own);
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(own.OwnMaskText, c.maskText);
        EXPECT_EQ(bytesText(own.OwnMask), c.ownMask);
        EXPECT_EQ(bytesText(own.OwnAddress), bytesText(IPTextToBytes(c.hosts.value(0))));
    }
}

TEST(TIPInfo, LeavesOutAdaptersWithoutAnyAddress)
{
    const TIPInfo info({adapter(QStringLiteral("eth0"), {}),
                        adapter(QStringLiteral("eth1"), {{QStringLiteral("10.0.0.1"), QStringLiteral("255.0.0.0")}})});
    ASSERT_EQ(info.AdapterCount(), 1);
    EXPECT_EQ(info.Adapters[0]->AdapterName, QStringLiteral("eth1"));
    EXPECT_EQ(info.Adapters[0]->MACAddress, QStringLiteral("00:1A:2B:3C:4D:5E"));
    EXPECT_EQ(info.Adapters[0]->IPAddressCount(), 1);
}

TEST(HostAddresses, AreTheUpAdaptersAddressesInAdapterOrder)
{
    const TIPInfo info({adapter(QStringLiteral("eth0"), {{QStringLiteral("10.0.0.1"), QStringLiteral("255.0.0.0")},
                                                         {QStringLiteral("10.0.0.2"), QStringLiteral("255.0.0.0")}}),
                        adapter(QStringLiteral("eth1"), {{QStringLiteral("172.16.0.1"), QStringLiteral("255.255.0.0")}},
                                QByteArray::fromHex("001122334455"), false),
                        adapter(QStringLiteral("eth2"), {{QStringLiteral("192.168.5.1"), QStringLiteral("255.255.255.0")}})});
    EXPECT_EQ(HostAddressesOf(info),
              (QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"), QStringLiteral("192.168.5.1")}));
}

TEST(HostAddresses, OnTheTestLanAreBothWorkstationAddressesNotTheResolversLoopback)
{
    const QStringList hosts = GetHostAddresses();
    EXPECT_EQ(hosts, (QStringList{QStringLiteral("10.77.0.1"), QStringLiteral("10.78.0.1")}));
    const TIPInfo info;
    ASSERT_EQ(info.AdapterCount(), 2) << "loopback is left out";
    EXPECT_EQ(info.Adapters[0]->AdapterName, QStringLiteral("ws0"));
    EXPECT_EQ(info.Adapters[0]->Description, QStringLiteral("ws0 (veth)"));
    EXPECT_EQ(info.Adapters[0]->MACAddress.size(), 17);
    EXPECT_EQ(info.Adapters[1]->IPAddresses.front().AsText(), QStringLiteral("10.78.0.1/255.255.0.0"));
}

TEST(Cp1250, RoundTripsHungarianTexts)
{
    const QString text = QStringLiteral("Kommunikáció őű ŐŰ");
    const QByteArray bytes = ToCp1250(text);
    EXPECT_EQ(bytes, QByteArray("Kommunik\xE1"
                                "ci\xF3 \xF5\xFB \xD5\xDB"));
    EXPECT_EQ(FromCp1250(bytes), text);
}

// ------------------------------------------------ snapshots that cannot be taken

namespace {

struct Failure {
    bool thrown = false;
    int code = -1;
    QString message;
};

Failure snapshotFailure()
{
    Failure f;
    try {
        const TIPInfo info;
    } catch (const EOSError &e) {
        f.thrown = true;
        f.code = e.Code();
        f.message = e.Message();
    }
    return f;
}

// The kernel refuses the listing: no descriptor is left for its netlink socket.
std::vector<TAdapterRecord> platformAdaptersWithoutDescriptors()
{
    rlimit old{};
    EXPECT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    const int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(lowest);
    rlimit tight = old;
    tight.rlim_cur = rlim_t(lowest);
    EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_NOFILE, &old); });
    return PlatformAdapters();
}

} // namespace

TEST(TIPInfo, FailsWithThePlatformsErrorCodeNeverWithAnEmptyOrPartialSnapshot)
{
    const QString noAdapter = QStringLiteral("Hálózati adapter hiba: nincs IPv4 címmel rendelkező hálózati adapter");
    const QString refused =
        QStringLiteral("Hálózati adapter hiba: %1 (hibakód: %2)").arg(QString::fromLocal8Bit(std::strerror(EMFILE))).arg(EMFILE);
    const struct {
        const char *what;
        TAdapterProvider provider;
        int code;
        QString message;
    } cases[] = {
        {"listing refused", platformAdaptersWithoutDescriptors, EMFILE, refused},
        {"no adapter", [] { return std::vector<TAdapterRecord>{}; }, 0, noAdapter},
        {"adapters without an IPv4 address",
         [] {
             return std::vector<TAdapterRecord>{adapter(QStringLiteral("eth0"), {}), adapter(QStringLiteral("wlan0"), {})};
         },
         0, noAdapter},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
#ifdef __SANITIZE_ADDRESS__
        // The sanitizers' own checks open descriptors (a pipe to probe
        // memory), so with none left they report faults that are not there.
        if (c.code == EMFILE)
            continue;
#endif
        SetAdapterProvider(c.provider);
        const Failure f = snapshotFailure();
        EXPECT_TRUE(f.thrown);
        EXPECT_EQ(f.code, c.code);
        EXPECT_EQ(f.message, c.message);
        // The host addresses come from the same list: none, and no error for them.
        EXPECT_EQ(GetHostAddresses(), QStringList());
    }
    SetAdapterProvider({});
    EXPECT_FALSE(snapshotFailure().thrown) << "the test LAN's own adapters";
}

// A namespace with nothing but a loopback that is up (127.0.0.1): the thread
// that enters it takes the snapshot there.
TEST(TIPInfo, OnlyALoopbackCountsAsNoAdapter)
{
    Failure f;
    QStringList hosts{QStringLiteral("not run")};
    QString why;
    std::thread t([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            why = QStringLiteral("unshare(CLONE_NEWNET): ") + QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq req{};
        std::strcpy(req.ifr_name, "lo");
        if (fd < 0 || ::ioctl(fd, SIOCGIFFLAGS, &req) != 0 || (req.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &req)) != 0)
            why = QStringLiteral("loopback up: ") + QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        f = snapshotFailure();
        hosts = GetHostAddresses();
    });
    t.join();
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    EXPECT_TRUE(f.thrown);
    EXPECT_EQ(f.code, 0);
    EXPECT_EQ(f.message, QStringLiteral("Hálózati adapter hiba: nincs IPv4 címmel rendelkező hálózati adapter"));
    EXPECT_EQ(hosts, QStringList());
}
