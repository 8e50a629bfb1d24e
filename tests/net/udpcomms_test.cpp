#include "net/IPInfo.h"
#include "net/UDPComms.h"
#include "tests/common/TestLan.h"
#include "tests/net/netns_fixture.h"

#include <gtest/gtest.h>
#include <QRect>
#include <QUdpSocket>

#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <memory>

using namespace ardel;

namespace {

class FakeBox : public TConnectionCheckBox {
public:
    explicit FakeBox(QString caption) : m_caption(std::move(caption)) {}
    bool IsChecked() const override { return m_checked; }
    void SetChecked(bool c) override { m_checked = c; }
    QString Caption() const override { return m_caption; }
    QRect geometry;

private:
    QString m_caption;
    bool m_checked = false;
};

class FakeParent : public TCheckBoxParent {
public:
    TConnectionCheckBox *CreateCheckBox(const QString &caption, int left, int top, int width, int height) override
    {
        boxes.push_back(std::make_unique<FakeBox>(caption));
        boxes.back()->geometry = QRect(left, top, width, height);
        return boxes.back().get();
    }
    std::vector<std::unique_ptr<FakeBox>> boxes;
};

struct Received {
    QByteArray data;
    QString peer;
    quint16 port;
};

class UdpCommsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        comms = std::make_unique<TUDPComms>();
        comms->SetOnMessage([this](const QString &m) { messages.append(m); });
        comms->SetCheckBoxParent(&parent);
        comms->SetTemplateCheckBox(TCheckBoxTemplate{16, 8, 305, 49});
    }
    void TearDown() override
    {
        comms.reset();
        SetAdapterProvider({});
        for (int fd : fds)
            ::close(fd);
    }
    // Every endpoint (255: all boxes) or one, collecting what arrives.
    void startAll(int box = 255)
    {
        comms->ReadConnections();
        comms->BuildCheckBoxes();
        comms->SetOnUDPRead([this](const QByteArray &d, const QString &p, quint16 port) { received.push_back({d, p, port}); });
        comms->CheckConnection(box);
        comms->OpenServers();
    }
    int deviceSocket(const char *addr, quint16 port, const char *ifname = nullptr)
    {
        const int fd = nstest::DeviceUdpSocket(addr, port, ifname);
        if (fd >= 0)
            fds.push_back(fd);
        return fd;
    }

    FakeParent parent;
    std::unique_ptr<TUDPComms> comms;
    QStringList messages;
    std::vector<Received> received;
    std::vector<int> fds;
};

} // namespace

TEST_F(UdpCommsTest, ReadsOneConnectionPerAddressAndBuildsTheirBoxes)
{
    startAll();
    ASSERT_EQ(comms->Connections().size(), 2u);
    EXPECT_EQ(comms->Connections()[0].IPAddress, QStringLiteral("10.77.0.1"));
    EXPECT_EQ(comms->Connections()[0].IPMask, QStringLiteral("255.255.0.0"));
    EXPECT_EQ(comms->Connections()[1].IPAddress, QStringLiteral("10.78.0.1"));
    ASSERT_EQ(parent.boxes.size(), 2u);
    EXPECT_EQ(parent.boxes[0]->geometry, QRect(16, 13, 305, 49));
    EXPECT_EQ(parent.boxes[1]->geometry, QRect(16, 62, 305, 49));
    const TConnectionParam &c = comms->Connections()[0];
    EXPECT_EQ(parent.boxes[0]->Caption(), c.Description + QStringLiteral(" - 10.77.0.1 - 255.255.0.0 - ") + c.MACAddress);
    // Three report lines per connection, then the opening lines per endpoint.
    ASSERT_GE(messages.size(), 6);
    EXPECT_EQ(messages[0], c.MACAddress + QStringLiteral(" : 10.77.0.1"));
    EXPECT_EQ(messages[1], QStringLiteral("255.255.0.0"));
    EXPECT_EQ(messages[2], c.Description);
    EXPECT_TRUE(messages.contains(QStringLiteral("Local address: 10.77.0.1")));
    EXPECT_TRUE(messages.contains(QStringLiteral("Local address: 10.78.0.1")));
    EXPECT_EQ(comms->OpenServerCount(), 2);
    EXPECT_EQ(comms->CheckedCount(), 2);
}

