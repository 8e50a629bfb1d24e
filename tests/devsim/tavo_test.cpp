// The emulator's TAVO side on the private LAN: "CETEI" broadcast, memory and
// system reads, settings and restart, and the EEPROM write over TCP 1001.
#include "tests/devsim/lan_fixture.h"

#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace devsimtest;
using testlan::Devsim;

namespace {

const QString kTavow = QStringLiteral("10.77.128.10");
const QString kTavo = QStringLiteral("10.77.128.11");
const QString kPlain = QStringLiteral("10.77.128.12");
const QString kOther = QStringLiteral("10.78.128.10");

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (const int b : list)
        out.append(char(b));
    return out;
}

class DevsimTavoLan : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (testlan::deviceNamespace().isEmpty())
            GTEST_SKIP() << "needs the private LAN of scripts/netns-run.sh";
        const QJsonObject cfg = config({
            device(kTavow, {{QStringLiteral("mac"), QStringLiteral("0.26.75.12.200.3")},
                            {QStringLiteral("tavow"), 1000},
                            {QStringLiteral("gateway"), QStringLiteral("10.77.0.1")},
                            {QStringLiteral("mask"), QStringLiteral("255.255.0.0")},
                            {QStringLiteral("dhcp"), 2},
                            {QStringLiteral("name"), QStringLiteral("Dev1")},
                            {QStringLiteral("mem_name"), QStringLiteral("Kazán")},
                            {QStringLiteral("mem_owner"), QStringLiteral("Kft")},
                            {QStringLiteral("mem_password"), QStringLiteral("titok")},
                            {QStringLiteral("version_chars"), QStringLiteral("abc12")},
                            {QStringLiteral("build"), 300},
                            {QStringLiteral("restart_ms"), 1500}}),
            device(kTavo, {{QStringLiteral("tavow"), 17}, {QStringLiteral("tavo_variant"), QStringLiteral("tavo")}}),
            device(kPlain),
            device(kOther, {{QStringLiteral("tavow"), 1001}}),
            device(QStringLiteral("10.77.128.13"), {{QStringLiteral("tavow"), 1002}, {QStringLiteral("tavo_silent"), true}}),
            device(QStringLiteral("10.77.128.14"), {{QStringLiteral("tavow"), 1003}, {QStringLiteral("tavo_delay_ms"), 300}}),
            device(QStringLiteral("10.77.128.15"), {{QStringLiteral("tavow"), 1004}, {QStringLiteral("eeprom_fail"), true}}),
        });
        ASSERT_TRUE(sim.start(cfg)) << sim.output().toStdString();
    }

    // One request to one device; the decoded answer, or an empty one.
    TavoReply ask(const QString &ip, std::uint32_t recipient, const QByteArray &data, int waitMs = 300)
    {
        client.sendTo(ip, 65500, tavoRequest(recipient, data));
        const QList<Reply> replies = client.waitFor(1, waitMs);
        if (replies.size() != 1) {
            EXPECT_LE(replies.size(), 1);
            return {};
        }
        EXPECT_EQ(replies[0].from, ip);
        EXPECT_EQ(replies[0].port, 65500);
        return decodeTavo(replies[0].bytes);
    }

    QByteArray discoveryReplyOf(const QString &ip, int waitMs = 500)
    {
        client.sendTo(ip, 65535, "X");
        const QList<Reply> r = client.waitFor(1, waitMs);
        return r.size() == 1 ? r[0].bytes : QByteArray();
    }

    Devsim sim;
    LanClient client;
};

} // namespace

