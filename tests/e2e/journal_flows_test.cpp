// What the devices receive in four everyday flows (a discovery refresh, a
// set-IP with its password step, a MAC write over TCP and a TAVOW refresh),
// as the emulator's journal records
// it. With ARDEL_JOURNAL_OUT set, the journal of the run is written there
// without times and ephemeral TCP ports, so that two builds can be compared
// byte for byte (scripts/journal-compare.sh).
#include "tests/e2e/e2e_fixture.h"

#include "tests/app/modal_steps_fixture.h"

#include "app/core/DeviceTable.h"
#include "config/ByteSpinEdit.h"

#include <QFile>
#include <QJsonDocument>
#include <QPushButton>

using namespace ardel;

namespace {

QJsonObject tavoDevice(const char *ip, const char *mac, int tavow, const char *name, const char *owner)
{
    QJsonObject d = PlainDevice(ip, mac, owner, name, "AV 1");
    d.insert(QStringLiteral("tavow"), tavow);
    d.insert(QStringLiteral("mem_name"), QString::fromUtf8(name));
    d.insert(QStringLiteral("mem_owner"), QString::fromUtf8(owner));
    d.insert(QStringLiteral("version_chars"), QStringLiteral("ab123"));
    d.insert(QStringLiteral("build"), 7);
    return d;
}

// One line per journal entry, without what differs from run to run: the
// time and the workstation's ephemeral TCP port.
QByteArray Normalised(const QList<testlan::JournalEntry> &journal)
{
    QByteArray out;
    for (const testlan::JournalEntry &e : journal) {
        QJsonObject o = e.raw;
        o.remove(QStringLiteral("t_ms"));
        if (e.proto == QStringLiteral("tcp"))
            o.insert(QStringLiteral("src"), e.src.section(QLatin1Char(':'), 0, 0));
        out += QJsonDocument(o).toJson(QJsonDocument::Compact);
        out += '\n';
    }
    return out;
}

} // namespace

TEST_F(E2eTest, DiscoverySetIpMacWriteAndTavowRefreshReachTheDevices)
{
    QJsonObject guarded = PlainDevice("10.77.128.33", "0.26.75.12.230.3", "Kft", "Szelep", "AV 3");
    guarded.insert(QStringLiteral("password"), QStringLiteral("titok"));
    ASSERT_TRUE(startDevices({tavoDevice("10.77.128.31", "0.26.75.12.230.1", 5001, "Egyes", "Üzem"),
                              PlainDevice("10.77.128.32", "0.26.75.12.230.2", "Kft", "Mérő", "AV 2"), guarded}));
    showAndWaitIdle(8000); // the first discovery refresh
    Tf_main *m = main();
    ASSERT_EQ(Probe(m).Table().RowCount(), 3);

    // Set-IP: the device answers "D", the password is typed, then "A" and a refresh.
    m->SelectRow(Probe(m).Table().FindDeviceRow(QStringLiteral("10.77.128.33")));
    {
        ModalSteps setIp;
        setIp.then("f_setip", [](QWidget *d) { TypeAndEnter(d, "me_ip_addr", QStringLiteral("10.77.128.43")); })
            .then("f_passw", [](QWidget *d) { TypeAndEnter(d, "em_passw", QStringLiteral("titok")); });
        setIp.start();
        m->findChild<QPushButton *>(QStringLiteral("bbtn_change_ip"))->click();
        ASSERT_TRUE(testlan::pumpUntil([&] { return setIp.stepsRun() == 2 || setIp.failedStep() >= 0; }, 8000));
        ASSERT_TRUE(waitIdle(10000)); // the refresh after the accepted command
        EXPECT_TRUE(setIp.done()) << setIp.failedStep();
    }
    EXPECT_GE(Probe(m).Table().FindDeviceRow(QStringLiteral("10.77.128.43"), QStringLiteral("0.26.75.12.230.3")), 0);

    m->SelectRow(Probe(m).Table().FindDeviceRow(QStringLiteral("10.77.128.32")));
    ModalSteps steps;
    steps.then("f_setMAC", [](QWidget *d) {
        auto *sixth = d->findChild<ByteSpinEdit *>(QStringLiteral("SpinEdit6"));
        sixth->setFocus();
        QTest::keyClick(sixth, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(sixth, QStringLiteral("77"));
        QTest::keyClick(sixth, Qt::Key_Return);
    });
    steps.start();
    Control<QPushButton>(m, "BitBtn1")->click();
    EXPECT_TRUE(steps.done()) << steps.failedStep();
    ASSERT_TRUE(testlan::pumpUntil([&] { return memoTexts().contains(QStringLiteral("TCP timer")); }, 4000));
    ASSERT_TRUE(waitIdle(8000)); // the refresh after the write
    EXPECT_GE(Probe(m).Table().FindDeviceRow(QStringLiteral("10.77.128.32"), QStringLiteral("0.26.75.12.230.77")), 0);

    Control<QPushButton>(m, "bbtn_tavorefresh")->click();
    ASSERT_TRUE(testlan::pumpUntil([&] { return !m->IsBusy(); }, 15000));
    const int tavoRow = Probe(m).Table().FindDeviceRow(QStringLiteral("10.77.128.31"), QString(), QStringLiteral("5001"));
    ASSERT_GE(tavoRow, 0);
    EXPECT_EQ(Probe(m).Table().Cell(tavoRow, ColDeviceName), QStringLiteral("Egyes"));
    EXPECT_EQ(Probe(m).Table().Cell(tavoRow, ColVersion), QStringLiteral("P:ab123 B:7"));

    testlan::pumpFor(200); // the emulator writes its journal every 40 ms
    const QList<testlan::JournalEntry> journal = sim.journal();
    QStringList words;
    for (const auto &e : journal)
        if (!e.word.isEmpty() && (words.isEmpty() || words.last() != e.word))
            words.append(e.word);
    EXPECT_TRUE(words.contains(QStringLiteral("CETEI")));
    EXPECT_TRUE(words.contains(QStringLiteral("CSYSI")));
    EXPECT_TRUE(words.contains(QStringLiteral("CSYWE")));

    const QString out = qEnvironmentVariable("ARDEL_JOURNAL_OUT");
    if (!out.isEmpty()) {
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(Normalised(journal));
    }
}
