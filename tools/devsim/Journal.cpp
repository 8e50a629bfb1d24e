#include "tools/devsim/Journal.h"

#include <QJsonDocument>

#include <cerrno>
#include <cstring>

namespace ardel::devsim {

namespace {
// Past this the buffer is written at once instead of waiting for the timer.
constexpr qsizetype kFlushAt = 1 << 20;
} // namespace

Journal::Journal(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(40);
    connect(&m_timer, &QTimer::timeout, this, &Journal::Flush);
}

Journal::~Journal()
{
    Flush();
    if (m_file)
        std::fclose(m_file);
}

bool Journal::Open(const QString &path, QString &error)
{
    if (path.isEmpty())
        return true;
    m_file = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!m_file) {
        error = QStringLiteral("cannot open journal %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_timer.start();
    return true;
}

void Journal::Add(qint64 tMs, const QJsonObject &entry)
{
    if (!m_file)
        return;
    QJsonObject o = entry;
    o.insert(QStringLiteral("t_ms"), tMs);
    m_buffer += QJsonDocument(o).toJson(QJsonDocument::Compact);
    m_buffer += '\n';
    if (m_buffer.size() >= kFlushAt)
        Flush();
}

void Journal::Flush()
{
    if (!m_file || m_buffer.isEmpty())
        return;
    // A full disk must not stop the emulator; what could not be written is lost.
    std::fwrite(m_buffer.constData(), 1, std::size_t(m_buffer.size()), m_file);
    std::fflush(m_file);
    m_buffer.clear();
}

QJsonObject Journal::Entry(const QString &proto, const QString &src, const QString &dst, const QString &iface,
                           const QByteArray &payload)
{
    QJsonObject o;
    o.insert(QStringLiteral("proto"), proto);
    o.insert(QStringLiteral("src"), src);
    o.insert(QStringLiteral("dst"), dst);
    o.insert(QStringLiteral("iface"), iface);
    o.insert(QStringLiteral("hex"), QString::fromLatin1(payload.toHex()));
    o.insert(QStringLiteral("text"), QString::fromLatin1(payload));
    return o;
}

} // namespace ardel::devsim
