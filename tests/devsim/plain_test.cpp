// The emulator's plain-text side on the private LAN: discovery, version,
// set-IP, per-segment answering, misbehaviour and the journal.
#include "tests/devsim/lan_fixture.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <algorithm>

using namespace devsimtest;
using testlan::Devsim;

namespace {

const QString kDev1 = QStringLiteral("10.77.128.10");
const QString kDev2 = QStringLiteral("10.78.128.10");
const QString kDev3 = QStringLiteral("10.99.0.5");

class DevsimPlainLan : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (testlan::deviceNamespace().isEmpty())
            GTEST_SKIP() << "needs the private LAN of scripts/netns-run.sh";
    }
    void start(const QJsonObject &cfg) { ASSERT_TRUE(sim.start(cfg)) << sim.output().toStdString(); }
    Devsim sim;
};

QJsonObject threeSegments()
{
    return config({
        device(kDev1, {{QStringLiteral("mac"), QStringLiteral("0.26.75.12.200.3")},
                       {QStringLiteral("owner"), QStringLiteral("Kovács Kft")},
                       {QStringLiteral("name"), QStringLiteral("Őrház")},
                       {QStringLiteral("version"), QStringLiteral("AV 1.2.3")}}),
        device(kDev2, {{QStringLiteral("name"), QStringLiteral("Dev2")}}),
        device(kDev3, {{QStringLiteral("name"), QStringLiteral("Dev3")}}),
    });
}

QStringList senders(const QList<Reply> &replies)
{
    QStringList out;
    for (const Reply &r : replies)
        out.append(r.from);
    out.sort();
    return out;
}

} // namespace

TEST_F(DevsimPlainLan, BroadcastIsAnsweredPerSegment)
{
    start(threeSegments());
    struct Case {
        const char *local;
        QByteArray command;
        QStringList expected;
    } cases[] = {
        // 10.99.x.x lies outside both subnets and sits on the first segment.
        {testlan::kWsAddr0, "X", {kDev1, kDev3}}, {testlan::kWsAddr1, "X", {kDev2}}, {testlan::kWsAddr0, "V", {kDev1, kDev3}},
        {testlan::kWsAddr1, "V", {kDev2}},        {testlan::kWsAddr0, "Y", {}},
    };
    for (const Case &c : cases) {
        LanClient client(c.local);
        ASSERT_TRUE(client.ok());
        client.broadcast(c.command, 65535);
        const QList<Reply> replies = client.collect(300);
        EXPECT_EQ(senders(replies), c.expected) << c.local << " " << c.command.constData();
        for (const Reply &r : replies) {
            // Plain replies must not look like TAVO ones (source port 65500).
            EXPECT_EQ(r.port, 65535);
            EXPECT_EQ(r.bytes.at(0), 'A');
        }
    }

    LanClient client;
    client.broadcast("X", 65535);
    const QList<Reply> x = from(client.collect(300), kDev1);
    ASSERT_EQ(x.size(), 1);
    EXPECT_EQ(x[0].bytes, QByteArray("A0.26.75.12.200.3/1001/N**I*/x/Kov\xE1"
                                     "cs Kft/\xD5rh\xE1z"));
    client.broadcast("V", 65535);
    const QList<Reply> v = from(client.collect(300), kDev1);
    ASSERT_EQ(v.size(), 1);
    EXPECT_EQ(v[0].bytes, QByteArray("AV 1.2.3"));
}

TEST_F(DevsimPlainLan, UnicastReachesOnlyTheAddressedDevice)
{
    start(threeSegments());
    LanClient client;
    for (const QString &ip : {kDev1, kDev2, kDev3}) {
        client.sendTo(ip, 65535, "X");
        const QList<Reply> replies = client.collect(250);
        EXPECT_EQ(senders(replies), QStringList{ip});
    }
    client.sendTo(QStringLiteral("10.77.128.99"), 65535, "X");
    EXPECT_TRUE(client.collect(250).isEmpty());
}

