// The device-configuration flows of the main window without devices: the TCP
// framer, the EEPROM write packet, the set-IP command text, the password step
// and the TCP connection's lifetime against a fake device in this namespace.
#include "tests/app/app_fixture.h"
#include "tests/app/modal_steps_fixture.h"

#include "config/AddressEdit.h"
#include "config/ByteSpinEdit.h"
#include "config/frm_setMAC.h"
#include "config/frm_setip.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoWire.h"
#include "tests/common/TestLan.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

using namespace ardel;

namespace {

QByteArray FrameOf(const QByteArray &data)
{
    TTAVOProtocol codec;
    codec.Cimzett = 250;
    codec.Felado = 4000;
    QByteArray packet;
    codec.EncodeTAVOW(data, packet);
    return packet;
}

DeviceRow Row(const char *ip, const char *mac, const char *tavow = "")
{
    return {QString::fromLatin1(mac),      QStringLiteral("1001"),       QStringLiteral("N**I*"), QStringLiteral("x"),
            QStringLiteral("Owner"),       QStringLiteral("Name"),       QString::fromLatin1(ip), QString::fromLatin1(tavow),
            QStringLiteral("10.77.0.254"), QStringLiteral("255.255.0.0")};
}

} // namespace

class ConfigUnit : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        create();
    }
    int mark() const { return int(memoTexts().size()); }
    QStringList since(int at) const { return memoTexts().mid(at); }
    QStringList dataLinesSince(int at) const
    {
        QStringList out;
        for (const QString &l : since(at))
            if (l.startsWith(QStringLiteral("TAVO data: ")))
                out.append(l);
        return out;
    }
};

// ---------------------------------------------------------------- framer

TEST_F(ConfigUnit, FramerHandlesWholeFramesOnlyAndKeepsAnOpenFrameForTheNextChunk)
{
    const QByteArray f1 = FrameOf("AFRAME1");
    const QByteArray f2 = FrameOf("AFRAME2");
    const QString line1 = QStringLiteral("TAVO data: AFRAME1");
    const QString line2 = QStringLiteral("TAVO data: AFRAME2");
    struct Chunk {
        QByteArray bytes;
        QStringList handled; // "TAVO data: " lines this chunk produces
    };
    struct Case {
        const char *name;
        std::vector<Chunk> chunks;
        bool inFrameAfter;
        QByteArray frameAfter;
    };
    const Case cases[] = {
        {"bytes around two frames", {{"\x11" + f1 + "\x22" + f2.left(5), {line1}}}, true, f2.left(5)},
        {"the open frame ends in the next chunk",
         {{"\x11" + f1 + "\x22" + f2.left(5), {line1}}, {f2.mid(5), {line2}}},
         false,
         {}},
        {"a start byte inside a frame restarts it", {{f1.left(7) + f2, {line2}}}, false, {}},
        {"a frame split over two chunks is handled once", {{f1.left(9), {}}, {f1.mid(9), {line1}}}, false, {}},
        {"split just before the end byte", {{f1.chopped(1), {}}, {"\xFC", {line1}}}, false, {}},
        {"bytes outside frames are dropped", {{"\x11\x22\xFC\x33", {}}}, false, {}},
        {"a frame that does not decode", {{"\xFB\x01\x02\xFC", {QStringLiteral("TAVO data: ")}}}, false, {}},
        {"two frames in one chunk", {{f1 + f2, {line1, line2}}}, false, {}},
    };
    Tf_main *m = main();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // An end byte closes whatever frame the previous case left open.
        m->TAVOSocket1ReadChunk(QByteArray("\xFC"));
        ASSERT_FALSE(Probe(m).TavoFramer().InFrame());
        for (const Chunk &ch : c.chunks) {
            const int at = mark();
            m->TAVOSocket1ReadChunk(ch.bytes);
            EXPECT_EQ(dataLinesSince(at), ch.handled);
            // The raw chunk is logged after the frames it completed.
            const QStringList lines = since(at);
            ASSERT_FALSE(lines.isEmpty());
            EXPECT_TRUE(lines.last().startsWith(QStringLiteral("TAVO be: "))) << lines.last().toStdString();
        }
        EXPECT_EQ(Probe(m).TavoFramer().InFrame(), c.inFrameAfter);
        EXPECT_EQ(Probe(m).TavoFramer().Partial(), c.frameAfter);
    }
}

