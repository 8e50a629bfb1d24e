#include "log/Naplo.h"

#include "net/Cp1250.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <exception>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ardel {

namespace {

constexpr quint32 kResyncAfterMs = 2000;
constexpr qint64 kMaxDriftMs = 120;
constexpr size_t kCopyChunk = 65536;
// The open file is looked at (deleted? renamed? size changed by someone
// else?) once a second, and sooner when this many bytes were appended since:
// looking at it on every line would cost as much as the append itself.
constexpr quint32 kCheckEveryMs = 1000;
constexpr size_t kSinceCheckLimit = 64 * 1024;
// After a failed cut the next try waits for another half of the limit to be
// written or for this long, whichever comes first.
constexpr quint32 kCutRetryMs = 60000;
// Held lines are appended at once past this many bytes.
constexpr size_t kHeldLimit = 64 * 1024;

void Put2(char *p, int v)
{
    p[0] = char('0' + (v / 10) % 10);
    p[1] = char('0' + v % 10);
}

// Writes all of data; false on any failure (the caller decides what the
// part already written means).
bool WriteAll(int fd, const char *data, size_t size, size_t &written)
{
    written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        written += size_t(n);
    }
    return true;
}

// Copies the leading characters in lowest..127 to out as bytes; returns how
// many. The caller handles the character it stopped at.
qsizetype NarrowPlain(const char16_t *p, qsizetype n, char *out, char16_t lowest)
{
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight at a time: the line's text is mostly such characters.
    const __m128i low = _mm_set1_epi16(short(lowest));
    const __m128i span = _mm_set1_epi16(short(0x7F - lowest));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        // Unsigned: v - lowest <= 0x7F - lowest in every lane.
        const __m128i over = _mm_subs_epu16(_mm_sub_epi16(v, low), span);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(over, zero)) != 0xFFFF)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(v, v));
    }
#endif
    for (; i < n; ++i) {
        const char16_t c = p[i];
        if (c < lowest || c > 0x7F)
            break;
        out[i] = char(c);
    }
    return i;
}

} // namespace

TNaplo::TNaplo(std::shared_ptr<TNaploClock> clock)
    : m_clock(clock ? std::move(clock) : SystemNaploClock())
    , m_dbLog(std::make_unique<TDBNaplo>(m_clock))
    , m_syncMs(NaploZeroDateTime().toMSecsSinceEpoch())
{
    // A monotonic millisecond counter needs no timer resolution request here.
}

TNaplo::~TNaplo()
{
    CloseStream();
}

void TNaplo::SetLogLimit(qint32 limit)
{
    if (limit > 0)
        m_logLimit = limit;
}

void TNaplo::SetDBLog(std::unique_ptr<TDBNaplo> dbLog)
{
    if (!dbLog)
        return;
    if (!dbLog->DataSet())
        dbLog->SetDataSet(m_dbLog->DataSet());
    m_dbLog = std::move(dbLog);
}

QString TNaplo::OpenFileName() const
{
    return m_fd >= 0 ? QFile::decodeName(m_openPath) : QString();
}

QString TNaplo::ToPrintable(const QString &text)
{
    QString out;
    AppendPrintable(out, text);
    return out;
}

void TNaplo::AppendPrintable(QString &out, const QString &text)
{
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    qsizetype done = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c >= 32)
            continue;
        out.append(p + done, i - done);
        out.append(QLatin1Char('#'));
        if (c >= 10)
            out.append(QLatin1Char(char('0' + c / 10)));
        out.append(QLatin1Char(char('0' + c % 10)));
        done = i + 1;
    }
    out.append(p + done, n - done);
}

