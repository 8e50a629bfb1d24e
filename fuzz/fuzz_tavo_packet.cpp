// Datagrams from port 65500 through ProcessTavoPacket: decode, the
// "AETEI" merge, the "ASYRE" and "ASYSI" cell writes, and the command
// sender's step with the polling that follows it.
//
// The command sender exists only once the main window has been shown, and
// showing it opens the UDP endpoints and broadcasts a discovery: this target
// therefore refuses to run outside the private test LAN of
// scripts/netns-run.sh. The password and settings dialogs are left out, so
// that the device password branch (tag 3) runs without a modal dialog.
//
// Input: byte 0 sets up the sender's list (bits 0..2: none, name/owner/version
// poll, password read, settings change, restart; bit 3: the information poll
// is running; bits 4..5: which device is the target). Then records: one byte
// choosing the sender's address (bits 0..2) and the port the datagram comes
// from (bit 7: a plain port, so it goes to the plain-reply path instead),
// followed by a datagram (length byte + bytes).
#include "fuzz/FuzzSupport.h"

#include "app/ArdelWindows.h"
#include "app/frm_main.h"
#include "tavo/TavoCommandSender.h"
#include "tavo/TavoWire.h"

#include <QTimer>

#include <array>
#include <cstdio>
#include <cstdlib>

using ardelfuzz::Check;

namespace {

const std::array<QString, 8> kPeers = {
    QStringLiteral("10.77.128.1"), QStringLiteral("10.77.128.2"), QStringLiteral("10.77.128.3"), QStringLiteral("10.78.128.9"),
    QStringLiteral("10.99.0.1"),   QStringLiteral("10.77.128.1"), QStringLiteral("10.77.128.2"), QStringLiteral("10.77.200.200"),
};

// Three devices: two with TAVOW addresses (one TAVOW, one short TAVO
// address) and one that answers only plain discovery.
void FillTable(ardel::Tf_main &w)
{
    const QString e;
    w.Table()->MergeDeviceRow({QStringLiteral("0.26.75.12.200.3"), QStringLiteral("1001"), QStringLiteral("N**IC"), e, e, e,
                               kPeers[0], QStringLiteral("74565"), QStringLiteral("10.77.0.1"), QStringLiteral("255.255.0.0")});
    w.Table()->MergeDeviceRow({QStringLiteral("0.26.75.12.200.4"), QStringLiteral("1001"), QStringLiteral("N**M*"), e, e, e,
                               kPeers[1], QStringLiteral("7"), e, e});
    w.Table()->MergeDeviceRow({QStringLiteral("0.26.75.12.200.5"), QStringLiteral("80"), QStringLiteral("AB0I*"), e,
                               QStringLiteral("owner"), QStringLiteral("name"), kPeers[2], e, e, e});
}

QByteArray Read(int start, int count)
{
    return ardel::Tf_main::BuildReadCommand(start, count);
}

void SetUpSender(ardel::Tf_main &w, std::uint8_t b)
{
    ardel::TTavoCommandSender &s = *w.Sender();
    const QString target = kPeers[(b >> 4) & 3];
    const quint32 address = ((b >> 4) & 1) ? 7 : 74565;
    s.Timer()->stop();
    w.InfoRunning = (b & 0x08) != 0;
    w.InfoIndex = w.InfoRunning ? 0 : -1;
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
    if (!ardelfuzz::InTestLan()) {
        std::fprintf(stderr, "fuzz_tavo_packet shows the main window, which opens UDP endpoints: "
                             "run it inside the test LAN (scripts/netns-run.sh -- ...)\n");
        std::exit(2);
    }
    ardel::TArdelWindows &windows = ardelfuzz::Windows();
    ardel::Tf_main &w = *windows.f_main;
    // No password or settings dialog: the device password branch returns
    // instead of waiting for a user.
    ardel::TDialogs dialogs = w.Dialogs();
    dialogs.f_passw = nullptr;
    dialogs.f_settings = nullptr;
    w.SetDialogs(dialogs);
    w.show();
    Check(w.Sender() != nullptr, "no command sender after the first show");
    // The discovery that the first show starts is left without its timer.
    w.UdpTimer->stop();
    ardelfuzz::FlushPostedEvents();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    ardel::Tf_main &w = ardelfuzz::MainWindow();
    ardelfuzz::ClearTable(w);
    ardelfuzz::ResetCodec(w);
    FillTable(w);
    w.LastCommand = QStringLiteral("X");
    w.PendingStep = nullptr;

    ardelfuzz::Reader in(bytes, size);
    SetUpSender(w, in.Byte());
    int records = 0;
    while (!in.AtEnd() && records++ < 32) {
        const std::uint8_t s = in.Byte();
        const QString &peer = kPeers[s & 7];
        const QByteArray datagram = in.Chunk();
        if (s & 0x80)
            w.IdUDPServer1UDPRead(datagram, peer, ardel::wire::kPlainPort);
        else
            w.IdUDPServer1UDPRead(datagram, peer, ardel::wire::kTavoPort);
        Check(w.Table()->RowCount() <= 3 + records, "more rows than datagrams");
    }
    ardelfuzz::CheckTableLookup(w);

    // Nothing of this input may act later: no timers, no follow-up.
    w.Sender()->Timer()->stop();
    w.UdpTimer->stop();
    w.TavoListerTimer->stop();
    w.PendingStep = nullptr;
    w.InfoRunning = false;
    ardelfuzz::FlushPostedEvents();
    return 0;
}