TEST_F(UdpCommsTest, CheckConnectionIndexes)
{
    comms->ReadConnections();
    comms->BuildCheckBoxes();
    const struct {
        int index;
        int checked;
    } cases[] = {{2, 0}, {-1, 0}, {1, 1}, {0, 2}};
    for (const auto &c : cases) {
        comms->CheckConnection(c.index);
        EXPECT_EQ(comms->CheckedCount(), c.checked) << c.index;
    }
    for (auto &b : parent.boxes)
        b->SetChecked(false);
    comms->CheckConnection(255);
    EXPECT_EQ(comms->CheckedCount(), 2);
}

TEST_F(UdpCommsTest, WithNoBoxCheckedNothingOpensAndSendsDoNothing)
{
    comms->ReadConnections();
    comms->BuildCheckBoxes();
    comms->OpenServers();
    EXPECT_EQ(comms->ServerCount(), 0);
    const int fd = deviceSocket("0.0.0.0", 65535);
    ASSERT_GE(fd, 0);
    comms->BroadcastText("X", 65535);
    EXPECT_TRUE(nstest::ReceiveAll(fd, 300).empty());
}

TEST_F(UdpCommsTest, BroadcastLeavesEachInterfaceOnceWithItsOwnAddress)
{
    startAll();
    // One listener per device-side interface: each must see exactly one copy,
    // from the workstation address of its own segment and from port 1010.
    const int seg0 = deviceSocket("0.0.0.0", 65535, "dev0");
    const int seg1 = deviceSocket("0.0.0.0", 65535, "dev1");
    ASSERT_GE(seg0, 0);
    ASSERT_GE(seg1, 0);
    comms->BroadcastText("X", 65535);
    const auto got0 = nstest::ReceiveAll(seg0, 400);
    const auto got1 = nstest::ReceiveAll(seg1, 100);
    ASSERT_EQ(got0.size(), 1u);
    ASSERT_EQ(got1.size(), 1u);
    EXPECT_EQ(got0[0].from, QStringLiteral("10.77.0.1"));
    EXPECT_EQ(got0[0].fromPort, 1010);
    EXPECT_EQ(got0[0].data, QByteArray("X"));
    EXPECT_EQ(got1[0].from, QStringLiteral("10.78.0.1"));
    EXPECT_EQ(got1[0].fromPort, 1010);
}

TEST_F(UdpCommsTest, BroadcastIsAllowedOnlyDuringBroadcastText)
{
    startAll();
    ASSERT_EQ(comms->ServerCount(), 2);
    const int seg0 = deviceSocket("0.0.0.0", 65535, "dev0");
    ASSERT_GE(seg0, 0);
    for (int i = 0; i < comms->ServerCount(); ++i)
        EXPECT_EQ(comms->EndpointBroadcastOption(i), 0) << i;
    // A subnet broadcast handed to the unicast send does not leave.
    comms->SendText(QStringLiteral("10.77.255.255"), "X", 65535);
    EXPECT_TRUE(nstest::ReceiveAll(seg0, 300).empty());
    comms->BroadcastText("X", 65535);
    EXPECT_EQ(nstest::ReceiveAll(seg0, 300).size(), 1u);
    for (int i = 0; i < comms->ServerCount(); ++i)
        EXPECT_EQ(comms->EndpointBroadcastOption(i), 0) << i;
    comms->SendText(QStringLiteral("10.77.255.255"), "X", 65535);
    EXPECT_TRUE(nstest::ReceiveAll(seg0, 300).empty());
}