QString TNaplo::ResolveFileName(const QString &name)
{
    if (name.isEmpty())
        return name;
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

// "yy.mm.dd hh:nn:ss.zzz " in local time, written at out; returns the end
// (out itself when the time cannot be converted). The date and time of the
// current second are kept: converting to local time is the costly part.
char *TNaplo::PutStamp(char *out, qint64 msecs)
{
    qint64 sec = msecs / 1000;
    qint64 milli = msecs % 1000;
    if (milli < 0) {
        milli += 1000;
        --sec;
    }
    if (sec != m_stampSec) {
        const time_t t = time_t(sec);
        struct tm tm {};
        if (!::localtime_r(&t, &tm))
            return out;
        char *b = m_stampHead;
        Put2(b, tm.tm_year < -1900 ? -(tm.tm_year + 1900) : tm.tm_year + 1900);
        b[2] = '.';
        Put2(b + 3, tm.tm_mon + 1);
        b[5] = '.';
        Put2(b + 6, tm.tm_mday);
        b[8] = ' ';
        Put2(b + 9, tm.tm_hour);
        b[11] = ':';
        Put2(b + 12, tm.tm_min);
        b[14] = ':';
        Put2(b + 15, tm.tm_sec);
        b[17] = '.';
        m_stampSec = sec;
    }
    std::memcpy(out, m_stampHead, sizeof m_stampHead);
    out += sizeof m_stampHead;
    const int ms = int(milli);
    *out++ = char('0' + ms / 100);
    *out++ = char('0' + (ms / 10) % 10);
    *out++ = char('0' + ms % 10);
    *out++ = ' ';
    return out;
}

void TNaplo::SetHoldLinesForTurn(bool on)
{
    if (!on)
        Flush();
    m_holdForTurn = on;
    if (on && !m_flushContext)
        m_flushContext = std::make_unique<QObject>();
}

void TNaplo::Flush()
{
    if (m_held.empty())
        return;
    // Lines are only held while the file is open: it is flushed before it closes.
    if (m_fd < 0 || !Append(m_held.data(), m_held.size()))
        m_size -= qint64(m_held.size());
    m_held.clear();
}

void TNaplo::CloseStream()
{
    Flush();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

// Other processes may delete, rename, truncate or append to the log while it
// is open (nothing stops them here). A deleted file: the lines appended since
// the last look went nowhere, so the name is opened afresh and they are
// written there. A renamed file: its lines are safe under the new name; the
// writer lets go and the next write opens the name again. Otherwise the size
// is taken from the file, as the count kept here misses others' changes.
void TNaplo::CheckFile()
{
    if (m_fd < 0)
        return;
    Flush();
    m_checkTick = m_clock->Tick();
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        m_sinceCheck.clear();
        return;
    }
    if (st.st_nlink == 0) {
        ReopenDeleted();
        return;
    }
    m_size = st.st_size;
    m_sinceCheck.clear();
    struct stat named {};
    if (::stat(m_openPath.constData(), &named) != 0 || named.st_dev != m_openDev || named.st_ino != m_openIno)
        CloseStream();
}

void TNaplo::ReopenDeleted()
{
    const QByteArray path = m_openPath;
    CloseStream();
    // When the name cannot be opened now, the lines stay owed to the next
    // successful open.
    if (OpenPath(path))
        WriteOwedLines();
}

// The lines stay in m_sinceCheck: the fresh file may be deleted in turn
// before it is looked at.
void TNaplo::WriteOwedLines()
{
    if (!m_sinceCheck.empty() && Append(m_sinceCheck.data(), m_sinceCheck.size()))
        m_size += qint64(m_sinceCheck.size());
}

bool TNaplo::OpenPath(const QByteArray &path)
{
    // O_NONBLOCK: a FIFO under the log's name must not hang the program; only
    // regular files are accepted.
    const int fd = ::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_fd = fd;
    m_openPath = path;
    m_openDev = st.st_dev;
    m_openIno = st.st_ino;
    m_size = st.st_size;
    m_checkTick = m_clock->Tick();
    return true;
}

void TNaplo::OpenStep()
{
    if (m_fd >= 0 || m_logFile.isEmpty())
        return;
    if (OpenPath(QFile::encodeName(ResolveFileName(m_logFile))))
        WriteOwedLines();
}

qint64 TNaplo::TimeStamp()
{
    const qint64 now = m_clock->NowMSecs();
    const quint32 tick = m_clock->Tick();
    // Unsigned difference: right across the counter's wrap-around too.
    const quint32 elapsed = tick - m_syncTick;
    if (elapsed <= kResyncAfterMs) {
        const qint64 estimate = m_syncMs + qint64(elapsed);
        if (estimate - now >= -kMaxDriftMs && estimate - now <= kMaxDriftMs)
            return estimate;
    }
    m_syncTick = tick;
    m_syncMs = now;
    return now;
}

const QByteArray &TNaplo::Encode(const QString &line)
{
    const QChar *p = line.constData();
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n && p[i].unicode() < 0x80)
        ++i;
    if (i == n) {
        // ASCII is itself in code page 1250.
        m_bytes.resize(n);
        char *out = m_bytes.data();
        for (qsizetype k = 0; k < n; ++k)
            out[k] = char(p[k].unicode());
        return m_bytes;
    }
    ToCp1250(line, m_bytes);
    if (!m_bytes.contains('\x1A'))
        return m_bytes;
    // Characters code page 1250 lacks come out as the converter's control
    // character 0x1A; they become "?", as the system's own conversion makes
    // them. One byte per code point (a surrogate pair is one), so the bytes
    // line up with the text. (The converter's error flag cannot be used: it
    // stays set once raised.)
    qsizetype byte = 0;
    for (qsizetype k = 0; k < n && byte < m_bytes.size(); ++k, ++byte) {
        const QChar c = p[k];
        if (c.isHighSurrogate() && k + 1 < n && p[k + 1].isLowSurrogate())
            ++k;
        if (m_bytes.at(byte) == '\x1A' && c.unicode() != 0x1A)
            m_bytes[byte] = '?';
    }
    return m_bytes;
}

