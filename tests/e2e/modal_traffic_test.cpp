// Dialogs that a device's answer opens: while they are open, and after they
// close, every datagram is still read and handled. The workstation listens on
// one address only, so that nothing reaches it through a second endpoint.
#include "tests/e2e/e2e_fixture.h"

#include "tests/app/modal_steps_fixture.h"
#include "tests/net/netns_fixture.h"

#include "app/core/DeviceTable.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRegularExpression>
#include <QHeaderView>
#include <QTableView>

#include <unistd.h>

using namespace ardel;

namespace {

const QString kWs = QStringLiteral("10.77.0.1:1010");

QJsonObject TavoDevice(const char *ip, const char *mac, const char *name, int tavow, const char *password)
{
    QJsonObject d = PlainDevice(ip, mac, "Kft", name, "AV 1");
    d.insert(QStringLiteral("tavow"), tavow);
    d.insert(QStringLiteral("mem_password"), QString::fromLatin1(password));
    d.insert(QStringLiteral("restart_ms"), 300);
    return d;
}

} // namespace

class ModalTrafficE2e : public E2eTest {
protected:
    void TearDown() override
    {
        for (int fd : fds)
            ::close(fd);
        E2eTest::TearDown();
    }

    QTableView *grid() const { return main()->findChild<QTableView *>(QStringLiteral("ngrid_machine_list")); }
    QPushButton *button(const char *name) const { return main()->findChild<QPushButton *>(QString::fromLatin1(name)); }
    int rowOf(const char *ip) const { return Probe(main()).Table().FindDeviceRow(QString::fromLatin1(ip)); }

    // Through the network dialog, as a user would: only the first address stays selected.
    void listenOnFirstAddressOnly()
    {
        ModalSteps steps;
        steps.then("f_netparam", [](QWidget *d) {
            for (QCheckBox *box : d->findChildren<QCheckBox *>()) {
                if (box->accessibleName().isEmpty())
                    continue; // the template, never shown
                EXPECT_TRUE(box->isVisible()) << "a connection box shows with the dialog";
                if (box->accessibleName().contains(QStringLiteral("10.78.0.1")) && box->isChecked())
                    box->click();
            }
            PressButton(d, "bbtn_set");
        });
        steps.start();
        button("bbtn_net")->click();
        EXPECT_TRUE(steps.done()) << steps.failedStep();
    }

    void refreshAndWait(const char *buttonName, int timeoutMs)
    {
        button(buttonName)->click();
        ASSERT_TRUE(testlan::pumpUntil([&] { return button("bbtn_refresh")->isEnabled(); }, timeoutMs)) << buttonName;
        ASSERT_TRUE(waitIdle(timeoutMs));
    }

    void doubleClickRow(int row)
    {
        QTableView *v = grid();
        const QPoint at = v->visualRect(v->model()->index(row, 2)).center();
        // As the window system delivers it: a click, then the second press as a double click.
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, at);
    }

    QList<QByteArray> tavoSentSince(qsizetype at, const char *ip)
    {
        testlan::pumpFor(200); // the emulator writes its journal every 40 ms
        QList<QByteArray> out;
        for (const auto &e : sim.journal().mid(at))
            if (e.src == kWs && e.dst == QString::fromLatin1(ip) + QStringLiteral(":65500"))
                out.append(e.data);
        return out;
    }

    qsizetype journalMark()
    {
        testlan::pumpFor(200);
        return sim.journal().size();
    }

    std::vector<int> fds;
};

