#include "tests/app/app_fixture.h"

#include "log/NaploComponent.h"
#include "net/UDPComms.h"
#include "net/ui/frm_netparam.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoCommandSender.h"
#include "tests/common/TestLan.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QScopeGuard>
#include <QStringEncoder>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ardel;

namespace {

QColor indicator(const Tf_main *m)
{
    return Control<QLabel>(m, "lbl_con")->palette().color(QPalette::WindowText);
}

const QColor kLime(0, 255, 0);
const QColor kGreen(0, 128, 0);

} // namespace

TEST_F(AppTest, CreationReportsTheOwnAddressesAndSettlesTheWindow)
{
    create();
    Tf_main *m = main();
    const QStringList memo = memoTexts();
    ASSERT_GE(memo.size(), 3);
    EXPECT_EQ(memo[0], QStringLiteral("Saját IP címek"));
    EXPECT_EQ(memo[1], QStringLiteral("10.77.0.1"));
    EXPECT_EQ(memo[2], QStringLiteral("10.78.0.1"));
    EXPECT_TRUE(memo.contains(QStringLiteral("Subnet: 255.255.0.0")));
    EXPECT_EQ(m->StatusPanel(1), QStringLiteral("IP: 10.77.0.1"));
    EXPECT_EQ(m->StatusPanel(2), QStringLiteral("Maszk: 255.255.0.0"));
    EXPECT_EQ(m->StatusPanel(4), QString());
    EXPECT_EQ(m->windowTitle(), QStringLiteral("Ardel - Kelvara Device Detector v1.24"));
    EXPECT_TRUE(Control<QPushButton>(m, "bbtn_test")->isHidden());
    EXPECT_TRUE(Control<QPushButton>(m, "bbtn_test2")->isHidden());
    EXPECT_EQ(Control<QFrame>(m, "Panel1")->height(), 349 + 131 - 8);
    EXPECT_FALSE(Probe(m).UdpTimerActive());
    EXPECT_FALSE(Probe(m).TcpTimerActive());
    EXPECT_FALSE(Probe(m).TavoListerTimerActive());
    EXPECT_EQ(Probe(m).UdpTimerInterval(), 500);
    EXPECT_EQ(Probe(m).TcpTimerInterval(), 2000);
    EXPECT_EQ(Probe(m).TavoListerTimerInterval(), 250);
    EXPECT_EQ(Probe(m).Comms(), nullptr) << "endpoints open only when the window is shown";
    EXPECT_EQ(Probe(m).Codec().Cimzett, 255u);
    EXPECT_EQ(Probe(m).Codec().CsomagSorszam, 1);
    EXPECT_EQ(Probe(m).Codec().TAVOMode, TTAVOMode::PMDecodeBothEncodeTAVOW);
    EXPECT_EQ(Probe(m).Log().LogFile(), QStringLiteral(".\\Ardel.log"));
    EXPECT_EQ(Probe(m).Log().LogLimit(), 10000000);
    const QStringList captions{QStringLiteral("Frissítés"),          QStringLiteral("IP cím csere"),
                               QStringLiteral("Exportálás"),         QStringLiteral("MAC cím hexában"),
                               QStringLiteral("Hálózati beállítás"), QStringLiteral("MAC cím csere"),
                               QStringLiteral("Tavow frissítés"),    QStringLiteral("Kilépés")};
    const QList<QPushButton *> buttons{Control<QPushButton>(m, "bbtn_refresh"),     Control<QPushButton>(m, "bbtn_change_ip"),
                                       Control<QPushButton>(m, "bbtn_export"),      Control<QPushButton>(m, "sbtn_mac_hex"),
                                       Control<QPushButton>(m, "bbtn_net"),         Control<QPushButton>(m, "BitBtn1"),
                                       Control<QPushButton>(m, "bbtn_tavorefresh"), Control<QPushButton>(m, "bbtn_exit")};
    for (int i = 0; i < buttons.size(); ++i)
        EXPECT_EQ(buttons[i]->text(), captions[i]);
}