TEST_F(ConfigUnit, FramerDropsAStreamWithoutEndByteAtTheLongestPacketAndRecovers)
{
    Tf_main *m = main();
    const int at = mark();
    m->TAVOSocket1ReadChunk("\xFB");
    for (int i = 0; i < 40; ++i) {
        m->TAVOSocket1ReadChunk(QByteArray(100, 'A'));
        ASSERT_LE(Probe(m).TavoFramer().Partial().size(), TTAVOProtocol::kMaxPacket) << "chunk " << i;
    }
    // A second endless frame after the first was dropped.
    m->TAVOSocket1ReadChunk("\xFB" + QByteArray(3000, 'B'));
    EXPECT_LE(Probe(m).TavoFramer().Partial().size(), TTAVOProtocol::kMaxPacket);
    EXPECT_TRUE(dataLinesSince(at).isEmpty());
    m->TAVOSocket1ReadChunk(FrameOf("AFRAME1"));
    EXPECT_EQ(dataLinesSince(at), QStringList{QStringLiteral("TAVO data: AFRAME1")});
}

// ---------------------------------------------------------------- frame handling

TEST_F(ConfigUnit, HandleTavoFrameReportsTheEepromWriteResult)
{
    struct Case {
        const char *name;
        QByteArray frame;
        QStringList lines; // after the first "TAVO data: " line
        bool ok;
    };
    const Case cases[] = {
        {"written",
         FrameOf(QByteArray("ASYWE\x01", 6)),
         {QStringLiteral("TAVO data: 1"), QStringLiteral("Az EEPROM írás sikeres.")},
         true},
        {"any non-zero result",
         FrameOf(QByteArray("ASYWE\xFF", 6)),
         {QStringLiteral("TAVO data: 255"), QStringLiteral("Az EEPROM írás sikeres.")},
         true},
        {"refused",
         FrameOf(QByteArray("ASYWE\x00", 6)),
         {QStringLiteral("TAVO data: 0"), QStringLiteral("EEPROM írási hiba!")},
         false},
        {"another word", FrameOf(QByteArray("ASYRE\x01", 6)), {QStringLiteral("TAVO data: 1")}, false},
        {"seven bytes", FrameOf(QByteArray("ASYWE\x01\x01", 7)), {}, false},
        {"undecodable", QByteArray("\xFB\x00\xFC", 3), {}, false},
    };
    Tf_main *m = main();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m->TAVOSocket1Connect(); // a new write starts unconfirmed (the socket is closed: nothing goes out)
        const int at = mark();
        m->HandleTavoFrame(c.frame);
        const QStringList lines = since(at);
        ASSERT_EQ(lines.size(), c.lines.size() + 1);
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("TAVO data: ")));
        EXPECT_EQ(lines.mid(1), c.lines);
        EXPECT_EQ(Probe(m).EepromWriteOk(), c.ok);
    }
    // The six data bytes themselves stand in the first line.
    const int at = mark();
    m->HandleTavoFrame(FrameOf(QByteArray("ASYWE\x01", 6)));
    EXPECT_EQ(since(at).value(0), QStringLiteral("TAVO data: ASYWE#1")) << "control bytes show as #n in the pane";
}

// ---------------------------------------------------------------- set-IP command

