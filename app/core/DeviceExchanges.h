// Every exchange with the devices, on one set of shared objects: what the
// main window and the command-line client both run. The caller owns the
// endpoints (it decides which local addresses to open) and hands them over.
#pragma once

#include "app/core/DeviceSettings.h"
#include "app/core/DiscoveryExchange.h"
#include "app/core/Exchanges.h"
#include "app/core/InfoPass.h"
#include "app/core/MacWriter.h"
#include "app/core/TavoMessages.h"

#include <QObject>

#include <functional>
#include <memory>

namespace ardel {

class TUDPComms;

class TDeviceExchanges : public QObject {
    Q_OBJECT
public:
    // senderLines receives the command sender's own stamped lines (the
    // window shows them in its message pane only); it may be empty.
    TDeviceExchanges(TExchangeHost &host, TDeviceTableModel &table, TTAVOProtocol &codec, QObject *parent = nullptr);
    ~TDeviceExchanges() override;

    // Takes the opened endpoints: their datagrams come here, and the command
    // sender is created on them.
    void AttachComms(TUDPComms *comms, std::function<void(const QString &line)> senderLines);
    // Before the endpoints go: nothing is sent or received through them any more.
    void DetachComms();

    // Every datagram the endpoints receive: logged, then by the sender's port
    // to the discovery exchange or the TAVO messages.
    void OnDatagram(const QByteArray &data, const QString &peerIP, quint16 peerPort);

    // No exchange runs: no reply window, no broadcast gap or info pass, no
    // TCP connection, the command sender idle.
    bool IsIdle() const;

    TDiscoveryExchange &Discovery() { return *m_discovery; }
    const TDiscoveryExchange &Discovery() const { return *m_discovery; }
    TInfoPass &InfoPass() { return *m_infoPass; }
    const TInfoPass &InfoPass() const { return *m_infoPass; }
    TTavoMessages &TavoMessages() { return *m_tavo; }
    const TTavoMessages &TavoMessages() const { return *m_tavo; }
    TDeviceSettings &Settings() { return m_settings; }
    TMacWriter &MacWriter() { return *m_macWriter; }
    const TMacWriter &MacWriter() const { return *m_macWriter; }

    TUDPComms *Comms() const { return m_comms; }
    TTavoCommandSender *Sender() const { return m_sender.get(); }
    TTAVOProtocol *Codec() const { return m_context.Codec; }
    TDeviceTableModel *Table() const { return m_context.Table; }
    TExchangeHost *Host() const { return m_context.Host; }

private:
    TExchangeContext m_context;
    TUDPComms *m_comms = nullptr;
    std::unique_ptr<TTavoCommandSender> m_sender;
    TDiscoveryExchange *m_discovery = nullptr;
    TInfoPass *m_infoPass = nullptr;
    TTavoMessages *m_tavo = nullptr;
    TDeviceSettings m_settings;
    TMacWriter *m_macWriter = nullptr;
};

} // namespace ardel
