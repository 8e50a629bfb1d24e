// Drives the real windows without a user: first refresh, optionally a TAVOW
// refresh, then screenshots and the export, and the table on stdout.
#include "app/ArdelWindows.h"
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

bool waitIdle(Tf_main *m, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    // Let the exchange begin before looking for its end.
    while (t.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    while (t.elapsed() < timeoutMs) {
        if (!m->IsBusy() && !m->UdpTimer->isActive() && !m->TavoListerTimer->isActive() && !m->InfoRunning)
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return false;
}

bool grab(QWidget *w, const QString &path)
{
    return w->grab().save(path);
}

void printTable(const Tf_main *m)
{
    const TDeviceTableModel *t = m->Table();
    const auto &cols = DeviceColumns();
    QStringList header;
    for (const auto &c : cols)
        header.append(c.caption.toString());
    std::printf("%s\n", header.join(QStringLiteral(" | ")).toUtf8().constData());
    for (int r = 0; r < t->RowCount(); ++r)
        std::printf("%s\n", t->RowCells(r).join(QStringLiteral(" | ")).toUtf8().constData());
    std::fflush(stdout);
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
    if (p.isSet(QStringLiteral("tavo"))) {
        m->bbtn_tavorefresh->click();
        if (!waitIdle(m, timeoutMs)) {
            std::fprintf(stderr, "the TAVOW refresh did not end\n");
            return 1;
        }
    }
    // Let the last repaint happen before the picture.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    int rc = 0;
    if (!grab(m, out.filePath(QStringLiteral("main.png"))))
        rc = 1;
    QString error;
    if (m->Table()->RowCount() > 0 && !m->ExportTo(out.filePath(QStringLiteral("table.csv")), &error)) {
        std::fprintf(stderr, "export failed: %s\n", error.toUtf8().constData());
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
    printTable(m);
    return rc;
}
