// The device-configuration flows against the device emulator: the set-IP
// broadcast with its password step, the settings and restart of a TAVO
// device, and the MAC change over TCP.
#include "tests/e2e/e2e_fixture.h"

#include "tests/app/modal_steps_fixture.h"

#include "app/core/DeviceTable.h"
#include "config/AddressEdit.h"
#include "config/ByteSpinEdit.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QRegularExpression>

using namespace ardel;

namespace {

const QString kWs = QStringLiteral("10.77.0.1:1010");

QJsonObject With(QJsonObject d, const char *key, const QJsonValue &value)
{
    d.insert(QString::fromLatin1(key), value);
    return d;
}

// Consecutive repeats (resends) count once.
QList<QByteArray> Unique(const QList<QByteArray> &in)
{
    QList<QByteArray> out;
    for (const QByteArray &b : in)
        if (out.isEmpty() || out.last() != b)
            out.append(b);
    return out;
}

} // namespace

class ConfigE2e : public E2eTest {
protected:
    int rowOf(const char *ip) const { return Probe(main()).Table().FindDeviceRow(QString::fromLatin1(ip)); }
    bool select(const char *ip)
    {
        const int r = rowOf(ip);
        main()->SelectRow(r);
        return r >= 0 && main()->SelectedRow() == r;
    }
    int journalMark()
    {
        testlan::pumpFor(200); // the emulator writes its journal every 40 ms
        return int(sim.journal().size());
    }
    QList<testlan::JournalEntry> journalSince(int at)
    {
        testlan::pumpFor(200);
        return sim.journal().mid(at);
    }
    // Plain commands from the first workstation address, as text.
    QStringList plainSentSince(int at)
    {
        QStringList out;
        for (const auto &e : journalSince(at))
            if (e.src == kWs && e.dst.endsWith(QStringLiteral(":65535")))
                out.append(QString::fromLatin1(e.bytes));
        return out;
    }
    // Decoded TAVO commands from the first workstation address to one device.
    QList<QByteArray> tavoSentSince(int at, const char *ip)
    {
        QList<QByteArray> out;
        for (const auto &e : journalSince(at))
            if (e.src == kWs && e.dst == QString::fromLatin1(ip) + QStringLiteral(":65500"))
                out.append(e.data);
        return Unique(out);
    }
    int mark() const { return int(memoTexts().size()); }
};

// ---------------------------------------------------------------- set IP

TEST_F(ConfigE2e, SetIpWithPasswordAsksAgainAfterAWrongOneAndListsTheDeviceAtItsNewAddress)
{
    ASSERT_TRUE(startDevices(
        {With(PlainDevice("10.77.128.40", "0.26.75.12.210.1", "Kft", "Kazán", "AV 1"), "password", QStringLiteral("titok"))}));
    showAndWaitIdle(8000);
    Tf_main *m = main();
    ASSERT_TRUE(select("10.77.128.40"));
    const int j = journalMark();
    const int at = mark();

    QElapsedTimer sinceSend;
    qint64 firstAskAfter = -1;
    ModalSteps steps;
    steps
        .then("f_setip",
              [&](QWidget *d) {
                  TypeAndEnter(d, "me_ip_addr", QStringLiteral("10.77.128.50"));
                  sinceSend.start();
              })
        .then("f_passw",
              [&](QWidget *d) {
                  firstAskAfter = sinceSend.elapsed();
                  TypeAndEnter(d, "em_passw", QStringLiteral("rossz"));
              })
        .then("f_passw", [](QWidget *d) { TypeAndEnter(d, "em_passw", QStringLiteral("titok")); });
    steps.start();
    Control<QPushButton>(m, "bbtn_change_ip")->click();
    ASSERT_TRUE(testlan::pumpUntil([&] { return steps.stepsRun() == 3 || steps.failedStep() >= 0; }, 8000));
    ASSERT_TRUE(waitIdle(10000)); // the refresh after the accepted command
    EXPECT_TRUE(steps.done()) << steps.failedStep();
    EXPECT_TRUE(steps.unexpected().isEmpty()) << steps.unexpected().join(u',').toStdString();
    // The reply window closes 500 ms after the device's "D".
    EXPECT_GE(firstAskAfter, 450);
    EXPECT_LE(firstAskAfter, 900);

    const QStringList sent = plainSentSince(j);
    const QStringList setIp = sent.filter(QRegularExpression(QStringLiteral("^A")));
    EXPECT_EQ(setIp, (QStringList{QStringLiteral("A0.26.75.12.210.1//10.77.128.50|2a"),
                                  QStringLiteral("A0.26.75.12.210.1/rossz/10.77.128.50|2a"),
                                  QStringLiteral("A0.26.75.12.210.1/titok/10.77.128.50|2a")}));
    EXPECT_TRUE(sent.endsWith(QStringLiteral("V"))) << "a refresh followed the accepted command";
    EXPECT_EQ(memoTexts().mid(at).count(QStringLiteral("Jelszó bekérés")), 2);

    ASSERT_EQ(Probe(m).Table().RowCount(), 1);
    EXPECT_EQ(Probe(m).Table().Cell(0, ColIp), QStringLiteral("10.77.128.50"));
    EXPECT_EQ(Probe(m).Table().Cell(0, ColMac), QStringLiteral("0.26.75.12.210.1"));
}