TEST_F(ModalTrafficE2e, SettingsOpenedByTheDevicesAnswerAreSavedAndTheNetworkStaysAlive)
{
    ASSERT_TRUE(startDevices({TavoDevice("10.77.128.60", "0.26.75.12.230.1", "Szelep", 4060, "geheim"),
                              PlainDevice("10.77.128.61", "0.26.75.12.230.2", "Kft", "Mérő", "AV 1"),
                              PlainDevice("10.77.128.62", "0.26.75.12.230.3", "Kft", "Kazán", "AV 1")}));
    showAndWaitIdle(8000);
    listenOnFirstAddressOnly();
    refreshAndWait("bbtn_tavorefresh", 15000);
    const int r = rowOf("10.77.128.60");
    ASSERT_GE(r, 0);
    ASSERT_EQ(Probe(main()).Table().Cell(r, ColMask), QStringLiteral("255.255.0.0"));

    struct Case {
        const char *name;
        ModalSteps::Action onSettings;
        bool restartBox;
        QList<QByteArray> sent; // after the password read
        const char *logged;
    };
    const Case cases[] = {
        {"only the mask, saved",
         [](QWidget *d) { TypeAndEnter(d, "me_mask", QStringLiteral("255.255.255.0")); },
         false,
         {QByteArray("CETSN\xFF\xFF\xFF\x00", 9), QByteArray("CSYER")},
         "Beállítás mentés"},
        {"restart confirmed",
         [](QWidget *d) { PressButton(d, "bbtn_reset"); },
         true,
         {QByteArray("CSYRS")},
         "Újraindítás kértek"},
    };
    const QByteArray read("CSYRE\x61\x00\x1E", 8);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int row = rowOf("10.77.128.60");
        ASSERT_GE(row, 0);
        grid()->selectRow(row);
        const qsizetype j = journalMark();
        const int at = int(memoTexts().size());
        ModalSteps steps;
        steps
            .then("f_passw",
                  [](QWidget *d) {
                      testlan::pumpFor(400); // a person takes a while to type
                      TypeAndEnter(d, "em_passw", QStringLiteral("geheim"));
                  })
            .then("f_settings", c.onSettings);
        if (c.restartBox)
            steps.thenBox(QMessageBox::Ok);
        steps.start();
        doubleClickRow(row);
        ASSERT_TRUE(testlan::pumpUntil([&] { return steps.done() || steps.failedStep() >= 0; }, 6000));
        EXPECT_TRUE(steps.done()) << steps.failedStep();
        // The answers to what was sent are read and the sender stops: nothing is resent.
        testlan::pumpFor(1200);
        const QList<QByteArray> sent = tavoSentSince(j, "10.77.128.60");
        ASSERT_FALSE(sent.isEmpty());
        EXPECT_EQ(sent.first(), read);
        QList<QByteArray> after = sent;
        after.removeAll(read); // resent while the user typed: that is the sender's own pace
        EXPECT_EQ(after, c.sent);
        const QStringList memo = memoTexts().mid(at);
        EXPECT_TRUE(memo.contains(QString::fromUtf8(c.logged)));
        const qsizetype acks =
            memo.filter(QRegularExpression(QStringLiteral("^Received outer: .* from 10\\.77\\.128\\.60 on port 65500$"))).size();
        EXPECT_GE(acks, c.sent.size() + 1) << "the password answer and every acknowledgement are logged";
        if (c.restartBox)
            testlan::pumpFor(400); // the device's downtime
    }

    // The device took the new mask, and every device is still heard.
    refreshAndWait("bbtn_tavorefresh", 15000);
    ASSERT_GE(rowOf("10.77.128.60"), 0);
    EXPECT_EQ(Probe(main()).Table().Cell(rowOf("10.77.128.60"), ColMask), QStringLiteral("255.255.255.0"));
    refreshAndWait("bbtn_refresh", 8000);
    EXPECT_EQ(Probe(main()).Table().RowCount(), 3);
    for (const char *ip : {"10.77.128.60", "10.77.128.61", "10.77.128.62"})
        EXPECT_GE(rowOf(ip), 0) << ip;
}