TEST_F(AppTest, EveryMessageIsOneMemoLineAndOneCp1250LogLine)
{
    create();
    const int before = main()->MemoLines().size();
    const QByteArray logBefore = logBytes();
    main()->WriteMessage(QStringLiteral("Saját IP címek"));
    const QStringList lines = main()->MemoLines();
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d: Saját IP címek$")).match(lines.last()).hasMatch())
        << lines.last().toStdString();
    const QByteArray added = logBytes().mid(logBefore.size());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  "
                                                  "\\d\\d:\\d\\d:\\d\\d: Saj\\x{e1}t IP c\\x{ed}mek\r\n$"))
                    .match(QString::fromLatin1(added))
                    .hasMatch())
        << added.toStdString();
    EXPECT_TRUE(added.contains("Saj\xE1t IP c\xEDmek"));

    // A text with line breaks still makes one line in each place.
    main()->WriteMessage(QStringLiteral("a\r\nb"));
    EXPECT_EQ(main()->MemoLines().size(), before + 2);
    EXPECT_TRUE(main()->MemoLines().last().endsWith(QStringLiteral(": a#13#10b")));
    EXPECT_TRUE(logBytes().endsWith(": a#13#10b\r\n"));
}

TEST_F(AppTest, WhileHiddenTheMessagePaneStillCollectsLines)
{
    create();
    showAndWaitIdle();
    ASSERT_TRUE(Control<QPlainTextEdit>(main(), "Memo1")->isHidden());
    const int before = main()->MemoLines().size();
    for (int i = 0; i < 5; ++i)
        main()->WriteMessage(QString::number(i));
    EXPECT_EQ(main()->MemoLines().size(), before + 5);
}

TEST(BytesToDecimalText, EachByteInDecimalFollowedByASpace)
{
    EXPECT_EQ(Tf_main::BytesToDecimalText(QByteArray()), QString());
    EXPECT_EQ(Tf_main::BytesToDecimalText(QByteArray(1, '\0')), QStringLiteral("0 "));
    EXPECT_EQ(Tf_main::BytesToDecimalText(QByteArray("A\x00\xFF", 3)), QStringLiteral("65 0 255 "));
}

// A TAVOW pass flips the indicator twice per device: the label takes every
// colour at once, and is painted at most about once a frame, the last colour
// included.
TEST_F(AppTest, IndicatorTakesEveryColourAtOnceAndIsPaintedOncePerFrame)
{
    showAndWaitIdle();
    Tf_main *m = main();
    QLabel *label = Control<QLabel>(m, "lbl_con");
    struct PaintWatch : QObject {
        int paints = 0;
        QColor lastPainted;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() == QEvent::Paint) {
                ++paints;
                lastPainted = static_cast<QWidget *>(o)->palette().color(QPalette::WindowText);
            }
            return false;
        }
    } watch;
    label->installEventFilter(&watch);
    QElapsedTimer clock;
    clock.start();
    int flips = 0;
    // Flips in quick turns of the event loop for 100 ms, as a pass makes them.
    while (clock.elapsed() < 100) {
        const bool busy = flips % 2 == 0;
        m->SetIndicator(busy);
        ++flips;
        EXPECT_EQ(indicator(m), busy ? kLime : kGreen);
        QCoreApplication::processEvents();
    }
    m->SetIndicator(false);
    EXPECT_EQ(indicator(m), kGreen);
    testlan::pumpFor(60);
    label->removeEventFilter(&watch);
    EXPECT_GT(flips, 200) << "the loop flipped too rarely to show anything";
    EXPECT_GE(watch.paints, 2);
    EXPECT_LE(watch.paints, 100 / 16 + 4) << flips << " flips";
    EXPECT_EQ(watch.lastPainted, kGreen) << "the last colour is painted";
    EXPECT_TRUE(label->updatesEnabled());
}

