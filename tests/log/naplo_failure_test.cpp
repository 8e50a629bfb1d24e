// The log writer on a read-only and on a full file system: tiny tmpfs mounts in
// a private mount namespace of the test thread.
#include "log/Naplo.h"
#include "log/SqliteTableSink.h"
#include "log_fixture.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ardel;
using namespace logtest;

namespace {

class MountedLogTest : public LogDirTest {
protected:
    void SetUp() override
    {
        LogDirTest::SetUp();
        const QString why = EnterPrivateMountNamespace();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        mnt = PathOf(QStringLiteral("mnt"));
        const QString err = MountTmpfs(mnt, kOptions);
        if (!err.isEmpty())
            GTEST_SKIP() << err.toStdString();
        mounted = true;
        naplo = std::make_unique<TNaplo>(clock);
        naplo->SetLogFile(LogPath());
        naplo->SetLogging(true);
        naplo->SetLogMemo(&memo);
        naplo->SetLogTime(false);
    }
    void TearDown() override
    {
        naplo.reset();
        if (mounted)
            Unmount(mnt);
        LogDirTest::TearDown();
    }
    QString LogPath() const { return mnt + QStringLiteral("/Ardel.log"); }
    QString FillerPath() const { return mnt + QStringLiteral("/filler"); }
    // Takes all the space that is left; returns the bytes taken.
    qint64 FillDisk()
    {
        const int fd = ::open(QFile::encodeName(FillerPath()).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        EXPECT_GE(fd, 0);
        const QByteArray chunk(512, 'F');
        qint64 total = 0;
        for (;;) {
            const ssize_t n = ::write(fd, chunk.constData(), size_t(chunk.size()));
            if (n <= 0)
                break;
            total += n;
        }
        ::close(fd);
        return total;
    }
    // Gives back the last bytes of the filler: room for lines, not for a tail.
    void FreeSome(off_t bytes)
    {
        const QByteArray f = QFile::encodeName(FillerPath());
        struct stat st {};
        ASSERT_EQ(::stat(f.constData(), &st), 0);
        ASSERT_EQ(::truncate(f.constData(), st.st_size - bytes), 0);
    }
    // The file must hold exactly the lines the memo was given, whole.
    QByteArray MemoAsFile() const
    {
        QByteArray all;
        for (const QString &line : memo.lines)
            all += Cp1250(line) + "\r\n";
        return all;
    }

    static inline const QString kOptions = QStringLiteral("size=64k");
    QString mnt;
    bool mounted = false;
    std::unique_ptr<TNaplo> naplo;
};

TEST_F(MountedLogTest, ReadOnlyFileSystem)
{
    TSqliteTableSink sink;
    ASSERT_TRUE(sink.Open(QStringLiteral(":memory:")));
    naplo->DBLog().SetDataSet(&sink);
    ASSERT_EQ(RemountTmpfs(mnt, kOptions, true), QString());

    EXPECT_NO_FATAL_FAILURE(naplo->WriteLog(QStringLiteral("csak olvasható"), true));
    EXPECT_FALSE(naplo->IsOpen());
    EXPECT_TRUE(memo.lines.isEmpty());
    EXPECT_FALSE(QFile::exists(LogPath()));
    ASSERT_EQ(ReadRows(sink).size(), 1) << "the database step still runs";

    ASSERT_EQ(RemountTmpfs(mnt, kOptions, false), QString());
    naplo->WriteLog(QStringLiteral("írható"), false);
    EXPECT_EQ(ReadAll(LogPath()), QByteArrayLiteral("\xEDrhat\xF3\r\n"));
}

TEST_F(MountedLogTest, FullDiskLosesOnlyWhatDidNotFit)
{
    naplo->WriteLog(QStringLiteral("első"), false);
    ASSERT_GT(FillDisk(), 0);

    // The rest of the log's last block takes some lines; then the disk is full.
    const QString line = QString(98, QLatin1Char('x'));
    for (int i = 0; i < 100; ++i)
        naplo->WriteLog(line, false);
    EXPECT_GT(memo.lines.size(), 1);
    EXPECT_LT(memo.lines.size(), 101);
    EXPECT_TRUE(naplo->Logging());
    // No part of a line that did not fit is left behind.
    EXPECT_EQ(ReadAll(LogPath()), MemoAsFile());

    ASSERT_TRUE(QFile::remove(FillerPath()));
    naplo->WriteLog(QStringLiteral("újra van hely"), false);
    EXPECT_EQ(memo.lines.last(), QStringLiteral("újra van hely"));
    EXPECT_EQ(ReadAll(LogPath()), MemoAsFile());
}

// Counts the tries to cut the log: each one creates "<log>.tmp".
class CutTries {
public:
    explicit CutTries(const QString &dir) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(m_fd, 0);
        EXPECT_GE(::inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), IN_CREATE), 0);
    }
    ~CutTries() { ::close(m_fd); }
    int Count()
    {
        alignas(inotify_event) char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                break;
            for (ssize_t at = 0; at < n;) {
                const auto *e = reinterpret_cast<const inotify_event *>(buf + at);
                if (e->len && QByteArray(e->name) == "Ardel.log.tmp")
                    ++m_count;
                at += ssize_t(sizeof(inotify_event) + e->len);
            }
        }
        return m_count;
    }

