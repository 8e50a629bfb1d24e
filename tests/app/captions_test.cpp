// Window captions as the window system sees them. The platform layer may add
// to a title (an application display name is appended to every title that
// does not end in it), and windowTitle() never shows that: so the windows are
// shown on an Xvfb of the test's own through the xcb platform, and their
// _NET_WM_NAME and WM_NAME are read back with xprop.
//
// The windows live in a child process (this binary again, running only the
// disabled probe below on the xcb platform): it shows one window at a time,
// names it on stdout and waits on stdin until the parent has read it.
#include "tests/app/app_fixture.h"

#include "app/ArdelWindows.h"
#include "config/AddressEdit.h"
#include "config/frm_passw.h"
#include "config/frm_setMAC.h"
#include "config/frm_setip.h"
#include "config/frm_settings.h"
#include "net/ui/frm_netparam.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

using namespace ardel;

namespace {

constexpr char kMarker[] = "@@window ";
const char kProbe[] = "CaptionsProbe.DISABLED_ShowsEveryWindow";

// ---------------------------------------------------------------- the child

// Names the shown window to the parent and waits until it has been read.
void Report(QWidget *w, const char *key)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w, 10000)) << key;
    std::printf("%s%s 0x%llx\n", kMarker, key, static_cast<unsigned long long>(w->winId()));
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
}

void Click(QWidget *parent, const char *name)
{
    auto *b = parent->findChild<QPushButton *>(QString::fromLatin1(name));
    ASSERT_NE(b, nullptr) << name;
    b->click();
}

// Opens the dialog modally; inside it, a click on `button` opens a message
// box, which is reported and answered with `answer`; then the dialog is left.
void ReportBoxOf(QDialog *dialog, const std::function<void()> &prepare, const char *button, const char *key,
                 QMessageBox::StandardButton answer)
{
    bool seen = false;
    OnNextModal([&](QWidget *d) {
        prepare();
        OnNextModal([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box) {
                ADD_FAILURE() << key << ": no message box";
                return;
            }
            seen = true;
            Report(box, key);
            box->button(answer)->click();
        });
        Click(d, button);
        Click(d, "bbtn_back");
    });
    dialog->exec();
    EXPECT_TRUE(seen) << key;
}

TEST(CaptionsProbe, DISABLED_ShowsEveryWindow)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "runs as the child of Captions.ReachTheWindowSystemExactly";
    SetApplicationTitle();
    TArdelWindows w;
    w.f_main->show();
    Report(w.f_main.get(), "f_main");

    const struct {
        QWidget *dialog;
        const char *key;
    } dialogs[] = {{w.f_setip.get(), "f_setip"},
                   {w.f_passw.get(), "f_passw"},
                   {w.f_setMAC.get(), "f_setMAC"},
                   {w.f_netparam.get(), "f_netparam"},
                   {w.f_settings.get(), "f_settings"}};
    for (const auto &d : dialogs) {
        d.dialog->show();
        Report(d.dialog, d.key);
        d.dialog->hide();
    }

    ReportBoxOf(
        w.f_setip.get(),
        [&] {
            w.f_setip->findChild<AddressEdit *>(QStringLiteral("me_ip_addr"))->SetFieldText(QStringLiteral("256.1  .1  .1  "));
        },
        "bbtn_set", "box_setip_error", QMessageBox::Ok);
    ReportBoxOf(
        w.f_settings.get(), [] {}, "bbtn_reset", "box_restart", QMessageBox::Cancel);
}

// --------------------------------------------------------------- the parent

struct XProps {
    QMap<QString, QStringList> values; // property name -> its strings
};

// xprop prints `NAME(TYPE) = "a", "b"`; quotes and backslashes are escaped,
// other bytes it cannot print come as \ooo.
QStringList parseStrings(const QByteArray &text)
{
    QStringList out;
    QByteArray cur;
    bool in = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (!in) {
            if (c == '"') {
                in = true;
                cur.clear();
            }
            continue;
        }
        if (c == '\\' && i + 1 < text.size()) {
            const char n = text.at(i + 1);
            if (n >= '0' && n <= '7' && i + 3 < text.size()) {
                cur.append(char(text.mid(i + 1, 3).toInt(nullptr, 8)));
                i += 3;
            } else {
                cur.append(n);
                ++i;
            }
            continue;
        }
        if (c == '"') {
            in = false;
            out.append(QString::fromUtf8(cur));
            continue;
        }
        cur.append(c);
    }
    return out;
}

