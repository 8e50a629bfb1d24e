#include "config/AddressEdit.h"
#include "net/TextUtil.h"

#include <QHostAddress>
#include <QTest>

#include <gtest/gtest.h>

using namespace ardel;

namespace {

struct CheckCase {
    const char16_t *field;
    bool valid;
};

TEST(CheckIP, GroupRules)
{
    const CheckCase cases[] = {
        {u"   .   .   .   ", false},                              // the empty field
        {u"256.1  .1  .1  ", false}, {u"10 .1  .   .3  ", false}, // an empty group counts as 256
        {u"1  .1  .1  .256", false},                              // the last group is checked too
        {u"999.999.999.999", false}, {u"0  .0  .0  .0  ", true},  {u"255.255.255.255", true},
        {u"1 2.0  .0  .0  ", true},                                             // "1 2" reads 12
        {u"001.010.000.099", true},                                             // leading zeros
        {u"  7.  1. 2 .3  ", true},                                             // digits anywhere in the group
        {u"-1 .1  .1  .1  ", false},                                            // a sign is not a digit
        {u"+1 .1  .1  .1  ", false}, {u"1a .1  .1  .1  ", false}, {u"", false}, // shorter than a field: missing groups are empty
        {u"1.2.3.4", false},                                                    // a dotted text is not a field text
        {u"1  .2  .3  ", false},
    };
    for (const CheckCase &c : cases)
        EXPECT_EQ(CheckIP(QString::fromUtf16(c.field)), c.valid) << QString::fromUtf16(c.field).toStdString();
}

TEST(AddressToBytes, OneBytePerPart)
{
    const struct {
        const char16_t *dotted;
        QByteArray bytes;
    } cases[] = {
        {u"192.168.1.50", QByteArrayLiteral("\xC0\xA8\x01\x32")},
        {u"0.0.0.0", QByteArray(4, '\0')},
        {u"255.255.255.255", QByteArrayLiteral("\xFF\xFF\xFF\xFF")},
        {u"001.010.0.9", QByteArrayLiteral("\x01\x0A\x00\x09")},
        {u"256.300.1.1", QByteArrayLiteral("\x00\x2C\x01\x01")}, // low 8 bits
        {u"a.1..2", QByteArrayLiteral("\x00\x01\x00\x02")},      // unreadable parts give 0
        {u"-1.1.1.1", QByteArrayLiteral("\x00\x01\x01\x01")},
        {u"99999999999.1.1.1", QByteArrayLiteral("\x00\x01\x01\x01")}, // too large: unreadable
        {u"2147483647.1.1.1", QByteArrayLiteral("\xFF\x01\x01\x01")},  // the largest int
        {u"2147483648.1.1.1", QByteArrayLiteral("\x00\x01\x01\x01")},
        {u"9999999999999999999.99999999999999999999.1.1", QByteArrayLiteral("\x00\x00\x01\x01")},
        {u"00000000000000000000000300.1.1.1", QByteArrayLiteral("\x2C\x01\x01\x01")}, // zeros at any length
        {u"+1.1 .1.1", QByteArrayLiteral("\x00\x00\x01\x01")},                        // a sign or a space is unreadable
        {u"1.2", QByteArrayLiteral("\x01\x02")},
        {u"", QByteArray(1, '\0')},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AddressToBytes(QString::fromUtf16(c.dotted)), c.bytes) << QString::fromUtf16(c.dotted).toStdString();
}

TEST(Ipv4Text, WrittenAsQtWritesIt)
{
    const quint32 cases[] = {0, 0x0A4D0001u, 0xFFFFFFFFu, 0x01020304u, 0x0A000A64u, 0xC0A80163u, 0x6463090Au};
    for (const quint32 a : cases)
        EXPECT_EQ(Ipv4Text(a), QHostAddress(a).toString()) << a;
}

TEST(AddressToFieldText, LeftAlignedGroups)
{
    const struct {
        const char16_t *dotted;
        const char16_t *field;
    } cases[] = {
        {u"10.1.2.3", u"10 .1  .2  .3  "},
        {u"192.168.100.254", u"192.168.100.254"},
        {u"0.0.0.0", u"0  .0  .0  .0  "},
        {u"", u"   .   .   .   "},
        {u"001.02.3.4", u"001.02 .3  .4  "},
        // Parts that cannot stand in a group leave it empty, so the field is invalid.
        {u"1000.1.1.1", u"   .1  .1  .1  "},
        {u"1.x.1.1", u"1  .   .1  .1  "},
        {u"+1.-0.1.1", u"   .   .1  .1  "},
        {u"1.2.3", u"1  .2  .3  .   "},
    };
    for (const auto &c : cases) {
        const QString field = AddressToFieldText(QString::fromUtf16(c.dotted));
        EXPECT_EQ(field, QString::fromUtf16(c.field)) << QString::fromUtf16(c.dotted).toStdString();
        EXPECT_EQ(field.size(), 15);
    }
}

class AddressEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        edit.show();
        edit.setFocus();
    }
    void Type(const QString &keys)
    {
        edit.setCursorPosition(0);
        QTest::keyClicks(&edit, keys);
    }
    AddressEdit edit;
};

