#include "net/DatagramSender.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoCommandSender.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ardel;

namespace {

const QString kIp = QStringLiteral("10.77.128.5");
const QString kNotIp = QStringLiteral("Nem jó az IP (src, dest): ");

// Everything the sender does, in order: "line:<text>", "send:<word>@<host>",
// "step:<finished>".
struct Recorder : TDatagramSender {
    QStringList events;
    QList<qint64> sendTimes;
    QList<qint64> lineTimes;
    QList<QByteArray> packets;
    QStringList badLines;
    QElapsedTimer clock;

    Recorder() { clock.start(); }

    void BroadcastText(const QByteArray &, quint16) override { events << QStringLiteral("broadcast"); }
    void SendText(const QString &host, const QByteArray &text, quint16 port) override
    {
        TTAVOProtocol rx;
        QByteArray data;
        rx.DecodeTAVOW(text, data);
        events << QStringLiteral("send:%1@%2:%3").arg(QString::fromLatin1(data.left(5)), host).arg(port);
        packets << text;
        sendTimes << clock.elapsed();
    }
    void Line(const QString &line)
    {
        static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d: "));
        if (!stamp.match(line).hasMatch())
            badLines << line;
        events << QStringLiteral("line:") + line.mid(14);
        lineTimes << clock.elapsed();
    }
    int Count(const QString &event) const { return int(events.count(event)); }
};

struct SenderFixture : ::testing::Test {
    Recorder rec;
    TTAVOProtocol codec;
    TTavoCommandSender sender{[this](const QString &line) { rec.Line(line); }};
    int steps = 0;

    void SetUp() override
    {
        codec.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVOW;
        codec.Cimzett = 255;
        codec.CsomagSorszam = 1;
        sender.SetComms(&rec);
        sender.SetProtocol(&codec);
        sender.OnStep = [this] {
            ++steps;
            rec.events << (sender.Finished() ? QStringLiteral("step:finished") : QStringLiteral("step:waiting"));
        };
    }
    void TearDown() override { EXPECT_TRUE(rec.badLines.isEmpty()) << rec.badLines.join(u'|').toStdString(); }

    // Delivers the pending timer tick at once, as the event loop would 250 ms
    // after the last send. False when no tick is pending.
    bool Tick()
    {
        if (!sender.Timer()->isActive())
            return false;
        sender.Timer()->stop();
        return QMetaObject::invokeMethod(sender.Timer(), "timeout", Qt::DirectConnection);
    }
    void Start(const QList<QPair<QByteArray, int>> &commands, const QString &ip = kIp, quint32 address = 0x00012345)
    {
        sender.SetTarget(ip, address);
        for (const auto &c : commands)
            sender.AddCommand(c.first, c.second);
        sender.Step(QString(), QString());
    }
};

QString Send(const char *word, const QString &host = kIp)
{
    return QStringLiteral("send:%1@%2:65500").arg(QLatin1String(word), host);
}
QString Line(const QString &text)
{
    return QStringLiteral("line:") + text;
}

} // namespace

