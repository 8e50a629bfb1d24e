#include "log/NaploComponent.h"
#include "log/SqliteTableSink.h"
#include "log_fixture.h"

#include <QDir>
#include <QFile>

using namespace ardel;
using namespace logtest;

namespace {

using ComponentTest = LogDirTest;

TEST_F(ComponentTest, ValuesAfterConstruction)
{
    QObject owner;
    auto *naplo1 = new TNaploComponent(&owner, clock);
    EXPECT_EQ(naplo1->parent(), &owner);
    EXPECT_TRUE(naplo1->ConvertToPrintable());
    EXPECT_FALSE(naplo1->Logging());
    EXPECT_TRUE(naplo1->LogTime());
    EXPECT_FALSE(naplo1->LogEvertythingToDB());
    EXPECT_EQ(naplo1->LogFile(), QStringLiteral(".\\Kelvi.log"));
    EXPECT_EQ(naplo1->LogLimit(), 10000000);
    EXPECT_EQ(naplo1->LogLevel(), TLogLevel::LogEverything);
    EXPECT_EQ(naplo1->Naplo().LevelLimit(), 100);
    EXPECT_EQ(naplo1->LogMemo(), nullptr);
    EXPECT_EQ(naplo1->DataSet(), nullptr);
    EXPECT_FALSE(naplo1->OnWriteLog());
}

// The stored settings replace ".\Kelvi.log" before the first write: only
// Ardel.log appears, in the current directory.
TEST_F(ComponentTest, MainWindowSettingsApplyBeforeAnyWrite)
{
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    {
        TNaploComponent naplo1(nullptr, clock);
        naplo1.ApplySettings(TNaploComponentSettings{});
        EXPECT_EQ(naplo1.LogFile(), QStringLiteral(".\\Ardel.log"));
        EXPECT_TRUE(naplo1.Logging());
        naplo1.WriteLog(QStringLiteral("14:03:07:123 Saját IP címek"));
        EXPECT_TRUE(naplo1.Naplo().IsOpen());
    }
    EXPECT_EQ(ReadAll(PathOf(QStringLiteral("Ardel.log"))),
              QByteArrayLiteral("24.03.05 14:03:07.123  14:03:07:123 Saj\xE1t IP c\xEDmek\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Ardel.log")});
}

TEST(ComponentLevels, WrittenLevelsAreStoredAsLimits)
{
    struct Case {
        TLogLevel level;
        qint32 stored;
    };
    const Case cases[] = {{TLogLevel::LogErrorsOnly, 1},
                          {TLogLevel::LogFromWarningsUp, 4},
                          {TLogLevel::LogFromNotesUp, 8},
                          {TLogLevel::LogEverything, 99}};
    TNaploComponent naplo1;
    for (const Case &c : cases) {
        naplo1.SetLogLevel(c.level);
        EXPECT_EQ(naplo1.Naplo().LevelLimit(), c.stored);
        EXPECT_EQ(naplo1.LogLevel(), c.level);
    }
}

TEST(ComponentLevels, StoredLimitsReadAsLevels)
{
    struct Case {
        qint32 stored;
        TLogLevel level;
    };
    const Case cases[] = {{INT32_MIN, TLogLevel::LogErrorsOnly}, {0, TLogLevel::LogErrorsOnly},
                          {1, TLogLevel::LogErrorsOnly},         {2, TLogLevel::LogFromWarningsUp},
                          {4, TLogLevel::LogFromWarningsUp},     {5, TLogLevel::LogFromNotesUp},
                          {8, TLogLevel::LogFromNotesUp},        {9, TLogLevel::LogEverything},
                          {100, TLogLevel::LogEverything},       {INT32_MAX, TLogLevel::LogEverything}};
    TNaploComponent naplo1;
    for (const Case &c : cases) {
        naplo1.Naplo().SetLevelLimit(c.stored);
        EXPECT_EQ(naplo1.LogLevel(), c.level) << c.stored;
    }
}

TEST_F(ComponentTest, PropertiesReachTheWriter)
{
    TSqliteTableSink sink;
    ASSERT_TRUE(sink.Open(QStringLiteral(":memory:")));
    TNaploComponent naplo1(nullptr, clock);
    naplo1.SetLogFile(PathOf(QStringLiteral("k.log")));
    naplo1.SetLogging(true);
    naplo1.SetLogTime(false);
    naplo1.SetConvertToPrintable(false);
    naplo1.SetLogMemo(&memo);
    naplo1.SetDataSet(&sink);
    naplo1.SetLogLimit(0);
    EXPECT_EQ(naplo1.LogLimit(), 10000000);
    EXPECT_EQ(naplo1.DataSet(), &sink);
    EXPECT_EQ(naplo1.Naplo().DBLog().DataSet(), &sink);
    TNaplo *sender = nullptr;
    naplo1.SetOnWriteLog([&](TNaplo *s, QString &) { sender = s; });

    naplo1.WriteLog(QStringLiteral("a\tb"), true);
    EXPECT_EQ(sender, &naplo1.Naplo()) << "the handler's sender is the writer";
    EXPECT_EQ(ReadAll(PathOf(QStringLiteral("k.log"))), QByteArrayLiteral("a\tb\r\n"));
    EXPECT_EQ(memo.lines, QStringList{QStringLiteral("a\tb")});
    ASSERT_EQ(ReadRows(sink).size(), 1);

    naplo1.WriteLog(QStringLiteral("not to db"));
    EXPECT_EQ(ReadRows(sink).size(), 1);
    naplo1.SetLogEvertythingToDB(true);
    naplo1.WriteLog(QStringLiteral("to db"));
    EXPECT_EQ(ReadRows(sink).size(), 2);

    naplo1.SetLogging(false);
    naplo1.WriteLog(QStringLiteral("off"), true);
    EXPECT_EQ(ReadRows(sink).size(), 2);
    EXPECT_EQ(memo.lines.size(), 3);
}

} // namespace