TEST_F(AddressEditTest, EmptyFieldReadsFifteenCharacters)
{
    EXPECT_EQ(edit.FieldText(), QStringLiteral("   .   .   .   "));
    EXPECT_FALSE(CheckIP(edit.FieldText()));
}

TEST_F(AddressEditTest, SetAddressRoundTrips)
{
    for (const char16_t *dotted : {u"10.1.2.3", u"192.168.1.50", u"255.255.255.255", u"0.0.0.0"}) {
        edit.SetAddress(QString::fromUtf16(dotted));
        EXPECT_EQ(edit.FieldText(), AddressToFieldText(QString::fromUtf16(dotted)));
        EXPECT_EQ(RemoveSpaces(edit.FieldText()), QString::fromUtf16(dotted));
        EXPECT_TRUE(CheckIP(edit.FieldText()));
    }
    edit.SetAddress(QString());
    EXPECT_EQ(edit.FieldText(), QStringLiteral("   .   .   .   "));
}

TEST_F(AddressEditTest, TypingFillsGroupsAndSkipsDots)
{
    edit.SetAddress(QString());
    Type(QStringLiteral("192168001050"));
    EXPECT_EQ(edit.FieldText(), QStringLiteral("192.168.001.050"));

    // A typed dot moves on to the next group.
    edit.SetAddress(QString());
    Type(QStringLiteral("10.1.2.3"));
    EXPECT_EQ(edit.FieldText(), QStringLiteral("10 .1  .2  .3  "));
}

TEST_F(AddressEditTest, OnlyDigitsEnterGroups)
{
    edit.SetAddress(QString());
    Type(QStringLiteral("1a-b2"));
    const QString text = edit.FieldText();
    EXPECT_EQ(text.size(), 15);
    for (const QChar c : text)
        EXPECT_TRUE(c.isDigit() || c == u' ' || c == u'.') << text.toStdString();
    EXPECT_EQ(text.at(3), u'.');
    EXPECT_EQ(text.at(7), u'.');
    EXPECT_EQ(text.at(11), u'.');
}

TEST_F(AddressEditTest, DeletedDigitLeavesASpaceThatCheckIPReadsThrough)
{
    edit.SetAddress(QStringLiteral("152.1.1.1"));
    edit.setCursorPosition(1);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.FieldText(), QStringLiteral("1 2.1  .1  .1  "));
    EXPECT_TRUE(CheckIP(edit.FieldText()));
    EXPECT_EQ(RemoveSpaces(edit.FieldText()), QStringLiteral("12.1.1.1"));
}

TEST_F(AddressEditTest, UsesAFixedPitchFont)
{
    EXPECT_EQ(edit.font().family(), QStringLiteral("Courier New"));
    EXPECT_TRUE(edit.font().families().contains(QStringLiteral("Liberation Mono")));
    EXPECT_EQ(edit.font().styleHint(), QFont::Monospace);
}

} // namespace
