#include "log/Naplo.h"
#include "log/SqliteTableSink.h"
#include "log_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <climits>
#include <stdexcept>
#include <string_view>
#include <vector>
#include <sys/stat.h>

using namespace ardel;
using namespace logtest;
using namespace std::literals;

namespace {

const QByteArray kStamp = QByteArrayLiteral("24.03.05 14:03:07.123  ");

// What a cut keeps of all: at most its last keep bytes, from the first line
// start among them; a tail that is one line only is kept from the byte.
QByteArray CutTail(const QByteArray &all, qsizetype keep)
{
    const qsizetype from = all.size() - keep;
    if (from <= 0 || all.at(from - 1) == '\n')
        return all.mid(qMax<qsizetype>(from, 0));
    const qsizetype lf = all.indexOf('\n', from);
    return lf < 0 || lf + 1 >= all.size() ? all.mid(from) : all.mid(lf + 1);
}

class NaploTest : public LogDirTest {
protected:
    void SetUp() override
    {
        LogDirTest::SetUp();
        naplo = std::make_unique<TNaplo>(clock);
        naplo->SetLogFile(LogPath());
        naplo->SetLogging(true);
        naplo->SetLogMemo(&memo);
    }
    QString LogPath() const { return PathOf(QStringLiteral("Ardel.log")); }
    QByteArray File() const { return ReadAll(LogPath()); }
    // Lines of exactly n bytes with their CR LF (no stamp).
    static QString Text(int n, char c = 'x') { return QString(n - 2, QLatin1Char(c)); }
    void AttachSink()
    {
        ASSERT_TRUE(sink.Open(QStringLiteral(":memory:")));
        naplo->DBLog().SetDataSet(&sink);
    }