bool TNaplo::Append(const char *data, size_t size)
{
    size_t written = 0;
    if (WriteAll(m_fd, data, size, written))
        return true;
    if (written > 0) {
        // The disk filled up in the middle of the line: take the fragment back
        // so that the file holds whole lines and the next line starts clean.
        const off_t end = ::lseek(m_fd, 0, SEEK_CUR);
        struct stat st {};
        if (end >= off_t(written) && ::fstat(m_fd, &st) == 0 && st.st_size == end)
            (void)::ftruncate(m_fd, end - off_t(written));
    }
    return false;
}

// One write per line, so that a reader sees the line at once; or, when lines
// are held for the turn, one write per turn of the event loop.
bool TNaplo::AppendLine(const QByteArray &bytes)
{
    if (m_fd < 0)
        return false;
    const bool hold =
        m_holdForTurn && m_flushContext && m_flushContext->thread() == QThread::currentThread() && QCoreApplication::instance();
    if (hold)
        m_held.append(bytes.constData(), size_t(bytes.size()));
    else if (!Append(bytes.constData(), size_t(bytes.size())))
        return false;
    // Held lines count at once: the limit and the cuts see every line when
    // it is written, as without holding.
    m_size += bytes.size();
    if (m_cutFailed)
        m_sinceCutFailed += bytes.size();
    m_sinceCheck.append(bytes.constData(), size_t(bytes.size()));
    if (hold) {
        if (m_held.size() >= kHeldLimit) {
            Flush();
        } else if (!m_flushPosted) {
            m_flushPosted = true;
            QMetaObject::invokeMethod(
                m_flushContext.get(),
                [this] {
                    m_flushPosted = false;
                    Flush();
                },
                Qt::QueuedConnection);
        }
    }
    if (m_sinceCheck.size() >= kSinceCheckLimit)
        CheckFile();
    return true;
}

