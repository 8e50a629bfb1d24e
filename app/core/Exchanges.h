// What the device exchanges share and what they need from whoever runs them
// (the main window or the command-line client): a place for message lines
// and a busy state. No widgets here.
#pragma once

#include <QString>

namespace ardel {

class TDatagramSender;
class TDeviceTableModel;
class TTAVOProtocol;
class TTavoCommandSender;

class TExchangeHost {
public:
    virtual ~TExchangeHost() = default;
    // One stamped message line (message pane and log file in the window).
    virtual void WriteMessage(const QString &text) = 0;
    // An exchange with the devices starts (true) or every exchange has ended.
    virtual void SetBusy(bool busy) = 0;
    // Only the communication indicator: a step of an exchange runs or not.
    virtual void SetIndicator(bool busy) = 0;
};

// The objects every exchange works on. The endpoints and the command sender
// exist only once the endpoints are opened, so exchanges read them from here
// each time instead of keeping copies.
struct TExchangeContext {
    TExchangeHost *Host = nullptr;
    TDeviceTableModel *Table = nullptr;
    TTAVOProtocol *Codec = nullptr;
    TDatagramSender *Comms = nullptr;
    TTavoCommandSender *Sender = nullptr;
};

} // namespace ardel
