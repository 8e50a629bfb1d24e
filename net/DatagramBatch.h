// Reading every datagram a UDP socket has waiting, in as few system calls as
// the platform allows. Qt reads one datagram per call and asks the kernel
// twice more before each (is one there, how long is it); under thousands of
// replies a second those calls were most of the receive path. The one
// platform-specific file is DatagramBatch.cpp.
#pragma once

#include <QByteArray>
#include <QHostAddress>

#include <functional>

class QUdpSocket;

namespace ardel {

struct TWaitingDatagram {
    QByteArray Data;
    // IPv4 senders as a number (IPv4-mapped IPv6 included), others as text.
    bool IsV4 = false;
    quint32 V4 = 0;
    QHostAddress Other;
    quint16 Port = 0;
    // The datagram was longer than maxSize and was cut to it.
    bool Truncated = false;
};

// Reads datagrams waiting on the bound socket, without blocking, and hands
// each to put(), until none is left or room() (asked before every batch after
// the first datagram) says 0. The first is always read, so that Qt keeps
// watching the socket. *held tells whether reading stopped for lack of room.
// knownWaiting: the caller has just seen a datagram waiting (readyRead, or
// its own look), so the kernel is not asked again. Returns how many were read.
qsizetype ReadWaitingDatagrams(QUdpSocket &socket, qint64 maxSize, const std::function<qsizetype()> &room,
                               const std::function<void(TWaitingDatagram &&)> &put, bool *held, bool knownWaiting = false);

} // namespace ardel