private:
    int m_fd;
    int m_count = 0;
};

// A cut that fails for lack of room: the log is at its limit of 20000 bytes,
// and the disk has room for lines but not for the 10000-byte tail.
class FailedCutTest : public MountedLogTest {
protected:
    void SetUp() override
    {
        MountedLogTest::SetUp();
        if (IsSkipped())
            return;
        naplo->SetLogLimit(20000);
        for (int i = 0; i < 200; ++i)
            naplo->WriteLog(kLine, false);
        ASSERT_EQ(QFile(LogPath()).size(), 20000);
        ASSERT_GT(FillDisk(), 0);
        FreeSome(8192);
        tries = std::make_unique<CutTries>(mnt);

        naplo->WriteLog(kLine, false);
        ASSERT_EQ(tries->Count(), 1);
        ASSERT_EQ(QFile(LogPath()).size(), 20100) << "not cut";
        ASSERT_FALSE(QFile::exists(LogPath() + QStringLiteral(".tmp")));
    }
    void TearDown() override
    {
        tries.reset();
        MountedLogTest::TearDown();
    }
    void ExpectNothingLost()
    {
        EXPECT_TRUE(naplo->Logging());
        EXPECT_EQ(ReadAll(LogPath()), MemoAsFile());
    }

    static inline const QString kLine = QString(98, QLatin1Char('x')); // 100 bytes a line
    std::unique_ptr<CutTries> tries;
};

// Every try copies the tail anew: on a nearly full disk, trying on every line
// would stall the program. Lines go on being written meanwhile.
TEST_F(FailedCutTest, IsNotTriedAgainOnEveryLineButOnceAMinute)
{
    for (int i = 0; i < 59; ++i) {
        clock->Advance(1000);
        naplo->WriteLog(kLine, false);
    }
    EXPECT_EQ(tries->Count(), 1);
    ExpectNothingLost();

    clock->Advance(1000); // a minute since the failure
    naplo->WriteLog(kLine, false);
    EXPECT_EQ(tries->Count(), 2);
    naplo->WriteLog(kLine, false);
    EXPECT_EQ(tries->Count(), 2) << "the second failure starts another minute";
    ExpectNothingLost();
    EXPECT_FALSE(QFile::exists(LogPath() + QStringLiteral(".tmp")));
}

// Lines are written faster than a minute passes: the next try comes after
// another half of the limit, and with room again it cuts.
TEST_F(FailedCutTest, IsTriedAgainAfterAnotherHalfOfTheLimitIsWritten)
{
    ASSERT_TRUE(QFile::remove(FillerPath()));
    for (int i = 0; i < 99; ++i)
        naplo->WriteLog(kLine, false);
    EXPECT_EQ(tries->Count(), 1);
    ExpectNothingLost();

    naplo->WriteLog(kLine, false); // 10000 bytes since the failure
    EXPECT_EQ(tries->Count(), 2);
    const QByteArray file = ReadAll(LogPath());
    EXPECT_EQ(file.size(), 10000);
    EXPECT_EQ(file, MemoAsFile().right(10000));
    EXPECT_TRUE(naplo->Logging());

    // A successful cut ends the waiting: the next time the limit is passed, it cuts at once.
    for (int i = 0; i < 101; ++i)
        naplo->WriteLog(kLine, false);
    EXPECT_EQ(tries->Count(), 3);
    EXPECT_EQ(QFile(LogPath()).size(), 10000);
}

// The tail cannot be copied for lack of space: the log stays whole, and the cut
// succeeds by itself once there is room again.
TEST_F(MountedLogTest, CutOnAFullDiskKeepsTheLog)
{
    naplo->SetLogLimit(20000);
    const QString line = QString(98, QLatin1Char('x'));
    for (int i = 0; i < 200; ++i)
        naplo->WriteLog(line, false);
    ASSERT_EQ(QFile(LogPath()).size(), 20000);
    ASSERT_GT(FillDisk(), 0);

    naplo->WriteLog(QString(98, QLatin1Char('y')), false);
    ASSERT_EQ(memo.lines.size(), 201) << "the line fitted in the last block";
    EXPECT_EQ(ReadAll(LogPath()), MemoAsFile());
    EXPECT_FALSE(QFile::exists(LogPath() + QStringLiteral(".tmp")));
    EXPECT_TRUE(naplo->Logging());

    // With room again the cut waits for its next try (a minute, or another
    // half of the limit written); nothing is lost meanwhile.
    ASSERT_TRUE(QFile::remove(FillerPath()));
    naplo->WriteLog(QString(98, QLatin1Char('z')), false);
    EXPECT_EQ(ReadAll(LogPath()), MemoAsFile());
    clock->Advance(60000);
    naplo->WriteLog(QString(98, QLatin1Char('z')), false);
    const QByteArray file = ReadAll(LogPath());
    EXPECT_EQ(file.size(), 10000);
    EXPECT_EQ(file, MemoAsFile().right(10000));
    EXPECT_FALSE(QFile::exists(LogPath() + QStringLiteral(".tmp")));
}

} // namespace
