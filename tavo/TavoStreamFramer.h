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
        // 64 KB, and byte-by-byte appends cost several times the scan. A frame
        // that begins in this chunk is copied once, when it ends or when the
        // chunk does, so a frame read whole costs one allocation and a run of
        // start bytes none.
        const char *p = chunk.data();
        const char *const end = p + chunk.size();
        // Where the open frame begins in this chunk; null while it is held in
        // m_frame (begun in an earlier chunk, followed by chunk[0, p)).
        const char *open = nullptr;
        const auto frameSize = [&](const char *at) { return open ? at - open : m_frame.size() + (at - chunk.data()); };
        while (p < end) {
            if (!m_inFrame) {
                p = static_cast<const char *>(std::memchr(p, wire::kTavowStart, size_t(end - p)));
                if (!p)
                    return;
                open = p++;
                m_inFrame = true;
                continue;
            }
            const char *q = p;
            while (q < end && *q != wire::kTavowStart && *q != wire::kTavowEnd)
                ++q;
            if (q - p > kMaxFrame - frameSize(p)) {
                // The byte that finds the frame full drops it; the rest of
                // the run is then outside any frame.
                m_frame.clear();
                open = nullptr;
                m_inFrame = false;
                p = q;
                continue;
            }
            p = q;
            if (p == end)
                break;
            if (*p == wire::kTavowStart) {
                m_frame.clear();
                open = p++;
                continue;
            }
            ++p;
            m_inFrame = false;
            QByteArray frame;
            if (open) {
                frame = QByteArray(open, p - open);
            } else {
                frame = std::exchange(m_frame, QByteArray());
                frame.append(chunk.data(), p - chunk.data());
            }
            open = nullptr;
            onFrame(std::as_const(frame));
        }
        // The open frame outlives the chunk.
        if (m_inFrame) {
            if (open)
                m_frame = QByteArray(open, end - open);
            else
                m_frame.append(chunk.data(), end - chunk.data());
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