TEST_F(ConfigUnit, SetIpCommandCarriesTheRowsMacThePasswordAsTypedAndTheNewAddress)
{
    Tf_main *m = main();
    FeedDevices(m, {Row("10.77.128.5", "10.20.30.40.50.60")});
    m->SelectRow(0);
    ASSERT_EQ(m->SelectedRow(), 0);

    QString shown;
    ModalSteps steps;
    steps.then("f_setip", [&](QWidget *d) {
        shown = d->findChild<AddressEdit *>(QStringLiteral("me_ip_addr"))->FieldText();
        TypeAndEnter(d, "me_ip_addr", QStringLiteral("192.168.1.50"));
    });
    steps.start();
    int at = mark();
    Control<QPushButton>(m, "bbtn_change_ip")->click();
    EXPECT_TRUE(steps.done()) << steps.failedStep();
    steps.stop();
    EXPECT_EQ(shown, QStringLiteral("10 .77 .128.5  "));
    const QString first = QStringLiteral("A10.20.30.40.50.60//192.168.1.50|2a");
    EXPECT_EQ(first.size(), 35);
    EXPECT_EQ(since(at), (QStringList{QStringLiteral("Sor: 0"), QStringLiteral("Setip: 192.168.1.50"),
                                      QStringLiteral("Parancs: ") + first}));
    EXPECT_EQ(Probe(m).LastCommand(), first);
    EXPECT_TRUE(m->IsBusy());
    EXPECT_TRUE(Probe(m).UdpTimerActive());

    // The password step sends the same command again with the password between the separators.
    const struct {
        const char *password;
        const char *command;
    } cases[] = {
        {"titok", "A10.20.30.40.50.60/titok/192.168.1.50|2a"},
        {"a/b|c", "A10.20.30.40.50.60/a/b|c/192.168.1.50|2a"},
        {"//", "A10.20.30.40.50.60////192.168.1.50|2a"},
        {"", "A10.20.30.40.50.60//192.168.1.50|2a"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.password);
        ModalSteps pw;
        pw.then("f_passw", [&](QWidget *d) { TypeAndEnter(d, "em_passw", QString::fromLatin1(c.password)); });
        pw.start();
        at = mark();
        m->AskPassword();
        EXPECT_TRUE(pw.done());
        EXPECT_EQ(Probe(m).LastCommand(), QString::fromLatin1(c.command));
        EXPECT_EQ(since(at),
                  (QStringList{QStringLiteral("Jelszó bekérés"), QStringLiteral("Sor: 0"), QStringLiteral("Setip: 192.168.1.50"),
                               QStringLiteral("Parancs: ") + QString::fromLatin1(c.command)}));
    }
}