TEST_F(AppTest, FirstShowOpensEndpointsAndRunsARefreshBusyUntilItEnds)
{
    create();
    Tf_main *m = main();
    m->show();
    ASSERT_NE(Probe(m).Comms(), nullptr);
    ASSERT_NE(Probe(m).Sender(), nullptr);
    EXPECT_EQ(Probe(m).Comms()->OpenServerCount(), 2);
    EXPECT_EQ(m->StatusPanel(3), QStringLiteral("Hálózati csatlakozások: 2"));
    EXPECT_TRUE(m->IsBusy());
    EXPECT_EQ(indicator(m), kLime);
    EXPECT_EQ(Probe(m).LastCommand(), QStringLiteral("X"));
    // The panes that measure text are built right after that broadcast.
    EXPECT_TRUE(Control<QPlainTextEdit>(m, "Memo1")->isHidden());
    EXPECT_FALSE(Control<QTableView>(m, "ngrid_machine_list")->isColumnHidden(ColGateway));
    EXPECT_FALSE(Control<QTableView>(m, "ngrid_machine_list")->isColumnHidden(ColMask));
    EXPECT_TRUE(Control<QTableView>(m, "ngrid_machine_list")->isColumnHidden(ColMacHex));
    EXPECT_EQ(Control<QTableView>(m, "ngrid_machine_list")->geometry(), QRect(8, 8, 833, 265 + 139));
    EXPECT_EQ(Control<QPlainTextEdit>(m, "mm_info")->geometry(), QRect(8, 280 + 139, 833, 49));
    EXPECT_EQ(Control<QLabel>(m, "StatusB1_1")->text(), QStringLiteral("IP: 10.77.0.1"));
    ASSERT_TRUE(waitIdle(5000));
    EXPECT_EQ(indicator(m), kGreen);
    EXPECT_EQ(Probe(m).LastCommand(), QStringLiteral("V"));
    EXPECT_EQ(m->StatusPanel(0), QStringLiteral("Elem: 0"));
    EXPECT_TRUE(memoTexts().contains(QStringLiteral("Verzió lekérés")));

    // A second showing only starts another refresh.
    const TUDPComms *comms = Probe(m).Comms();
    const TTavoCommandSender *sender = Probe(m).Sender();
    m->hide();
    m->show();
    EXPECT_EQ(Probe(m).Comms(), comms);
    EXPECT_EQ(Probe(m).Sender(), sender);
    EXPECT_TRUE(m->IsBusy());
    EXPECT_TRUE(waitIdle(5000));
}

TEST_F(AppTest, PlainRepliesFollowTheLastCommand)
{
    create();
    Tf_main *m = main();
    const QByteArray reply = "A10.20.30.40.50.60/1001/N**IC/x/Owner/Name";
    struct Step {
        const char *lastCommand;
        const char *peer;
        QByteArray text;
        int rows;
        const char *pending; // the next step's name, "" for none
    };
    // Each row runs on the state the rows before it left.
    const Step steps[] = {
        {"V", "10.77.128.1", reply, 0, ""},                  // discovery reply during "V": ignored
        {"X", "10.77.128.1", reply, 1, ""},                  // merged
        {"X", "10.77.128.1", "AV 1.0", 1, ""},               // version reply during "X": ignored
        {"V", "10.77.128.99", "AV 9.9", 1, "SendDiscovery"}, // unknown address still asks for another pass
        {"V", "10.77.128.1", "AV 2.0", 1, "SendDiscovery"},
        {"X", "10.77.128.2", "A1.2.3.4.5/1001/N**IC/x/o/n", 1, "SendDiscovery"}, // five MAC pieces: rejected
        {"X", "10.77.128.2", "", 1, "SendDiscovery"},                            // empty datagram
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.text.toStdString());
        m->SendCommand(QString::fromLatin1(s.lastCommand), QStringLiteral("255.255.255.255"));
        m->HandlePlainReply(QString::fromLatin1(s.peer), s.text);
        EXPECT_EQ(Probe(m).Table().RowCount(), s.rows);
        EXPECT_EQ(Probe(m).PendingStepName(), QString::fromLatin1(s.pending));
    }
    EXPECT_EQ(Probe(m).Table().Cell(0, ColVersion), QStringLiteral("AV 2.0"));
    EXPECT_EQ(Probe(m).Table().Cell(0, ColIp), QStringLiteral("10.77.128.1"));
    EXPECT_EQ(Probe(m).Table().Cell(0, ColOwner), QStringLiteral("Owner"));
    EXPECT_TRUE(Probe(m).VersionPassDone());
}