    std::unique_ptr<TNaplo> naplo;
    TSqliteTableSink sink;
};

TEST_F(NaploTest, OneWriteIsOneStampedCp1250Line)
{
    QFile reader(LogPath());
    naplo->WriteLog(QStringLiteral("14:03:07: Saját IP címek"), false);

    const QByteArray expected = kStamp + QByteArrayLiteral("14:03:07: Saj\xE1t IP c\xEDmek\r\n");
    EXPECT_EQ(File(), expected);
    EXPECT_EQ(File().at(kStamp.size() + 13), '\xE1');
    ASSERT_EQ(memo.lines.size(), 1);
    EXPECT_EQ(memo.lines[0], QStringLiteral("24.03.05 14:03:07.123  14:03:07: Saját IP címek"));
    EXPECT_EQ(memo.scrolls, 0);

    // Each entry is in the file as soon as WriteLog returns: a reader that
    // keeps the file open sees every line at once.
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(reader.readAll(), expected);
    for (int i = 0; i < 3; ++i) {
        naplo->WriteLog(QStringLiteral("sor %1").arg(i), false);
        EXPECT_EQ(reader.readAll(), kStamp + QByteArrayLiteral("sor ") + QByteArray::number(i) + QByteArrayLiteral("\r\n"));
    }
}

TEST_F(NaploTest, LineFormats)
{
    struct Case {
        const char *name;
        bool logTime;
        bool convert;
        std::string_view text; // UTF-8
        std::string_view file; // bytes after the stamp
        std::string_view memo; // UTF-8, after the stamp
    };
    const Case cases[] = {
        {"CR LF converted", true, true, "a\r\nb"sv, "a#13#10b\r\n"sv, "a#13#10b"sv},
        {"CR LF raw", true, false, "a\r\nb"sv, "a\r\nb\r\n"sv, "a\r\nb"sv},
        {"TAB and NUL", true, true, "x\ty\0z"sv, "x#9y#0z\r\n"sv, "x#9y#0z"sv},
        {"e acute unchanged", true, true, "é"sv, "\xE9\r\n"sv, "é"sv},
        {"DEL and o double acute unchanged", true, true, "\x7F ő"sv, "\x7F \xF5\r\n"sv, "\x7F ő"sv},
        {"empty with stamp", true, true, ""sv, "\r\n"sv, ""sv},
        {"empty without stamp", false, true, ""sv, "\r\n"sv, ""sv},
        {"text without stamp", false, true, "abc"sv, "abc\r\n"sv, "abc"sv},
        {"outside code page 1250", false, true, "€ ✓ 😀"sv, "\x80 ? ?\r\n"sv, "€ ✓ 😀"sv},
        // Longer texts, with the odd character inside a run of plain ones.
        {"long, TAB and DEL inside", false, true, "abcdefghijklm\tnopqrs\x7Ftuvwxyz0123"sv,
         "abcdefghijklm#9nopqrs\x7Ftuvwxyz0123\r\n"sv, "abcdefghijklm#9nopqrs\x7Ftuvwxyz0123"sv},
        {"long raw, ESC kept, o double acute late", false, false,
         "abcdefghijklmnop\x1B"
         "qrstuvwxyz0123ő!"sv,
         "abcdefghijklmnop\x1B"
         "qrstuvwxyz0123\xF5!\r\n"sv,
         "abcdefghijklmnop\x1B"
         "qrstuvwxyz0123ő!"sv},
        {"long, US at the end", true, true, "abcdefghijklmnopqrstuvwxyz012345\x1F"sv, "abcdefghijklmnopqrstuvwxyz012345#31\r\n"sv,
         "abcdefghijklmnopqrstuvwxyz012345#31"sv},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(LogPath());
        memo.lines.clear();
        TNaplo writer(clock);
        writer.SetLogFile(LogPath());
        writer.SetLogging(true);
        writer.SetLogMemo(&memo);
        writer.SetLogTime(c.logTime);
        writer.SetConvertToPrintable(c.convert);
        writer.WriteLog(QString::fromUtf8(c.text.data(), qsizetype(c.text.size())), false);

        const QByteArray stamp = c.logTime ? kStamp : QByteArray();
        EXPECT_EQ(File(), stamp + QByteArray(c.file.data(), qsizetype(c.file.size())));
        ASSERT_EQ(memo.lines.size(), 1);
        EXPECT_EQ(memo.lines[0], QString::fromLatin1(stamp) + QString::fromUtf8(c.memo.data(), qsizetype(c.memo.size())));
    }
}

TEST_F(NaploTest, LoggingOffDoesNothingAtAll)
{
    AttachSink();
    int handlerCalls = 0;
    naplo->SetOnWriteLog([&](TNaplo *, QString &) { ++handlerCalls; });
    naplo->SetLogEvertythingToDB(true);
    naplo->SetLogging(false);
    naplo->WriteLog(QStringLiteral("semmi"), true);

    EXPECT_FALSE(QFile::exists(LogPath()));
    EXPECT_FALSE(naplo->IsOpen());
    EXPECT_TRUE(memo.lines.isEmpty());
    EXPECT_EQ(handlerCalls, 0);
    EXPECT_TRUE(ReadRows(sink).isEmpty());
}

TEST_F(NaploTest, DatabaseStepGetsTheLineOrTheRawText)
{
    AttachSink();
    struct Case {
        const char *name;
        bool withFile;
        bool toDB;
        bool everything;
        const char *stored; // nullptr: no row
    };
    const Case cases[] = {
        {"file line, asked for", true, true, false, "24.03.05 14:03:07.123  a#13#10b  "},
        {"file line, everything", true, false, true, "24.03.05 14:03:07.123  a#13#10b  "},
        {"not asked", true, false, false, nullptr},
        {"no file name: raw text", false, true, false, "a  b"},
        {"no file name, everything: raw text", false, false, true, "a  b"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(LogPath());
        memo.lines.clear();
        int handlerCalls = 0;
        TNaplo writer(clock);
        writer.DBLog().SetDataSet(&sink);
        writer.SetLogging(true);
        writer.SetLogMemo(&memo);
        writer.SetOnWriteLog([&](TNaplo *, QString &) { ++handlerCalls; });
        if (c.withFile)
            writer.SetLogFile(LogPath());
        writer.SetLogEvertythingToDB(c.everything);
        const qsizetype before = ReadRows(sink).size();
        writer.WriteLog(QStringLiteral("a\r\nb"), c.toDB);

        const QList<DbRow> rows = ReadRows(sink);
        if (c.stored) {
            ASSERT_EQ(rows.size(), before + 1);
            EXPECT_EQ(rows.last().szoveg, QString::fromLatin1(c.stored));
            EXPECT_EQ(rows.last().tul, QStringLiteral("Default"));
            EXPECT_EQ(rows.last().szint, 1);
        } else {
            EXPECT_EQ(rows.size(), before);
        }
        EXPECT_EQ(QFile::exists(LogPath()), c.withFile);
        EXPECT_EQ(memo.lines.size(), c.withFile ? 1 : 0);
        EXPECT_EQ(handlerCalls, c.withFile ? 1 : 0);
    }
}

TEST_F(NaploTest, HandlerChangesTheEntryButNotTheStamp)
{
    AttachSink();
    TNaplo *seen = nullptr;
    naplo->SetOnWriteLog([&](TNaplo *sender, QString &msg) {
        seen = sender;
        EXPECT_EQ(msg, QStringLiteral("eredeti"));
        msg = QStringLiteral("módosított\n");
    });
    naplo->WriteLog(QStringLiteral("eredeti"), true);

    EXPECT_EQ(seen, naplo.get());
    EXPECT_EQ(File(), kStamp + QByteArrayLiteral("m\xF3\x64os\xEDtott#10\r\n"));
    EXPECT_EQ(memo.lines, QStringList{QStringLiteral("24.03.05 14:03:07.123  módosított#10")});
    const QList<DbRow> rows = ReadRows(sink);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].szoveg, QStringLiteral("24.03.05 14:03:07.123  módosított#10  "));
}