TEST_F(UdpCommsTest, AHandlerRunningItsOwnEventLoopStillGetsTheSameEndpointsDatagrams)
{
    startAll();
    const int dev = deviceSocket("10.77.200.7", 4444);
    ASSERT_GE(dev, 0);
    // The first datagram's handler runs a nested loop, as a modal dialog does.
    QStringList handled;
    QStringList handledInside;
    bool inside = false;
    comms->SetOnUDPRead([&](const QByteArray &d, const QString &, quint16) {
        handled.append(QString::fromLatin1(d));
        if (inside)
            handledInside.append(QString::fromLatin1(d));
        if (d == "open") {
            inside = true;
            for (const char *text : {"a", "b", "c"}) {
                nstest::SendTo(dev, "10.77.0.1", 1010, text);
                testlan::pumpFor(50);
            }
            testlan::pumpUntil([&] { return handledInside.size() >= 3; }, 2000);
            inside = false;
        }
    });
    ASSERT_TRUE(nstest::SendTo(dev, "10.77.0.1", 1010, "open"));
    ASSERT_TRUE(testlan::pumpUntil([&] { return handled.size() >= 4; }, 3000));
    EXPECT_EQ(handledInside, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    // Reading goes on after the nested loop has ended.
    ASSERT_TRUE(nstest::SendTo(dev, "10.77.0.1", 1010, "after"));
    ASSERT_TRUE(testlan::pumpUntil([&] { return handled.size() >= 5; }, 3000));
    EXPECT_EQ(handled.last(), QStringLiteral("after"));
}

TEST_F(UdpCommsTest, AFloodLargerThanTheQueueIsHandledCompletelyAndInOrder)
{
    startAll();
    const int dev = deviceSocket("10.77.200.8", 4445);
    ASSERT_GE(dev, 0);
    std::vector<int> got;
    comms->SetOnUDPRead([&](const QByteArray &d, const QString &, quint16) { got.push_back(d.toInt()); });
    const int n = int(TUDPComms::kMaxQueued) * 2 + 17;
    // Nothing is read while sending, so all of them wait in the socket's
    // buffer; the pauses only keep the kernel's per-CPU backlog from overflowing.
    for (int i = 0; i < n; ++i) {
        ASSERT_TRUE(nstest::SendTo(dev, "10.77.0.1", 1010, QByteArray::number(i)));
        if (i % 256 == 255)
            ::usleep(2000);
    }
    ASSERT_TRUE(testlan::pumpUntil([&] { return int(got.size()) >= n; }, 10000)) << got.size();
    std::vector<int> expected(static_cast<size_t>(n));
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(comms->QueuedDatagrams(), 0u);
}

TEST_F(UdpCommsTest, UnicastGoesOutOncePerEndpoint)
{
    startAll();
    const int dev = deviceSocket("10.77.128.20", 65500);
    ASSERT_GE(dev, 0);
    comms->SendText(QStringLiteral("10.77.128.20"), QByteArray("\xFB\x01\xFC", 3), 65500);
    auto got = nstest::ReceiveAll(dev, 400);
    ASSERT_EQ(got.size(), 2u);
    std::sort(got.begin(), got.end(), [](const auto &a, const auto &b) { return a.from < b.from; });
    EXPECT_EQ(got[0].from, QStringLiteral("10.77.0.1"));
    EXPECT_EQ(got[1].from, QStringLiteral("10.78.0.1"));
    EXPECT_EQ(got[0].data, QByteArray("\xFB\x01\xFC", 3));
    comms->SendText(QStringLiteral("not an address"), "X", 65500);
    EXPECT_TRUE(nstest::ReceiveAll(dev, 200).empty());
}

TEST_F(UdpCommsTest, DeviceDatagramsReachTheHandlerWithTheirSender)
{
    startAll();
    const int a = deviceSocket("10.77.200.5", 4444);
    const int b = deviceSocket("10.78.200.6", 5555);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ASSERT_TRUE(nstest::SendTo(a, "10.77.0.1", 1010, "A1.2.3.4.5.6/1001/N**M*/x/o/n"));
    ASSERT_TRUE(nstest::SendTo(b, "10.78.0.1", 1010, "AV 2.0"));
    ASSERT_TRUE(testlan::pumpUntil([&] { return received.size() >= 2; }, 3000));
    std::sort(received.begin(), received.end(), [](const auto &x, const auto &y) { return x.peer < y.peer; });
    EXPECT_EQ(received[0].peer, QStringLiteral("10.77.200.5"));
    EXPECT_EQ(received[0].port, 4444);
    EXPECT_EQ(received[0].data, QByteArray("A1.2.3.4.5.6/1001/N**M*/x/o/n"));
    EXPECT_EQ(received[1].peer, QStringLiteral("10.78.200.6"));
    EXPECT_EQ(received[1].port, 5555);
}

TEST_F(UdpCommsTest, HandlerSetBeforeOpeningReachesLaterEndpointsAndDatagramsAreCutAt8192)
{
    startAll(0);
    const int a = deviceSocket("10.77.200.7", 4000);
    ASSERT_GE(a, 0);
    ASSERT_TRUE(nstest::SendTo(a, "10.77.0.1", 1010, QByteArray(9000, 'Z')));
    ASSERT_TRUE(nstest::SendTo(a, "10.77.0.1", 1010, "after"));
    ASSERT_TRUE(testlan::pumpUntil([&] { return received.size() >= 2; }, 3000));
    EXPECT_EQ(received[0].data.size(), 8192);
    EXPECT_EQ(received[1].data, QByteArray("after"));
    EXPECT_EQ(comms->TruncatedDatagrams(), 1u);
}

// The first datagram of a read goes through Qt, the rest through the batch
// read: at the limit, one past it and empty, both ways give the same.
TEST_F(UdpCommsTest, DatagramsAtTheLimitAndEmptyOnesArriveTheSameThroughEitherRead)
{
    startAll(0);
    const int a = deviceSocket("10.77.200.9", 4002);
    ASSERT_GE(a, 0);
    const struct {
        qsizetype sent;
        qsizetype handed;
    } rows[] = {{8192, 8192}, {8193, 8192}, {0, 0}, {1, 1}};
    const auto check = [&](size_t at, qsizetype handed, const char *way) {
        ASSERT_GT(received.size(), at);
        EXPECT_EQ(received[at].data, QByteArray(handed, 'Q')) << way << ", datagram " << at;
    };
    // Alone, each is the first of its read.
    for (const auto &r : rows) {
        const size_t before = received.size();
        ASSERT_TRUE(nstest::SendTo(a, "10.77.0.1", 1010, QByteArray(r.sent, 'Q')));
        ASSERT_TRUE(testlan::pumpUntil([&] { return received.size() > before; }, 3000));
        check(before, r.handed, "alone");
    }
    // Behind a lead, sent before the event loop runs, they come in the batch.
    const size_t before = received.size();
    ASSERT_TRUE(nstest::SendTo(a, "10.77.0.1", 1010, "lead"));
    for (const auto &r : rows)
        ASSERT_TRUE(nstest::SendTo(a, "10.77.0.1", 1010, QByteArray(r.sent, 'Q')));
    ASSERT_TRUE(testlan::pumpUntil([&] { return received.size() >= before + 5; }, 3000));
    EXPECT_EQ(received[before].data, QByteArray("lead"));
    for (size_t i = 0; i < 4; ++i)
        check(before + 1 + i, rows[i].handed, "in a batch");
    EXPECT_EQ(comms->TruncatedDatagrams(), 2u);
}

TEST_F(UdpCommsTest, DefaultHandlerLogsWhatArrived)
{
    comms->ReadConnections();
    comms->BuildCheckBoxes();
    comms->CheckConnection(255);
    comms->OpenServers();
    const int a = deviceSocket("10.77.200.8", 4001);
    ASSERT_GE(a, 0);
    messages.clear();
    ASSERT_TRUE(nstest::SendTo(a, "10.77.0.1", 1010, "hello"));
    ASSERT_TRUE(testlan::pumpUntil([&] { return !messages.isEmpty(); }, 3000));
    EXPECT_EQ(messages.first(), QStringLiteral("Received \"hello\" from 10.77.200.8 on port 4001"));
}

TEST_F(UdpCommsTest, SecondEndpointOnTheSameAddressFailsAtStepSixAndTheOthersStillOpen)
{
    SetAdapterProvider([] {
        std::vector<TAdapterRecord> v = PlatformAdapters();
        TAdapterRecord dup = v.front();
        dup.AdapterName = QStringLiteral("dup0");
        dup.Description = QStringLiteral("dup0 (veth)");
        v.insert(v.begin() + 1, dup);
        return v;
    });
    startAll();
    ASSERT_EQ(comms->Connections().size(), 3u);
    EXPECT_EQ(comms->ServerCount(), 3);
    EXPECT_EQ(comms->OpenServerCount(), 2);
    const QString expected = QStringLiteral("Hálózat indítási hiba: ") + parent.boxes[1]->Caption() + QStringLiteral(" ,6");
    EXPECT_TRUE(messages.contains(expected)) << messages.join(QLatin1Char('\n')).toStdString();
    // The failed endpoint still counts as the box's endpoint for the dialog.
    for (auto &b : parent.boxes)
        b->SetChecked(false);
    comms->MarkOpenConnections();
    EXPECT_EQ(comms->CheckedCount(), 3);
}

TEST_F(UdpCommsTest, AnAddressGoneSinceTheSnapshotFailsAtStepSix)
{
    SetAdapterProvider([] {
        std::vector<TAdapterRecord> v = PlatformAdapters();
        v.front().IPAddresses.front().IPAddress = QStringLiteral("10.77.0.99"); // not configured any more
        return v;
    });
    startAll();
    EXPECT_EQ(comms->OpenServerCount(), 1);
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const QString &m) {
        return m.startsWith(QStringLiteral("Hálózat indítási hiba: ")) && m.endsWith(QStringLiteral(" ,6"));
    }));
    // Sending through it quietly tries again and skips it; the other endpoint still sends.
    const int seg1 = deviceSocket("0.0.0.0", 65535, "dev1");
    comms->BroadcastText("X", 65535);
    EXPECT_EQ(nstest::ReceiveAll(seg1, 300).size(), 1u);
}

