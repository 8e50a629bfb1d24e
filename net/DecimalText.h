// Numbers written as decimal text, by devices, by the user and in the table.
// The strict forms take a text only when the whole of it is the number; the
// lenient forms give a chosen value for a text that is not one. Each is named
// for its rule, and none overflows, however long the text or whatever its sign.
#pragma once

#include <QStringView>
#include <QtGlobal>

#include <span>
#include <utility>

namespace ardel {

// Longest text ParseDecimal takes, sign included. Longer texts are refused
// even when zero-padded: that is how the table's checks, the own-subnet bytes
// and the TAVOW address number have always read them.
inline constexpr qsizetype kMaxDecimalChars = 19;

// ---- Strict forms ----

// A signed decimal: an optional '+' or '-', then one or more ASCII digits and
// nothing else (no spaces, no hex prefix, no other scripts' digits); at most
// kMaxDecimalChars characters and a value that fits in 64 bits.
bool ParseDecimal(QStringView text, qint64 &value);

// Plain digits: one or more ASCII digits and nothing else, no sign; any number
// of leading zeros; a value above INT_MAX is refused. What the address field's
// groups and dotted parts typed by the user are read as.
bool ParseDigits(QStringView text, int &value);

// A byte written without a minus: a ParseDecimal number from 0 to 255 whose
// text does not begin with '-'. "+7" and "007" are 7; "-0" is refused, as no
// device has such an address.
bool ParseUnsignedByte(QStringView text, int &value);

// Exactly bytes.size() parts separated by '.', each one to three ASCII digits
// with a value from 0 to 255: an address or MAC text with nothing doubtful in
// it. bytes is written only when the whole text is taken.
bool ParseDottedBytes(QStringView text, std::span<quint8> bytes);

// ---- Lenient forms ----

// Like Delphi's StrToIntDef: the ParseDecimal value when it fits in T,
// otherwise fallback (empty, unreadable, too long, outside T's range).
template <typename T> T DecimalOr(QStringView text, T fallback)
{
    qint64 v = 0;
    if (!ParseDecimal(text, v) || !std::in_range<T>(v))
        return fallback;
    return static_cast<T>(v);
}

// The ParseDigits value, or fallback when the text is not plain digits.
int DigitsOr(QStringView text, int fallback);

// The low 8 bits as a byte: how a lenient byte field keeps a number that does
// not fit (300 gives 44, -1 gives 255). Combined with a lenient form whose
// fallback is 0, an unreadable text gives 0.
constexpr quint8 LowByte(qint64 value)
{
    return static_cast<quint8>(value & 0xFF);
}

} // namespace ardel
