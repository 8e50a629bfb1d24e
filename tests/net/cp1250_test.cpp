// The table codec for code page 1250 against ICU's windows-1250 converter,
// which the program used before and which Qt builds without ICU lack: every
// byte value decoded, every code point encoded, and the surrogates.
#include "net/Cp1250.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace ardel;

namespace {

// The reference, one fresh converter per text as the old ToCp1250 had.
QByteArray IcuEncode(const QString &text)
{
    QStringEncoder enc("windows-1250");
    return enc.encode(text);
}

QString IcuDecode(const QByteArray &bytes)
{
    QStringDecoder dec("windows-1250");
    return dec.decode(bytes);
}

bool HaveIcu()
{
    return QStringEncoder("windows-1250").isValid();
}

QString Units(std::initializer_list<char16_t> units)
{
    QString s;
    for (const char16_t u : units)
        s += QChar(u);
    return s;
}

} // namespace

TEST(Cp1250Table, DecodesEveryByteAsIcu)
{
    if (!HaveIcu())
        GTEST_SKIP() << "Qt built without ICU: no reference";
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        const QByteArray one(1, char(b));
        EXPECT_EQ(FromCp1250(one), IcuDecode(one)) << "byte " << b;
        all.append(char(b));
    }
    EXPECT_EQ(FromCp1250(all), IcuDecode(all));
}

TEST(Cp1250Table, EncodesEveryCodePointAsIcu)
{
    if (!HaveIcu())
        GTEST_SKIP() << "Qt built without ICU: no reference";
    int differ = 0;
    QByteArray buffer("left over from the last call");
    for (char32_t c = 0; c <= 0x10FFFF && differ < 20; ++c) {
        const QString cp = QString::fromUcs4(&c, 1); // a surrogate alone stays one unit
        // Between two letters, so that no code point ends the text (see
        // TrailingHighSurrogate).
        const QString framed = QString(QLatin1Char('a')) + cp + QLatin1Char('b');
        const QByteArray icu = IcuEncode(framed);
        ToCp1250(framed, buffer);
        if (ToCp1250(framed) != icu || buffer != icu) {
            ADD_FAILURE() << "U+" << std::hex << unsigned(c) << " framed";
            ++differ;
        }
        // Every BMP code point alone as well.
        if (c < 0x10000 && !QChar::isHighSurrogate(c) && ToCp1250(cp) != IcuEncode(cp)) {
            ADD_FAILURE() << "U+" << std::hex << unsigned(c) << " alone";
            ++differ;
        }
    }
}

TEST(Cp1250Table, SurrogatesAsIcu)
{
    if (!HaveIcu())
        GTEST_SKIP() << "Qt built without ICU: no reference";
    const QString cases[] = {
        QString::fromUtf8("a\xF0\x9F\x98\x80"
                          "b"), // one pair, one character
        QString::fromUtf8("\xF0\x9F\x98\x80\xF0\x9F\x98\x80"),
        Units({0xDC00}),
        Units({0xD800, 'x'}),
        Units({0xD800, 0xD800, 0xDC00}),
        Units({0xDC00, 0xDC00, 'x'}),
        Units({0xDBFF, 0xDFFF}),
    };
    for (const QString &text : cases)
        EXPECT_EQ(ToCp1250(text), IcuEncode(text)) << text.size() << " units, first U+" << std::hex << int(text.at(0).unicode());
}

// ICU holds a high surrogate at the end back for a partner that a later call
// might bring (and a fresh converter then drops it); the table has no state
// across calls and substitutes it like any other lone surrogate.
TEST(Cp1250Table, TrailingHighSurrogate)
{
    EXPECT_EQ(ToCp1250(Units({'a', 0xD83D})), QByteArray("a\x1A"));
    EXPECT_EQ(ToCp1250(Units({0xDC00, 0xD800})), QByteArray("\x1A\x1A"));
}

// Without ICU the table stands alone: the facts the program relies on.
TEST(Cp1250Table, KnownBytes)
{
    const struct {
        const char *utf8;
        QByteArray cp1250;
        bool decodesBack;
    } cases[] = {
        {"Kommunikáció őű ŐŰ",
         QByteArray("Kommunik\xE1"
                    "ci\xF3 \xF5\xFB \xD5\xDB"),
         true},
        {"€ ‚ „ … ™ Š ž", QByteArray("\x80 \x82 \x84 \x85 \x99 \x8A \x9E"), true},
        {"\xC2\x81\xC2\x83\xC2\x88\xC2\x90\xC2\x98", QByteArray("\x81\x83\x88\x90\x98"), true}, // undefined bytes: C1 controls
        {"✓ Ā À 😀", QByteArray("\x1A \x1A \x1A \x1A"), false},
        {"a\xE2\x80\x8B"
         "b\xEF\xBB\xBF",
         QByteArray("ab"), false}, // zero-width space, byte order mark: left out
        {"", QByteArray(), true},
    };
    for (const auto &c : cases) {
        const QString text = QString::fromUtf8(c.utf8);
        EXPECT_EQ(ToCp1250(text), c.cp1250) << c.utf8;
        if (c.decodesBack) {
            EXPECT_EQ(FromCp1250(c.cp1250), text) << c.utf8;
        }
    }
    // Every byte comes back as itself.
    for (int b = 0; b < 256; ++b) {
        const QByteArray one(1, char(b));
        EXPECT_EQ(ToCp1250(FromCp1250(one)), one) << b;
    }
}