TEST_F(DevsimPlainLan, SetIpAsksForThePasswordThenMovesTheDevice)
{
    start(config({
        device(kDev1, {{QStringLiteral("mac"), QStringLiteral("10.20.30.40.50.60")},
                       {QStringLiteral("password"), QStringLiteral("a/b|c")}}),
        device(QStringLiteral("10.77.128.11"), {{QStringLiteral("mac"), QStringLiteral("10.20.30.40.50.61")}}),
    }));
    LanClient client;
    const QString moved = QStringLiteral("10.77.128.50");
    struct Step {
        QByteArray command;
        QStringList expectedFrom;
        QByteArray reply;
    } steps[] = {
        {"A10.20.30.40.50.60//10.77.128.50|2a", {kDev1}, "D"},
        {"A10.20.30.40.50.60/a/b/10.77.128.50|2a", {kDev1}, "D"},
        {"A10.20.30.40.50.99//10.77.128.50|2a", {}, ""}, // nobody has that MAC
        {"A10.20.30.40.50.60/a/b|c/10.77.128.50|2a", {kDev1}, "A"},
    };
    for (const Step &s : steps) {
        client.broadcast(s.command, 65535);
        const QList<Reply> replies = client.collect(300);
        EXPECT_EQ(senders(replies), s.expectedFrom) << s.command.constData();
        for (const Reply &r : replies)
            EXPECT_EQ(r.bytes, s.reply) << s.command.constData();
    }
    // From now on the device answers from its new address, and only there.
    client.broadcast("X", 65535);
    const QList<Reply> after = client.collect(300);
    EXPECT_EQ(senders(after), (QStringList{QStringLiteral("10.77.128.11"), moved}));
    client.sendTo(kDev1, 65535, "X");
    EXPECT_TRUE(client.collect(250).isEmpty());
    client.sendTo(moved, 65535, "X");
    EXPECT_EQ(senders(client.collect(250)), QStringList{moved});

    // A device without a password accepts at once.
    client.broadcast("A10.20.30.40.50.61//10.77.128.51|2a", 65535);
    const QList<Reply> open = client.collect(300);
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open[0].from, QStringLiteral("10.77.128.11"));
    EXPECT_EQ(open[0].bytes, "A");
}

TEST_F(DevsimPlainLan, Misbehaviour)
{
    start(config({
        device(QStringLiteral("10.77.128.20"), {{QStringLiteral("silent"), true}}),
        device(QStringLiteral("10.77.128.21"), {{QStringLiteral("drop"), 1.0}}),
        device(QStringLiteral("10.77.128.22"), {{QStringLiteral("drop"), 0.5}}),
        device(QStringLiteral("10.77.128.23"), {{QStringLiteral("delay_ms"), 400}}),
        device(QStringLiteral("10.77.128.24"), {{QStringLiteral("malformed"), QStringLiteral("garbage")}}),
        device(QStringLiteral("10.77.128.25"), {{QStringLiteral("malformed"), true}}),
        device(QStringLiteral("10.77.128.26"), {{QStringLiteral("plain"), false}}),
    }));
    LanClient client;
    int halfDrop = 0;
    constexpr int kRounds = 30;
    for (int i = 0; i < kRounds; ++i) {
        client.sendTo(QStringLiteral("10.77.128.22"), 65535, "X");
        halfDrop += int(client.collect(30).size());
    }
    EXPECT_GT(halfDrop, 3);
    EXPECT_LT(halfDrop, kRounds - 3);

    const qint64 sent = client.nowMs();
    client.broadcast("X", 65535);
    const QList<Reply> replies = client.collect(700);
    EXPECT_TRUE(from(replies, QStringLiteral("10.77.128.20")).isEmpty());
    EXPECT_TRUE(from(replies, QStringLiteral("10.77.128.21")).isEmpty());
    EXPECT_TRUE(from(replies, QStringLiteral("10.77.128.26")).isEmpty());
    const QList<Reply> late = from(replies, QStringLiteral("10.77.128.23"));
    ASSERT_EQ(late.size(), 1);
    EXPECT_GE(late[0].atMs - sent, 380);
    ASSERT_EQ(from(replies, QStringLiteral("10.77.128.24")).size(), 1);
    const QList<Reply> shortReply = from(replies, QStringLiteral("10.77.128.25"));
    ASSERT_EQ(shortReply.size(), 1);
    EXPECT_EQ(shortReply[0].bytes.count('/'), 4);
}