// The whole line straight into code page 1250 bytes when the text is ASCII
// (the usual case); false otherwise, m_bytes then undefined.
bool TNaplo::FormatAscii(const QString &text, qint64 msecs)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype n = text.size();
    // A character becomes at most "#31".
    const qsizetype most = qsizetype(sizeof m_stampHead) + 5 + 3 * n + 2;
    if (m_bytes.size() < most)
        m_bytes.resize(most);
    char *const begin = m_bytes.data();
    char *o = begin;
    if (m_logTime) {
        o = PutStamp(o, msecs);
        *o++ = ' ';
    }
    // Control characters are copied as they are unless they become "#code".
    const char16_t lowest = m_convertToPrintable ? 32 : 0;
    qsizetype i = 0;
    for (;;) {
        const qsizetype plain = NarrowPlain(p + i, n - i, o, lowest);
        i += plain;
        o += plain;
        if (i == n)
            break;
        const char16_t c = p[i++];
        if (c >= 0x80)
            return false;
        if (c >= lowest) {
            *o++ = char(c);
            continue;
        }
        *o++ = '#';
        if (c >= 10)
            *o++ = char('0' + c / 10);
        *o++ = char('0' + c % 10);
    }
    *o++ = '\r';
    *o++ = '\n';
    m_bytes.resize(o - begin);
    return true;
}

void TNaplo::FileStep(QString &msg, bool toDB)
{
    if (m_onWriteLog)
        m_onWriteLog(this, msg);
    // msg must come out as the line when the database step or the memo takes it.
    const bool needText = toDB || m_logEverythingToDB || m_memo;
    const qint64 stamp = m_logTime ? TimeStamp() : 0;
    if (FormatAscii(msg, stamp)) {
        if (needText)
            msg = QString::fromLatin1(m_bytes);
    } else {
        QString line;
        line.reserve(26 + msg.size());
        if (m_logTime) {
            char head[sizeof m_stampHead + 4];
            line.append(QLatin1String(head, PutStamp(head, stamp) - head));
            line.append(QLatin1Char(' '));
        }
        if (m_convertToPrintable)
            AppendPrintable(line, msg);
        else
            line.append(msg);
        line.append(QLatin1String("\r\n", 2));
        msg = std::move(line);
        Encode(msg);
    }

    if (!AppendLine(m_bytes))
        return;
    if (m_memo) {
        m_memo->AppendLine(msg.chopped(2));
        if (m_autoScrollMemo)
            m_memo->ScrollCaretIntoView();
    }
    if (m_size <= qint64(m_logLimit)) {
        m_cutFailed = false;
        return;
    }
    if (!CutDue())
        return;
    // The count kept here may be off when someone else truncated the file:
    // the file's own size decides.
    CheckFile();
    if (m_fd < 0 || m_size <= qint64(m_logLimit))
        return;
    if (Cut()) {
        m_cutFailed = false;
    } else {
        // The lines stay in the uncut file; logging goes on.
        m_cutFailed = true;
        m_cutFailedTick = m_clock->Tick();
        m_sinceCutFailed = 0;
    }
}

bool TNaplo::CutDue() const
{
    return !m_cutFailed || m_sinceCutFailed >= qint64(m_logLimit / 2) || m_clock->Tick() - m_cutFailedTick >= kCutRetryMs;
}

bool TNaplo::CopyTail(int from, off_t position, int to)
{
    static thread_local QByteArray buffer(kCopyChunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::pread(from, buffer.data(), kCopyChunk, position);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        size_t written = 0;
        if (!WriteAll(to, buffer.constData(), size_t(n), written))
            return false;
        position += n;
    }
}

