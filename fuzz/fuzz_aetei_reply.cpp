// "AETEI" network information into a DeviceRow, without a window: every
// field is read from its offset (zero where the answer ends), the MAC and
// addresses are always well formed, and the row merges into the table.
//
// Input: bytes 0..3 the TAVOW sender address (low byte first); byte 4 bit 0
// puts the word "AETEI" in front of the rest, so that most inputs reach the
// layout; the rest is the decoded data.
#include "fuzz/FuzzOptions.h"
#include "fuzz/FuzzSupport.h"

#include "app/core/DeviceReplies.h"
#include "tavo/TavoWire.h"

using ardelfuzz::Check;
using namespace ardel;

namespace {

ARDEL_HARNESS QString Dotted(const QByteArray &d, int offset, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts.append(QString::number(offset + i < d.size() ? static_cast<quint8>(d.at(offset + i)) : 0));
    return parts.join(QLatin1Char('.'));
}

quint8 At(const QByteArray &d, int offset)
{
    return offset < d.size() ? static_cast<quint8>(d.at(offset)) : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    ardelfuzz::Reader in(bytes, size);
    quint32 felado = 0;
    for (int i = 0; i < 4; ++i)
        felado |= quint32(in.Byte()) << (8 * i);
    const bool withWord = (in.Byte() & 1) != 0;
    const QByteArray data = (withWord ? QByteArrayLiteral("AETEI") : QByteArray()) + in.Rest();

    const std::optional<DeviceRow> row = ParseAeteiReply(data, felado);
    Check(row.has_value() == data.startsWith("AETEI"), "row for another word, or none for AETEI");
    if (!row)
        return 0;
    Check(row->size() == kDeviceRowFields, "row without ten fields");
    Check(row->at(RowMac) == Dotted(data, 5, 6) && IsValidMac(row->at(RowMac)), "MAC field");
    Check(row->at(RowIp) == Dotted(data, 11, 4) && IsValidIp(row->at(RowIp)), "IP field");
    Check(row->at(RowGateway) == Dotted(data, 15, 4) && row->at(RowMask) == Dotted(data, 19, 4), "gateway or mask field");
    Check(row->at(RowTavow) == QString::number(felado) && row->at(RowPort) == QString::number(wire::kTcpPort),
          "TAVOW or port field");
    const QString status = row->at(RowStatus);
    const QChar dhcp = At(data, 22) == 1 ? QLatin1Char('*') : At(data, 22) == 2 ? QLatin1Char('I') : QLatin1Char('M');
    const QChar conn = At(data, 23) == 1 ? QLatin1Char('C') : QLatin1Char('*');
    Check(status == QStringLiteral("N**") + dhcp + conn, "status letters");
    Check(row->at(RowHidden).isEmpty() && row->at(RowOwner).isEmpty() && row->at(RowName).isEmpty(), "text fields not empty");

    // One table for every input (a model per input cost more than the
    // parser), emptied the way a refresh empties it.
    static TDeviceTableModel table;
    table.MarkRowsEmpty();
    table.DropEmptyRows();
    table.MergeDeviceRow(*row);
    Check(table.RowCount() == 1 && table.FindDeviceRow(row->at(RowIp), row->at(RowMac), row->at(RowTavow)) == 0,
          "a well-formed row not merged");
    return 0;
}
