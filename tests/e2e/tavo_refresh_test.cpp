#include "tests/e2e/e2e_fixture.h"

#include "app/core/DeviceTable.h"
#include "tavo/TAVOProtocol.h"

#include <QPushButton>
#include <QTimer>

using namespace ardel;

namespace {

QJsonObject tavoDevice(const char *ip, const char *mac, int tavow, const char *name, const char *owner, const char *chars,
                       int build)
{
    QJsonObject d = PlainDevice(ip, mac, owner, name, "AV 1");
    d.insert(QStringLiteral("tavow"), tavow);
    d.insert(QStringLiteral("mem_name"), QString::fromUtf8(name));
    d.insert(QStringLiteral("mem_owner"), QString::fromUtf8(owner));
    d.insert(QStringLiteral("version_chars"), QString::fromLatin1(chars));
    d.insert(QStringLiteral("build"), build);
    return d;
}

QJsonArray fourDevices(bool lastSilentOnTavo)
{
    QJsonObject d4 = tavoDevice("10.77.128.24", "0.26.75.12.201.4", 4004, "Negyedik", "Owner4", "dd444", 4);
    if (lastSilentOnTavo)
        d4.insert(QStringLiteral("tavo_silent"), true);
    QJsonObject d3 = tavoDevice("10.78.128.23", "0.26.75.12.201.3", 33, "Harmadik", "Owner3", "cc333", 3);
    d3.insert(QStringLiteral("tavo_variant"), QStringLiteral("tavo"));
    return {tavoDevice("10.77.128.21", "0.26.75.12.201.1", 4001, "Első", "Gépház", "aa111", 300),
            tavoDevice("10.77.128.22", "0.26.75.12.201.2", 4002, "Második", "Raktár", "bb222", 2), d3, d4};
}

} // namespace

TEST_F(E2eTest, TavowRefreshFillsNameOwnerAndVersionAndSkipsASilentDevice)
{
    ASSERT_TRUE(startDevices(fourDevices(false)));
    showAndWaitIdle(8000);
    Tf_main *m = main();
    const TDeviceTableModel *t = &Probe(m).Table();
    Control<QPushButton>(m, "bbtn_tavorefresh")->click();
    ASSERT_TRUE(testlan::pumpUntil([&] { return !m->IsBusy(); }, 15000));
    ASSERT_EQ(t->RowCount(), 4);
    // The first broadcast of the program's first TAVOW refresh is the worked example, byte for byte.
    QByteArray firstCetei;
    for (const auto &e : sim.journal())
        if (e.src == QStringLiteral("10.77.0.1:1010") && e.word == QStringLiteral("CETEI")) {
            firstCetei = e.bytes;
            break;
        }
    EXPECT_EQ(firstCetei, QByteArray::fromHex("FB7F8080807A80807F807A80818085807F434554454980E1FC"));

    // The fourth device now ignores TAVO: its requests are abandoned and the pass goes on.
    sim.stop();
    ASSERT_TRUE(startDevices(fourDevices(true)));
    const int firstLine = memoTexts().size();
    Control<QPushButton>(m, "bbtn_tavorefresh")->click();
    EXPECT_TRUE(m->IsBusy());
    ASSERT_TRUE(testlan::pumpUntil([&] { return !m->IsBusy(); }, 15000));
    testlan::pumpFor(200); // the emulator writes its journal every 40 ms

    // Three "CETEI" broadcasts about 250 ms apart.
    QList<testlan::JournalEntry> cetei;
    for (const auto &e : sim.journal())
        if (e.src == QStringLiteral("10.77.0.1:1010") && e.word == QStringLiteral("CETEI"))
            cetei.append(e);
    ASSERT_EQ(cetei.size(), 3) << [&] {
        QStringList all;
        for (const auto &e : sim.journal())
            all.append(QString::number(e.timeMs) + QLatin1Char(' ') + e.src + QStringLiteral("->") + e.dst + QLatin1Char(' ')
                       + e.iface + QLatin1Char(' ') + e.word);
        return all.join(QLatin1Char('\n')).toStdString();
    }() << "\n" << memoSince(firstLine).join(QLatin1Char('\n')).toStdString();
    EXPECT_NEAR(cetei[1].timeMs - cetei[0].timeMs, 250, 120);
    EXPECT_NEAR(cetei[2].timeMs - cetei[1].timeMs, 250, 120);

    // Each answering device got CSYRE 0A 00 18, CSYRE 22 00 18, CSYSI.
    for (const char *ip : {"10.77.128.21", "10.77.128.22", "10.78.128.23"}) {
        QList<QByteArray> got;
        for (const auto &e : sim.journal())
            if (e.dst.startsWith(QString::fromLatin1(ip) + QLatin1Char(':')) && e.src == QStringLiteral("10.77.0.1:1010")
                && !e.word.isEmpty())
                got.append(e.data);
        // The first device of a list may get a request twice when its answer races the timer.
        got.removeAll(QByteArray());
        QList<QByteArray> unique;
        for (const QByteArray &g : got)
            if (unique.isEmpty() || unique.last() != g)
                unique.append(g);
        EXPECT_EQ(unique, (QList<QByteArray>{QByteArray("CSYRE\x0A\x00\x18", 8), QByteArray("CSYRE\x22\x00\x18", 8),
                                             QByteArray("CSYSI")}))
            << ip << " " << [&] {
                   QStringList all;
                   for (const auto &e : sim.journal())
                       all.append(e.src + QStringLiteral("->") + e.dst + QLatin1Char(' ') + e.word);
                   return all.join(QLatin1Char('\n')).toStdString();
               }();
    }

    ASSERT_EQ(t->RowCount(), 3) << "the silent device's row is dropped at the end";
    const struct {
        const char *ip;
        const char *tavow;
        const char *name;
        const char *owner;
        const char *version;
    } rows[] = {{"10.77.128.21", "4001", "Első", "Gépház", "P:aa111 B:300"},
                {"10.77.128.22", "4002", "Második", "Raktár", "P:bb222 B:2"},
                {"10.78.128.23", "33", "Harmadik", "Owner3", "P:cc333 B:3"}};
    for (const auto &r : rows) {
        const int i = t->FindDeviceRow(QString::fromLatin1(r.ip), QString(), QString::fromLatin1(r.tavow));
        ASSERT_GE(i, 0) << r.ip;
        EXPECT_EQ(t->Cell(i, ColDeviceName), QString::fromUtf8(r.name));
        EXPECT_EQ(t->Cell(i, ColOwner), QString::fromUtf8(r.owner));
        EXPECT_EQ(t->Cell(i, ColVersion), QString::fromLatin1(r.version));
        EXPECT_EQ(t->Cell(i, ColListStatus), QStringLiteral("régi"));
    }
    const QStringList memo = memoSince(firstLine);
    EXPECT_TRUE(memo.contains(QStringLiteral("Túl sok TAVOW hiba")));
    EXPECT_TRUE(memo.contains(QStringLiteral("TAVO info kérés vége.")));
    EXPECT_TRUE(memo.contains(QStringLiteral("Info lekérdezés indítása")));
}