TEST_F(AppTest, SetIpRepliesChooseTheFollowUpAndTheLastOneDecides)
{
    create();
    Tf_main *m = main();
    m->SendCommand(QStringLiteral("A10.20.30.40.50.60//10.77.128.9|2a"), QStringLiteral("255.255.255.255"));
    m->HandlePlainReply(QStringLiteral("10.77.128.1"), "D");
    EXPECT_EQ(Probe(m).PendingStepName(), QStringLiteral("AskPassword"));
    m->HandlePlainReply(QStringLiteral("10.77.128.2"), "A");
    EXPECT_EQ(Probe(m).PendingStepName(), QStringLiteral("StartRefresh"));
    m->HandlePlainReply(QStringLiteral("10.77.128.2"), "Q");
    EXPECT_EQ(Probe(m).PendingStepName(), QStringLiteral("StartRefresh"));
}

TEST_F(AppTest, NetworkDialogPaths)
{
    showAndWaitIdle();
    Tf_main *m = main();
    Tf_netparam *dlg = windows->f_netparam.get();
    auto boxes = [&] { return dlg->findChildren<QCheckBox *>(); };
    auto connectionBoxes = [&] {
        QList<QCheckBox *> out;
        for (QCheckBox *b : boxes())
            if (b != dlg->cb_first)
                out.append(b);
        return out;
    };
    ASSERT_EQ(connectionBoxes().size(), 2);
    // Created at start, the dialog gets its button icons at its first opening.
    EXPECT_TRUE(dlg->bbtn_set->icon().isNull());

    // "Vissza" after clearing the boxes changes nothing.
    OnNextModal([&](QWidget *) {
        EXPECT_FALSE(dlg->bbtn_set->icon().isNull());
        EXPECT_FALSE(dlg->bbtn_back->icon().isNull());
        for (QCheckBox *b : connectionBoxes()) {
            // Made before the dialog's other controls, they show with it.
            EXPECT_TRUE(b->isVisible());
            b->setChecked(false);
        }
        QTest::mouseClick(dlg->bbtn_back, Qt::LeftButton);
    });
    m->bbtn_netClick();
    EXPECT_EQ(Probe(m).Comms()->OpenServerCount(), 2);
    EXPECT_EQ(m->StatusPanel(3), QStringLiteral("Hálózati csatlakozások: 2"));

    // The next visit starts from the open endpoints; "Rendben" with all cleared closes everything.
    int checkedOnOpen = -1;
    OnNextModal([&](QWidget *) {
        checkedOnOpen = 0;
        for (QCheckBox *b : connectionBoxes()) {
            checkedOnOpen += b->isChecked() ? 1 : 0;
            b->setChecked(false);
        }
        QTest::mouseClick(dlg->bbtn_set, Qt::LeftButton);
    });
    m->bbtn_netClick();
    EXPECT_EQ(checkedOnOpen, 2);
    EXPECT_EQ(Probe(m).Comms()->ServerCount(), 0);
    EXPECT_EQ(m->StatusPanel(3), QStringLiteral("Hálózati csatlakozások: 0"));

    // Enter acts as "Rendben".
    OnNextModal([&](QWidget *w) {
        connectionBoxes().first()->setChecked(true);
        QTest::keyClick(w, Qt::Key_Return);
    });
    m->bbtn_netClick();
    EXPECT_EQ(dlg->Answer(), 1);
    EXPECT_EQ(Probe(m).Comms()->OpenServerCount(), 1);
    EXPECT_EQ(m->StatusPanel(3), QStringLiteral("Hálózati csatlakozások: 1"));

    // "Rendben" without any change reopens the same endpoints.
    OnNextModal([&](QWidget *) { QTest::mouseClick(dlg->bbtn_set, Qt::LeftButton); });
    m->bbtn_netClick();
    EXPECT_EQ(Probe(m).Comms()->OpenServerCount(), 1);
    EXPECT_EQ(m->StatusPanel(3), QStringLiteral("Hálózati csatlakozások: 1"));
}