TEST_F(DevsimTavoLan, CeteiBroadcastGetsAeteiFromEveryTavoDeviceOnTheSegment)
{
    client.broadcast(tavoRequest(255, "CETEI", 7), 65500);
    const QList<Reply> replies = client.collect(600);
    QMap<QString, Reply> byIp;
    for (const Reply &r : replies)
        byIp.insert(r.from, r);
    // Plain, TAVO-silent and other-segment devices stay quiet; the slow one is late but there.
    EXPECT_EQ(byIp.keys(), (QStringList{kTavow, kTavo, QStringLiteral("10.77.128.14"), QStringLiteral("10.77.128.15")}));

    ASSERT_TRUE(byIp.contains(kTavow));
    const Reply &w = byIp[kTavow];
    EXPECT_EQ(w.port, 65500);
    EXPECT_EQ(std::uint8_t(w.bytes.at(0)), 0xFB);
    const TavoReply a = decodeTavo(w.bytes);
    EXPECT_EQ(a.error, 0);
    EXPECT_EQ(a.felado, 1000u);
    EXPECT_EQ(a.cimzett, 250u);
    EXPECT_EQ(a.seq, 7);
    EXPECT_EQ(a.data, QByteArray("AETEI") + bytes({0, 26, 75, 12, 200, 3, 10, 77, 128, 10, 10, 77, 0, 1, 255, 255, 0, 2, 0}));

    ASSERT_TRUE(byIp.contains(kTavo));
    EXPECT_EQ(std::uint8_t(byIp[kTavo].bytes.at(0)), 0xFD);
    const TavoReply t = decodeTavo(byIp[kTavo].bytes);
    EXPECT_EQ(t.error, 0);
    EXPECT_EQ(t.felado, 17u);
    EXPECT_EQ(t.data.left(5), "AETEI");
    EXPECT_EQ(t.data.mid(11, 4), bytes({10, 77, 128, 11}));

    const QList<testlan::JournalEntry> j = sim.journal();
    ASSERT_FALSE(j.isEmpty());
    EXPECT_EQ(j.last().word, QStringLiteral("CETEI"));
    EXPECT_EQ(j.last().data, "CETEI");
    EXPECT_EQ(j.last().raw.value(QStringLiteral("variant")).toString(), QStringLiteral("tavow"));
    EXPECT_EQ(j.last().raw.value(QStringLiteral("cimzett")).toInt(), 255);
    EXPECT_EQ(j.last().raw.value(QStringLiteral("felado")).toInt(), 250);
    EXPECT_EQ(j.last().raw.value(QStringLiteral("seq")).toInt(), 7);
}

TEST_F(DevsimTavoLan, UnicastReadsMemoryAndSystemInfo)
{
    struct Case {
        std::uint32_t recipient;
        QByteArray request;
        QByteArray expected; // empty: no answer
    } cases[] = {
        {1000, QByteArray("CSYRE") + bytes({10, 0, 24}), QByteArray("ASYRE") + QByteArray("Kaz\xE1n") + QByteArray(19, '\0')},
        {1000, QByteArray("CSYRE") + bytes({34, 0, 24}), QByteArray("ASYRE") + QByteArray("Kft") + QByteArray(21, '\0')},
        {1000, QByteArray("CSYRE") + bytes({97, 0, 30}), QByteArray("ASYRE") + QByteArray("titok") + QByteArray(25, '\0')},
        {1000, QByteArray("CSYRE") + bytes({211, 0, 6}), QByteArray("ASYRE") + bytes({0, 26, 75, 12, 200, 3})},
        {255, QByteArray("CSYRE") + bytes({211, 0, 6}), QByteArray("ASYRE") + bytes({0, 26, 75, 12, 200, 3})},
        {1001, QByteArray("CSYRE") + bytes({211, 0, 6}), QByteArray()}, // someone else's address
        {1000, "CNOPE", QByteArray()},
    };
    for (const Case &c : cases) {
        const TavoReply r = ask(kTavow, c.recipient, c.request);
        EXPECT_EQ(r.data, c.expected) << c.request.toHex().constData();
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(r.felado, 1000u);
        }
    }
    const TavoReply si = ask(kTavow, 1000, "CSYSI");
    ASSERT_GE(si.data.size(), 63);
    EXPECT_EQ(si.data.left(5), "ASYSI");
    EXPECT_EQ(si.data.mid(11, 5), "abc12");
    EXPECT_EQ(si.data.mid(61, 2), bytes({0x2C, 0x01}));

    // Slow on TAVO alone: the answer comes, late.
    const qint64 sent = client.nowMs();
    const TavoReply slow = ask(QStringLiteral("10.77.128.14"), 1003, "CSYSI", 1000);
    EXPECT_EQ(slow.data.left(5), "ASYSI");
    EXPECT_GE(client.nowMs() - sent, 280);
    // Silent on TAVO alone: discovery still answers.
    EXPECT_TRUE(ask(QStringLiteral("10.77.128.13"), 1002, "CSYSI").data.isEmpty());
    EXPECT_FALSE(discoveryReplyOf(QStringLiteral("10.77.128.13")).isEmpty());
}

