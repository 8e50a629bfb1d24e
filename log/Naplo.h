// The log file writer: one time-stamped line per entry, in code page 1250,
// kept below a size limit by cutting away the older half of the file.
#pragma once

#include "log/DBNaplo.h"
#include "log/LogMemo.h"
#include "log/NaploClock.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <sys/types.h>

#include <climits>

#include <functional>
#include <memory>
#include <string>

namespace ardel {

class TNaplo;

// Called with each entry before it is formatted; may change the text.
using TOnWriteLogEvent = std::function<void(TNaplo *sender, QString &msg)>;

class TNaplo {
public:
    explicit TNaplo(std::shared_ptr<TNaploClock> clock = {});
    ~TNaplo();
    TNaplo(const TNaplo &) = delete;
    TNaplo &operator=(const TNaplo &) = delete;

    // Writes one entry (file, memo, handler, and the database log when toDB
    // or LogEvertythingToDB). Never fails towards the caller.
    void WriteLog(const QString &text, bool toDB = false) noexcept;
    // The database step: line breaks become spaces, then one row.
    void WriteToDB(const QString &text, const QString &owner, qint32 level);

    // Every character below 32 becomes "#" and its decimal code.
    static QString ToPrintable(const QString &text);
    // A Windows-style name (".\Ardel.log") as a path of this machine: a
    // backslash separates directories, a relative name starts at the current
    // directory.
    static QString ResolveFileName(const QString &name);

    QString LogFile() const { return m_logFile; }
    // Only stores the name: an open file stays open.
    void SetLogFile(const QString &name) { m_logFile = name; }
    bool Logging() const { return m_logging; }
    void SetLogging(bool on) { m_logging = on; }
    bool LogTime() const { return m_logTime; }
    void SetLogTime(bool on) { m_logTime = on; }
    bool ConvertToPrintable() const { return m_convertToPrintable; }
    void SetConvertToPrintable(bool on) { m_convertToPrintable = on; }
    bool LogEvertythingToDB() const { return m_logEverythingToDB; }
    void SetLogEvertythingToDB(bool on) { m_logEverythingToDB = on; }
    qint32 LogLimit() const { return m_logLimit; }
    // Values of 0 or less are ignored.
    void SetLogLimit(qint32 limit);
    qint32 LevelLimit() const { return m_levelLimit; }
    void SetLevelLimit(qint32 limit) { m_levelLimit = limit; }
    ardel::LogMemo *LogMemo() const { return m_memo; }
    // Not owned.
    void SetLogMemo(ardel::LogMemo *memo) { m_memo = memo; }
    bool AutoScrollMemo() const { return m_autoScrollMemo; }
    void SetAutoScrollMemo(bool on) { m_autoScrollMemo = on; }
    const TOnWriteLogEvent &OnWriteLog() const { return m_onWriteLog; }
    void SetOnWriteLog(TOnWriteLogEvent handler) { m_onWriteLog = std::move(handler); }

    // Lines of one turn of the thread's event loop go to the file in one
    // append at the start of the next turn (sooner when 64 KB are held, the
    // file is looked at or cut, or the writer ends), instead of one append
    // per line. A program that handles thousands of datagrams a second
    // writes several lines per datagram. Needs a running event loop; off by
    // default.
    void SetHoldLinesForTurn(bool on);
    // Appends the held lines now.
    void Flush();

    TDBNaplo &DBLog() { return *m_dbLog; }
    // Replaces the database log writer (keeps the attached sink).
    void SetDBLog(std::unique_ptr<TDBNaplo> dbLog);

    // The log file is open; OpenFileName is the path it was opened under.
    bool IsOpen() const { return m_fd >= 0; }
    QString OpenFileName() const;
    quint32 SyncTick() const { return m_syncTick; }
    QDateTime SyncTime() const { return QDateTime::fromMSecsSinceEpoch(m_syncMs); }

private:
    void CloseStream();
    void CheckFile();
    void ReopenDeleted();
    void OpenStep();
    bool OpenPath(const QByteArray &path);
    void WriteOwedLines();
    void FileStep(QString &msg, bool toDB);
    qint64 TimeStamp();
    char *PutStamp(char *out, qint64 msecs);
    bool FormatAscii(const QString &text, qint64 msecs);
    static void AppendPrintable(QString &out, const QString &text);
    const QByteArray &Encode(const QString &line);
    bool Append(const char *data, size_t size);
    bool AppendLine(const QByteArray &bytes);
    bool CutDue() const;
    static off_t LineStartFrom(int from, off_t position, off_t size);
    bool Cut();
    bool CopyTail(int from, off_t position, int to);

    std::shared_ptr<TNaploClock> m_clock;
    std::unique_ptr<TDBNaplo> m_dbLog;

    QString m_logFile;
    bool m_logging = false;
    bool m_logTime = true;
    bool m_convertToPrintable = true;
    bool m_logEverythingToDB = false;
    qint32 m_logLimit = 10000000;
    qint32 m_levelLimit = 100;
    ardel::LogMemo *m_memo = nullptr;
    bool m_autoScrollMemo = false;
    TOnWriteLogEvent m_onWriteLog;

    int m_fd = -1;           // the log stream
    QByteArray m_openPath;   // absolute path it was opened under
    dev_t m_openDev = 0;     // identity of the open file, to notice a
    ino_t m_openIno = 0;     // deletion or rename by another process
    qint64 m_size = 0;       // size after the last append, counted here
    quint32 m_checkTick = 0; // when the open file was last looked at
    // The lines appended since then (bounded): if the file turns out to have
    // been deleted, they went nowhere and are written to a fresh file. While
    // the file is closed, lines still owed to the log after such a deletion.
    std::string m_sinceCheck; // keeps its capacity when cleared
    QByteArray m_bytes;       // the line in code page 1250

    bool m_holdForTurn = false;
    std::string m_held;                      // lines counted in m_size, not yet in the file
    std::unique_ptr<QObject> m_flushContext; // receives the posted flush
    bool m_flushPosted = false;

    // A cut that failed (no room for the tail, directory not writable) is not
    // tried on every line: each try copies up to half the limit again.
    bool m_cutFailed = false;
    quint32 m_cutFailedTick = 0; // when the last try failed
    qint64 m_sinceCutFailed = 0; // bytes appended since then

    quint32 m_syncTick = 0;
    qint64 m_syncMs = 0;           // SyncTime, as milliseconds since 1970 UTC
    qint64 m_stampSec = LLONG_MIN; // second whose date and time m_stampHead holds
    char m_stampHead[18] = {};     // "yy.mm.dd hh:nn:ss."
    bool m_reportingDBError = false;
};

} // namespace ardel