TEST_F(AppTest, RightClickChoosesThePopupByTheSelectedRow)
{
    create();
    Tf_main *m = main();
    FeedDevices(m, {{QStringLiteral("1.2.3.4.5.6"), QStringLiteral("1001"), QStringLiteral("N**M*"), QString(), QString(),
                     QString(), QStringLiteral("10.77.128.1"), QString(), QString(), QString()}});
    FeedDevices(m, {{QStringLiteral("1.2.3.4.5.7"), QStringLiteral("1001"), QStringLiteral("N**M*"), QString(), QString(),
                     QString(), QStringLiteral("10.77.128.2"), QStringLiteral("1000"), QString(), QString()}});
    m->SelectRow(-1);
    EXPECT_EQ(m->PopupForSelectedRow(), nullptr);
    m->SelectRow(0);
    EXPECT_EQ(m->PopupForSelectedRow(), Control<QMenu>(m, "PopupMenu1"));
    m->SelectRow(1);
    EXPECT_EQ(m->PopupForSelectedRow(), Control<QMenu>(m, "PopupMenuTavo"));
    const QStringList items1{QStringLiteral("MAC cím átállítás"), QString(), QStringLiteral("Eszköz weboldal megnyitás")};
    QStringList got;
    for (QAction *a : Control<QMenu>(m, "PopupMenu1")->actions())
        got.append(a->text());
    EXPECT_EQ(got, items1);
}

