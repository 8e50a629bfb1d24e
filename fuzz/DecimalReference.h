// Reference readings of the decimal readers (net/DecimalText), written apart
// from them: the form is checked character by character and the size compared
// as a digit string, so they cannot overflow either; the value then comes
// from Qt. They read views of the text and allocate nothing, so that the
// check costs less than the readers it checks. Shared by fuzz_text and
// fuzz_decimal_text.
#pragma once

#include "fuzz/FuzzOptions.h"
#include "fuzz/FuzzSupport.h"

#include "net/DecimalText.h"

#include <QStringView>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace ardelfuzz {

// The digits of a number without sign and leading zeros ("0" for zero), or
// nothing when the text is not an optional sign (if allowed) and digits.
ARDEL_HARNESS inline std::optional<QStringView> RefDigits(QStringView text, bool signAllowed, bool &negative)
{
    // Raw code units: QStringView's accessors are out-of-line (and
    // instrumented) in this build, and cost more than the readers' work.
    const char16_t *const u = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    negative = false;
    if (signAllowed && n > 0 && (u[0] == u'-' || u[0] == u'+')) {
        negative = u[0] == u'-';
        i = 1;
    }
    if (i >= n)
        return std::nullopt;
    for (qsizetype j = i; j < n; ++j)
        if (u[j] < u'0' || u[j] > u'9')
            return std::nullopt;
    while (n - i > 1 && u[i] == u'0')
        ++i;
    return QStringView(u + i, n - i);
}

ARDEL_HARNESS inline bool NotAbove(QStringView digits, QLatin1StringView limit)
{
    return digits.size() != limit.size() ? digits.size() < limit.size() : QStringView(digits).compare(limit) <= 0;
}

ARDEL_HARNESS inline std::optional<qint64> RefDecimal(QStringView text)
{
    bool negative = false;
    const std::optional<QStringView> digits = RefDigits(text, true, negative);
    if (text.size() > 19 || !digits
        || !NotAbove(*digits, negative ? QLatin1StringView("9223372036854775808") : QLatin1StringView("9223372036854775807")))
        return std::nullopt;
    bool ok = false;
    const qint64 v = text.toLongLong(&ok, 10);
    Check(ok, "reference: Qt refused a decimal");
    return v;
}

ARDEL_HARNESS inline std::optional<int> RefDigitsValue(QStringView text)
{
    bool negative = false;
    const std::optional<QStringView> digits = RefDigits(text, false, negative);
    if (!digits || !NotAbove(*digits, QLatin1StringView("2147483647")))
        return std::nullopt;
    bool ok = false;
    const int v = digits->toInt(&ok, 10);
    Check(ok, "reference: Qt refused digits");
    return v;
}

ARDEL_HARNESS inline std::optional<int> RefUnsignedByte(QStringView text)
{
    const std::optional<qint64> v = RefDecimal(text);
    if (!v || *v < 0 || *v > 255 || (!text.isEmpty() && text.utf16()[0] == u'-'))
        return std::nullopt;
    return static_cast<int>(*v);
}

template <typename T> ARDEL_HARNESS T RefDecimalOr(QStringView text, T fallback)
{
    const std::optional<qint64> v = RefDecimal(text);
    if (!v || *v < qint64(std::numeric_limits<T>::min()) || (*v > 0 && quint64(*v) > quint64(std::numeric_limits<T>::max())))
        return fallback;
    return static_cast<T>(*v);
}

// Every reader on one text.
ARDEL_HARNESS inline void CheckReaders(QStringView t)
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

// The text's pieces between dots, empty ones included (found here, not by
// the program's SplitText); up to eight without allocating.
using Pieces = QVarLengthArray<QStringView, 8>;
ARDEL_HARNESS inline void DottedPieces(QStringView text, Pieces &pieces)
{
    const char16_t *const u = text.utf16();
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (u[i] == u'.') {
            pieces.append(QStringView(u + from, i - from));
            from = i + 1;
        }
    }
    pieces.append(QStringView(u + from, text.size() - from));
}

// pieces: DottedPieces(text).
template <std::size_t N> ARDEL_HARNESS void CheckDotted(QStringView text, const Pieces &pieces)
{
    bool expected = pieces.size() == qsizetype(N);
    std::array<quint8, N> want{};
    for (qsizetype i = 0; expected && i < pieces.size(); ++i) {
        const std::optional<int> d = RefDigitsValue(pieces[i]);
        expected = pieces[i].size() <= 3 && d && *d <= 255;
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

} // namespace ardelfuzz
