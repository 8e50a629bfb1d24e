// A request goes out through every local endpoint, so a device reachable from
// two local addresses answers it twice. This tells such echoes apart from
// real answers: the k-th copy of a datagram from one device is taken from
// whichever endpoint delivers it first; the k-th copies arriving through the
// other endpoints are echoes. A device that really answers twice with the
// same bytes (a resend, or two reads of equal texts) still gets through once
// per answer. Time is handed in, in milliseconds of any steady clock.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVarLengthArray>

#include <utility>

namespace ardel {

class TEchoFilter {
public:
    // Copies further apart than this are not the same answer.
    static constexpr qint64 kWindowMs = 1500;
    // Datagrams remembered per device.
    static constexpr int kPerDevice = 16;
    // Datagrams remembered over all devices; a flood from many addresses
    // still inside the window empties the memory.
    static constexpr int kMaxEntries = 4096;

    // Datagrams longer than maxDatagram cannot be answers: they are never
    // taken as echoes and never remembered. maxEntries and perDevice are
    // there for the fuzzer, which reaches small bounds far faster.
    explicit TEchoFilter(qsizetype maxDatagram, int maxEntries = kMaxEntries, int perDevice = kPerDevice)
        : m_maxDatagram(maxDatagram), m_maxEntries(maxEntries), m_perDevice(perDevice)
    {
    }

    // True when this datagram, from peer and received on localAddress at
    // nowMs, is an echo of one already taken through another endpoint.
    bool IsEcho(const QString &peer, const QByteArray &datagram, const QString &localAddress, qint64 nowMs);

    // Datagrams remembered now, over all devices.
    int Entries() const { return m_entries; }
    int MaxEntries() const { return m_maxEntries; }
    void Clear();

private:
    struct Recent {
        QByteArray data;
        // Copies per local endpoint; there are only a few endpoints, and a
        // hash per remembered datagram would cost more than the lookup.
        QVarLengthArray<std::pair<QString, int>, 2> copies;
        qint64 at = 0;
    };

    qsizetype m_maxDatagram;
    int m_maxEntries;
    int m_perDevice;
    QHash<QString, QList<Recent>> m_recent;
    int m_entries = 0;
};

} // namespace ardel