TEST_F(ConfigE2e, CancelledCollisionNoRowAndBackInThePasswordDialogSendNothingMore)
{
    ASSERT_TRUE(startDevices(
        {With(PlainDevice("10.77.128.41", "0.26.75.12.210.2", "Kft", "Kazán", "AV 1"), "password", QStringLiteral("titok"))}));
    showAndWaitIdle(8000);
    Tf_main *m = main();
    ASSERT_TRUE(select("10.77.128.41"));

    // Collision with its own address, Cancel.
    int j = journalMark();
    int at = mark();
    {
        ModalSteps::SeenBox seen;
        ModalSteps steps;
        steps.then("f_setip", [](QWidget *d) { PressButton(d, "bbtn_set"); }).thenBox(QMessageBox::Cancel, &seen);
        steps.start();
        Control<QPushButton>(m, "bbtn_change_ip")->click();
        EXPECT_TRUE(steps.done()) << steps.failedStep();
        EXPECT_EQ(seen.title, QStringLiteral("Figyelmeztetés"));
        EXPECT_EQ(seen.text, QStringLiteral("IP cím ütközés van a megadott értékkel! Biztosan folytatja?"));
    }
    EXPECT_FALSE(m->IsBusy());
    EXPECT_EQ(memoTexts().mid(at), QStringList{QStringLiteral("Sor: 0")}) << "no \"Setip: \" line";
    EXPECT_TRUE(plainSentSince(j).isEmpty());

    // No row selected.
    m->SelectRow(-1);
    at = mark();
    {
        ModalSteps none;
        none.start();
        Control<QPushButton>(m, "bbtn_change_ip")->click();
        testlan::pumpFor(100);
        EXPECT_TRUE(none.unexpected().isEmpty());
    }
    EXPECT_EQ(memoTexts().mid(at), QStringList{QStringLiteral("Sor: -1")});
    EXPECT_FALSE(m->IsBusy());

    // "Vissza" when the password is asked: the buttons come back, nothing more is sent.
    ASSERT_TRUE(select("10.77.128.41"));
    j = journalMark();
    ModalSteps steps;
    steps.then("f_setip", [](QWidget *d) { TypeAndEnter(d, "me_ip_addr", QStringLiteral("10.77.128.51")); })
        .then("f_passw", [](QWidget *d) { PressButton(d, "bbtn_back"); });
    steps.start();
    Control<QPushButton>(m, "bbtn_change_ip")->click();
    EXPECT_TRUE(m->IsBusy());
    ASSERT_TRUE(waitIdle(5000));
    EXPECT_TRUE(steps.done()) << steps.failedStep();
    EXPECT_TRUE(Control<QPushButton>(m, "bbtn_change_ip")->isEnabled());
    EXPECT_EQ(plainSentSince(j), QStringList{QStringLiteral("A0.26.75.12.210.2//10.77.128.51|2a")});
    EXPECT_EQ(Probe(m).Table().Cell(0, ColIp), QStringLiteral("10.77.128.41"));
}