TEST_F(SenderFixture, SilentDeviceGetsThreeSendsThenGivesUp)
{
    Start({{QByteArrayLiteral("CSYRE\x0a\x00\x18"), 1}, {QByteArrayLiteral("CSYSI"), 0}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.Count(Line(QStringLiteral("Túl sok TAVOW hiba"))) > 0; }, 3000));
    QTest::qWait(400); // nothing may follow

    const QString resend = Line(QStringLiteral("TAVOW parancsújraküldés: CSYRE"));
    const QString notIp = Line(kNotIp + QStringLiteral(", ") + kIp);
    const QStringList expected = {
        notIp,
        resend,
        Send("CSYRE"),
        QStringLiteral("step:waiting"),
        notIp,
        resend,
        Send("CSYRE"),
        QStringLiteral("step:waiting"),
        notIp,
        resend,
        Send("CSYRE"),
        QStringLiteral("step:waiting"),
        notIp,
        Line(QStringLiteral("Túl sok TAVOW hiba")),
        QStringLiteral("step:finished"),
    };
    EXPECT_EQ(rec.events, expected);
    ASSERT_EQ(rec.sendTimes.size(), 3);
    EXPECT_GE(rec.sendTimes[1] - rec.sendTimes[0], 240);
    EXPECT_GE(rec.sendTimes[2] - rec.sendTimes[1], 240);
    EXPECT_GE(rec.lineTimes.last() - rec.sendTimes[2], 240);
    EXPECT_EQ(sender.CurrentTag(), -1);
    EXPECT_TRUE(sender.Finished());
    EXPECT_EQ(sender.ErrorCount(), 0);
    EXPECT_FALSE(sender.Timer()->isActive());
    for (const QByteArray &p : rec.packets) {
        TTAVOProtocol rx;
        QByteArray data;
        rx.DecodeTAVOW(p, data);
        EXPECT_EQ(data, QByteArrayLiteral("CSYRE\x0a\x00\x18"));
        EXPECT_EQ(rx.Cimzett, 0x00012345u);
    }
}

TEST_F(SenderFixture, ThreeCommandsAnsweredAtOnceThenStaleTick)
{
    Start({{QByteArrayLiteral("CSYRE\x0a\x00\x18"), 1},
           {QByteArrayLiteral("CSYRE\x22\x00\x18"), 2},
           {QByteArrayLiteral("CSYSI"), 0}});
    EXPECT_EQ(sender.ErrorCount(), 1);
    EXPECT_EQ(sender.CurrentTag(), 1);
    sender.Step(kIp, QStringLiteral("ASYRE"));
    EXPECT_EQ(sender.ErrorCount(), 0);
    EXPECT_EQ(sender.CurrentTag(), 2);
    sender.Step(kIp, QStringLiteral("ASYRE"));
    EXPECT_EQ(sender.CurrentTag(), 0);
    sender.Step(kIp, QStringLiteral("ASYSI"));
    EXPECT_EQ(sender.CurrentTag(), -1);
    EXPECT_TRUE(sender.Finished());
    EXPECT_TRUE(sender.Timer()->isActive()); // still running from the last send
    ASSERT_TRUE(Tick());

    const QString notIp = Line(kNotIp + QStringLiteral(", ") + kIp);
    const QStringList expected = {
        notIp,
        Line(QStringLiteral("TAVOW parancsújraküldés: CSYRE")),
        Send("CSYRE"),
        QStringLiteral("step:waiting"),
        Line(QStringLiteral("TAVOW parancsküldés: CSYRE")),
        Send("CSYRE"),
        QStringLiteral("step:waiting"),
        Line(QStringLiteral("TAVOW parancsküldés: CSYSI")),
        Send("CSYSI"),
        QStringLiteral("step:waiting"),
        QStringLiteral("step:finished"),
        notIp,
        QStringLiteral("step:finished"),
    };
    EXPECT_EQ(rec.events, expected);
    EXPECT_EQ(steps, 5);
    EXPECT_EQ(sender.ErrorCount(), 1);
    EXPECT_FALSE(sender.Timer()->isActive());
    EXPECT_FALSE(Tick());

    TTAVOProtocol rx;
    QByteArray data;
    rx.DecodeTAVOW(rec.packets.value(1), data);
    EXPECT_EQ(data, QByteArrayLiteral("CSYRE\x22\x00\x18"));
}