TEST_F(ConfigUnit, CollisionWarningDecidesWhetherTheCommandGoesOut)
{
    Tf_main *m = main();
    FeedDevices(m, {Row("10.77.128.5", "10.20.30.40.50.60")});
    FeedDevices(m, {Row("10.77.128.6", "10.20.30.40.50.61")});
    const struct {
        const char *name;
        const char *typed; // nullptr: take the shown address as it is
        QMessageBox::StandardButton button;
        bool sent;
    } cases[] = {
        {"own address, Cancel", nullptr, QMessageBox::Cancel, false},
        {"other row's address, Cancel", "10.77.128.6", QMessageBox::Cancel, false},
        {"other row's address, OK", "10.77.128.6", QMessageBox::Ok, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m->SetBusy(false);
        m->UdpTimerTimer(); // ends the reply window the previous case opened
        m->SelectRow(Probe(m).Table().FindDeviceRow(QStringLiteral("10.77.128.5")));
        ModalSteps::SeenBox seen;
        ModalSteps steps;
        steps.then("f_setip", [&](QWidget *d) {
            if (c.typed)
                TypeAndEnter(d, "me_ip_addr", QString::fromLatin1(c.typed));
            else
                PressButton(d, "bbtn_set");
        });
        steps.thenBox(c.button, &seen);
        steps.start();
        const int at = mark();
        const QString commandBefore = Probe(m).LastCommand();
        Control<QPushButton>(m, "bbtn_change_ip")->click();
        EXPECT_TRUE(steps.done()) << steps.failedStep();
        EXPECT_EQ(seen.title, QStringLiteral("Figyelmeztetés"));
        EXPECT_EQ(seen.text, QStringLiteral("IP cím ütközés van a megadott értékkel! Biztosan folytatja?"));
        EXPECT_EQ(m->IsBusy(), c.sent);
        EXPECT_EQ(Probe(m).LastCommand() != commandBefore, c.sent);
        const QStringList lines = since(at);
        EXPECT_EQ(lines.value(0), QStringLiteral("Sor: 0"));
        EXPECT_EQ(lines.size(), c.sent ? 3 : 1);
    }
}

TEST_F(ConfigUnit, SetIpStepWithoutSelectedRowEndsTheFlowWithTheButtonsEnabled)
{
    Tf_main *m = main();
    FeedDevices(m, {Row("10.77.128.5", "10.20.30.40.50.60")});
    m->SelectRow(-1);
    ModalSteps none;
    none.start();

    // From the button: only the row index is logged.
    int at = mark();
    Control<QPushButton>(m, "bbtn_change_ip")->click();
    EXPECT_EQ(since(at), QStringList{QStringLiteral("Sor: -1")});
    EXPECT_FALSE(m->IsBusy());
    EXPECT_EQ(Probe(m).LastCommand(), QStringLiteral("X")) << "nothing sent after the rows came";

    // From the password step, which left the window waiting: the buttons come back.
    m->SetBusy(true);
    at = mark();
    m->ChangeDeviceIP(QStringLiteral("titok"), QStringLiteral("192.168.1.50"));
    EXPECT_EQ(since(at), QStringList{QStringLiteral("Sor: -1")});
    EXPECT_FALSE(m->IsBusy());
    EXPECT_EQ(Probe(m).LastCommand(), QStringLiteral("X")) << "nothing sent after the rows came";

    testlan::pumpFor(50);
    EXPECT_TRUE(none.unexpected().isEmpty()) << none.unexpected().join(u',').toStdString();
}

TEST_F(ConfigUnit, BackInThePasswordDialogSendsNothingAndEnablesTheButtons)
{
    Tf_main *m = main();
    FeedDevices(m, {Row("10.77.128.5", "10.20.30.40.50.60")});
    m->SelectRow(0);
    m->SetBusy(true);
    ModalSteps steps;
    steps.then("f_passw", [](QWidget *d) { PressButton(d, "bbtn_back"); });
    steps.start();
    const int at = mark();
    m->AskPassword();
    EXPECT_TRUE(steps.done());
    EXPECT_EQ(since(at), QStringList{QStringLiteral("Jelszó bekérés")});
    EXPECT_FALSE(m->IsBusy());
    EXPECT_EQ(Probe(m).LastCommand(), QStringLiteral("X")) << "nothing sent after the rows came";
}

// ---------------------------------------------------------------- settings: repeated password answers

TEST_F(ConfigUnit, ARepeatedPasswordAnswerWhileTheDialogsAreOpenOpensNothingMore)
{
    // The sender resends the password read while the user types, so the
    // device's answer can come again while a dialog of this flow is open.
    Tf_main *m = main();
    FeedDevices(m, {Row("10.77.128.5", "0.26.75.12.200.3", "4000")});
    m->SelectRow(0);

    int spinAfter = -1;
    ModalSteps steps;
    steps
        .then("f_passw",
              [&](QWidget *d) {
                  m->CheckDevicePassword("titok"); // again while the password dialog is open
                  TypeAndEnter(d, "em_passw", QStringLiteral("titok"));
              })
        .then("f_settings", [&](QWidget *d) {
            m->CheckDevicePassword("titok"); // and while the settings dialog is open
            auto *first = d->findChild<ByteSpinEdit *>(QStringLiteral("SpinEdit1"));
            first->setValue(99);
            m->CheckDevicePassword(QByteArray()); // a device without password answering again
            spinAfter = first->value();
            PressButton(d, "bbtn_back");
        });
    steps.start();
    m->CheckDevicePassword("titok");
    testlan::pumpFor(100);
    EXPECT_TRUE(steps.done()) << steps.failedStep();
    EXPECT_TRUE(steps.unexpected().isEmpty()) << steps.unexpected().join(u',').toStdString();
    EXPECT_EQ(spinAfter, 99) << "the open dialog's fields were refilled";
}

TEST_F(ConfigUnit, PasswordIsComparedByteForByte)
{
    Tf_main *m = main();
    FeedDevices(m, {Row("10.77.128.5", "0.26.75.12.200.3", "4000")});
    m->SelectRow(0);
    const struct {
        const char *typed;
        QByteArray device;
        bool opens;
    } cases[] = {
        {"titok", "titok", true}, {"Titok", "titok", false}, {"titok ", "titok", false},
        {"tito", "titok", false}, {"", "titok", false},      {"jelszó", "jelsz\xF3", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        ModalSteps steps;
        steps.then("f_passw", [&](QWidget *d) { TypeAndEnter(d, "em_passw", QString::fromUtf8(c.typed)); });
        if (c.opens)
            steps.then("f_settings", [](QWidget *d) { PressButton(d, "bbtn_back"); });
        steps.start();
        m->CheckDevicePassword(c.device);
        testlan::pumpFor(30);
        EXPECT_TRUE(steps.done()) << steps.failedStep();
        EXPECT_TRUE(steps.unexpected().isEmpty()) << steps.unexpected().join(u',').toStdString();
    }
}

// ---------------------------------------------------------------- addresses

TEST(AddressToBytes, OneLowByteForEachDottedPart)
{
    const struct {
        const char *dotted;
        QByteArray bytes;
    } cases[] = {
        {"192.168.1.50", QByteArray("\xC0\xA8\x01\x32", 4)},
        {"0.0.0.0", QByteArray(4, '\0')},
        {"255.255.255.255", QByteArray(4, '\xFF')},
        {"001.010.100.000", QByteArray("\x01\x0A\x64\x00", 4)},
        {"256.1.1.1", QByteArray("\x00\x01\x01\x01", 4)},
        {"1.x.3.4", QByteArray("\x01\x00\x03\x04", 4)},
        {"10.20", QByteArray("\x0A\x14", 2)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AddressToBytes(QString::fromLatin1(c.dotted)), c.bytes) << c.dotted;
}

// ---------------------------------------------------------------- MAC dialog

TEST_F(ConfigUnit, MacDialogOpensWithTheRowsMacAndBackSendsNothing)
{
    Tf_main *m = main();
    FeedDevices(m, {Row("10.77.128.5", "0.26.75.12.200.3")});
    m->SelectRow(0);
    QList<int> shown;
    ModalSteps steps;
    steps.then("f_setMAC", [&](QWidget *d) {
        for (int i = 1; i <= 6; ++i)
            shown.append(d->findChild<ByteSpinEdit *>(QStringLiteral("SpinEdit%1").arg(i))->value());
        PressButton(d, "bbtn_back");
    });
    steps.start();
    const int at = mark();
    Control<QPushButton>(m, "BitBtn1")->click();
    EXPECT_TRUE(steps.done());
    steps.stop();
    EXPECT_EQ(shown, (QList<int>{0, 26, 75, 12, 200, 3}));
    EXPECT_TRUE(since(at).isEmpty());
    EXPECT_FALSE(Probe(m).TcpTimerActive());
    EXPECT_FALSE(m->IsBusy());

    // No row selected: neither the button nor the menu item opens anything.
    m->SelectRow(-1);
    ModalSteps none;
    none.start();
    Control<QPushButton>(m, "BitBtn1")->click();
    m->MACcmtllts1Click();
    testlan::pumpFor(50);
    EXPECT_TRUE(none.unexpected().isEmpty());
    EXPECT_FALSE(Probe(m).TcpTimerActive());
}

// ---------------------------------------------------------------- the TCP connection's lifetime

namespace {

// A device's port 1001 on the workstation's second address.
struct FakeDevice {
    enum Reply { Silent, Written, WrittenThenClose, Refused };
    Reply reply = Silent;
    QTcpServer server;
    QList<QTcpSocket *> peers;
    QByteArray received;
    int disconnects = 0;

    bool listen()
    {
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                peers.append(s);
                QObject::connect(s, &QTcpSocket::disconnected, [this] { ++disconnects; });
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] {
                    received += s->readAll();
                    if (!received.endsWith('\xFC'))
                        return;
                    if (reply == Written || reply == WrittenThenClose)
                        s->write(FrameOf(QByteArray("ASYWE\x01", 6)));
                    if (reply == WrittenThenClose) {
                        s->flush();
                        s->disconnectFromHost();
                    }
                });
            }
        });
        return server.listen(QHostAddress(QStringLiteral("10.78.0.1")), wire::kTcpPort);
    }
};

