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

#include <utility>

namespace ardel {

class TTavoStreamFramer {
public:
    static constexpr qsizetype kMaxFrame = wire::kMaxPacket;

    // Calls onFrame(const QByteArray &) for every frame the chunk completes,
    // in stream order, while the chunk is being read.
    template <typename OnFrame>
    void Feed(QByteArrayView chunk, OnFrame &&onFrame)
    {
        for (const char b : chunk) {
            if (!m_inFrame) {
                if (b == wire::kTavowStart) {
                    m_frame = QByteArray(1, b);
                    m_inFrame = true;
                }
            } else if (b == wire::kTavowStart) {
                m_frame = QByteArray(1, b);
            } else if (b == wire::kTavowEnd) {
                m_frame.append(b);
                m_inFrame = false;
                const QByteArray frame = std::exchange(m_frame, QByteArray());
                onFrame(frame);
            } else if (m_frame.size() >= kMaxFrame) {
                m_frame.clear();
                m_inFrame = false;
            } else {
                m_frame.append(b);
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
