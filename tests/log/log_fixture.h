// Helpers shared by the logging tests: a clock the test drives, a memo that
// records its lines, a temporary directory, and SQLite row access.
#pragma once

#include "log/LogMemo.h"
#include "log/NaploClock.h"
#include "log/SqliteTableSink.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace logtest {

// Time stands still unless the test moves it; Now() and Tick() can be moved
// apart to drive the resynchronisation rule.
class FakeClock : public ardel::TNaploClock {
public:
    QDateTime now = QDateTime(QDate(2024, 3, 5), QTime(14, 3, 7, 123));
    quint32 tick = 100000;
    int nowCalls = 0;

    qint64 NowMSecs() override
    {
        ++nowCalls;
        return now.toMSecsSinceEpoch();
    }
    quint32 Tick() override { return tick; }
    void Advance(qint64 ms)
    {
        now = now.addMSecs(ms);
        tick += quint32(ms);
    }
};

class RecordingMemo : public ardel::LogMemo {
public:
    QStringList lines;
    int scrolls = 0;
    void AppendLine(const QString &line) override { lines.append(line); }
    void ScrollCaretIntoView() override { ++scrolls; }
};

struct DbRow {
    QString datum;
    QString ido;
    QString tul;
    int szint = 0;
    QString szoveg;
    qint64 rowid = 0;
};

QList<DbRow> ReadRows(ardel::TSqliteTableSink &sink);
// Adds n rows with Szoveg "fill <i>" in one transaction.
void FillRows(ardel::TSqliteTableSink &sink, int n);

QByteArray ReadAll(const QString &path);
bool WriteAll(const QString &path, const QByteArray &bytes);
// The bytes of text in code page 1250, built independently of the code under test.
QByteArray Cp1250(const QString &text);

// A temporary directory per test; the process's current directory is put back.
class LogDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    QString PathOf(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString savedCwd;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    RecordingMemo memo;
};

// A private mount namespace for this thread (the test's main thread, which is
// the one that logs), so tmpfs mounts stay invisible to the rest of the machine.
// Returns an empty text on success, else why it is not possible here.
QString EnterPrivateMountNamespace();
QString MountTmpfs(const QString &dir, const QString &options);
QString RemountTmpfs(const QString &dir, const QString &options, bool readOnly);
void Unmount(const QString &dir);

} // namespace logtest