TEST_F(UdpCommsTest, PortTakenByAnotherProgramIsReportedAndTheOtherAddressWorks)
{
    QUdpSocket squatter;
    ASSERT_TRUE(squatter.bind(QHostAddress(QStringLiteral("10.78.0.1")), 1010, QAbstractSocket::DontShareAddress));
    startAll();
    EXPECT_EQ(comms->OpenServerCount(), 1);
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const QString &m) {
        return m.startsWith(QStringLiteral("Hálózat indítási hiba: ")) && m.contains(QStringLiteral("10.78.0.1"))
               && m.endsWith(QStringLiteral(" ,6"));
    }));
    const int a = deviceSocket("10.77.200.9", 4002);
    ASSERT_TRUE(nstest::SendTo(a, "10.77.0.1", 1010, "ok"));
    ASSERT_TRUE(testlan::pumpUntil([&] { return !received.empty(); }, 3000));
    EXPECT_EQ(received[0].data, QByteArray("ok"));
}

TEST_F(UdpCommsTest, CloseServersEmptiesTheList)
{
    startAll();
    comms->CloseServers();
    EXPECT_EQ(comms->ServerCount(), 0);
    // The port is free again for the next opening.
    QUdpSocket probe;
    EXPECT_TRUE(probe.bind(QHostAddress(QStringLiteral("10.77.0.1")), 1010, QAbstractSocket::DontShareAddress));
}
