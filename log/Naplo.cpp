#include "log/Naplo.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <cerrno>
#include <exception>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ardel {

namespace {

constexpr quint32 kResyncAfterMs = 2000;
constexpr qint64 kMaxDriftMs = 120;
constexpr size_t kCopyChunk = 65536;

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

} // namespace

TNaplo::TNaplo(std::shared_ptr<TNaploClock> clock)
    : m_clock(clock ? std::move(clock) : SystemNaploClock())
    , m_dbLog(std::make_unique<TDBNaplo>(m_clock))
    , m_encoder("windows-1250", QStringConverter::Flag::Stateless)
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

// "yy.mm.dd hh:nn:ss.zzz " in local time. The date and time of the current
// second are kept: converting to local time is the costly part.
void TNaplo::AppendStamp(QString &out, qint64 msecs)
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
            return;
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
    const int ms = int(milli);
    const char tail[4] = {char('0' + ms / 100), char('0' + (ms / 10) % 10), char('0' + ms % 10), ' '};
    out.append(QLatin1String(m_stampHead, sizeof m_stampHead));
    out.append(QLatin1String(tail, sizeof tail));
}

void TNaplo::CloseStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

// Another process may rename the log while it is open (nothing stops it here);
// the writer then follows the name again. Looking the name up costs more than
// the append itself, so it is done once a second; lines written meanwhile are
// in the renamed file, not lost. A deleted file is noticed at once by
// AppendLine.
void TNaplo::DropIfRenamed()
{
    if (m_fd < 0)
        return;
    const quint32 tick = m_clock->Tick();
    if (tick - m_pathCheckTick < 1000)
        return;
    m_pathCheckTick = tick;
    struct stat st {};
    if (::stat(m_openPath.constData(), &st) != 0 || st.st_dev != m_openDev || st.st_ino != m_openIno)
        CloseStream();
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
    m_pathCheckTick = m_clock->Tick();
    return true;
}

void TNaplo::OpenStep()
{
    if (m_fd >= 0 || m_logFile.isEmpty())
        return;
    OpenPath(QFile::encodeName(ResolveFileName(m_logFile)));
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
    m_bytes = m_encoder.encode(line);
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

bool TNaplo::Append(const QByteArray &bytes)
{
    size_t written = 0;
    if (WriteAll(m_fd, bytes.constData(), size_t(bytes.size()), written))
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

// Appends the line and notices when the file was deleted under the writer:
// the line then went nowhere, so the name is opened afresh and it is written
// again.
bool TNaplo::AppendLine(const QByteArray &bytes)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_fd < 0 || !Append(bytes))
            return false;
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            return true;
        m_size = st.st_size;
        if (st.st_nlink > 0)
            return true;
        const QByteArray path = m_openPath;
        CloseStream();
        OpenPath(path);
    }
    return false;
}

void TNaplo::FileStep(QString &msg)
{
    if (m_onWriteLog)
        m_onWriteLog(this, msg);
    QString line;
    line.reserve(26 + msg.size());
    if (m_logTime) {
        AppendStamp(line, TimeStamp());
        line.append(QLatin1Char(' '));
    }
    if (m_convertToPrintable)
        AppendPrintable(line, msg);
    else
        line.append(msg);
    line.append(QLatin1String("\r\n", 2));
    msg = std::move(line);

    if (!AppendLine(Encode(msg)))
        return;
    if (m_memo) {
        m_memo->AppendLine(msg.chopped(2));
        if (m_autoScrollMemo)
            m_memo->ScrollCaretIntoView();
    }
    if (m_size > qint64(m_logLimit))
        Cut();
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

// Keeps the last LogLimit div 2 bytes. The tail goes to "<log>.tmp", which then
// replaces the log in one rename: at no moment is the log missing, and a cut
// that fails halfway leaves the log as it was.
void TNaplo::Cut()
{
    const QByteArray path = m_openPath;
    const off_t keep = off_t(m_logLimit / 2);
    CloseStream();
    const int in = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return; // the next write opens the file again and cuts then

    // Logging is off during the cut and on again afterwards, whether the cut
    // worked or not; the next write retries a failed cut.
    m_logging = false;
    const auto restore = qScopeGuard([this] { m_logging = true; });
    const auto closeIn = qScopeGuard([in] { ::close(in); });

    struct stat st {};
    if (::fstat(in, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > keep) {
        const QByteArray tmp = path + QByteArrayLiteral(".tmp");
        ::unlink(tmp.constData());
        const int out = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (out >= 0) {
            (void)::fchmod(out, st.st_mode & 07777);
            bool copied = CopyTail(in, st.st_size - keep, out) && ::fsync(out) == 0;
            copied = ::close(out) == 0 && copied;
            if (!copied || ::rename(tmp.constData(), path.constData()) != 0)
                ::unlink(tmp.constData());
        }
    }
    OpenPath(path);
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
            DropIfRenamed();
            OpenStep();
        } catch (...) {
        }
        if (m_fd >= 0) {
            try {
                FileStep(msg);
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