// Where the kept tail starts: position itself when a line starts there, else
// just after the next line end, so that the cut file holds whole lines only.
// A tail that is all one line (longer than the half limit) is cut at the byte.
off_t TNaplo::LineStartFrom(int from, off_t position, off_t size)
{
    if (position <= 0)
        return 0;
    static thread_local QByteArray buffer(kCopyChunk, Qt::Uninitialized);
    off_t at = position - 1; // the byte before the tail: a line end or not
    while (at < size) {
        const ssize_t n = ::pread(from, buffer.data(), kCopyChunk, at);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return position;
        }
        if (n == 0)
            break;
        const char *lf = static_cast<const char *>(std::memchr(buffer.constData(), '\n', size_t(n)));
        if (lf) {
            const off_t start = at + (lf - buffer.constData()) + 1;
            return start < size ? start : position;
        }
        at += n;
    }
    return position;
}

// Keeps at most the last LogLimit div 2 bytes, from a line start. The tail goes to "<log>.tmp", which then
// replaces the log in one rename: at no moment is the log missing, and a cut
// that fails halfway leaves the log as it was. False when the log was not cut.
bool TNaplo::Cut()
{
    const QByteArray path = m_openPath;
    const off_t keep = off_t(m_logLimit / 2);
    CloseStream();
    // The file was just looked at; what it holds now stays in the tail or was
    // meant to be cut away.
    m_sinceCheck.clear();
    const int in = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return false; // the next write opens the file again

    // Logging is off during the cut and on again afterwards, whether the cut
    // worked or not; a failed cut is tried again later (CutDue).
    m_logging = false;
    const auto restore = qScopeGuard([this] { m_logging = true; });
    const auto closeIn = qScopeGuard([in] { ::close(in); });

    struct stat st {};
    bool done = false;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        // not a log file to cut
    } else if (st.st_size <= keep) {
        done = true; // someone else made it small
    } else {
        const QByteArray tmp = path + QByteArrayLiteral(".tmp");
        ::unlink(tmp.constData());
        const int out = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (out >= 0) {
            (void)::fchmod(out, st.st_mode & 07777);
            const off_t from = LineStartFrom(in, st.st_size - keep, st.st_size);
            bool copied = CopyTail(in, from, out) && ::fsync(out) == 0;
            copied = ::close(out) == 0 && copied;
            done = copied && ::rename(tmp.constData(), path.constData()) == 0;
            if (!done)
                ::unlink(tmp.constData());
        }
    }
    OpenPath(path);
    return done;
}

void TNaplo::WriteToDB(const QString &text, const QString &owner, qint32 level)
{
    try {
        QString clean = text;
        clean.replace(QLatin1Char('\n'), QLatin1Char(' '));
        clean.replace(QLatin1Char('\r'), QLatin1Char(' '));
        m_dbLog->WriteRecord(clean, owner, level);
    } catch (const std::exception &e) {
        // Reported once: with LogEvertythingToDB the report itself goes to the
        // database again, and a failure there must not recurse.
        if (!m_reportingDBError) {
            m_reportingDBError = true;
            const auto reset = qScopeGuard([this] { m_reportingDBError = false; });
            WriteLog(QStringLiteral("DBLog Hiba:") + QString::fromLocal8Bit(e.what()), false);
        }
    } catch (...) {
        if (!m_reportingDBError) {
            m_reportingDBError = true;
            const auto reset = qScopeGuard([this] { m_reportingDBError = false; });
            WriteLog(QStringLiteral("DBLog Hiba:"), false);
        }
    }
}

void TNaplo::WriteLog(const QString &text, bool toDB) noexcept
{
    if (!m_logging)
        return;
    try {
        QString msg = text;
        try {
            if (m_fd >= 0 && m_clock->Tick() - m_checkTick >= kCheckEveryMs)
                CheckFile();
            OpenStep();
        } catch (...) {
        }
        if (m_fd >= 0) {
            try {
                FileStep(msg, toDB);
            } catch (...) {
                // Skips the rest of this entry's file step only.
            }
        }
        if (m_logEverythingToDB || toDB)
            WriteToDB(msg, QString(), -1);
    } catch (...) {
    }
}

} // namespace ardel