// ---------------------------------------------------------------- settings and restart

TEST_F(ConfigE2e, SettingsOfATavoDeviceSendOnlyWhatChangedBehindItsPassword)
{
    QJsonObject guarded = PlainDevice("10.77.128.60", "0.26.75.12.230.1", "Kft", "Szelep", "AV 1");
    guarded.insert(QStringLiteral("tavow"), 4060);
    guarded.insert(QStringLiteral("mem_password"), QStringLiteral("geheim"));
    guarded.insert(QStringLiteral("restart_ms"), 300);
    QJsonObject open = PlainDevice("10.77.128.61", "0.26.75.12.230.2", "Kft", "Nyitott", "AV 1");
    open.insert(QStringLiteral("tavow"), 4061);
    ASSERT_TRUE(startDevices({guarded, open}));
    showAndWaitIdle(8000);
    Tf_main *m = main();
    Control<QPushButton>(m, "bbtn_tavorefresh")->click(); // the TAVOW address, gateway and mask come from it
    ASSERT_TRUE(testlan::pumpUntil([&] { return !m->IsBusy(); }, 15000));
    ASSERT_GE(rowOf("10.77.128.60"), 0);
    ASSERT_EQ(Probe(m).Table().Cell(rowOf("10.77.128.60"), ColTavow), QStringLiteral("4060"));
    ASSERT_EQ(Probe(m).Table().Cell(rowOf("10.77.128.60"), ColMask), QStringLiteral("255.255.0.0"));

    const QByteArray read("CSYRE\x61\x00\x1E", 8);
    using Action = ModalSteps::Action;
    struct Case {
        const char *name;
        const char *ip;
        const char *typed; // nullptr: no password dialog expected
        Action onSettings; // nullptr: the settings dialog must not open
        bool restartBox;
        QList<QByteArray> sent;
        const char *logged;
    };
    const Action nothing = [](QWidget *d) { PressButton(d, "bbtn_set"); };
    const Action maskOnly = [](QWidget *d) { TypeAndEnter(d, "me_mask", QStringLiteral("255.255.255.0")); };
    const Action restart = [](QWidget *d) {
        d->findChild<AddressEdit *>(QStringLiteral("me_gateway"))->SetAddress(QStringLiteral("10.77.0.9"));
        PressButton(d, "bbtn_reset");
    };
    const Action everything = [](QWidget *d) {
        d->findChild<AddressEdit *>(QStringLiteral("me_ip_addr"))->SetAddress(QStringLiteral("10.77.128.62"));
        d->findChild<AddressEdit *>(QStringLiteral("me_gateway"))->SetAddress(QStringLiteral("10.77.0.2"));
        d->findChild<ByteSpinEdit *>(QStringLiteral("SpinEdit6"))->setValue(9);
        TypeAndEnter(d, "me_mask", QStringLiteral("255.255.255.0"));
    };
    const Action back = [](QWidget *d) { PressButton(d, "bbtn_back"); };
    const Case cases[] = {
        {"nothing changed", "10.77.128.60", "geheim", nothing, false, {read}, "Beállítás mentés"},
        {"only the mask",
         "10.77.128.60",
         "geheim",
         maskOnly,
         false,
         {read, QByteArray("CETSN\xFF\xFF\xFF\x00", 9), QByteArray("CSYER")},
         "Beállítás mentés"},
        {"wrong password", "10.77.128.60", "Geheim", nullptr, false, {read}, nullptr},
        {"restart with an edited field",
         "10.77.128.60",
         "geheim",
         restart,
         true,
         {read, QByteArray("CSYRS")},
         "Újraindítás kértek"},
        {"no password", "10.77.128.61", nullptr, back, false, {read}, nullptr},
        {"everything",
         "10.77.128.60",
         "geheim",
         everything,
         false,
         {read, QByteArray("CETSI\x0A\x4D\x80\x3E", 9), QByteArray("CETSG\x0A\x4D\x00\x02", 9),
          QByteArray("CETSN\xFF\xFF\xFF\x00", 9), QByteArray("CETSM\x00\x1A\x4B\x0C\xE6\x09", 11), QByteArray("CSYER")},
         "Beállítás mentés"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(select(c.ip));
        const int j = journalMark();
        const int at = mark();
        ModalSteps::SeenBox seen;
        ModalSteps steps;
        if (c.typed) {
            const QString typed = QString::fromLatin1(c.typed);
            steps.then("f_passw", [typed](QWidget *d) { TypeAndEnter(d, "em_passw", typed); });
        }
        if (c.onSettings)
            steps.then("f_settings", c.onSettings);
        if (c.restartBox)
            steps.thenBox(QMessageBox::Ok, &seen);
        steps.start();
        QElapsedTimer opened;
        opened.start();
        m->Belltsok1Click();
        // The sender gives the password read up after 750 ms; commands that went
        // out are acknowledged within a few milliseconds each.
        testlan::pumpUntil(
            [&] { return steps.stepsRun() == int(c.typed != nullptr) + int(bool(c.onSettings)) + int(c.restartBox); }, 5000);
        testlan::pumpFor(1200);
        EXPECT_TRUE(steps.done()) << steps.failedStep();
        EXPECT_TRUE(steps.unexpected().isEmpty()) << steps.unexpected().join(u',').toStdString();
        EXPECT_EQ(tavoSentSince(j, c.ip), c.sent);
        if (c.logged) {
            EXPECT_TRUE(memoTexts().mid(at).contains(QString::fromUtf8(c.logged)));
        }
        EXPECT_FALSE(memoTexts().mid(at).contains(QStringLiteral("Beállítás mentés")) && !c.logged);
        if (c.restartBox) {
            EXPECT_EQ(seen.title, QStringLiteral("Készülék újraindítás"));
            EXPECT_EQ(seen.text, QStringLiteral("Biztosan újraindítja a készüléket?"));
            testlan::pumpFor(400); // the device's downtime
        }
    }
}

// ---------------------------------------------------------------- MAC change over TCP

TEST_F(ConfigE2e, MacChangeWritesTheEepromOverTcpAndTheRefreshListsTheNewMac)
{
    ASSERT_TRUE(startDevices({PlainDevice("10.77.128.70", "0.26.75.12.220.1", "Kft", "Mérő", "AV 1")}));
    showAndWaitIdle(8000);
    Tf_main *m = main();
    ASSERT_TRUE(select("10.77.128.70"));
    const int j = journalMark();
    const int at = mark();
    ModalSteps steps;
    steps.then("f_setMAC", [](QWidget *d) {
        auto *sixth = d->findChild<ByteSpinEdit *>(QStringLiteral("SpinEdit6"));
        sixth->setFocus();
        QTest::keyClick(sixth, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(sixth, QStringLiteral("99"));
        QTest::keyClick(sixth, Qt::Key_Return);
    });
    steps.start();
    QElapsedTimer clock;
    Control<QPushButton>(m, "BitBtn1")->click();
    clock.start();
    EXPECT_TRUE(steps.done()) << steps.failedStep();
    EXPECT_TRUE(m->IsBusy());
    ASSERT_TRUE(testlan::pumpUntil([&] { return memoTexts().mid(at).contains(QStringLiteral("TCP timer")); }, 4000));
    EXPECT_GE(clock.elapsed(), 1850);
    EXPECT_LE(clock.elapsed(), 2600);
    ASSERT_TRUE(waitIdle(8000));

    QList<testlan::JournalEntry> tcp;
    for (const auto &e : journalSince(j))
        if (e.proto == QStringLiteral("tcp"))
            tcp.append(e);
    ASSERT_EQ(tcp.size(), 1);
    EXPECT_TRUE(tcp[0].src.startsWith(QStringLiteral("10.77.0.1:")));
    EXPECT_EQ(tcp[0].dst, QStringLiteral("10.77.128.70:1001"));
    EXPECT_EQ(tcp[0].word, QStringLiteral("CSYWE"));
    EXPECT_EQ(tcp[0].data, QByteArray("CSYWE\xD3\x00\x06\x00\x1A\x4B\x0C\xDC\x63", 14));

    const QStringList memo = memoTexts().mid(at);
    const qsizetype connected = memo.indexOf(QStringLiteral("A kapcsolat létrejött!"));
    const qsizetype written = memo.indexOf(QStringLiteral("Az EEPROM írás sikeres."));
    const qsizetype timer = memo.indexOf(QStringLiteral("TCP timer"));
    const qsizetype refresh = memo.indexOf(QStringLiteral("Verzió lekérés"));
    EXPECT_TRUE(memo.value(0).startsWith(QStringLiteral("Új MAC cím: ")));
    EXPECT_GE(connected, 0);
    EXPECT_FALSE(memo.filter(QRegularExpression(QStringLiteral("^TAVO csomag: 251 "))).isEmpty());
    EXPECT_GT(written, connected);
    EXPECT_GT(timer, written);
    EXPECT_GT(refresh, timer) << "the refresh runs after the connection's time";

    ASSERT_EQ(Probe(m).Table().RowCount(), 1);
    EXPECT_EQ(Probe(m).Table().Cell(0, ColMac), QStringLiteral("0.26.75.12.220.99"));
    EXPECT_EQ(Probe(m).Table().Cell(0, ColIp), QStringLiteral("10.77.128.70"));
}

TEST_F(ConfigE2e, MacChangeThatIsNotConfirmedEndsAfterTwoSecondsWithoutRefresh)
{
    ASSERT_TRUE(startDevices({With(PlainDevice("10.77.128.71", "0.26.75.12.221.1", "Kft", "Hibás", "AV 1"), "eeprom_fail", true),
                              With(PlainDevice("10.77.128.72", "0.26.75.12.221.2", "Kft", "Néma", "AV 1"), "silent", true)}));
    showAndWaitIdle(8000);
    Tf_main *m = main();
    ASSERT_EQ(Probe(m).Table().RowCount(), 1);
    // Rows the discovery cannot bring: a silent device and an address where nothing is.
    for (const char *ip : {"10.77.128.72", "10.77.0.200"})
        FeedDevices(m, {{QStringLiteral("0.26.75.12.221.9"), QStringLiteral("1001"), QStringLiteral("N**I*"), QStringLiteral("x"),
                         QString(), QString(), QString::fromLatin1(ip), QString(), QString(), QString()}});
    const struct {
        const char *ip;
        const char *expected; // a line that must be there, or nullptr
    } cases[] = {
        {"10.77.128.71", "EEPROM írási hiba!"},
        {"10.77.128.72", nullptr},
        {"10.77.0.200", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ip);
        ASSERT_TRUE(select(c.ip));
        const QString macBefore = Probe(m).Table().Cell(rowOf(c.ip), ColMac);
        const QString lastCommand = Probe(m).LastCommand();
        const int at = mark();
        ModalSteps steps;
        steps.then("f_setMAC", [](QWidget *d) { PressButton(d, "bbtn_set"); });
        steps.start();
        QElapsedTimer clock;
        Control<QPushButton>(m, "BitBtn1")->click();
        clock.start();
        EXPECT_TRUE(steps.done());
        ASSERT_TRUE(testlan::pumpUntil([&] { return memoTexts().mid(at).contains(QStringLiteral("TCP timer")); }, 4000));
        EXPECT_GE(clock.elapsed(), 1850);
        EXPECT_LE(clock.elapsed(), 2600);
        testlan::pumpFor(300);
        const QStringList memo = memoTexts().mid(at);
        if (c.expected) {
            EXPECT_TRUE(memo.contains(QString::fromUtf8(c.expected)));
        }
        EXPECT_FALSE(memo.contains(QStringLiteral("Az EEPROM írás sikeres.")));
        EXPECT_FALSE(m->IsBusy());
        EXPECT_EQ(Probe(m).LastCommand(), lastCommand) << "no refresh";
        EXPECT_FALSE(Probe(m).UdpTimerActive());
        EXPECT_EQ(Probe(m).Table().Cell(rowOf(c.ip), ColMac), macBefore);
    }
}