TEST_F(AppTest, GridMouseRightClickDoubleClickAndRowSizing)
{
    showAndWaitIdle();
    Tf_main *m = main();
    auto *v = m->findChild<QTableView *>(QStringLiteral("ngrid_machine_list"));
    ASSERT_NE(v, nullptr);
    FeedDevices(m, {{QStringLiteral("1.2.3.4.5.6"), QStringLiteral("1001"), QStringLiteral("N**M*"), QString(), QString(),
                     QString(), QStringLiteral("10.77.128.1"), QString(), QString(), QString()}});
    FeedDevices(m, {{QStringLiteral("1.2.3.4.5.7"), QStringLiteral("1001"), QStringLiteral("N**M*"), QString(), QString(),
                     QString(), QStringLiteral("10.77.128.2"), QStringLiteral("1000"), QString(), QString()}});
    const auto cellCentre = [v](int row) { return v->visualRect(v->model()->index(row, 2)).center(); };
    const auto closePopup = [] {
        QWidget *popup = QApplication::activePopupWidget();
        if (popup)
            popup->close();
        return popup;
    };
    const auto passwordReads = [this] { return memoTexts().filter(QStringLiteral("CSYRE")).size(); };

    // No row selected: a right click selects nothing and opens no menu.
    m->SelectRow(-1);
    QTest::mouseClick(v->viewport(), Qt::RightButton, {}, cellCentre(1));
    EXPECT_EQ(closePopup(), nullptr);
    EXPECT_EQ(m->SelectedRow(), -1);

    // Row 0 (plain) selected: a right click on the TAVOW row still acts on row 0.
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, cellCentre(0));
    ASSERT_EQ(m->SelectedRow(), 0);
    QTest::mouseClick(v->viewport(), Qt::RightButton, {}, cellCentre(1));
    EXPECT_EQ(closePopup(), Control<QMenu>(m, "PopupMenu1"));
    EXPECT_EQ(m->SelectedRow(), 0);

    // Only a left double click opens the settings flow (its first step reads the password).
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, cellCentre(1));
    ASSERT_EQ(m->SelectedRow(), 1);
    const qsizetype before = passwordReads();
    QTest::mouseDClick(v->viewport(), Qt::RightButton, {}, cellCentre(1));
    closePopup();
    QTest::mouseDClick(v->viewport(), Qt::MiddleButton, {}, cellCentre(1));
    EXPECT_EQ(passwordReads(), before);
    EXPECT_EQ(m->SelectedRow(), 1);
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, cellCentre(1));
    EXPECT_EQ(passwordReads(), before + 1);

    // Dragging a row's lower border changes its height and nothing else.
    const int height = v->rowHeight(0);
    const QPoint border(cellCentre(0).x(), v->rowViewportPosition(0) + height);
    QTest::mousePress(v->viewport(), Qt::LeftButton, {}, border);
    QMouseEvent move(QEvent::MouseMove, QPointF(border + QPoint(0, 15)),
                     v->viewport()->mapToGlobal(QPointF(border + QPoint(0, 15))), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(v->viewport(), &move);
    QTest::mouseRelease(v->viewport(), Qt::LeftButton, {}, border + QPoint(0, 15));
    EXPECT_EQ(v->rowHeight(0), height + 15);
    EXPECT_EQ(v->rowHeight(1), height);
    EXPECT_EQ(m->SelectedRow(), 1);
}

TEST_F(AppTest, WebPageOnlyForADottedAddress)
{
    create();
    Tf_main *m = main();
    QStringList opened;
    m->SetUrlOpener([&](const QString &url) {
        opened.append(url);
        return true;
    });
    FeedDevices(m, {{QStringLiteral("1.2.3.4.5.6"), QStringLiteral("1001"), QStringLiteral("N**M*"), QString(), QString(),
                     QString(), QStringLiteral("10.77.128.1"), QString(), QString(), QString()}});
    m->SelectRow(0);
    m->Weboldalmegnyitsa1Click();
    EXPECT_EQ(opened, QStringList{QStringLiteral("http://10.77.128.1")});
    EXPECT_EQ(memoTexts().last(), QStringLiteral("Web ip: 10.77.128.1"));
    // A row whose address cell was never written cannot become a URL.
    FeedDevices(m, {{QStringLiteral("1.2.3.4.5.8"), QStringLiteral("1001"), QStringLiteral("N**M*"), QString(), QString(),
                     QString(), QStringLiteral("javascript:alert(1)"), QString(), QString(), QString()}});
    m->SelectRow(Probe(m).Table().RowCount() - 1);
    m->Weboldalmegnyitsa1Click();
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(AppTest, MacHexToggle)
{
    create();
    Tf_main *m = main();
    m->sbtn_mac_hexClick();
    EXPECT_FALSE(Control<QTableView>(m, "ngrid_machine_list")->isColumnHidden(ColMacHex));
    EXPECT_EQ(Control<QPushButton>(m, "sbtn_mac_hex")->text(), QStringLiteral("MAC cím decimális"));
    EXPECT_TRUE(Control<QPushButton>(m, "sbtn_mac_hex")->isChecked());
    EXPECT_FALSE(Control<QTableView>(m, "ngrid_machine_list")->isColumnHidden(ColMac));
    m->sbtn_mac_hexClick();
    EXPECT_TRUE(Control<QTableView>(m, "ngrid_machine_list")->isColumnHidden(ColMacHex));
    EXPECT_EQ(Control<QPushButton>(m, "sbtn_mac_hex")->text(), QStringLiteral("MAC cím hexában"));
    EXPECT_FALSE(Control<QPushButton>(m, "sbtn_mac_hex")->isChecked());
}

TEST_F(AppTest, ExportWritesTheFileAndAFailureShowsTheError)
{
    create();
    Tf_main *m = main();
    QString target = dir.filePath(QStringLiteral("out.csv"));
    m->SetExportFileNameSource([&] { return target; });
    m->bbtn_exportClick(); // empty table: nothing happens
    EXPECT_FALSE(QFile::exists(target));
    FeedDevices(
        m, {{QStringLiteral("1.2.3.4.5.6"), QStringLiteral("1001"), QStringLiteral("N**MC"), QString(), QStringLiteral("Kft"),
             QStringLiteral("Régi"), QStringLiteral("10.77.128.1"), QString(), QString(), QString()}});
    m->bbtn_exportClick();
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              QByteArray("MC , Kft , R\xE9gi , 1.2.3.4.5.6 , 01:02:03:04:05:06 , 10.77.128.1 , 1001 ,  , \xFAj ,  ,  ,  , \r\n"));

    target = dir.filePath(QStringLiteral("missing/dir/out.csv"));
    QString shown;
    OnNextModal([&](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            shown = box->text();
            box->accept();
        }
    });
    m->bbtn_exportClick();
    EXPECT_FALSE(shown.isEmpty());
}

