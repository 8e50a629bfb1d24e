// Sockets that live in the device namespace of the test LAN while the test
// itself runs in the workstation namespace: a socket keeps the namespace it
// was created in, so a helper thread creates it there and hands it back.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace nstest {

// A UDP socket created in the device namespace, bound to addr:port, and
// optionally tied to one interface (SO_BINDTODEVICE). -1 on failure.
int DeviceUdpSocket(const char *addr, quint16 port, const char *ifname = nullptr);

struct Datagram {
    QByteArray data;
    QString from; // sender address
    quint16 fromPort = 0;
};

// Everything the socket receives within ms milliseconds.
std::vector<Datagram> ReceiveAll(int fd, int ms);
bool SendTo(int fd, const char *addr, quint16 port, const QByteArray &data);

} // namespace nstest
