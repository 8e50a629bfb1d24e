// Shared set-up of the fuzz targets: one QApplication on the offscreen
// platform, the input reader and the harness checks.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace ardelfuzz {

// Creates the application once; safe to call from every LLVMFuzzerInitialize.
void InitQt();

inline QByteArray Bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// Reads an input as a sequence of records: single bytes and byte strings
// with a one-byte length in front (a length past the end takes the rest).
class Reader {
public:
    Reader(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_pos >= m_size; }
    std::uint8_t Byte() { return AtEnd() ? 0 : m_data[m_pos++]; }
    QByteArray Chunk()
    {
        const std::size_t len = Byte();
        const std::size_t take = len < m_size - m_pos ? len : m_size - m_pos;
        const QByteArray out = Bytes(m_data + m_pos, take);
        m_pos += take;
        return out;
    }
    QByteArray Rest()
    {
        const QByteArray out = Bytes(m_data + m_pos, m_size - m_pos);
        m_pos = m_size;
        return out;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Runs posted events (deferred deletes, layout requests) but no timers and
// no socket notifications, so that nothing piles up between inputs and an
// input's outcome does not depend on the clock.
void FlushPostedEvents();

// A check of the harness itself: prints what failed and aborts, so that
// libFuzzer keeps the input that broke it.
[[noreturn]] void Fail(const char *what);
inline void Check(bool ok, const char *what)
{
    if (!ok)
        Fail(what);
}

} // namespace ardelfuzz