TEST_F(NaploTest, AThrowingHandlerSkipsOnlyThatEntrysFileStep)
{
    AttachSink();
    bool fail = true;
    naplo->SetOnWriteLog([&](TNaplo *, QString &msg) {
        msg += QStringLiteral("!");
        if (fail)
            throw std::runtime_error("handler");
    });
    naplo->WriteLog(QStringLiteral("első"), true);
    EXPECT_EQ(File(), QByteArray());
    EXPECT_TRUE(memo.lines.isEmpty());
    ASSERT_EQ(ReadRows(sink).size(), 1);
    EXPECT_EQ(ReadRows(sink)[0].szoveg, QStringLiteral("első!"));

    fail = false;
    naplo->WriteLog(QStringLiteral("második"), false);
    EXPECT_EQ(File(), kStamp + QByteArrayLiteral("m\xE1sodik!\r\n"));
}

TEST_F(NaploTest, MemoScrollsOnlyWhenAsked)
{
    naplo->WriteLog(QStringLiteral("a"), false);
    EXPECT_EQ(memo.scrolls, 0);
    naplo->SetAutoScrollMemo(true);
    naplo->WriteLog(QStringLiteral("b"), false);
    naplo->WriteLog(QStringLiteral("c"), false);
    EXPECT_EQ(memo.scrolls, 2);
    EXPECT_EQ(memo.lines.size(), 3);
}

TEST_F(NaploTest, LimitSetterIgnoresZeroAndNegative)
{
    for (const qint32 bad : {0, -1, INT_MIN}) {
        naplo->SetLogLimit(bad);
        EXPECT_EQ(naplo->LogLimit(), 10000000) << bad;
    }
    naplo->SetLogLimit(1);
    EXPECT_EQ(naplo->LogLimit(), 1);
}

TEST_F(NaploTest, NewFileNameDoesNotReopen)
{
    naplo->WriteLog(QStringLiteral("egy"), false);
    const QString other = PathOf(QStringLiteral("Masik.log"));
    naplo->SetLogFile(other);
    EXPECT_EQ(naplo->LogFile(), other);
    naplo->WriteLog(QStringLiteral("kettő"), false);

    EXPECT_EQ(File(), kStamp + QByteArrayLiteral("egy\r\n") + kStamp + QByteArrayLiteral("kett\xF5\r\n"));
    EXPECT_FALSE(QFile::exists(other));
}