struct TcpCase {
    const char *name;
    FakeDevice::Reply reply;
    bool connected;
    bool confirmed;
    bool refresh;
};

} // namespace

class TcpLifetime : public ConfigUnit, public ::testing::WithParamInterface<TcpCase> {};

TEST_P(TcpLifetime, TimerEndsTheConnectionAfterTwoSecondsAndRefreshesOnlyAfterAConfirmedWriteOnAnOpenConnection)
{
    const TcpCase &c = GetParam();
    Tf_main *m = main();
    FakeDevice dev;
    dev.reply = c.reply;
    if (c.reply != FakeDevice::Refused) {
        ASSERT_TRUE(dev.listen());
    }
    windows->f_setMAC->SetMAC(QByteArray("\x02\x00\x0A\x4E\x00\x01", 6));
    m->SetTavoRemoteAddress(QStringLiteral("10.78.0.1"));
    const int at = mark();
    QElapsedTimer clock;
    clock.start();
    m->OpenTavoConnection();
    EXPECT_TRUE(m->IsBusy());
    ASSERT_TRUE(testlan::pumpUntil([&] { return since(at).contains(QStringLiteral("TCP timer")); }, 4000));
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 1850); // a coarse timer may fire up to 5 % early
    EXPECT_LE(took, 2600);
    const QStringList lines = since(at);
    EXPECT_EQ(lines.value(0), QStringLiteral("TCP kapcsolat megnyitása: 10.78.0.1"));
    EXPECT_EQ(lines.contains(QStringLiteral("A kapcsolat létrejött!")), c.connected);
    EXPECT_EQ(lines.contains(QStringLiteral("Az EEPROM írás sikeres.")), c.confirmed);
    if (c.connected) {
        TTAVOProtocol decoder;
        QByteArray data;
        decoder.DecodeTAVOW(dev.received, data);
        EXPECT_EQ(data, QByteArray("CSYWE\xD3\x00\x06\x02\x00\x0A\x4E\x00\x01", 14));
    }
    // The refresh starts after the window went idle, so it stays busy with its own exchange.
    EXPECT_EQ(m->IsBusy(), c.refresh);
    EXPECT_EQ(Probe(m).LastCommand(), c.refresh ? QStringLiteral("X") : QString());
    EXPECT_EQ(Probe(m).UdpTimerActive(), c.refresh);
    EXPECT_EQ(Probe(m).TcpState(), QAbstractSocket::UnconnectedState);
    if (c.reply == FakeDevice::Silent) {
        testlan::pumpUntil([&] { return dev.disconnects > 0; }, 1000);
        EXPECT_EQ(dev.disconnects, 1) << "the timer closes the connection";
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, TcpLifetime,
                         ::testing::Values(TcpCase{"silent", FakeDevice::Silent, true, false, false},
                                           TcpCase{"written", FakeDevice::Written, true, true, true},
                                           TcpCase{"written_then_closed", FakeDevice::WrittenThenClose, true, true, false},
                                           TcpCase{"refused", FakeDevice::Refused, false, false, false}),
                         [](const ::testing::TestParamInfo<TcpCase> &i) { return std::string(i.param.name); });

