// Plain replies from port 65535 into the device table: the receive handler
// (which logs the raw datagram) and HandlePlainReply's merge, version and
// set-IP branches of the discovery exchange, mixed with the table operations
// a refresh runs between replies. No window and no socket.
//
// Input: records. A record's first byte s chooses:
//   s % 8 = 0..3  a datagram (length byte + bytes) after LastCommand "X",
//                 "V", a set-IP command "A..." or another command; bits 3..5
//                 pick the sender's address; bit 6: the version pass is
//                 done (an "AV" answer of an unknown device came first)
//   s % 8 = 4     re-sort by column (s >> 3) % 12, direction bit 7
//   s % 8 = 5     MarkRowsEmpty
//   s % 8 = 6     DropEmptyRows
//   s % 8 = 7     a datagram from a sender whose address is in the record
#include "fuzz/FuzzExchanges.h"

#include "tavo/TavoWire.h"

#include <array>

using ardelfuzz::Check;

namespace {

// Inside and outside the own subnet, and two devices sharing an address.
const std::array<QString, 8> kPeers = {
    QStringLiteral("10.77.128.1"),     QStringLiteral("10.77.128.2"), QStringLiteral("10.77.128.2"),
    QStringLiteral("10.78.128.9"),     QStringLiteral("10.99.0.1"),   QStringLiteral("192.168.1.50"),
    QStringLiteral("255.255.255.255"), QStringLiteral("0.0.0.0"),
};

const std::array<QString, 4> kCommands = {
    QStringLiteral("X"),
    QStringLiteral("V"),
    QStringLiteral("A0.26.75.12.200.3/10.77.128.7/1234"),
    QStringLiteral("Q"),
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ardelfuzz::Exchanges();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    ardelfuzz::TFuzzExchanges &f = ardelfuzz::Exchanges();
    ardel::TDeviceExchanges &ex = f.exchanges;
    ardel::TDiscoveryExchange &discovery = ex.Discovery();
    // Every input starts from an empty table, so that a finding replays alone.
    ardelfuzz::ClearTable(f.table);
    discovery.Reset();

    ardelfuzz::Reader in(bytes, size);
    int records = 0;
    while (!in.AtEnd() && records++ < 64) {
        const std::uint8_t s = in.Byte();
        switch (s % 8) {
        case 4:
            f.table.sort((s >> 3) % ardel::kDeviceColumnCount, (s & 0x80) ? Qt::DescendingOrder : Qt::AscendingOrder);
            break;
        case 5:
            f.table.MarkRowsEmpty();
            break;
        case 6:
            f.table.DropEmptyRows();
            break;
        case 7: {
            const QString peer = QString::fromLatin1(in.Chunk());
            ex.OnDatagram(in.Chunk(), peer, 1234);
            break;
        }
        default:
            discovery.Reset();
            if (s & 0x40) {
                discovery.SendCommand(QStringLiteral("V"), QStringLiteral("255.255.255.255"));
                discovery.HandlePlainReply(QStringLiteral("0.0.0.1"), "AV");
            }
            discovery.SendCommand(kCommands[s % 4], QStringLiteral("255.255.255.255"));
            ex.OnDatagram(in.Chunk(), kPeers[(s >> 3) % 8], ardel::wire::kPlainPort);
            break;
        }
        // The follow-up step is only recorded here; running it would send.
        const QString step = ardel::TDiscoveryExchange::StepName(discovery.PendingStep());
        Check(step.isEmpty() || step == QLatin1String("SendDiscovery") || step == QLatin1String("SendVersionRequest")
                  || step == QLatin1String("StartRefresh") || step == QLatin1String("AskPassword"),
              "unexpected follow-up step");
    }
    ardelfuzz::CheckTableLookup(f.table);
    discovery.Reset();
    discovery.StopReplyWindow();
    ardelfuzz::FlushPostedEvents();
    return 0;
}
