// The echo filter of TAVO answers, with time handed in: whatever the
// datagrams, devices, endpoints and pauses, a datagram is only ever taken as
// an echo when another endpoint has carried the same bytes from the same
// device, and the memory stays within its bound.
//
// Input: records. A record's first byte s chooses:
//   bits 0..2  the device (one of eight addresses)
//   bit 3      the local endpoint (A or B)
//   bits 4..6  the pause before it: 0, 1, 10, 100, 700, 1499, 1500, 1501 ms
//   bit 7      a flood: the next byte times 32 one-byte datagrams from as
//              many fresh addresses (at most three times the bound in
//              one input), instead of a datagram (length byte +
//              bytes) from the device
#include "fuzz/FuzzSupport.h"

#include "net/EchoFilter.h"
#include "tavo/TavoWire.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>

using ardel::TEchoFilter;
using ardelfuzz::Check;

namespace {

const std::array<QString, 8> kPeers = {
    QStringLiteral("10.77.128.1"), QStringLiteral("10.77.128.2"), QStringLiteral("10.77.128.3"),
    QStringLiteral("10.78.128.9"), QStringLiteral("10.99.0.1"),   QStringLiteral("192.168.1.50"),
    QStringLiteral("255.255.255.255"), QStringLiteral("0.0.0.0"),
};
const std::array<QString, 2> kLocal = {QStringLiteral("10.77.0.1"), QStringLiteral("10.78.0.1")};
constexpr std::array<qint64, 8> kPauses = {0, 1, 10, 100, 700, 1499, 1500, 1501};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    TEchoFilter filter(ardel::wire::kMaxPacket);
    // Endpoints that have carried each (device, bytes) in this input.
    QHash<QPair<QString, QByteArray>, QSet<int>> carried;
    ardelfuzz::Reader in(bytes, size);
    qint64 now = 0;
    int fresh = 0;
    int records = 0;
    while (!in.AtEnd() && records++ < 256) {
        const std::uint8_t s = in.Byte();
        now += kPauses[(s >> 4) & 7];
        const int local = (s >> 3) & 1;
        if (s & 0x80) {
            // Enough over an input to pass the bound a few times, no more.
            const int n = std::min(in.Byte() * 32, 3 * TEchoFilter::kMaxEntries - fresh);
            for (int i = 0; i < n; ++i, ++fresh) {
                const QString peer = QStringLiteral("10.100.") + QString::number(fresh);
                Check(!filter.IsEcho(peer, QByteArray(1, char(i)), kLocal[local], now), "first datagram of a device taken as an echo");
                Check(filter.Entries() <= TEchoFilter::kMaxEntries, "memory past its bound");
            }
            continue;
        }
        const QString &peer = kPeers[s & 7];
        const QByteArray datagram = in.Chunk();
        const bool echo = filter.IsEcho(peer, datagram, kLocal[local], now);
        QSet<int> &seen = carried[{peer, datagram}];
        if (echo)
            Check(seen.size() > 1 || (!seen.isEmpty() && !seen.contains(local)),
                  "an echo that no other endpoint carried");
        if (datagram.size() > ardel::wire::kMaxPacket)
            Check(!echo, "a datagram longer than any packet taken as an echo");
        seen.insert(local);
        Check(filter.Entries() >= 0 && filter.Entries() <= TEchoFilter::kMaxEntries, "memory past its bound");
    }
    return 0;
}
