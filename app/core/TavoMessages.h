// TAVO messages from the devices' port 65500: network data ("AETEI") into the
// table, the answers to the command sender's reads ("ASYRE": name, owner or
// device password, by what was asked), the program version ("ASYSI"), and the
// sender's next step.
#pragma once

#include "app/core/Exchanges.h"
#include "net/EchoFilter.h"
#include "tavo/TavoWire.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

namespace ardel {

class TTavoMessages : public QObject {
    Q_OBJECT
public:
    explicit TTavoMessages(TExchangeContext &context, QObject *parent = nullptr);
    ~TTavoMessages() override;

    // A datagram from a device's port 65500, received on localAddress.
    void OnTavoDatagram(const QString &peerIP, const QByteArray &datagram, const QString &localAddress);
    // A request goes out through every endpoint, so a device reachable from
    // two local addresses answers it twice; the second copy, arriving on
    // another endpoint, would be taken as the answer to the next request.
    bool IsEchoFromAnotherEndpoint(const QString &peerIP, const QByteArray &datagram, const QString &localAddress);
    void ProcessTavoPacket(const QString &peerIP, const QByteArray &datagram);

    quint64 TavoDatagramsHandled() const { return m_tavoHandled; }

signals:
    // The device password the sender read (its answer to a tag-3 read).
    void devicePasswordRead(const QByteArray &password);

private:
    TExchangeContext &m_context;
    TEchoFilter m_echoFilter{wire::kMaxPacket};
    QElapsedTimer m_clock;
    quint64 m_tavoHandled = 0;
};

} // namespace ardel
