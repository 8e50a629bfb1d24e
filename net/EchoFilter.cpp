#include "net/EchoFilter.h"

#include <algorithm>

namespace ardel {

bool TEchoFilter::IsEcho(const QString &peer, const QByteArray &datagram, const QString &localAddress, qint64 nowMs)
{
    if (datagram.size() > m_maxDatagram)
        return false;
    const auto expired = [&](const Recent &r) { return nowMs - r.at > kWindowMs; };
    // Bounded in entries, whatever number of addresses a flood comes from:
    // the expired entries of every device go first, and only a flood still
    // inside the window empties the memory.
    if (m_entries >= m_maxEntries) {
        // Erasing from a QHash while iterating can visit an entry twice
        // (the one moved back across the table's end), so the count is
        // taken afterwards, in a pass that erases nothing.
        m_recent.removeIf([&](QHash<QString, QList<Recent>>::iterator it) {
            it->removeIf(expired);
            return it->isEmpty();
        });
        m_entries = 0;
        for (const QList<Recent> &kept : std::as_const(m_recent))
            m_entries += static_cast<int>(kept.size());
        if (m_entries >= m_maxEntries / 2) {
            m_recent.clear();
            m_entries = 0;
        }
    }
    QList<Recent> &recent = m_recent[peer];
    m_entries -= static_cast<int>(recent.removeIf(expired));
    for (Recent &r : recent) {
        if (r.data != datagram)
            continue;
        int mine = 0;
        int others = 0;
        bool known = false;
        for (auto &[endpoint, count] : r.copies) {
            if (endpoint == localAddress) {
                mine = ++count;
                known = true;
            } else {
                others = std::max(others, count);
            }
        }
        if (!known) {
            r.copies.append({localAddress, 1});
            mine = 1;
        }
        r.at = nowMs;
        return mine <= others;
    }
    if (recent.size() >= m_perDevice) {
        recent.removeFirst();
        --m_entries;
    }
    Recent r;
    r.data = datagram;
    r.copies.append({localAddress, 1});
    r.at = nowMs;
    recent.append(r);
    ++m_entries;
    return false;
}

void TEchoFilter::Clear()
{
    m_recent.clear();
    m_entries = 0;
}

} // namespace ardel