XProps readProps(const QString &xprop, const QString &display, const QString &windowId)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(xprop, {QStringLiteral("-id"), windowId, QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_NAME"),
                    QStringLiteral("WM_CLASS")});
    XProps props;
    if (!p.waitForFinished(10000)) {
        p.kill();
        ADD_FAILURE() << "xprop did not answer";
        return props;
    }
    static const QRegularExpression re(QStringLiteral("^(\\w+)\\(\\w+\\) = (.*)$"));
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const QRegularExpressionMatch m = re.match(QString::fromLatin1(line));
        if (m.hasMatch())
            props.values.insert(m.captured(1), parseStrings(line.mid(line.indexOf(" = ") + 3)));
    }
    return props;
}

bool readLine(QProcess &p, QByteArray &line, const QElapsedTimer &clock, int timeoutMs)
{
    while (!p.canReadLine()) {
        if (p.state() == QProcess::NotRunning || clock.elapsed() > timeoutMs)
            return false;
        p.waitForReadyRead(100);
    }
    line = p.readLine().trimmed();
    return true;
}

TEST(Captions, ReachTheWindowSystemExactly)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xprop = QStandardPaths::findExecutable(QStringLiteral("xprop"));
    if (xvfb.isEmpty() || xprop.isEmpty())
        GTEST_SKIP() << "needs Xvfb (package xvfb) and xprop (package x11-utils); scripts/setup.sh installs both";

    // A free display number of its own, chosen by the server.
    QProcess server;
    server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                        QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24")});
    QElapsedTimer clock;
    clock.start();
    QByteArray number;
    ASSERT_TRUE(readLine(server, number, clock, 15000)) << "Xvfb did not start: " << server.readAllStandardError().toStdString();
    const QString display = QLatin1Char(':') + QString::fromLatin1(number);
    const auto stopServer = qScopeGuard([&] {
        server.terminate();
        if (!server.waitForFinished(5000))
            server.kill();
    });

    QTemporaryDir cwd; // the child's log file
    ASSERT_TRUE(cwd.isValid());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), display);
    env.remove(QStringLiteral("XAUTHORITY"));
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(cwd.path());
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + QLatin1String(kProbe), QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.waitForStarted(5000));

    QMap<QString, XProps> seen;
    QByteArray childOut;
    QByteArray line;
    clock.restart();
    while (readLine(child, line, clock, 60000)) {
        childOut += line + '\n';
        if (!line.startsWith(kMarker))
            continue;
        const QList<QByteArray> parts = line.mid(qsizetype(sizeof kMarker) - 1).split(' ');
        ASSERT_EQ(parts.size(), 2) << line.toStdString();
        seen.insert(QString::fromLatin1(parts[0]), readProps(xprop, display, QString::fromLatin1(parts[1])));
        child.write("\n");
    }
    if (!child.waitForFinished(10000))
        child.kill();
    childOut += child.readAllStandardOutput();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << childOut.toStdString() << child.readAllStandardError().toStdString();

    const struct {
        const char *key;
        QString caption;
    } expected[] = {
        {"f_main", QStringLiteral("Ardel - Kelvara Device Detector v1.24")},
        {"f_setip", QStringLiteral("IP cím beállítása")},
        {"f_passw", QStringLiteral("Jelszó bekérése")},
        {"f_setMAC", QStringLiteral("MAC cím beállítása")},
        {"f_netparam", QStringLiteral("Hálózati paraméterek beállítása")},
        {"f_settings", QStringLiteral("Beállítások")},
        {"box_setip_error", QStringLiteral("Hiba")},
        {"box_restart", QStringLiteral("Készülék újraindítás")},
    };
    for (const auto &e : expected) {
        SCOPED_TRACE(e.key);
        ASSERT_TRUE(seen.contains(QLatin1String(e.key))) << childOut.toStdString();
        const XProps &p = seen[QLatin1String(e.key)];
        EXPECT_EQ(p.values.value(QStringLiteral("_NET_WM_NAME")), QStringList{e.caption});
        // The older property, which some task bars read instead.
        EXPECT_EQ(p.values.value(QStringLiteral("WM_NAME")), QStringList{e.caption});
        // The application's own title is what the window system groups its windows by.
        ASSERT_EQ(p.values.value(QStringLiteral("WM_CLASS")).size(), 2);
        EXPECT_EQ(p.values.value(QStringLiteral("WM_CLASS")).at(1), QStringLiteral("Ardel"));
    }
}

} // namespace