// Without a file name source the button asks with Qt's own save dialog: the
// program runs Qt's event loop, not GLib's, which a desktop theme's GTK
// dialog would need.
TEST_F(AppTest, ExportAsksWithQtsOwnSaveDialog)
{
    create();
    Tf_main *m = main();
    FeedDevices(
        m, {{QStringLiteral("1.2.3.4.5.6"), QStringLiteral("1001"), QStringLiteral("N**MC"), QString(), QStringLiteral("Kft"),
             QStringLiteral("Régi"), QStringLiteral("10.77.128.1"), QString(), QString(), QString()}});
    const QString target = dir.filePath(QStringLiteral("asked.csv"));
    bool asked = false;
    OnNextModal([&](QWidget *w) {
        auto *dlg = qobject_cast<QFileDialog *>(w);
        ASSERT_NE(dlg, nullptr);
        asked = true;
        EXPECT_EQ(dlg->objectName(), QStringLiteral("SaveD1"));
        EXPECT_EQ(dlg->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(dlg->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_TRUE(dlg->testOption(QFileDialog::DontConfirmOverwrite));
        dlg->selectFile(target);
        static_cast<QDialog *>(dlg)->accept(); // the save button's own check
    });
    Control<QPushButton>(m, "bbtn_export")->click();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(QFile::exists(target));
}

TEST_F(AppTest, EchoesThroughASecondEndpointAreDroppedOncePerCopy)
{
    create();
    Tf_main *m = main();
    const QString a = QStringLiteral("10.77.0.1");
    const QString b = QStringLiteral("10.78.0.1");
    const QString dev = QStringLiteral("10.77.128.5");
    const struct {
        const char *what;
        QString peer;
        QByteArray data;
        QString local;
        bool echo;
    } steps[] = {
        {"name answer", dev, "name", a, false},
        {"its echo", dev, "name", b, true},
        {"owner answer with the same bytes", dev, "name", a, false},
        {"the owner's echo, late", dev, "name", b, true},
        {"a resend answered through the second endpoint first", dev, "name", b, false},
        {"another device's identical bytes", QStringLiteral("10.77.128.6"), "name", b, false},
        {"new bytes", dev, "ver", b, false},
        {"echo of the new bytes", dev, "ver", a, true},
    };
    for (const auto &s : steps)
        EXPECT_EQ(m->IsEchoFromAnotherEndpoint(s.peer, s.data, s.local), s.echo) << s.what;
}

// ------------------------------------------------ no usable adapter

namespace {

const QString kNoAdapter = QStringLiteral("Hálózati adapter hiba: nincs IPv4 címmel rendelkező hálózati adapter");

QByteArray cp1250(const QString &text)
{
    QStringEncoder enc("windows-1250");
    return enc.encode(text);
}

// The main thread in a network namespace of its own that has nothing but a
// loopback (up, 127.0.0.1), for the test; it goes back afterwards.
class NoAdapterTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        ASSERT_GE(home, 0);
        ASSERT_EQ(::unshare(CLONE_NEWNET), 0) << std::strerror(errno);
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        ifreq req{};
        std::strcpy(req.ifr_name, "lo");
        EXPECT_EQ(::ioctl(fd, SIOCGIFFLAGS, &req), 0);
        req.ifr_flags |= IFF_UP;
        EXPECT_EQ(::ioctl(fd, SIOCSIFFLAGS, &req), 0);
        ::close(fd);
    }
    void TearDown() override
    {
        AppTest::TearDown(); // the windows' sockets belong to the namespace
        if (home >= 0) {
            EXPECT_EQ(::setns(home, CLONE_NEWNET), 0);
            ::close(home);
        }
    }
    int home = -1;
};

} // namespace