TEST_F(E2eTest, InformationPassOverThreeRowsLogsInTheDocumentedOrder)
{
    // Two plain devices around one TAVO device: only the middle row has a TAVOW address.
    QJsonArray devices{PlainDevice("10.77.128.31", "0.26.75.12.205.1", "a", "a", "AV 1"),
                       tavoDevice("10.77.128.32", "0.26.75.12.205.2", 4100, "Közép", "K", "mm000", 1),
                       PlainDevice("10.77.128.33", "0.26.75.12.205.3", "c", "c", "AV 1")};
    ASSERT_TRUE(startDevices(devices));
    showAndWaitIdle(8000);
    Tf_main *m = main();
    ASSERT_EQ(Probe(m).Table().RowCount(), 3);
    const int firstLine = memoTexts().size();
    Control<QPushButton>(m, "bbtn_tavorefresh")->click();
    ASSERT_TRUE(testlan::pumpUntil([&] { return !m->IsBusy(); }, 15000));
    // Every "AETEI" also steps the idle sender ("Küldőlista vége"): the pass starts at its own line.
    QStringList memo = memoSince(firstLine);
    memo = memo.mid(memo.indexOf(QStringLiteral("Info lekérdezés indítása")));
    QStringList pass;
    for (const QString &line : std::as_const(memo))
        if (line.startsWith(QStringLiteral("ListIndex")) || line.startsWith(QStringLiteral("TaskArdelInfo"))
            || line.startsWith(QStringLiteral("TAVOW infolekérés")) || line.startsWith(QStringLiteral("TAVO info kérés vége"))
            || line == QStringLiteral("Küldőlista vége") || line.startsWith(QStringLiteral("Info lekérdezés")))
            pass.append(line);
    // Stale sender ticks after the pass add "Küldőlista vége" + "... vége: 0" pairs; compare the pass itself.
    const QStringList expected{QStringLiteral("Info lekérdezés indítása"), QStringLiteral("ListIndex, count: -1, 3"),
                               QStringLiteral("TaskArdelInfo: "),          QStringLiteral("ListIndex, count: 0, 3"),
                               QStringLiteral("TaskArdelInfo: 4100"),      QStringLiteral("TAVOW infolekérés: 4100"),
                               QStringLiteral("TAVO info kérés vége: 2")};
    ASSERT_GE(pass.size(), expected.size());
    EXPECT_EQ(pass.mid(0, expected.size()), expected);
    const QStringList tail{QStringLiteral("Küldőlista vége"), QStringLiteral("ListIndex, count: 1, 3"),
                           QStringLiteral("TaskArdelInfo: "), QStringLiteral("TAVO info kérés vége."),
                           QStringLiteral("TAVO info kérés vége: 2")};
    const qsizetype at = pass.indexOf(QStringLiteral("ListIndex, count: 1, 3"));
    ASSERT_GT(at, 0);
    EXPECT_EQ(pass.mid(at - 1, tail.size()), tail);
    // The plain rows got no "AETEI": they were dropped at the end.
    EXPECT_EQ(Probe(m).Table().RowCount(), 1);
}

TEST_F(E2eTest, TavowRefreshWithNoDevicesEndsWithAnEmptyList)
{
    ASSERT_TRUE(startDevices({}));
    showAndWaitIdle(5000);
    Tf_main *m = main();
    const int firstLine = memoTexts().size();
    Control<QPushButton>(m, "bbtn_tavorefresh")->click();
    ASSERT_TRUE(testlan::pumpUntil([&] { return !m->IsBusy(); }, 5000));
    const QStringList memo = memoSince(firstLine);
    const QStringList expected{QStringLiteral("------------------------------------"), QStringLiteral("Info lekérdezés indítása"),
                               QStringLiteral("Üres lista"), QStringLiteral("TAVO info kérés vége: 0")};
    ASSERT_GE(memo.size(), expected.size());
    EXPECT_EQ(memo.mid(memo.size() - expected.size()), expected);
}
