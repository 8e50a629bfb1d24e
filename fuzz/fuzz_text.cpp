// Address and text helpers that see texts from devices and from the user:
// CheckIP and AddressToBytes (address field), IsValidMac, IsValidIp and
// MacToHex (device table), IPTextToBytes (own subnet) and SplitText.
// Byte 0 selects the helper and how the rest is read (code page 1250, as
// devices send it, or UTF-8, as the user may paste it).
#include "fuzz/FuzzSupport.h"

#include "app/core/DeviceTable.h"
#include "config/AddressEdit.h"
#include "net/IPInfo.h"
#include "net/TextUtil.h"

using ardelfuzz::Check;

namespace {

// A decimal piece 0..255 as the table's checks read it.
bool PieceByte(const QString &piece, int &value)
{
    qint64 v = 0;
    if (!ardel::ParseDecimal(piece, v) || v < 0 || v > 255 || piece.startsWith(QLatin1Char('-')))
        return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ardelfuzz::InitQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t op = bytes[0];
    const QByteArray raw = ardelfuzz::Bytes(bytes + 1, size - 1);
    const QString text = (op & 0x80) ? QString::fromUtf8(raw) : ardel::FromCp1250(raw);

    switch (op % 6) {
    case 0: {
        // The separator is the first character, the rest is split at it.
        const QChar sep = text.isEmpty() ? QLatin1Char('/') : text.at(0);
        const QString rest = text.mid(1);
        const QStringList pieces = ardel::SplitText(rest, sep);
        Check(pieces.size() == rest.count(sep) + 1, "SplitText piece count");
        Check(pieces.join(sep) == rest, "SplitText pieces do not join back");
        QStringList reused{QStringLiteral("stale")};
        ardel::SplitText(rest, sep, reused);
        Check(reused == pieces, "SplitText into a used list");
        break;
    }
    case 1: {
        const bool valid = ardel::IsValidIp(text);
        const ardel::IPv4Bytes b = ardel::IPTextToBytes(text);
        const QStringList pieces = ardel::SplitText(text, QLatin1Char('.'));
        if (valid) {
            Check(pieces.size() == 4, "IsValidIp without four pieces");
            for (int i = 0; i < 4; ++i) {
                int v = 0;
                Check(PieceByte(pieces.at(i), v), "IsValidIp accepted a bad piece");
                Check(b[static_cast<size_t>(i)] == v, "IPTextToBytes disagrees with IsValidIp");
            }
        }
        if (pieces.size() != 4)
            Check(b == ardel::IPv4Bytes{}, "IPTextToBytes of a non-address is not zero");
        break;
    }
    case 2: {
        const bool valid = ardel::IsValidMac(text);
        const QString hex = ardel::MacToHex(text);
        const QStringList pieces = ardel::SplitText(text, QLatin1Char('.'));
        Check(hex.isEmpty() == (pieces.size() != 6), "MacToHex emptiness");
        if (!hex.isEmpty())
            Check(hex.size() == 17, "MacToHex length");
        if (valid) {
            const QStringList hexParts = hex.split(QLatin1Char(':'));
            Check(hexParts.size() == 6, "MacToHex parts");
            for (int i = 0; i < 6; ++i) {
                int v = 0;
                Check(PieceByte(pieces.at(i), v), "IsValidMac accepted a bad piece");
                bool ok = false;
                Check(hexParts.at(i).toInt(&ok, 16) == v && ok, "MacToHex value");
            }
        }
        break;
    }
    case 3: {
        // The masked field's text: whatever the user or a table cell puts there.
        const bool ok = ardel::CheckIP(text);
        if (ok) {
            const QByteArray b = ardel::AddressToBytes(ardel::RemoveSpaces(text));
            Check(!b.isEmpty(), "AddressToBytes of a checked field");
        }
        break;
    }
    case 4: {
        const QByteArray b = ardel::AddressToBytes(text);
        Check(b.size() == text.count(QLatin1Char('.')) + 1, "AddressToBytes byte count");
        const QString field = ardel::AddressToFieldText(text);
        ardel::CheckIP(field);
        break;
    }
    case 5: {
        // A table cell written back into the field and read again.
        if (ardel::IsValidIp(text)) {
            const ardel::IPv4Bytes b = ardel::IPTextToBytes(text);
            const QString field = ardel::AddressToFieldText(text);
            if (ardel::CheckIP(field)) {
                const QByteArray back = ardel::AddressToBytes(ardel::RemoveSpaces(field));
                Check(back.size() == 4, "field of a valid address lost a part");
                for (int i = 0; i < 4; ++i)
                    Check(static_cast<std::uint8_t>(back.at(i)) == b[static_cast<size_t>(i)], "field changed the address");
            }
        }
        break;
    }
    }
    return 0;
}