TEST_F(NoAdapterTest, StartUpReportsItAndGoesOnWithoutEndpoints)
{
    showAndWaitIdle(5000);
    Tf_main *m = main();
    const QStringList memo = memoTexts();
    ASSERT_GE(memo.size(), 2);
    EXPECT_EQ(memo[0], QStringLiteral("Saját IP címek"));
    EXPECT_EQ(memo[1], kNoAdapter) << "no host address, and the adapter report ends with the error";
    EXPECT_EQ(memo.count(kNoAdapter), 2) << "the adapter report and the connection list each fail\n"
                                         << memo.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(logBytes().count(cp1250(kNoAdapter)), 2);
    EXPECT_EQ(m->StatusPanel(1), QStringLiteral("IP: "));
    EXPECT_EQ(m->StatusPanel(2), QStringLiteral("Maszk: "));
    EXPECT_EQ(m->StatusPanel(3), QStringLiteral("Hálózati csatlakozások: 0"));
    ASSERT_NE(Probe(m).Comms(), nullptr);
    EXPECT_EQ(Probe(m).Comms()->ServerCount(), 0);
    EXPECT_TRUE(m->IsInOwnSubnet(QStringLiteral("192.168.1.1"))) << "no own subnet: every device counts as local";

    // The window stays usable: another refresh runs and ends.
    Control<QPushButton>(m, "bbtn_refresh")->click();
    EXPECT_TRUE(waitIdle(5000));
}

// The kernel refuses the listing (no descriptor left for its netlink socket):
// the report carries the error code.
TEST_F(AppTest, AnAdapterListingThatFailsIsReportedWithItsErrorCode)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks need free descriptors (they probe memory through a pipe)";
#endif
    SetAdapterProvider([] {
        rlimit old{};
        ::getrlimit(RLIMIT_NOFILE, &old);
        const int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ::close(lowest);
        rlimit tight = old;
        tight.rlim_cur = rlim_t(lowest);
        ::setrlimit(RLIMIT_NOFILE, &tight);
        const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_NOFILE, &old); });
        return PlatformAdapters();
    });
    const auto reset = qScopeGuard([] { SetAdapterProvider({}); });
    create();
    const QString error =
        QStringLiteral("Hálózati adapter hiba: %1 (hibakód: %2)").arg(QString::fromLocal8Bit(std::strerror(EMFILE))).arg(EMFILE);
    const QStringList memo = memoTexts();
    ASSERT_EQ(memo.size(), 2) << memo.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(memo[0], QStringLiteral("Saját IP címek"));
    EXPECT_EQ(memo[1], error);
    EXPECT_TRUE(logBytes().contains(cp1250(error)));
    EXPECT_EQ(main()->StatusPanel(1), QStringLiteral("IP: "));
}