TEST_F(NaploTest, CutKeepsTheLastHalfOfTheLimit)
{
    naplo->SetLogTime(false);
    naplo->SetLogLimit(100);
    naplo->WriteLog(Text(60, 'a'), false);
    naplo->WriteLog(Text(40, 'b'), false);
    EXPECT_EQ(File().size(), 100) << "a file of exactly the limit is not cut";

    naplo->WriteLog(Text(3, 'c'), false);
    const QByteArray all = QByteArray(58, 'a') + "\r\n" + QByteArray(38, 'b') + "\r\n" + "c\r\n";
    // The last 50 bytes begin inside the "a" line: the file starts with the next whole line.
    EXPECT_EQ(File(), QByteArray(38, 'b') + "\r\nc\r\n");
    EXPECT_EQ(File(), CutTail(all, 50));
    EXPECT_FALSE(QFile::exists(LogPath() + QStringLiteral(".tmp")));
    EXPECT_TRUE(naplo->Logging());
    EXPECT_EQ(memo.lines.size(), 3);

    naplo->WriteLog(Text(5, 'd'), false);
    EXPECT_EQ(File(), CutTail(all, 50) + "ddd\r\n");
}

TEST_F(NaploTest, CutOfAnOddLimitAndOfAnOldBigFile)
{
    ASSERT_TRUE(WriteAll(LogPath(), QByteArray(1000, 'o')));
    naplo->SetLogTime(false);
    naplo->SetLogLimit(101);
    naplo->WriteLog(QStringLiteral("z"), false);
    // 101 div 2 = 50 bytes; the old file has no line end, so the tail is one
    // line and is kept from the byte.
    EXPECT_EQ(File(), QByteArray(47, 'o') + "z\r\n");
}

TEST_F(NaploTest, CutWorksOnTheOpenFileAfterARename)
{
    naplo->SetLogTime(false);
    naplo->SetLogLimit(100);
    naplo->WriteLog(Text(90, 'a'), false);
    const QString other = PathOf(QStringLiteral("Masik.log"));
    ASSERT_TRUE(WriteAll(other, QByteArrayLiteral("keep me\r\n")));
    naplo->SetLogFile(other);
    naplo->WriteLog(Text(20, 'b'), false);

    EXPECT_EQ(File(), CutTail(QByteArray(88, 'a') + "\r\n" + QByteArray(18, 'b') + "\r\n", 50));
    EXPECT_EQ(ReadAll(other), QByteArrayLiteral("keep me\r\n"));
}

TEST_F(NaploTest, FailedCutKeepsTheLogAndLoggingOn)
{
    naplo->SetLogTime(false);
    naplo->SetLogLimit(100);
    // A directory with content where the ".tmp" file must go: it can be
    // neither deleted nor created.
    const QString tmp = LogPath() + QStringLiteral(".tmp");
    ASSERT_TRUE(QDir().mkpath(tmp + QStringLiteral("/x")));

    naplo->WriteLog(Text(90, 'a'), false);
    naplo->WriteLog(Text(20, 'b'), false);
    EXPECT_TRUE(naplo->Logging());
    const QByteArray kept = QByteArray(88, 'a') + "\r\n" + QByteArray(18, 'b') + "\r\n";
    EXPECT_EQ(File(), kept);

    naplo->WriteLog(Text(10, 'c'), false); // not tried on every line; nothing lost
    EXPECT_EQ(File(), kept + QByteArray(8, 'c') + "\r\n");
    EXPECT_EQ(memo.lines.size(), 3);

    // With the way clear, the cut waits until another half of the limit (50
    // bytes) has been written since the failure.
    ASSERT_TRUE(QDir(tmp).removeRecursively());
    naplo->WriteLog(Text(10, 'd'), false);
    const QByteArray all = kept + QByteArray(8, 'c') + "\r\n" + QByteArray(8, 'd') + "\r\n";
    EXPECT_EQ(File(), all);
    naplo->WriteLog(Text(30, 'e'), false);
    EXPECT_EQ(File(), CutTail(all + QByteArray(28, 'e') + "\r\n", 50));
    EXPECT_FALSE(QFile::exists(tmp));
}

