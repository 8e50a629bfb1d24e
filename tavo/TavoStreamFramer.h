// Cuts the byte stream of a TCP connection into TAVOW frames: a frame runs
// from 0xFB to 0xFC, a new 0xFB restarts it (the bytes before are dropped),
// bytes outside a frame are dropped, and a frame that reaches the size of the
// largest packet without its end byte is dropped whole, so that an endless
// stream cannot eat memory. The state carries over from chunk to chunk.
#pragma once

#include "tavo/TavoWire.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstring>
#include <utility>

namespace ardel {

class TTavoStreamFramer {
public:
    static constexpr qsizetype kMaxFrame = wire::kMaxPacket;

    // Calls onFrame(const QByteArray &) for every frame the chunk completes,
    // in stream order, while the chunk is being read.
    template <typename OnFrame> void Feed(QByteArrayView chunk, OnFrame &&onFrame)
    {
        // Runs of bytes between frame bytes are taken at once: a chunk can be
        // 64 KB, and byte-by-byte appends cost several times the scan.
        const char *p = chunk.data();
        const char *const end = p + chunk.size();
        while (p < end) {
            if (!m_inFrame) {
                p = static_cast<const char *>(std::memchr(p, wire::kTavowStart, size_t(end - p)));
                if (!p)
                    return;
                m_frame = QByteArray(1, *p++);
                m_inFrame = true;
                continue;
            }
            const char *q = p;
            while (q < end && *q != wire::kTavowStart && *q != wire::kTavowEnd)
                ++q;
            if (q - p > kMaxFrame - m_frame.size()) {
                // The byte that finds the frame full drops it; the rest of
                // the run is then outside any frame.
                m_frame.clear();
                m_inFrame = false;
                p = q;
                continue;
            }
            m_frame.append(p, q - p);
            p = q;
            if (p == end)
                return;
            if (*p == wire::kTavowStart) {
                m_frame = QByteArray(1, *p++);
            } else {
                m_frame.append(*p++);
                m_inFrame = false;
                const QByteArray frame = std::exchange(m_frame, QByteArray());
                onFrame(frame);
            }
        }
    }
    // The frames the chunk completes.
    QList<QByteArray> Feed(QByteArrayView chunk);

    // True while a frame has begun and not ended.
    bool InFrame() const { return m_inFrame; }
    // The bytes of the open frame (0xFB first); empty outside a frame.
    const QByteArray &Partial() const { return m_frame; }
    // Forgets an open frame.
    void Reset();

private:
    QByteArray m_frame;
    bool m_inFrame = false;
};

} // namespace ardel