TEST_F(DevsimTavoLan, SettingsApplyOnSaveAndTheDeviceMoves)
{
    struct Step {
        QByteArray request;
        QByteArray ack;
    } steps[] = {
        {QByteArray("CETSI") + bytes({10, 77, 128, 60}), QByteArray("AETSI\x01")},
        {QByteArray("CETSG") + bytes({10, 77, 0, 9}), QByteArray("AETSG\x01")},
        {QByteArray("CETSN") + bytes({255, 255, 255, 0}), QByteArray("AETSN\x01")},
        {QByteArray("CETSM") + bytes({2, 3, 4, 5, 6, 7}), QByteArray("AETSM\x01")},
    };
    for (const Step &s : steps) {
        EXPECT_EQ(ask(kTavow, 1000, s.request).data, s.ack);
        // Staged only: the device still reports its old settings.
        EXPECT_EQ(ask(kTavow, 1000, "CETEI").data.mid(5, 10), bytes({0, 26, 75, 12, 200, 3, 10, 77, 128, 10}));
    }
    // The acknowledgement of the save still comes from the old address.
    EXPECT_EQ(ask(kTavow, 1000, "CSYER").data, QByteArray("ASYER\x01"));
    EXPECT_TRUE(ask(kTavow, 1000, "CETEI").data.isEmpty());
    const TavoReply moved = ask(QStringLiteral("10.77.128.60"), 1000, "CETEI");
    EXPECT_EQ(moved.data.mid(5, 18), bytes({2, 3, 4, 5, 6, 7, 10, 77, 128, 60, 10, 77, 0, 9, 255, 255, 255, 2}));
    EXPECT_TRUE(discoveryReplyOf(QStringLiteral("10.77.128.60")).startsWith("A2.3.4.5.6.7/"));
}

TEST_F(DevsimTavoLan, RestartMakesTheDeviceGoneForAWhile)
{
    EXPECT_EQ(ask(kTavow, 1000, "CSYRS").data, QByteArray("ASYRS\x01"));
    const qint64 restarted = client.nowMs();
    EXPECT_TRUE(ask(kTavow, 1000, "CSYSI", 150).data.isEmpty());
    EXPECT_TRUE(discoveryReplyOf(kTavow, 150).isEmpty());
    QTcpSocket tcp;
    tcp.connectToHost(kTavow, 1001);
    // Refused or closed at once while restarting.
    testlan::pumpUntil([&] { return tcp.state() == QAbstractSocket::UnconnectedState; }, 500);
    EXPECT_EQ(tcp.state(), QAbstractSocket::UnconnectedState);
    ASSERT_LT(client.nowMs() - restarted, 1400) << "the test was too slow to see the downtime";
    testlan::pumpFor(int(1550 - (client.nowMs() - restarted)));
    EXPECT_EQ(ask(kTavow, 1000, "CSYSI").data.left(5), "ASYSI");
    EXPECT_FALSE(discoveryReplyOf(kTavow).isEmpty());
}

TEST_F(DevsimTavoLan, EepromWriteOverTcpChangesTheMac)
{
    struct Case {
        QString ip;
        int result;
        QByteArray discoveryPrefix;
    } cases[] = {
        {kTavow, 1, "A9.8.7.6.5.4/"},
        {QStringLiteral("10.77.128.15"), 0, "A2.0.10.77.128.15/"},
        {kPlain, 1, "A9.8.7.6.5.4/"},
    };
    for (const Case &c : cases) {
        QTcpSocket tcp;
        tcp.connectToHost(c.ip, 1001);
        ASSERT_TRUE(testlan::pumpUntil([&] { return tcp.state() == QAbstractSocket::ConnectedState; }, 2000))
            << c.ip.toStdString();
        const QByteArray packet = tavoRequest(255, QByteArray("CSYWE") + bytes({0xD3, 0x00, 0x06, 9, 8, 7, 6, 5, 4}), 3);
        // Noise before the frame and the frame in two pieces: framing by FB..FC.
        tcp.write(QByteArray("\x11\x22", 2) + packet.left(7));
        tcp.flush();
        testlan::pumpFor(50);
        tcp.write(packet.mid(7));
        QByteArray got;
        testlan::pumpUntil(
            [&] {
                got += tcp.readAll();
                return got.endsWith(char(0xFC));
            },
            2000);
        const TavoReply r = decodeTavo(got);
        EXPECT_EQ(r.data, QByteArray("ASYWE") + char(c.result)) << c.ip.toStdString();
        EXPECT_EQ(r.seq, 3);

        if (c.ip == kTavow) {
            // While the connection is open "AETEI" reports it (byte 23).
            const TavoReply a = ask(kTavow, 1000, "CETEI");
            ASSERT_EQ(a.data.size(), 24);
            EXPECT_EQ(a.data.at(23), 1);
            EXPECT_EQ(a.data.mid(5, 6), bytes({9, 8, 7, 6, 5, 4}));
        }
        tcp.close();
        EXPECT_TRUE(discoveryReplyOf(c.ip).startsWith(c.discoveryPrefix)) << discoveryReplyOf(c.ip).constData();
    }
    // The chunk that completes a frame carries its decoded word.
    int tcpWithWord = 0;
    testlan::pumpUntil(
        [&] {
            tcpWithWord = 0;
            for (const testlan::JournalEntry &e : sim.journal())
                if (e.proto == QLatin1String("tcp") && e.word == QLatin1String("CSYWE"))
                    ++tcpWithWord;
            return tcpWithWord >= 3;
        },
        1000);
    EXPECT_EQ(tcpWithWord, 3);
}