// file holds lines[k..] with CR LF, whole, once each and in order, for some
// k <= first: the lines from first on are all there, and no line twice.
::testing::AssertionResult HoldsTailFrom(const QByteArray &file, const QStringList &lines, qsizetype first)
{
    QByteArray tail;
    for (qsizetype k = lines.size(); k-- > 0;) {
        tail.prepend(Cp1250(lines[k]) + "\r\n");
        if (k <= first && file == tail)
            return ::testing::AssertionSuccess() << "from line " << k;
    }
    return ::testing::AssertionFailure() << "the file (" << file.size() << " bytes, starting \"" << file.left(40).toStdString()
                                         << "\") is no tail of the " << lines.size() << " lines that takes in line " << first;
}

TEST_F(NaploTest, ReplacedFileIsOpenedAgain)
{
    struct Case {
        const char *name;
        bool rename; // else delete
    };
    for (const Case c : {Case{"deleted", false}, Case{"renamed", true}}) {
        SCOPED_TRACE(c.name);
        const QString old = PathOf(QStringLiteral("Ardel.old"));
        QFile::remove(LogPath());
        QFile::remove(old);
        memo.lines.clear();
        TNaplo writer(clock);
        writer.SetLogFile(LogPath());
        writer.SetLogging(true);
        writer.SetLogTime(false);
        writer.SetLogMemo(&memo);
        writer.WriteLog(QStringLiteral("egy"), false);
        if (c.rename)
            ASSERT_TRUE(QFile::rename(LogPath(), old));
        else
            ASSERT_TRUE(QFile::remove(LogPath()));
        // The file is looked at once a second: until then lines go to the
        // file that was opened.
        writer.WriteLog(QStringLiteral("még a régiben"), false);
        clock->Advance(1000);
        writer.WriteLog(QStringLiteral("kettő"), false);
        if (c.rename) {
            EXPECT_EQ(File(), QByteArrayLiteral("kett\xF5\r\n"));
            EXPECT_EQ(ReadAll(old), QByteArrayLiteral("egy\r\nm\xE9g a r\xE9giben\r\n"));
        } else {
            // What went into the deleted file since the last look is written again.
            EXPECT_TRUE(HoldsTailFrom(File(), memo.lines, 1));
        }
    }
}

// A deleted log is noticed a second later, or sooner once enough was written;
// the lines written since the last look are in the fresh file, each once.
TEST_F(NaploTest, DeletedFileGetsTheLinesSinceTheLastLook)
{
    struct Case {
        const char *name;
        int linesAfter; // written after the deletion, before the clock moves
        int advanceMs;
        bool directoryGone; // the name cannot be opened again at first
    };
    const Case cases[] = {
        {"noticed a second later", 3, 1000, false},
        {"noticed by the amount written, clock standing", 1500, 0, false},
        {"name openable only later", 3, 1000, true},
    };
    const QString sub = PathOf(QStringLiteral("sub"));
    const QString path = sub + QStringLiteral("/Ardel.log");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QDir().mkpath(sub));
        QFile::remove(path);
        memo.lines.clear();
        TNaplo writer(clock);
        writer.SetLogFile(path);
        writer.SetLogging(true);
        writer.SetLogTime(false);
        writer.SetLogMemo(&memo);
        const auto line = [](const char *what, int i) {
            return QStringLiteral("%1 %2 ").arg(QLatin1String(what)).arg(i).leftJustified(98, QLatin1Char('.'));
        };
        for (int i = 0; i < 5; ++i)
            writer.WriteLog(line("before", i), false);
        ASSERT_TRUE(QFile::remove(path));
        if (c.directoryGone) {
            ASSERT_TRUE(QDir(sub).removeRecursively());
        }
        const qsizetype firstAfter = memo.lines.size();
        for (int i = 0; i < c.linesAfter; ++i)
            writer.WriteLog(line("after", i), false);
        clock->Advance(c.advanceMs);
        writer.WriteLog(line("checked", 0), false);
        if (c.directoryGone) {
            EXPECT_FALSE(writer.IsOpen());
            EXPECT_EQ(memo.lines.size(), firstAfter + c.linesAfter) << "a line with nowhere to go is not shown";
            ASSERT_TRUE(QDir().mkpath(sub));
            writer.WriteLog(line("back", 0), false);
        }
        ASSERT_EQ(memo.lines.size(), firstAfter + c.linesAfter + 1);
        EXPECT_TRUE(HoldsTailFrom(ReadAll(path), memo.lines, firstAfter));
    }
}

