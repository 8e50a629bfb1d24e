// The device exchanges for the fuzz targets that feed them datagrams: what
// the main window runs, without the window and without sockets.
#include "fuzz/FuzzExchanges.h"

#include "tavo/TavoWire.h"

#include <QCoreApplication>
#include <QEvent>

namespace ardelfuzz {

void TFuzzHost::WriteMessage(const QString &text)
{
    // The window keeps the line; here its length is enough to touch every character.
    lastLength = text.size();
    ++lines;
}

TFuzzExchanges::TFuzzExchanges() : exchanges(host, table, codec)
{
    ardel::wire::SetProgramStartValues(codec);
    // Endpoints that are never opened: sends go nowhere, no socket exists.
    exchanges.AttachComms(&comms, {});
}

TFuzzExchanges &Exchanges()
{
    // Kept until the process ends, like the application object.
    static TFuzzExchanges *ex = nullptr;
    if (!ex) {
        InitQt();
        ex = new TFuzzExchanges;
    }
    return *ex;
}

void ClearTable(ardel::TDeviceTableModel &table)
{
    table.MarkRowsEmpty();
    table.DropEmptyRows();
    Check(table.RowCount() == 0, "table not empty after a drop");
}

void CheckTableLookup(const ardel::TDeviceTableModel &t)
{
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

void FlushPostedEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace ardelfuzz