TEST_F(ConfigUnit, ASecondOpeningAbortsTheRunningConnection)
{
    Tf_main *m = main();
    FakeDevice dev;
    ASSERT_TRUE(dev.listen());
    m->SetTavoRemoteAddress(QStringLiteral("10.78.0.1"));
    const int at = mark();
    m->OpenTavoConnection();
    ASSERT_TRUE(testlan::pumpUntil([&] { return dev.peers.size() == 1 && !dev.received.isEmpty(); }, 2000));
    testlan::pumpFor(500);
    QElapsedTimer clock;
    clock.start();
    m->OpenTavoConnection();
    ASSERT_TRUE(testlan::pumpUntil([&] { return dev.peers.size() == 2 && dev.disconnects == 1; }, 1500));
    ASSERT_TRUE(testlan::pumpUntil([&] { return since(at).contains(QStringLiteral("TCP timer")); }, 4000));
    // The timer counts from the second opening and ends the flow once.
    EXPECT_GE(clock.elapsed(), 1850);
    EXPECT_EQ(since(at).count(QStringLiteral("A kapcsolat létrejött!")), 2);
    testlan::pumpFor(300);
    EXPECT_EQ(since(at).count(QStringLiteral("TCP timer")), 1);
    EXPECT_FALSE(m->IsBusy());
}