// The size is counted here after each write; another process's changes to the
// file are taken in when the file is looked at, and before any cut.
TEST_F(NaploTest, SizeChangedByAnotherProcess)
{
    struct Case {
        const char *name;
        int ours;      // bytes written first
        bool truncate; // the other process empties the file before writing
        int others;    // bytes the other process then writes
        int second;    // written next, still counted from the old size
        bool cut;      // after a second, 10 bytes more
    };
    const Case cases[] = {
        {"emptied and refilled to exactly the limit: no cut", 90, true, 70, 20, false},
        {"appended to beyond the limit: cut once noticed", 40, false, 70, 10, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(LogPath());
        TNaplo writer(clock);
        writer.SetLogFile(LogPath());
        writer.SetLogging(true);
        writer.SetLogTime(false);
        writer.SetLogLimit(100);
        writer.WriteLog(Text(c.ours, 'a'), false);
        QFile other(LogPath());
        ASSERT_TRUE(other.open(c.truncate ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::Append));
        const QByteArray theirs = QByteArray(c.others - 2, 'o') + "\r\n";
        ASSERT_EQ(other.write(theirs), theirs.size());
        other.close();
        writer.WriteLog(Text(c.second, 'b'), false);
        clock->Advance(1000);
        writer.WriteLog(Text(10, 'c'), false);

        const QByteArray ours = QByteArray(c.ours - 2, 'a') + "\r\n";
        const QByteArray all =
            (c.truncate ? QByteArray() : ours) + theirs + QByteArray(c.second - 2, 'b') + "\r\n" + QByteArray(8, 'c') + "\r\n";
        EXPECT_EQ(File(), c.cut ? CutTail(all, 50) : all);
    }
}

TEST_F(NaploTest, MissingDirectoryIsRetriedByEveryWrite)
{
    AttachSink();
    int handlerCalls = 0;
    naplo->SetOnWriteLog([&](TNaplo *, QString &) { ++handlerCalls; });
    const QString sub = PathOf(QStringLiteral("nincs"));
    naplo->SetLogFile(sub + QStringLiteral("/Ardel.log"));
    naplo->WriteLog(QStringLiteral("elveszett\r\n"), true);

    EXPECT_FALSE(naplo->IsOpen());
    EXPECT_TRUE(memo.lines.isEmpty());
    EXPECT_EQ(handlerCalls, 0);
    ASSERT_EQ(ReadRows(sink).size(), 1);
    EXPECT_EQ(ReadRows(sink)[0].szoveg, QStringLiteral("elveszett  "));

    ASSERT_TRUE(QDir().mkpath(sub));
    naplo->WriteLog(QStringLiteral("megvan"), false);
    EXPECT_EQ(ReadAll(sub + QStringLiteral("/Ardel.log")), kStamp + QByteArrayLiteral("megvan\r\n"));
    EXPECT_EQ(handlerCalls, 1);
}

TEST_F(NaploTest, APipeUnderTheLogNameDoesNotHang)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(LogPath()).constData(), 0600), 0);
    naplo->WriteLog(QStringLiteral("cső"), false);
    EXPECT_FALSE(naplo->IsOpen());
    EXPECT_TRUE(memo.lines.isEmpty());

    ASSERT_TRUE(QFile::remove(LogPath()));
    naplo->WriteLog(QStringLiteral("fájl"), false);
    EXPECT_EQ(File(), kStamp + QByteArrayLiteral("f\xE1jl\r\n"));
}

