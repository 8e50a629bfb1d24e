#include "tavo/TavoStreamFramer.h"

namespace ardel {

QList<QByteArray> TTavoStreamFramer::Feed(QByteArrayView chunk)
{
    QList<QByteArray> frames;
    Feed(chunk, [&](const QByteArray &frame) { frames.append(frame); });
    return frames;
}

void TTavoStreamFramer::Reset()
{
    m_frame.clear();
    m_inFrame = false;
}

} // namespace ardel
