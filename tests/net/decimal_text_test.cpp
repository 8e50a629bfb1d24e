// The decimal readers: each rule on the same texts, so that a row shows how
// the rules differ (sign, leading zeros, length, range) and that none of them
// overflows at the 64-bit and 32-bit edges.
#include "net/DecimalText.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <optional>

using namespace ardel;

namespace {

constexpr std::nullopt_t kNo = std::nullopt;
constexpr qint64 kMin64 = std::numeric_limits<qint64>::min();
constexpr qint64 kMax64 = std::numeric_limits<qint64>::max();

// Fallbacks that no row reads as a number, so a fallback is told from a value.
constexpr qint32 kInt32Fallback = -99;
constexpr quint32 kUInt32Fallback = 1; // the TAVOW address number's
constexpr qint64 kInt64Fallback = -99;
constexpr int kDigitsFallback = 256; // the address field's unreadable group

struct Row {
    const char16_t *text;
    // strict forms
    std::optional<qint64> decimal;
    std::optional<int> digits;
    std::optional<int> unsignedByte;
    // lenient forms
    qint32 int32Or;
    quint32 uint32Or;
    qint64 int64Or;
    int digitsOr;
};

const Row kRows[] = {
    // text                     decimal      digits  byte   int32Or  uint32Or  int64Or  digitsOr
    {u"", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"0", 0, 0, 0, 0, 0, 0, 0},
    {u"7", 7, 7, 7, 7, 7, 7, 7},
    // signs: only ParseDecimal takes them; a minus is refused by the byte rule even in "-0"
    {u"+7", 7, kNo, 7, 7, 7, 7, 256},
    {u"-7", -7, kNo, kNo, -7, 1, -7, 256},
    {u"-0", 0, kNo, kNo, 0, 0, 0, 256},
    {u"+0", 0, kNo, 0, 0, 0, 0, 256},
    {u"+", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"-", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"--1", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"+-1", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"1-", kNo, kNo, kNo, -99, 1, -99, 256},
    // leading zeros: ParseDecimal up to 19 characters in all, plain digits at any length
    {u"007", 7, 7, 7, 7, 7, 7, 7},
    {u"-007", -7, kNo, kNo, -7, 1, -7, 256},
    {u"0255", 255, 255, 255, 255, 255, 255, 255},
    {u"0000000000000000009", 9, 9, 9, 9, 9, 9, 9},
    {u"00000000000000000009", kNo, 9, kNo, -99, 1, -99, 9},
    {u"-000000000000000009", -9, kNo, kNo, -9, 1, -9, 256},
    {u"000000000000000000000000000042", kNo, 42, kNo, -99, 1, -99, 42},
    // spaces are not part of a number
    {u" 1", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"1 ", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"1 2", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"- 1", kNo, kNo, kNo, -99, 1, -99, 256},
    // non-digits, other scripts' digits included
    {u"a", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"1a", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"0x1F", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"1.5", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"1e3", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"\u0661", kNo, kNo, kNo, -99, 1, -99, 256}, // ARABIC-INDIC DIGIT ONE
    {u"\uFF11", kNo, kNo, kNo, -99, 1, -99, 256}, // FULLWIDTH DIGIT ONE
    // the byte's edges
    {u"255", 255, 255, 255, 255, 255, 255, 255},
    {u"+255", 255, kNo, 255, 255, 255, 255, 256},
    {u"256", 256, 256, kNo, 256, 256, 256, 256},
    // 32-bit edges
    {u"2147483647", 2147483647, 2147483647, kNo, 2147483647, 2147483647u, 2147483647, 2147483647},
    {u"2147483648", 2147483648LL, kNo, kNo, -99, 2147483648u, 2147483648LL, 256},
    {u"-2147483648", -2147483648LL, kNo, kNo, std::numeric_limits<qint32>::min(), 1, -2147483648LL, 256},
    {u"-2147483649", -2147483649LL, kNo, kNo, -99, 1, -2147483649LL, 256},
    {u"4294967295", 4294967295LL, kNo, kNo, -99, 4294967295u, 4294967295LL, 256},
    {u"4294967296", 4294967296LL, kNo, kNo, -99, 1, 4294967296LL, 256},
    {u"9999999999", 9999999999LL, kNo, kNo, -99, 1, 9999999999LL, 256},
    // 64-bit edges: the longest texts that fit, one past, 18 to 20 nines
    {u"9223372036854775807", kMax64, kNo, kNo, -99, 1, kMax64, 256},
    {u"9223372036854775808", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"9223372036854775810", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"+922337203685477580", 922337203685477580LL, kNo, kNo, -99, 1, 922337203685477580LL, 256},
    {u"-922337203685477580", -922337203685477580LL, kNo, kNo, -99, 1, -922337203685477580LL, 256},
    {u"-9223372036854775807", kNo, kNo, kNo, -99, 1, -99, 256}, // 20 characters
    {u"-9223372036854775808", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"999999999999999999", 999999999999999999LL, kNo, kNo, -99, 1, 999999999999999999LL, 256},
    {u"-999999999999999999", -999999999999999999LL, kNo, kNo, -99, 1, -999999999999999999LL, 256},
    {u"9999999999999999999", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"+9999999999999999999", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"-9999999999999999999", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"99999999999999999999", kNo, kNo, kNo, -99, 1, -99, 256},
    {u"18446744073709551616", kNo, kNo, kNo, -99, 1, -99, 256}, // 2^64: wraps to 0 if unchecked
    {u"99999999999999999999999999999999999999", kNo, kNo, kNo, -99, 1, -99, 256},
};

TEST(DecimalText, EachRuleOnTheSameTexts)
{
    for (const Row &r : kRows) {
        const QString text = QString::fromUtf16(r.text);
        SCOPED_TRACE(text.toStdString());

        qint64 decimal = 12345;
        const bool decimalOk = ParseDecimal(text, decimal);
        EXPECT_EQ(decimalOk, r.decimal.has_value());
        if (r.decimal)
            EXPECT_EQ(decimal, *r.decimal);
        else
            EXPECT_EQ(decimal, 12345) << "a refused text wrote its value";

        int digits = 12345;
        const bool digitsOk = ParseDigits(text, digits);
        EXPECT_EQ(digitsOk, r.digits.has_value());
        EXPECT_EQ(digits, r.digits.value_or(12345));

        int byte = 12345;
        const bool byteOk = ParseUnsignedByte(text, byte);
        EXPECT_EQ(byteOk, r.unsignedByte.has_value());
        EXPECT_EQ(byte, r.unsignedByte.value_or(12345));

        EXPECT_EQ(DecimalOr<qint32>(text, kInt32Fallback), r.int32Or);
        EXPECT_EQ(DecimalOr<quint32>(text, kUInt32Fallback), r.uint32Or);
        EXPECT_EQ(DecimalOr<qint64>(text, kInt64Fallback), r.int64Or);
        EXPECT_EQ(DigitsOr(text, kDigitsFallback), r.digitsOr);
    }
}

TEST(DecimalText, ReadsAPartOfALongerTextWithoutCopying)
{
    // The readers take views, so a caller may hand over one piece of a line.
    const QString line = QStringLiteral("A9999999999999999999/255/-3");
    qint64 v = 0;
    EXPECT_FALSE(ParseDecimal(QStringView(line).mid(1, 19), v));
    int b = 0;
    EXPECT_TRUE(ParseUnsignedByte(QStringView(line).mid(21, 3), b));
    EXPECT_EQ(b, 255);
    EXPECT_EQ(DecimalOr<qint32>(QStringView(line).mid(25), 0), -3);
}

TEST(DecimalText, LowByteKeepsTheLowEightBits)
{
    const struct {
        qint64 value;
        quint8 byte;
    } cases[] = {
        {0, 0}, {255, 255}, {256, 0}, {300, 44}, {-1, 255}, {-256, 0}, {-255, 1}, {kMax64, 255}, {kMin64, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LowByte(c.value), c.byte) << c.value;
    // Composed as the lenient byte fields use them: unreadable gives 0.
    EXPECT_EQ(LowByte(DecimalOr<qint32>(u"-1", 0)), 255);
    EXPECT_EQ(LowByte(DecimalOr<qint32>(u"9999999999999999999", 0)), 0);
    EXPECT_EQ(LowByte(DigitsOr(u"300", 0)), 44);
    EXPECT_EQ(LowByte(DigitsOr(u"-1", 0)), 0);
}

TEST(DecimalText, DottedBytesTakeOnlyCleanAddresses)
{
    const struct {
        const char16_t *text;
        std::optional<std::array<quint8, 4>> bytes;
    } cases[] = {
        {u"10.0.0.1", std::array<quint8, 4>{10, 0, 0, 1}},
        {u"0.0.0.0", std::array<quint8, 4>{0, 0, 0, 0}},
        {u"255.255.255.255", std::array<quint8, 4>{255, 255, 255, 255}},
        {u"001.010.100.099", std::array<quint8, 4>{1, 10, 100, 99}},
        {u"256.0.0.1", kNo},
        {u"1.2.3.999", kNo},
        {u"0001.2.3.4", kNo}, // four digits in a part
        {u"1.2.3", kNo},
        {u"1.2.3.4.5", kNo},
        {u"1..3.4", kNo},
        {u"1.2.3.4.", kNo},
        {u".1.2.3", kNo},
        {u"+1.2.3.4", kNo},
        {u"-0.2.3.4", kNo},
        {u" 1.2.3.4", kNo},
        {u"1.2.3.4 ", kNo},
        {u"1.2.3.\uFF14", kNo},
        {u"9999999999999999999.1.1.1", kNo},
        {u"99999999999999999999.1.1.1", kNo},
        {u"", kNo},
        {u"...", kNo},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        std::array<quint8, 4> out{7, 7, 7, 7};
        EXPECT_EQ(ParseDottedBytes(QString::fromUtf16(c.text), out), c.bytes.has_value());
        EXPECT_EQ(out, c.bytes.value_or(std::array<quint8, 4>{7, 7, 7, 7}));
    }

    // The count is the caller's: six parts are a MAC text, not an address.
    std::array<quint8, 6> mac{};
    EXPECT_TRUE(ParseDottedBytes(u"0.26.75.12.200.3", mac));
    EXPECT_EQ(mac, (std::array<quint8, 6>{0, 26, 75, 12, 200, 3}));
    std::array<quint8, 4> ip{};
    EXPECT_FALSE(ParseDottedBytes(u"0.26.75.12.200.3", ip));
    EXPECT_FALSE(ParseDottedBytes(u"10.0.0.1", mac));
}

} // namespace
