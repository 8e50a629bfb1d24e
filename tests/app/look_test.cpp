// Renders the main window and each dialog the way the user sees them and
// checks the look that matters: sizes, the navy client area, the panels on
// it, the busy indicator's colours. The pictures are kept for a person to
// look at (ARDEL_SHOT_DIR, or the test's temporary directory).
#include "tests/app/app_fixture.h"
#include "tests/common/TestLan.h"

#include "config/frm_passw.h"
#include "config/frm_setMAC.h"
#include "config/frm_setip.h"
#include "config/frm_settings.h"
#include "net/ui/frm_netparam.h"

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

using namespace ardel;

namespace {

const QColor kNavy(0, 0, 128);

QImage render(QWidget *w, const QString &dir, const QString &name)
{
    const QImage img = w->grab().toImage();
    img.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    return img;
}

} // namespace

TEST_F(AppTest, MainWindowLooksAsLaidOut)
{
    create();
    showAndWaitIdle();
    Tf_main *m = main();
    const QString shots = qEnvironmentVariable("ARDEL_SHOT_DIR", dir.path());
    const QImage img = render(m, shots, QStringLiteral("main"));
    EXPECT_EQ(m->size(), QSize(1020, 508));
    EXPECT_EQ(m->statusBar()->height(), 19);
    // Navy around the panels, the panels themselves in the button face colour.
    EXPECT_EQ(QColor(img.pixel(3, 3)), kNavy);
    EXPECT_EQ(QColor(img.pixel(863, 200)), kNavy) << "the gap between the table panel and the button column";
    EXPECT_NE(QColor(img.pixel(870, 300)), kNavy) << "inside the button column";
    EXPECT_EQ(Control<QFrame>(m, "Panel1")->geometry(), QRect(8, 8, 851, 472));
    EXPECT_EQ(Control<QFrame>(m, "pnl_buttons")->geometry(), QRect(868, 8, 145, 472));
    EXPECT_EQ(Control<QPushButton>(m, "bbtn_refresh")->geometry(), QRect(8, 64, 129, 25));
    EXPECT_EQ(Control<QPushButton>(m, "sbtn_mac_hex")->geometry(), QRect(8, 160, 129, 22));
    EXPECT_EQ(Control<QPushButton>(m, "bbtn_exit")->geometry(), QRect(8, 439, 129, 25));
    EXPECT_EQ(Control<QFrame>(m, "Panel2")->palette().color(QPalette::Window), QColor(63, 63, 63));
    EXPECT_EQ(Control<QLabel>(m, "Label1")->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_TRUE(Control<QLabel>(m, "lbl_con")->font().bold());
    EXPECT_EQ(Control<QLabel>(m, "lbl_con")->pos(), QPoint(15, 13));
    EXPECT_EQ(Control<QLabel>(m, "Label1")->pos(), QPoint(16, 15));
    EXPECT_TRUE(QFontInfo(Control<QTableView>(m, "ngrid_machine_list")->font()).fixedPitch())
        << QFontInfo(Control<QTableView>(m, "ngrid_machine_list")->font()).family().toStdString();
    const int widths[] = {60, 130, 100, 170, 170, 128, 70, 150, 90, 80, 128, 128};
    m->sbtn_mac_hexClick(); // a hidden column has no width on screen
    for (int c = 0; c < 12; ++c)
        EXPECT_EQ(Control<QTableView>(m, "ngrid_machine_list")->columnWidth(c), widths[c]) << c;
    m->sbtn_mac_hexClick();
    const int panels[] = {75, 150, 200, 200, 50};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Control<QLabel>(m, qPrintable(QStringLiteral("StatusB1_%1").arg(i)))->width(), panels[i]) << i;

    // Anchors: the table grows with the window, the button column stays at the right edge.
    m->resize(1220, 608);
    testlan::pumpFor(50);
    EXPECT_EQ(Control<QTableView>(m, "ngrid_machine_list")->width(), 833 + 200);
    EXPECT_EQ(Control<QFrame>(m, "pnl_buttons")->x(), 868 + 200);
    EXPECT_EQ(Control<QPushButton>(m, "bbtn_exit")->y(), 439 + 100);
    EXPECT_EQ(Control<QPlainTextEdit>(m, "mm_info")->y(), 280 + 139 + 100);
}

TEST_F(AppTest, DialogsLookAsLaidOut)
{
    create();
    showAndWaitIdle(); // the dialogs build their controls after the first broadcast
    const QString shots = qEnvironmentVariable("ARDEL_SHOT_DIR", dir.path());
    const struct {
        QDialog *dialog;
        const char *name;
        const char *caption;
    } dialogs[] = {
        {windows->f_setip.get(), "f_setip", "IP cím beállítása"},
        {windows->f_passw.get(), "f_passw", "Jelszó bekérése"},
        {windows->f_setMAC.get(), "f_setMAC", "MAC cím beállítása"},
        {windows->f_netparam.get(), "f_netparam", "Hálózati paraméterek beállítása"},
        {windows->f_settings.get(), "f_settings", "Beállítások"},
    };
    for (const auto &d : dialogs) {
        SCOPED_TRACE(d.name);
        EXPECT_EQ(d.dialog->windowTitle(), QString::fromUtf8(d.caption));
        EXPECT_EQ(d.dialog->objectName(), QString::fromLatin1(d.name));
        const QImage img = render(d.dialog, shots, QString::fromLatin1(d.name));
        ASSERT_FALSE(img.isNull());
        // The navy client area shows below the panels, beside the buttons.
        EXPECT_EQ(QColor(img.pixel(img.width() / 2, img.height() - 3)), kNavy);
        EXPECT_EQ(d.dialog->minimumSize(), d.dialog->maximumSize()) << "fixed size";
        bool hasBoldLabel = false;
        for (QLabel *l : d.dialog->findChildren<QLabel *>())
            hasBoldLabel = hasBoldLabel || (l->font().bold() && !l->text().isEmpty());
        EXPECT_TRUE(hasBoldLabel);
        const QList<QPushButton *> buttons = d.dialog->findChildren<QPushButton *>();
        int defaults = 0;
        for (QPushButton *b : buttons)
            defaults += b->isDefault() ? 1 : 0;
        EXPECT_EQ(defaults, 1) << "one default button takes Enter";
    }
    EXPECT_EQ(windows->f_netparam->size(), QSize(399, 289));
}
