#include "net/DecimalText.h"

#include <QVarLengthArray>

#include <algorithm>

#include <limits>

namespace ardel {

namespace {

// Digit value of an ASCII digit, -1 for anything else. QChar::isDigit would
// also take the digits of other scripts, which no device writes.
int AsciiDigit(QChar c)
{
    const char16_t u = c.unicode();
    return u >= u'0' && u <= u'9' ? int(u - u'0') : -1;
}

// Appends digits to a magnitude, refusing a non-digit and any step that would
// pass limit; the check comes before the multiplication, so nothing overflows
// whatever the length of the text.
bool AccumulateDigits(QStringView digits, quint64 limit, quint64 &magnitude)
{
    if (digits.isEmpty())
        return false;
    quint64 v = 0;
    for (const QChar c : digits) {
        const int d = AsciiDigit(c);
        if (d < 0 || v > (limit - quint64(d)) / 10)
            return false;
        v = v * 10 + quint64(d);
    }
    magnitude = v;
    return true;
}

} // namespace

bool ParseDecimal(QStringView text, qint64 &value)
{
    if (text.isEmpty() || text.size() > kMaxDecimalChars)
        return false;
    const bool negative = text.front() == u'-';
    if (negative || text.front() == u'+')
        text = text.mid(1);
    constexpr quint64 maxPositive = quint64(std::numeric_limits<qint64>::max());
    quint64 magnitude = 0;
    if (!AccumulateDigits(text, negative ? maxPositive + 1 : maxPositive, magnitude))
        return false;
    // Modular conversion (C++20): 2^63 with a minus becomes the lowest qint64.
    value = negative ? static_cast<qint64>(0 - magnitude) : static_cast<qint64>(magnitude);
    return true;
}

bool ParseDigits(QStringView text, int &value)
{
    quint64 magnitude = 0;
    if (!AccumulateDigits(text, quint64(std::numeric_limits<int>::max()), magnitude))
        return false;
    value = static_cast<int>(magnitude);
    return true;
}

bool ParseUnsignedByte(QStringView text, int &value)
{
    qint64 v = 0;
    if (!ParseDecimal(text, v) || v < 0 || v > 255 || text.startsWith(u'-'))
        return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseDottedBytes(QStringView text, std::span<quint8> bytes)
{
    QVarLengthArray<quint8, 8> out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype dot = text.indexOf(u'.', from);
        const QStringView part = text.mid(from, dot < 0 ? -1 : dot - from);
        int v = 0;
        if (part.size() > 3 || !ParseDigits(part, v) || v > 255)
            return false;
        out.append(static_cast<quint8>(v));
        if (out.size() > qsizetype(bytes.size()))
            return false;
        if (dot < 0)
            break;
        from = dot + 1;
    }
    if (out.size() != qsizetype(bytes.size()))
        return false;
    std::copy(out.cbegin(), out.cend(), bytes.begin());
    return true;
}

int DigitsOr(QStringView text, int fallback)
{
    int v = 0;
    return ParseDigits(text, v) ? v : fallback;
}

} // namespace ardel
