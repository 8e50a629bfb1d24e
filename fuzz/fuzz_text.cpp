// Address and text helpers that see texts from devices and from the user:
// CheckIP and AddressToBytes (address field), IsValidMac, IsValidIp and
// MacToHex (device table), IPTextToBytes (own subnet), SplitText, and the
// decimal readers they are built on, checked against reference readings
// (fuzz/DecimalReference.h; fuzz_decimal_text feeds the readers alone).
// Byte 0 selects the helper and how the rest is read (code page 1250, as
// devices send it, or UTF-8, as the user may paste it).
#include "fuzz/DecimalReference.h"
#include "fuzz/FuzzSupport.h"

#include "app/core/DeviceTable.h"
#include "config/AddressEdit.h"
#include "net/DecimalText.h"
#include "net/IPInfo.h"
#include "net/TextUtil.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

using ardelfuzz::Check;

using namespace ardelfuzz; // the reference readings

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

    switch (op % 8) {
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
                const std::optional<int> v = RefUnsignedByte(pieces.at(i));
                Check(v.has_value(), "IsValidIp accepted a bad piece");
                Check(b[static_cast<size_t>(i)] == v.value_or(-1), "IPTextToBytes disagrees with IsValidIp");
            }
        }
        if (pieces.size() != 4)
            Check(b == ardel::IPv4Bytes{}, "IPTextToBytes of a non-address is not zero");
        else
            for (int i = 0; i < 4; ++i)
                Check(b[static_cast<size_t>(i)] == ardel::LowByte(RefDecimalOr<qint32>(pieces.at(i), 0)),
                      "IPTextToBytes piece is not the low byte of its number");
        break;
    }
    case 2: {
        const bool valid = ardel::IsValidMac(text);
        const QString hex = ardel::MacToHex(text);
        const QStringList pieces = ardel::SplitText(text, QLatin1Char('.'));
        Check(hex.isEmpty() == (pieces.size() != 6), "MacToHex emptiness");
        if (!hex.isEmpty()) {
            Check(hex.size() == 17, "MacToHex length");
            // A piece that is no byte is shown as 00, however it overflows.
            for (int i = 0; i < 6; ++i)
                Check(hex.mid(i * 3, 2).toInt(nullptr, 16) == RefUnsignedByte(pieces.at(i)).value_or(0), "MacToHex piece");
        }
        if (valid) {
            const QStringList hexParts = hex.split(QLatin1Char(':'));
            Check(hexParts.size() == 6, "MacToHex parts");
            for (int i = 0; i < 6; ++i) {
                const std::optional<int> v = RefUnsignedByte(pieces.at(i));
                Check(v.has_value(), "IsValidMac accepted a bad piece");
                bool ok = false;
                Check(hexParts.at(i).toInt(&ok, 16) == v.value_or(-1) && ok, "MacToHex value");
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
        const QStringList parts = text.split(QLatin1Char('.'));
        for (qsizetype i = 0; i < parts.size() && i < b.size(); ++i)
            Check(quint8(b.at(i)) == ardel::LowByte(RefDigitsValue(parts.at(i)).value_or(0)), "AddressToBytes part");
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
    case 6: {
        // The readers on the whole text and on each of its dotted pieces.
        CheckReaders(text);
        for (const QString &piece : ardel::SplitText(text, QLatin1Char('.')))
            CheckReaders(piece);
        break;
    }
    case 7: {
        Pieces pieces;
        DottedPieces(text, pieces);
        CheckDotted<4>(text, pieces);
        CheckDotted<6>(text, pieces);
        break;
    }
    }
    return 0;
}
