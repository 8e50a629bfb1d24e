// Discovery replies (answers to "X") into DeviceRows and the table's merge,
// without a window: whatever the text, the row carries the sender's address
// in its address field (a name cannot pose as another address), the six
// fields give the text back, and the merge keeps the table consistent.
//
// Input: byte 0 picks the sender's address, the rest is the reply
// (code page 1250).
#include "fuzz/FuzzSupport.h"

#include "app/core/DeviceReplies.h"
#include "net/TextUtil.h"

#include <array>

using ardelfuzz::Check;
using namespace ardel;

namespace {

const std::array<QString, 4> kPeers = {QStringLiteral("10.77.128.1"), QStringLiteral("10.78.128.9"), QStringLiteral("10.99.0.1"),
                                       QStringLiteral("192.168.1.50")};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    ardelfuzz::Reader in(bytes, size);
    const QString &peer = kPeers[in.Byte() % kPeers.size()];
    const QString text = FromCp1250(in.Rest());
    const std::optional<DeviceRow> row = ParseDiscoveryReply(text, peer);
    if (!row) {
        Check(!text.startsWith(QLatin1Char('A')) || text.count(QLatin1Char('/')) < 5, "a reply with six fields refused");
        return 0;
    }
    Check(text.startsWith(QLatin1Char('A')), "a row from a text that does not begin with A");
    Check(row->size() == kDeviceRowFields, "row without ten fields");
    Check(row->at(RowIp) == peer, "the address field is not the sender's");
    Check(row->at(RowTavow).isEmpty() && row->at(RowGateway).isEmpty() && row->at(RowMask).isEmpty(),
          "TAVO fields filled from a discovery reply");
    for (int f = RowMac; f < RowName; ++f)
        Check(!row->at(f).contains(QLatin1Char('/')), "a separator inside a field before the name");
    const qsizetype macEnd = text.indexOf(QLatin1Char('/'));
    if (macEnd <= 256)
        Check(QLatin1Char('A') + row->mid(RowMac, RowIp).join(QLatin1Char('/')) == text, "the fields do not give the text back");
    else
        Check(row->at(RowMac).size() == 255, "the MAC field not cut to 255 characters");

    TDeviceTableModel table;
    table.MergeDeviceRow(*row);
    if (table.RowCount() == 1) {
        Check(IsValidMac(row->at(RowMac)), "a row with an invalid MAC merged");
        Check(table.Cell(0, ColIp) == peer && table.Cell(0, ColDeviceName) == row->at(RowName),
              "the merged row differs from the reply");
        Check(table.FindDeviceRow(peer, row->at(RowMac)) == 0, "the merged row is not found again");
    } else {
        Check(table.RowCount() == 0 && !IsValidMac(row->at(RowMac)), "a valid row refused");
    }
    return 0;
}