TEST_F(NaploTest, WindowsStyleNamesStartAtTheCurrentDirectory)
{
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(QDir().mkpath(PathOf(QStringLiteral("sub"))));
    struct Case {
        const char *name;
        const char *file;
    };
    const Case cases[] = {
        {".\\Ardel.log", "Ardel.log"}, {".\\sub\\Ardel.log", "sub/Ardel.log"}, {"sub\\Kelvi.log", "sub/Kelvi.log"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TNaplo writer(clock);
        writer.SetLogFile(QString::fromLatin1(c.name));
        writer.SetLogging(true);
        writer.WriteLog(QStringLiteral("x"), false);
        EXPECT_EQ(writer.OpenFileName(), PathOf(QString::fromLatin1(c.file)));
        EXPECT_EQ(ReadAll(PathOf(QString::fromLatin1(c.file))), kStamp + "x\r\n");
    }
    for (const QString &entry : QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        EXPECT_FALSE(entry.contains(QLatin1Char('\\'))) << entry.toStdString();
}

// The stamp follows the millisecond counter for up to 2000 ms after a
// resynchronisation, while it agrees with the wall clock within 120 ms.
TEST_F(NaploTest, TimeStampResynchronisation)
{
    struct Step {
        const char *name;
        int nowMs;   // wall clock: 14:03:07.000 + nowMs
        int tickMs;  // counter: start + tickMs
        int stampMs; // expected stamp: 14:03:07.000 + stampMs
        bool resync;
    };
    const Step steps[] = {
        {"first stamp always resynchronises", 123, 0, 123, true},
        {"counter and clock agree", 133, 10, 133, false},
        {"counter behind by 50: counter", 233, 60, 183, false},
        {"behind by exactly 120: counter", 303, 60, 183, false},
        {"behind by 121: clock", 304, 60, 304, true},
        {"ahead by 124: clock", 304, 184, 304, true},
        {"exactly 2000 ms later: counter", 2304, 2184, 2304, false},
        {"2001 ms later: clock even though they agree", 2305, 2185, 2305, true},
        {"100 ms later: counter", 2405, 2285, 2405, false},
        {"counter 100 ahead of clock: counter", 2405, 2385, 2505, false},
    };
    // The counter wraps around during the steps.
    const quint32 start = 0xFFFFF800u;
    const QDateTime base(QDate(2024, 3, 5), QTime(14, 3, 7));
    naplo->SetLogTime(true);
    quint32 syncTick = 0;
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        clock->now = base.addMSecs(s.nowMs);
        clock->tick = start + quint32(s.tickMs);
        naplo->WriteLog(QStringLiteral("t"), false);
        ASSERT_FALSE(memo.lines.isEmpty());
        EXPECT_EQ(memo.lines.last().left(21),
                  QStringLiteral("24.03.05 ") + QTime(14, 3, 7).addMSecs(s.stampMs).toString(QStringLiteral("HH:mm:ss.zzz")));
        if (s.resync)
            syncTick = clock->tick;
        EXPECT_EQ(naplo->SyncTick(), syncTick);
    }
}

class ThrowingDBNaplo : public TDBNaplo {
public:
    using TDBNaplo::TDBNaplo;
    int calls = 0;
    void WriteRecord(const QString &, const QString &, qint32) override
    {
        ++calls;
        throw std::runtime_error("boom");
    }
};

TEST_F(NaploTest, DatabaseErrorIsReportedOnceInTheLog)
{
    for (const bool everything : {false, true}) {
        SCOPED_TRACE(everything ? "everything to DB" : "asked for");
        QFile::remove(LogPath());
        TNaplo writer(clock);
        auto db = std::make_unique<ThrowingDBNaplo>(clock);
        ThrowingDBNaplo *seen = db.get();
        writer.SetDBLog(std::move(db));
        writer.SetLogFile(LogPath());
        writer.SetLogging(true);
        writer.SetLogTime(false);
        writer.SetLogEvertythingToDB(everything);
        writer.WriteLog(QStringLiteral("adat"), !everything);
        EXPECT_EQ(File(), QByteArrayLiteral("adat\r\nDBLog Hiba:boom\r\n"));
        // The report goes to the database too when everything does, but a
        // second failure is not reported again.
        EXPECT_EQ(seen->calls, everything ? 2 : 1);
    }
}

} // namespace

