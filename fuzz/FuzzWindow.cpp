// The program's windows for the fuzz targets that drive the main window.
#include "fuzz/FuzzSupport.h"

#include "app/ArdelWindows.h"
#include "log/NaploComponent.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoWire.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>

#include <memory>

namespace ardelfuzz {

ardel::TArdelWindows &Windows()
{
    // Kept until the process ends, like the application object: destroying a
    // shown window from a static destructor would run after Qt's own font
    // and style globals are gone.
    static ardel::TArdelWindows *windows = nullptr;
    static std::unique_ptr<QTemporaryDir> dir;
    if (!windows) {
        InitQt();
        dir = std::make_unique<QTemporaryDir>();
        // The window writes its first lines while it is created: they go to
        // the temporary directory, and so does everything after.
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir->path());
        windows = new ardel::TArdelWindows;
        QDir::setCurrent(old);
        windows->f_main->Log()->SetLogFile(dir->filePath(QStringLiteral("Ardel.log")));
    }
    return *windows;
}

ardel::Tf_main &MainWindow()
{
    return *Windows().f_main;
}

void ClearTable(ardel::Tf_main &w)
{
    w.Table()->MarkRowsEmpty();
    w.Table()->DropEmptyRows();
    Check(w.Table()->RowCount() == 0, "table not empty after a drop");
}

void CheckTableLookup(const ardel::Tf_main &w)
{
    const ardel::TDeviceTableModel &t = *w.Table();
    for (int r = 0; r < t.RowCount(); ++r) {
        const QString ip = t.Cell(r, ardel::ColIp);
        const QString mac = t.Cell(r, ardel::ColMac);
        const QString tavow = t.Cell(r, ardel::ColTavow);
        int expected = -1;
        for (int i = 0; i <= r && expected < 0; ++i) {
            if (t.Cell(i, ardel::ColIp) == ip && (mac.isEmpty() || t.Cell(i, ardel::ColMac) == mac)
                && (tavow.isEmpty() || t.Cell(i, ardel::ColTavow) == tavow))
                expected = i;
        }
        Check(t.FindDeviceRow(ip, mac, tavow) == expected, "FindDeviceRow disagrees with a scan of the table");
        Check(t.RowCells(r).size() == ardel::kDeviceColumnCount, "row without twelve cells");
    }
}

void ResetCodec(ardel::Tf_main &w)
{
    ardel::wire::SetProgramStartValues(*w.Codec());
}

void FlushPostedEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace ardelfuzz