TEST_F(DevsimPlainLan, AnswerSpreadDelaysEveryReplyWithinTheWindow)
{
    QList<QJsonObject> devs;
    for (int i = 0; i < 40; ++i)
        devs.append(device(QStringLiteral("10.77.130.%1").arg(i + 1)));
    start(config(devs, 300));
    LanClient client;
    const qint64 sent = client.nowMs();
    client.broadcast("X", 65535);
    const QList<Reply> replies = client.waitFor(40, 2000);
    ASSERT_EQ(replies.size(), 40);
    qint64 first = replies.front().atMs, last = replies.front().atMs;
    for (const Reply &r : replies) {
        first = std::min(first, r.atMs);
        last = std::max(last, r.atMs);
    }
    EXPECT_GT(last - first, 100) << "replies should be spread, not bunched";
    EXPECT_LE(last - sent, 600);
}

TEST_F(DevsimPlainLan, JournalRecordsEveryDatagram)
{
    start(threeSegments());
    LanClient client;
    client.broadcast("X", 65535);
    client.sendTo(kDev2, 65535, QByteArray("\x01\xFF<b>", 5));
    client.collect(200);
    QList<testlan::JournalEntry> entries;
    // Written while the emulator runs, not only at exit.
    ASSERT_TRUE(testlan::pumpUntil(
        [&] {
            entries = sim.journal();
            return entries.size() >= 2;
        },
        2000));
    ASSERT_EQ(entries.size(), 2);
    const testlan::JournalEntry &b = entries[0];
    EXPECT_EQ(b.proto, QStringLiteral("udp"));
    EXPECT_TRUE(b.src.startsWith(QStringLiteral("10.77.0.1:")));
    EXPECT_EQ(b.dst, QStringLiteral("255.255.255.255:65535"));
    EXPECT_EQ(b.iface, QStringLiteral("dev0"));
    EXPECT_EQ(b.bytes, "X");
    EXPECT_EQ(b.raw.value(QStringLiteral("text")).toString(), QStringLiteral("X"));
    EXPECT_GE(b.timeMs, 0);
    const testlan::JournalEntry &u = entries[1];
    EXPECT_EQ(u.dst, QStringLiteral("10.78.128.10:65535"));
    EXPECT_EQ(u.bytes, QByteArray("\x01\xFF<b>", 5));
    EXPECT_EQ(u.raw.value(QStringLiteral("text")).toString(), QString::fromLatin1("\x01\xFF<b>", 5));
    EXPECT_GE(u.timeMs, b.timeMs);

    sim.stop();
    EXPECT_TRUE(sim.output().contains(QStringLiteral("udp received=2"))) << sim.output().toStdString();
    EXPECT_TRUE(sim.output().contains(QStringLiteral("replies sent=2"))) << sim.output().toStdString();
}

TEST_F(DevsimPlainLan, BadConfigIsRefusedWithTheReason)
{
    EXPECT_FALSE(sim.start(config({device(QStringLiteral("10.77.128.1"), {{QStringLiteral("drop"), 3}})})));
    EXPECT_TRUE(sim.output().contains(QStringLiteral("\"drop\""))) << sim.output().toStdString();
    EXPECT_FALSE(sim.start(config({device(kDev1), device(kDev1)})));
    EXPECT_TRUE(sim.output().contains(QStringLiteral("share the address"))) << sim.output().toStdString();
}