// Lines held for the turn of the event loop: the file ends up exactly as if
// every line had been appended on its own (cuts, deletion by another
// process, the writer's end included), and a held line reaches the file at
// the next turn at the latest.
TEST_F(NaploTest, HeldLinesEndAsLinesWrittenOneByOne)
{
    struct Step {
        enum Kind { Lines, Turn, Delete, Advance, End } kind;
        int count = 0; // Lines: how many; Advance: ms
        int length = 40;
    };
    struct Case {
        const char *name;
        qint32 limit;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"lines over three turns",
         10000000,
         {{Step::Lines, 3}, {Step::Turn}, {Step::Lines, 1}, {Step::Turn}, {Step::Lines, 5}, {Step::Turn}}},
        {"cuts inside a turn",
         700,
         {{Step::Lines, 7, 33}, {Step::Turn}, {Step::Lines, 40, 51}, {Step::Turn}, {Step::Lines, 3, 90}, {Step::Turn}}},
        {"more than 64 KB in one turn", 10000000, {{Step::Lines, 800, 100}, {Step::Turn}}},
        {"deleted while lines are held",
         10000000,
         {{Step::Lines, 4},
          {Step::Turn},
          {Step::Lines, 2},
          {Step::Delete},
          {Step::Lines, 2},
          {Step::Advance, 1000},
          {Step::Lines, 1},
          {Step::Turn}}},
        {"the writer ends with lines held", 10000000, {{Step::Lines, 2}, {Step::Turn}, {Step::Lines, 3}, {Step::End}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray result[2];
        for (const bool hold : {false, true}) {
            const QString path = PathOf(QStringLiteral("held-%1.log").arg(hold));
            QFile::remove(path);
            auto clk = std::make_shared<FakeClock>();
            auto writer = std::make_unique<TNaplo>(clk);
            writer->SetLogFile(path);
            writer->SetLogging(true);
            writer->SetLogLimit(c.limit);
            writer->SetHoldLinesForTurn(hold);
            int n = 0;
            QString lastLine;
            bool deleted = false;
            for (const Step &s : c.steps) {
                switch (s.kind) {
                case Step::Lines:
                    for (int i = 0; i < s.count; ++i, ++n) {
                        const QByteArray before = ReadAll(path);
                        lastLine = QStringLiteral("line %1 ").arg(n).leftJustified(s.length, QLatin1Char('-'));
                        writer->WriteLog(lastLine, false);
                        // (after the deletion has been noticed the lines owed to the log are written at once)
                        if (hold && s.count * s.length < 60000 && c.limit == 10000000 && !deleted) {
                            EXPECT_EQ(ReadAll(path), before) << "line " << n << " was held";
                        }
                    }
                    break;
                case Step::Turn:
                    QCoreApplication::processEvents();
                    if (hold) {
                        EXPECT_TRUE(ReadAll(path).endsWith(lastLine.toLatin1() + "\r\n"))
                            << "the held lines are in the file after the turn";
                    }
                    break;
                case Step::Delete:
                    ASSERT_TRUE(QFile::remove(path));
                    break;
                case Step::Advance:
                    clk->Advance(s.count);
                    deleted = !QFile::exists(path);
                    break;
                case Step::End:
                    writer.reset();
                    break;
                }
            }
            writer.reset();
            result[hold] = ReadAll(path);
            EXPECT_LE(result[hold].size(), c.limit);
        }
        EXPECT_FALSE(result[0].isEmpty());
        EXPECT_EQ(result[1], result[0]);
    }
}
