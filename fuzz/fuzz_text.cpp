// Address and text helpers that see texts from devices and from the user:
// CheckIP and AddressToBytes (address field), IsValidMac, IsValidIp and
// MacToHex (device table), IPTextToBytes (own subnet), SplitText, and the
// decimal readers they are built on, checked against reference readings.
// Byte 0 selects the helper and how the rest is read (code page 1250, as
// devices send it, or UTF-8, as the user may paste it).
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

namespace {

// ---- Reference readings, written apart from the readers under test: the
// form is checked character by character and the size compared as a digit
// string, so they cannot overflow either; the value then comes from Qt.

bool IsAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The digits of a number without sign and leading zeros ("0" for zero), or
// nothing when the text is not an optional sign (if allowed) and digits.
std::optional<QString> RefDigits(const QString &text, bool signAllowed, bool &negative)
{
    qsizetype i = 0;
    negative = false;
    if (signAllowed && !text.isEmpty() && (text.at(0) == QLatin1Char('-') || text.at(0) == QLatin1Char('+'))) {
        negative = text.at(0) == QLatin1Char('-');
        i = 1;
    }
    if (i >= text.size())
        return std::nullopt;
    for (qsizetype j = i; j < text.size(); ++j)
        if (!IsAsciiDigit(text.at(j)))
            return std::nullopt;
    QString digits = text.mid(i);
    while (digits.size() > 1 && digits.at(0) == QLatin1Char('0'))
        digits.remove(0, 1);
    return digits;
}

bool NotAbove(const QString &digits, const char *limit)
{
    const QString l = QString::fromLatin1(limit);
    return digits.size() != l.size() ? digits.size() < l.size() : digits <= l;
}

std::optional<qint64> RefDecimal(const QString &text)
{
    bool negative = false;
    const std::optional<QString> digits = RefDigits(text, true, negative);
    if (text.size() > 19 || !digits || !NotAbove(*digits, negative ? "9223372036854775808" : "9223372036854775807"))
        return std::nullopt;
    bool ok = false;
    const qint64 v = text.toLongLong(&ok, 10);
    Check(ok, "reference: Qt refused a decimal");
    return v;
}

std::optional<int> RefDigitsValue(const QString &text)
{
    bool negative = false;
    const std::optional<QString> digits = RefDigits(text, false, negative);
    if (!digits || !NotAbove(*digits, "2147483647"))
        return std::nullopt;
    bool ok = false;
    const int v = digits->toInt(&ok, 10);
    Check(ok, "reference: Qt refused digits");
    return v;
}

std::optional<int> RefUnsignedByte(const QString &text)
{
    const std::optional<qint64> v = RefDecimal(text);
    if (!v || *v < 0 || *v > 255 || text.startsWith(QLatin1Char('-')))
        return std::nullopt;
    return static_cast<int>(*v);
}

template <typename T> T RefDecimalOr(const QString &text, T fallback)
{
    const std::optional<qint64> v = RefDecimal(text);
    if (!v || *v < qint64(std::numeric_limits<T>::min()) || (*v > 0 && quint64(*v) > quint64(std::numeric_limits<T>::max())))
        return fallback;
    return static_cast<T>(*v);
}

// Every reader on one text.
void CheckReaders(const QString &t)
{
    const std::optional<qint64> dec = RefDecimal(t);
    qint64 v64 = -12345;
    Check(ardel::ParseDecimal(t, v64) == dec.has_value(), "ParseDecimal acceptance");
    Check(v64 == dec.value_or(-12345), "ParseDecimal value");

    const std::optional<int> digits = RefDigitsValue(t);
    int v = -12345;
    Check(ardel::ParseDigits(t, v) == digits.has_value(), "ParseDigits acceptance");
    Check(v == digits.value_or(-12345), "ParseDigits value");
    Check(ardel::DigitsOr(t, 256) == digits.value_or(256), "DigitsOr");

    const std::optional<int> byte = RefUnsignedByte(t);
    v = -12345;
    Check(ardel::ParseUnsignedByte(t, v) == byte.has_value(), "ParseUnsignedByte acceptance");
    Check(v == byte.value_or(-12345), "ParseUnsignedByte value");

    Check(ardel::DecimalOr<qint32>(t, -99) == RefDecimalOr<qint32>(t, -99), "DecimalOr<qint32>");
    Check(ardel::DecimalOr<quint32>(t, 1) == RefDecimalOr<quint32>(t, 1), "DecimalOr<quint32>");
    Check(ardel::DecimalOr<qint64>(t, -99) == RefDecimalOr<qint64>(t, -99), "DecimalOr<qint64>");
}

template <std::size_t N> void CheckDotted(const QString &text)
{
    const QStringList pieces = ardel::SplitText(text, QLatin1Char('.'));
    bool expected = pieces.size() == qsizetype(N);
    std::array<quint8, N> want{};
    for (qsizetype i = 0; expected && i < pieces.size(); ++i) {
        const std::optional<int> d = RefDigitsValue(pieces.at(i));
        expected = pieces.at(i).size() <= 3 && d && *d <= 255;
        if (expected)
            want[std::size_t(i)] = quint8(*d);
    }
    std::array<quint8, N> got;
    got.fill(0xA5);
    Check(ardel::ParseDottedBytes(text, got) == expected, "ParseDottedBytes acceptance");
    if (expected)
        Check(got == want, "ParseDottedBytes bytes");
    else
        Check(std::all_of(got.cbegin(), got.cend(), [](quint8 b) { return b == 0xA5; }), "ParseDottedBytes wrote a refused text");
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
    case 7:
        CheckDotted<4>(text);
        CheckDotted<6>(text);
        break;
    }
    return 0;
}
