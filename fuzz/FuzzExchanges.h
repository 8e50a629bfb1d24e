// The device exchanges for the fuzz targets that feed them datagrams: what
// the main window runs, without the window and without sockets.
#pragma once

#include "fuzz/FuzzSupport.h"

#include "app/core/DeviceExchanges.h"
#include "app/core/DeviceTable.h"
#include "net/UDPComms.h"
#include "tavo/TAVOProtocol.h"

namespace ardelfuzz {

// Where the exchanges write their message lines.
struct TFuzzHost final : ardel::TExchangeHost {
    void WriteMessage(const QString &text) override;
    void SetBusy(bool on) override { busy = on; }
    void SetIndicator(bool) override {}
    qsizetype lastLength = 0;
    quint64 lines = 0;
    bool busy = false;
};

// The exchanges as the main window runs them, on endpoints that are never
// opened: nothing is sent, no socket exists, no namespace is needed.
struct TFuzzExchanges {
    TFuzzExchanges();
    TFuzzHost host;
    ardel::TDeviceTableModel table;
    ardel::TTAVOProtocol codec;
    ardel::TUDPComms comms;
    ardel::TDeviceExchanges exchanges;
};
// Created once (with the application object).
TFuzzExchanges &Exchanges();

// Clears the table the way a refresh that nobody answered does.
void ClearTable(ardel::TDeviceTableModel &table);
// Every row must be found again by its own IP, MAC and TAVOW cells, at the
// first row from the top that holds them (the lookup uses an index).
void CheckTableLookup(const ardel::TDeviceTableModel &table);

} // namespace ardelfuzz
