// What tests, benchmarks and tools may observe of the main window beyond its
// widgets: read-only, and about what is observed, not how the window keeps it.
#pragma once

#include "app/frm_main.h"

#include <QAbstractSocket>
#include <QString>

namespace ardel {

class TTavoStreamFramer;

class TMainWindowProbe {
public:
    explicit TMainWindowProbe(const Tf_main &window) : m_w(window) {}

    const TDeviceTableModel &Table() const;
    // The plain-text command sent last ("X", "V", a set-IP command).
    QString LastCommand() const;
    // The step the end of the reply window runs: "SendVersionRequest",
    // "SendDiscovery", "AskPassword", "StartRefresh" or empty.
    QString PendingStepName() const;
    bool VersionPassDone() const;
    bool EepromWriteOk() const;
    bool InfoRunning() const;
    int InfoIndex() const;
    quint64 PlainDatagramsHandled() const;
    quint64 TavoDatagramsHandled() const;

    bool UdpTimerActive() const;
    int UdpTimerInterval() const;
    bool TcpTimerActive() const;
    int TcpTimerInterval() const;
    bool TavoListerTimerActive() const;
    int TavoListerTimerInterval() const;
    QAbstractSocket::SocketState TcpState() const;
    // The device of the MAC change's TCP connection.
    QString TavoRemoteAddress() const;
    // The TCP stream's framing state; it carries over between connections.
    const TTavoStreamFramer &TavoFramer() const;

    // Null before the window is first shown (endpoints, sender).
    const TUDPComms *Comms() const;
    const TTavoCommandSender *Sender() const;
    const TTAVOProtocol &Codec() const;
    const TNaploComponent &Log() const;

private:
    const Tf_main &m_w;
};

} // namespace ardel
