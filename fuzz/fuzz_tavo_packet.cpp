// Datagrams from port 65500 through ProcessTavoPacket: decode, the
// "AETEI" merge, the "ASYRE" and "ASYSI" cell writes, and the command
// sender's step with the polling that follows it.
//
// The exchanges run as in the main window, on endpoints that are never
// opened: no window, no socket, no namespace. The device password (tag 3)
// is only announced; no dialog waits for a user.
//
// Input: byte 0 sets up the sender's list (bits 0..2: none, name/owner/version
// poll, password read, settings change, restart; bit 3: the information poll
// is running; bits 4..5: which device is the target). Then records: one byte
// choosing the sender's address (bits 0..2) and the port the datagram comes
// from (bit 7: a plain port, so it goes to the plain-reply path instead),
// followed by a datagram (length byte + bytes).
#include "fuzz/FuzzExchanges.h"

#include "tavo/TavoCommandSender.h"
#include "tavo/TavoCommands.h"
#include "tavo/TavoWire.h"

#include <QTimer>

#include <array>

using ardelfuzz::Check;

namespace {

const std::array<QString, 8> kPeers = {
    QStringLiteral("10.77.128.1"), QStringLiteral("10.77.128.2"), QStringLiteral("10.77.128.3"), QStringLiteral("10.78.128.9"),
    QStringLiteral("10.99.0.1"),   QStringLiteral("10.77.128.1"), QStringLiteral("10.77.128.2"), QStringLiteral("10.77.200.200"),
};

// Three devices: two with TAVOW addresses (one TAVOW, one short TAVO
// address) and one that answers only plain discovery.
void FillTable(ardel::TDeviceTableModel &t)
{
    const QString e;
    t.MergeDeviceRow({QStringLiteral("0.26.75.12.200.3"), QStringLiteral("1001"), QStringLiteral("N**IC"), e, e, e, kPeers[0],
                      QStringLiteral("74565"), QStringLiteral("10.77.0.1"), QStringLiteral("255.255.0.0")});
    t.MergeDeviceRow({QStringLiteral("0.26.75.12.200.4"), QStringLiteral("1001"), QStringLiteral("N**M*"), e, e, e, kPeers[1],
                      QStringLiteral("7"), e, e});
    t.MergeDeviceRow({QStringLiteral("0.26.75.12.200.5"), QStringLiteral("80"), QStringLiteral("AB0I*"), e,
                      QStringLiteral("owner"), QStringLiteral("name"), kPeers[2], e, e, e});
}

QByteArray Read(int start, int count)
{
    return ardel::BuildReadCommand(start, count);
}

void SetUpSender(ardel::TDeviceExchanges &ex, std::uint8_t b)
{
    ardel::TTavoCommandSender &s = *ex.Sender();
    const QString target = kPeers[(b >> 4) & 3];
    const quint32 address = ((b >> 4) & 1) ? 7 : 74565;
    // The information poll runs from the first row (which has a TAVOW address).
    if (b & 0x08)
        ex.InfoPass().RunOverTable();
    s.Timer()->stop();
    switch (b & 7) {
    case 1:
        s.SetTarget(target, address);
        s.AddCommand(Read(10, 24), 1);
        s.AddCommand(Read(34, 24), 2);
        s.AddCommand(QByteArrayLiteral("CSYSI"), 0);
        break;
    case 2:
        s.SetTarget(target, address);
        s.AddCommand(Read(97, 30), 3);
        break;
    case 3:
        s.SetTarget(target, address);
        for (const char *c : {"CETSI", "CETSG", "CETSN"})
            s.AddCommand(QByteArray(c) + QByteArray(4, '\x01'), 0);
        s.AddCommand(QByteArrayLiteral("CETSM") + QByteArray(6, '\x02'), 0);
        s.AddCommand(QByteArrayLiteral("CSYER"), 0);
        break;
    case 4:
        s.SetTarget(target, address);
        s.AddCommand(QByteArrayLiteral("CSYRS"), 0);
        break;
    default:
        s.SetTarget(QString(), 0);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ardelfuzz::TFuzzExchanges &f = ardelfuzz::Exchanges();
    Check(f.exchanges.Sender() != nullptr, "no command sender on the endpoints");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    ardelfuzz::TFuzzExchanges &f = ardelfuzz::Exchanges();
    ardel::TDeviceExchanges &ex = f.exchanges;
    ardelfuzz::ClearTable(f.table);
    ardel::wire::SetProgramStartValues(f.codec);
    FillTable(f.table);
    ex.Discovery().Reset();
    ex.InfoPass().Reset();
    ex.Discovery().SendCommand(QStringLiteral("X"), QStringLiteral("255.255.255.255"));

    ardelfuzz::Reader in(bytes, size);
    SetUpSender(ex, in.Byte());
    int records = 0;
    while (!in.AtEnd() && records++ < 32) {
        const std::uint8_t s = in.Byte();
        const QString &peer = kPeers[s & 7];
        const QByteArray datagram = in.Chunk();
        if (s & 0x80)
            ex.OnDatagram(datagram, peer, ardel::wire::kPlainPort);
        else
            ex.OnDatagram(datagram, peer, ardel::wire::kTavoPort);
        Check(f.table.RowCount() <= 3 + records, "more rows than datagrams");
    }
    ardelfuzz::CheckTableLookup(f.table);
    // Nothing of this input may act later: no timers, no follow-up.
    ex.Sender()->Timer()->stop();
    ex.Discovery().StopReplyWindow();
    ex.Discovery().Reset();
    ex.InfoPass().Stop();
    ex.InfoPass().Reset();
    ardelfuzz::FlushPostedEvents();
    return 0;
}
