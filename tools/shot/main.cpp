// Drives the real windows without a user: first refresh, optionally a TAVOW
// refresh, then screenshots and the export, and the table on stdout.
#include "app/ArdelWindows.h"
#include "app/MainWindowProbe.h"
#include "config/frm_passw.h"
#include "config/frm_setMAC.h"
#include "config/frm_setip.h"
#include "config/frm_settings.h"
#include "net/ui/frm_netparam.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

using namespace ardel;

namespace {

// The window's state beyond its widgets, read-only.
ardel::TMainWindowProbe Probe(const ardel::Tf_main *m)
{
    return ardel::TMainWindowProbe(*m);
}

// A control of the window by its object name.
template <class T> T *Control(const QObject *root, const char *name)
{
    return root->findChild<T *>(QLatin1String(name));
}

bool waitIdle(Tf_main *m, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    // Let the exchange begin before looking for its end.
    while (t.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    while (t.elapsed() < timeoutMs) {
        if (m->IsIdle())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return false;
}

bool grab(QWidget *w, const QString &path)
{
    return w->grab().save(path);
}

void printTable(const Tf_main *m, const QString &title)
{
    std::printf("\n%s\n", title.toUtf8().constData());
    const TDeviceTableModel *t = &Probe(m).Table();
    const auto &cols = DeviceColumns();
    QStringList header;
    for (const auto &c : cols)
        header.append(c.caption.toString());
    std::printf("%s\n", header.join(QStringLiteral(" | ")).toUtf8().constData());
    for (int r = 0; r < t->RowCount(); ++r)
        std::printf("%s\n", t->RowCells(r).join(QStringLiteral(" | ")).toUtf8().constData());
    std::fflush(stdout);
}

// Picture, export and printout of the window as it stands.
bool snapshot(Tf_main *m, const QDir &out, const QString &stage, const QString &title)
{
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    bool ok = grab(m, out.filePath(QStringLiteral("main-%1.png").arg(stage)));
    QString error;
    if (Probe(m).Table().RowCount() > 0 && !m->ExportTo(out.filePath(QStringLiteral("table-%1.csv").arg(stage)), &error)) {
        std::fprintf(stderr, "export failed: %s\n", error.toUtf8().constData());
        ok = false;
    }
    printTable(m, title);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ardel"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Runs Ardel unattended and saves what it shows."));
    p.addHelpOption();
    p.addOption({QStringLiteral("out"), QStringLiteral("Directory for the screenshots and the export."), QStringLiteral("dir"),
                 QStringLiteral(".")});
    p.addOption({QStringLiteral("tavo"), QStringLiteral("Run a TAVOW refresh after the first refresh.")});
    p.addOption({QStringLiteral("dialogs"), QStringLiteral("Also save a picture of every dialog.")});
    p.addOption({QStringLiteral("timeout"), QStringLiteral("Seconds to wait for each refresh."), QStringLiteral("s"),
                 QStringLiteral("60")});
    p.process(app);
    const QDir out(p.value(QStringLiteral("out")));
    QDir().mkpath(out.path());
    const int timeoutMs = p.value(QStringLiteral("timeout")).toInt() * 1000;

    TArdelWindows w;
    Tf_main *m = w.f_main.get();
    m->show();
    if (!waitIdle(m, timeoutMs)) {
        std::fprintf(stderr, "the first refresh did not end\n");
        return 1;
    }
    int rc = 0;
    // What the plain discovery found: every device, plain and TAVO alike.
    if (!snapshot(m, out, QStringLiteral("refresh"), QStringLiteral("After \"Frissítés\":")))
        rc = 1;
    if (p.isSet(QStringLiteral("tavo"))) {
        Control<QPushButton>(m, "bbtn_tavorefresh")->click();
        if (!waitIdle(m, timeoutMs)) {
            std::fprintf(stderr, "the TAVOW refresh did not end\n");
            return 1;
        }
        // The TAVOW refresh rebuilds the table from the TAVO answers alone.
        if (!snapshot(m, out, QStringLiteral("tavo"), QStringLiteral("After \"Tavow frissítés\":")))
            rc = 1;
    }
    if (p.isSet(QStringLiteral("dialogs"))) {
        const QList<QPair<QWidget *, QString>> dialogs{{w.f_setip.get(), QStringLiteral("f_setip.png")},
                                                       {w.f_passw.get(), QStringLiteral("f_passw.png")},
                                                       {w.f_setMAC.get(), QStringLiteral("f_setMAC.png")},
                                                       {w.f_netparam.get(), QStringLiteral("f_netparam.png")},
                                                       {w.f_settings.get(), QStringLiteral("f_settings.png")}};
        for (const auto &d : dialogs) {
            d.first->show();
            QCoreApplication::processEvents();
            if (!grab(d.first, out.filePath(d.second)))
                rc = 1;
            d.first->hide();
        }
    }
    return rc;
}