TEST_F(ModalTrafficE2e, DatagramsAreReadAndLoggedWhileThePasswordDialogIsOpen)
{
    ASSERT_TRUE(startDevices({TavoDevice("10.77.128.63", "0.26.75.12.230.4", "Szelep", 4063, "geheim"),
                              PlainDevice("10.77.128.64", "0.26.75.12.230.5", "Kft", "Mérő", "AV 1")}));
    showAndWaitIdle(8000);
    listenOnFirstAddressOnly();
    refreshAndWait("bbtn_tavorefresh", 15000);
    const int row = rowOf("10.77.128.63");
    ASSERT_GE(row, 0);
    grid()->selectRow(row);

    // Other devices talk to the workstation while the dialog is open.
    const char *talkers[] = {"10.77.128.90", "10.77.128.91", "10.77.128.92", "10.77.128.93", "10.77.128.94"};
    std::vector<int> sockets;
    for (const char *ip : talkers) {
        // Not 65535: the emulator holds that port on every address.
        const int fd = nstest::DeviceUdpSocket(ip, 4000);
        ASSERT_GE(fd, 0) << ip;
        fds.push_back(fd);
        sockets.push_back(fd);
    }

    QStringList memoWhileOpen;
    bool stillOpenAtTheEnd = false;
    ModalSteps steps(8000);
    steps.then("f_passw", [&](QWidget *d) {
        // This step keeps its dialog open: nothing may close it as unexpected.
        steps.stop();
        QElapsedTimer open;
        open.start();
        for (size_t i = 0; i < sockets.size(); ++i) {
            testlan::pumpFor(500);
            nstest::SendTo(sockets[i], "10.77.0.1", 1010, QByteArray("Z talker ") + QByteArray::number(int(i)));
        }
        testlan::pumpUntil([&] { return open.elapsed() >= 3000; }, 4000);
        stillOpenAtTheEnd = d->isVisible();
        memoWhileOpen = memoTexts();
        PressButton(d, "bbtn_back");
    });
    const int at = int(memoTexts().size());
    steps.start();
    doubleClickRow(row);
    ASSERT_TRUE(testlan::pumpUntil([&] { return steps.done() || steps.failedStep() >= 0; }, 8000));
    EXPECT_TRUE(steps.done()) << steps.failedStep();
    EXPECT_TRUE(stillOpenAtTheEnd);

    const QStringList during = memoWhileOpen.mid(at);
    for (size_t i = 0; i < std::size(talkers); ++i) {
        const QString line =
            QStringLiteral("Received outer: \"Z talker %1\" from %2 on port 4000").arg(i).arg(QString::fromLatin1(talkers[i]));
        EXPECT_TRUE(during.contains(line)) << line.toStdString();
    }
    // The answer to the sender's resend of the password read is read too.
    EXPECT_GE(
        during.filter(QRegularExpression(QStringLiteral("^Received outer: .* from 10\\.77\\.128\\.63 on port 65500$"))).size(),
        2);

    // After the dialog: a refresh hears every device.
    refreshAndWait("bbtn_refresh", 8000);
    EXPECT_GE(rowOf("10.77.128.63"), 0);
    EXPECT_GE(rowOf("10.77.128.64"), 0);
}

TEST_F(ModalTrafficE2e, TheSelectedDeviceStaysSelectedWhenManyRunsOfRowsDisappear)
{
    // Every other device falls silent: more than thirty separate runs of rows go at once.
    QJsonArray all;
    QJsonArray half;
    for (int i = 0; i < 80; ++i) {
        const QByteArray ip = "10.77.129." + QByteArray::number(i + 1);
        const QByteArray mac = "0.26.75.13.1." + QByteArray::number(i + 1);
        const QJsonObject d = PlainDevice(ip.constData(), mac.constData(), "Kft", "Dev", "AV 1");
        all.append(d);
        if (i % 2 == 0)
            half.append(d);
    }
    ASSERT_TRUE(startDevices(all));
    showAndWaitIdle(8000);
    ASSERT_EQ(Probe(main()).Table().RowCount(), 80);
    const int r = rowOf("10.77.129.41");
    ASSERT_GE(r, 0);
    QTableView *v = grid();
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(v->model()->index(r, 2)).center());
    ASSERT_EQ(main()->SelectedRow(), r);

    ASSERT_TRUE(startDevices(half));
    refreshAndWait("bbtn_refresh", 8000);
    ASSERT_EQ(Probe(main()).Table().RowCount(), 40);
    const int now = main()->SelectedRow();
    ASSERT_GE(now, 0);
    EXPECT_EQ(Probe(main()).Table().Cell(now, ColIp), QStringLiteral("10.77.129.41"));
    EXPECT_EQ(Probe(main()).Table().Cell(now, ColMac), QStringLiteral("0.26.75.13.1.41"));

    // A header click sorts by another column: the device stays selected.
    QTest::mouseClick(v->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(v->horizontalHeader()->sectionViewportPosition(ColMac) + 5, 5));
    const int sorted = main()->SelectedRow();
    ASSERT_GE(sorted, 0);
    EXPECT_EQ(Probe(main()).Table().Cell(sorted, ColIp), QStringLiteral("10.77.129.41"));
}