// After an advance a command is sent once, then resent three times; a last
// command already resent three times is given up by the stale tick.
TEST_F(SenderFixture, SendLimitsAfterAdvanceAndOnFinishedList)
{
    Start({{QByteArrayLiteral("CSYSI"), 0}, {QByteArrayLiteral("CSYRS"), 0}});
    sender.Step(kIp, QStringLiteral("ASYSI"));
    int ticks = 0;
    while (Tick() && ticks < 10)
        ++ticks;
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(rec.Count(Send("CSYRS")), 4);
    EXPECT_EQ(rec.Count(Line(QStringLiteral("TAVOW parancsújraküldés: CSYRS"))), 3);
    EXPECT_EQ(rec.Count(Line(QStringLiteral("Túl sok TAVOW hiba"))), 1);
    EXPECT_EQ(sender.CurrentTag(), -1);

    rec.events.clear();
    Start({{QByteArrayLiteral("CSYER"), 3}});
    ASSERT_TRUE(Tick());
    ASSERT_TRUE(Tick());
    EXPECT_EQ(sender.ErrorCount(), 3);
    sender.Step(kIp, QStringLiteral("ASYER")); // answer to the third send
    EXPECT_TRUE(sender.Finished());
    ASSERT_TRUE(Tick());
    EXPECT_EQ(rec.Count(Send("CSYER")), 3);
    EXPECT_EQ(rec.Count(Line(QStringLiteral("Túl sok TAVOW hiba"))), 1);
    EXPECT_EQ(rec.events.last(), QStringLiteral("step:finished"));
    EXPECT_EQ(sender.ErrorCount(), 0);
    EXPECT_EQ(sender.CurrentTag(), -1);
    EXPECT_FALSE(sender.Timer()->isActive());
}

TEST_F(SenderFixture, ReplyWordMustMatchExactly)
{
    struct Case {
        const char *word;
        bool advances;
    };
    const Case cases[] = {
        {"ASYRE", true},   {"asyre", false}, {"CSYRE", false}, {"ASYR", false},
        {"ASYREX", false}, {"", false},      {"BSYRE", false}, {"ASYSI", false},
    };
    for (const Case &c : cases) {
        rec.events.clear();
        Start({{QByteArrayLiteral("CSYRE\x0a\x00\x18"), 1}, {QByteArrayLiteral("CSYSI"), 0}});
        rec.events.clear();
        sender.Step(kIp, QString::fromLatin1(c.word));
        EXPECT_EQ(sender.CurrentTag(), c.advances ? 0 : 1) << c.word;
        EXPECT_EQ(rec.Count(Send("CSYSI")), c.advances ? 1 : 0) << c.word;
        // A wrong word from the target is dropped without a line.
        if (!c.advances) {
            EXPECT_EQ(rec.events, QStringList{QStringLiteral("step:waiting")}) << c.word;
        }
    }
    // Commands shorter than a word still compare safely.
    rec.events.clear();
    Start({{QByteArrayLiteral("CS"), 0}});
    sender.Step(kIp, QStringLiteral("AS"));
    EXPECT_TRUE(sender.Finished());
}

TEST_F(SenderFixture, EmptyListEmptyTargetAndForeignReplies)
{
    // Empty list: nothing sent or logged, OnStep sees a finished list.
    sender.SetTarget(kIp, 7);
    sender.Step(QString(), QString());
    EXPECT_EQ(rec.events, QStringList{QStringLiteral("step:finished")});
    EXPECT_FALSE(sender.Timer()->isActive());
    EXPECT_EQ(sender.CurrentTag(), -1);

    // Empty target: empty equals empty, so the list never starts.
    rec.events.clear();
    Start({{QByteArrayLiteral("CSYSI"), 0}}, QString());
    EXPECT_EQ(rec.events, QStringList{QStringLiteral("step:waiting")});
    EXPECT_FALSE(sender.Timer()->isActive());
    EXPECT_EQ(sender.ErrorCount(), 0);

    // A reply from another device: one line, nothing else.
    rec.events.clear();
    Start({{QByteArrayLiteral("CSYSI"), 4}});
    rec.events.clear();
    sender.Step(QStringLiteral("10.77.128.9"), QStringLiteral("ASYSI"));
    EXPECT_EQ(rec.events, (QStringList{Line(kNotIp + QStringLiteral("10.77.128.9, ") + kIp), QStringLiteral("step:waiting")}));
    EXPECT_EQ(sender.CurrentTag(), 4);
    EXPECT_EQ(sender.ErrorCount(), 1);

    // A new target drops the list but leaves the timer running.
    sender.SetTarget(QStringLiteral("10.77.128.6"), 8);
    EXPECT_EQ(sender.CommandCount(), 0);
    EXPECT_EQ(sender.ErrorCount(), 0);
    EXPECT_EQ(sender.TargetIP(), QStringLiteral("10.77.128.6"));
    EXPECT_EQ(sender.TargetAddress(), 8u);
    EXPECT_TRUE(sender.Timer()->isActive());
}

