// What the TAVO layer needs of the UDP endpoints: sending through every open
// endpoint. TUDPComms implements it; tests use a recording double.
#pragma once

#include <QByteArray>
#include <QString>

namespace ardel {

class TDatagramSender {
public:
    virtual ~TDatagramSender() = default;
    // Sends text to 255.255.255.255:port through every open endpoint.
    virtual void BroadcastText(const QByteArray &text, quint16 port) = 0;
    // Sends text to host:port through every open endpoint.
    virtual void SendText(const QString &host, const QByteArray &text, quint16 port) = 0;
};

} // namespace ardel
