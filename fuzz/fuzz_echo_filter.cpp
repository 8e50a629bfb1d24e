// The echo filter of TAVO answers, with time handed in: whatever the
// datagrams, devices, endpoints and pauses, a datagram is only ever taken as
// an echo when another endpoint has carried the same bytes from the same
// device, and the memory stays within its bound.
//
// Input: up to 40 records. A record's first byte s chooses:
//   bits 0..2  the device (one of eight addresses)
//   bit 3      the local endpoint (A or B)
//   bits 4..6  the pause before it: 0, 1, 10, 100, 700, 1499, 1500, 1501 ms
//   bit 7      a flood: as many one-byte datagrams as the next byte says,
//              from as many fresh addresses (at most three times the
//              memory bound in one input), instead of a datagram (length byte +
//              bytes) from the device
#include "fuzz/FuzzSupport.h"

#include "net/EchoFilter.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>

using ardel::TEchoFilter;
using ardelfuzz::Check;

namespace {

const std::array<QString, 8> kPeers = {
    QStringLiteral("10.77.128.1"),     QStringLiteral("10.77.128.2"), QStringLiteral("10.77.128.3"),
    QStringLiteral("10.78.128.9"),     QStringLiteral("10.99.0.1"),   QStringLiteral("192.168.1.50"),
    QStringLiteral("255.255.255.255"), QStringLiteral("0.0.0.0"),
};
const std::array<QString, 2> kLocal = {QStringLiteral("10.77.0.1"), QStringLiteral("10.78.0.1")};
constexpr std::array<qint64, 8> kPauses = {0, 1, 10, 100, 700, 1499, 1500, 1501};
// Small bounds, so that floods reach the sweep and records fill a device's
// memory within a short input; the rules are the same as at the program's
// 4096 and 16. The floods' fresh addresses cost most of a run, so the smaller
// the bound, the more inputs a second.
constexpr int kBound = 8;
constexpr int kPerDevice = 4;
// Records per input: enough to fill every device's memory and more.
constexpr int kMaxRecords = 40;
constexpr int kMaxFresh = 3 * kBound;
// Below the longest datagram a record can carry (255 bytes), so that the
// rule for datagrams longer than any packet is reached; the rule is the same
// at the program's kMaxPacket.
constexpr qsizetype kMaxDatagram = 200;

// The flood's addresses and datagrams, made once: building them for every
// datagram cost more than the filter itself.
struct Flood {
    std::array<QString, kMaxFresh> peers;
    std::array<QByteArray, 256> datagrams;
    Flood()
    {
        for (int i = 0; i < kMaxFresh; ++i)
            peers[size_t(i)] = QStringLiteral("10.100.") + QString::number(i);
        for (int i = 0; i < 256; ++i)
            datagrams[size_t(i)] = QByteArray(1, char(i));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    TEchoFilter filter(kMaxDatagram, kBound, kPerDevice);
    static const Flood flood;
    // Endpoints that have carried each (device, bytes) in this input.
    // A short list searched in place: a hash would cost more than the filter.
    struct Carried {
        int peer;
        QByteArray data;
        int endpoints; // bit per endpoint
    };
    QVarLengthArray<Carried, kMaxRecords> carried;
    ardelfuzz::Reader in(bytes, size);
    qint64 now = 0;
    int fresh = 0;
    int records = 0;
    while (!in.AtEnd() && records++ < kMaxRecords) {
        const std::uint8_t s = in.Byte();
        now += kPauses[(s >> 4) & 7];
        const int local = (s >> 3) & 1;
        if (s & 0x80) {
            // Enough over an input to pass the bound a few times, no more.
            const int n = std::min(int(in.Byte()), kMaxFresh - fresh);
            for (int i = 0; i < n; ++i, ++fresh) {
                Check(!filter.IsEcho(flood.peers[size_t(fresh)], flood.datagrams[size_t(i)], kLocal[local], now),
                      "first datagram of a device taken as an echo");
                Check(filter.Entries() <= kBound, "memory past its bound");
            }
            continue;
        }
        const QString &peer = kPeers[s & 7];
        const QByteArray datagram = in.Chunk();
        const bool echo = filter.IsEcho(peer, datagram, kLocal[local], now);
        auto it = std::find_if(carried.begin(), carried.end(),
                               [&](const Carried &c) { return c.peer == (s & 7) && c.data == datagram; });
        if (it == carried.end()) {
            carried.append({s & 7, datagram, 0});
            it = carried.end() - 1;
        }
        int &seen = it->endpoints;
        if (echo)
            Check((seen & ~(1 << local)) != 0, "an echo that no other endpoint carried");
        if (datagram.size() > kMaxDatagram)
            Check(!echo, "a datagram longer than any packet taken as an echo");
        seen |= 1 << local;
        Check(filter.Entries() >= 0 && filter.Entries() <= kBound, "memory past its bound");
    }
    return 0;
}