TEST_F(SenderFixture, NothingWithoutCollaborators)
{
    for (int missing = 0; missing < 2; ++missing) {
        TTavoCommandSender lone([this](const QString &line) { rec.Line(line); });
        if (missing == 0)
            lone.SetProtocol(&codec);
        else
            lone.SetComms(&rec);
        int called = 0;
        lone.OnStep = [&called] { ++called; };
        lone.SetTarget(kIp, 1);
        lone.AddCommand(QByteArrayLiteral("CSYSI"), 0);
        lone.Step(QString(), QString());
        EXPECT_EQ(called, 0);
        EXPECT_TRUE(rec.events.isEmpty());
        EXPECT_FALSE(lone.Timer()->isActive());
    }
}

TEST_F(SenderFixture, SilentSinkAndEncodeErrors)
{
    TTavoCommandSender quiet({});
    quiet.SetComms(&rec);
    quiet.SetProtocol(&codec);
    quiet.SetTarget(kIp, 3);
    quiet.AddCommand(QByteArrayLiteral("CSYSI"), 0);
    quiet.Step(QString(), QString());
    EXPECT_EQ(rec.events, QStringList{Send("CSYSI")});

    // The codec's error reaches the caller; nothing goes out.
    rec.events.clear();
    sender.SetTarget(kIp, 3);
    sender.AddCommand(QByteArray(900, 'C'), 0);
    EXPECT_THROW(sender.Step(QString(), QString()), TTAVOError);
    EXPECT_EQ(rec.Count(Send("CCCCC")), 0);
    EXPECT_EQ(steps, 0);
}

// The polling pass starts the next device's list from OnStep, inside Step.
TEST_F(SenderFixture, OnStepStartsNextListFromInsideStep)
{
    const QStringList devices = {kIp, QStringLiteral("10.77.128.6"), QStringLiteral("10.77.128.7")};
    int next = 1;
    int depth = 0;
    int maxDepth = 0;
    sender.OnStep = [&] {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        rec.events << (sender.Finished() ? QStringLiteral("step:finished") : QStringLiteral("step:waiting"));
        if (sender.Finished() && next < devices.size()) {
            const QString ip = devices.at(next);
            sender.SetTarget(ip, quint32(1000 + next));
            ++next;
            sender.AddCommand(QByteArrayLiteral("CSYSI"), 0);
            sender.Step(QString(), QString());
        } else if (sender.Finished()) {
            sender.OnStep = nullptr; // the pass forgets its callback while it runs
        }
        --depth;
    };
    Start({{QByteArrayLiteral("CSYSI"), 0}}, devices.at(0), 1000);
    sender.Step(devices.at(0), QStringLiteral("ASYSI"));
    EXPECT_EQ(sender.TargetIP(), devices.at(1));
    EXPECT_EQ(rec.Count(Send("CSYSI", devices.at(1))), 1);
    EXPECT_TRUE(sender.Timer()->isActive()); // restarted by the new list: no stale tick for device 0

    sender.Step(devices.at(1), QStringLiteral("ASYSI"));
    sender.Step(devices.at(2), QStringLiteral("ASYSI"));
    EXPECT_EQ(maxDepth, 2);
    EXPECT_FALSE(sender.OnStep);
    EXPECT_TRUE(sender.Finished());
    for (const QString &ip : devices)
        EXPECT_EQ(rec.Count(Send("CSYSI", ip)), 1) << ip.toStdString();

    TTAVOProtocol rx;
    QByteArray data;
    rx.DecodeTAVOW(rec.packets.value(2), data);
    EXPECT_EQ(rx.Cimzett, 1002u);
}
