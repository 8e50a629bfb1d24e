#include "tavo/TavoCommands.h"

#include <gtest/gtest.h>

using namespace ardel;

TEST(TavoCommands, ReadCommandCarriesStartLowByteFirstAndCount)
{
    EXPECT_EQ(BuildReadCommand(10, 24), QByteArray("CSYRE\x0A\x00\x18", 8));
    EXPECT_EQ(BuildReadCommand(97, 30), QByteArray("CSYRE\x61\x00\x1E", 8));
    EXPECT_EQ(BuildReadCommand(0x1234, 0x1FF), QByteArray("CSYRE\x34\x12\xFF", 8));
}

TEST(TavoCommands, TextEndsAtTheFirstZeroByte)
{
    EXPECT_EQ(TextUntilZero(QByteArray("abc\0def", 7)), QByteArray("abc"));
    EXPECT_EQ(TextUntilZero(QByteArray("\0abc", 4)), QByteArray());
    EXPECT_EQ(TextUntilZero(QByteArray("abc")), QByteArray("abc"));
    EXPECT_EQ(TextUntilZero(QByteArray()), QByteArray());
}

TEST(TavoCommands, ProgramVersionTakesWhatTheAnswerHolds)
{
    QByteArray full = QByteArray("ASYSI") + QByteArray(6, '\x01') + QByteArray("abc12");
    full += QByteArray(61 - full.size(), ' ');
    full += QByteArray("\x2C\x01", 2);
    const struct {
        const char *name;
        QByteArray data;
        QByteArray text;
    } cases[] = {
        {"the worked example", full, "P:abc12 B:300"},
        {"one byte short of the build number", full.left(62), "P:abc12 B:0"},
        {"the version cut short", full.left(13), "P:ab B:0"},
        {"only the word", "ASYSI", "P: B:0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatProgramVersion(c.data), c.text) << c.name;
}

TEST(TavoCommands, TavowAddressNumberFallsBackToOne)
{
    const struct {
        const char *text;
        quint32 number;
    } cases[] = {
        {"74565", 74565}, {"0", 0}, {"4294967295", 0xFFFFFFFFu}, {"4294967296", 1}, {"-5", 1}, {"", 1}, {"12a", 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TavowAddressNumber(QString::fromLatin1(c.text)), c.number) << c.text;
}
