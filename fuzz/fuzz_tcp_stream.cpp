// The byte stream of the TCP connection to port 1001 through the framer that
// TAVOSocket1Read and the device emulator share: frames from 0xFB to 0xFC,
// resynchronising on 0xFB, dropping bytes outside frames, never growing past
// the longest packet. No window and no socket.
//
// Input: byte 0 sets the state left by an earlier connection (bit 0: a frame
// is open), then chunks (length byte + bytes) as read events deliver them.
// The same bytes are then fed again as one chunk: how the stream is cut into
// read events must not change the outcome. Every frame handed over is also
// decoded, as the window does with it.
#include "fuzz/FuzzSupport.h"

#include "tavo/TAVOProtocol.h"
#include "tavo/TavoStreamFramer.h"
#include "tavo/TavoWire.h"

using ardelfuzz::Check;
using ardel::TTavoStreamFramer;

namespace {

void CheckBounded(const TTavoStreamFramer &f)
{
    Check(f.Partial().size() <= TTavoStreamFramer::kMaxFrame, "frame buffer grew past the largest packet");
    if (f.InFrame())
        Check(!f.Partial().isEmpty() && f.Partial().front() == ardel::wire::kTavowStart, "open frame does not start with FB");
    else
        Check(f.Partial().isEmpty(), "bytes kept outside a frame");
}

void CheckFrame(const QByteArray &frame)
{
    Check(frame.size() >= 2 && frame.front() == ardel::wire::kTavowStart && frame.back() == ardel::wire::kTavowEnd,
          "frame does not run from FB to FC");
    Check(frame.size() <= TTavoStreamFramer::kMaxFrame + 1, "frame longer than a full buffer and its end byte");
    for (qsizetype i = 1; i + 1 < frame.size(); ++i)
        Check(frame.at(i) != ardel::wire::kTavowStart && frame.at(i) != ardel::wire::kTavowEnd,
              "start or end byte inside a frame");
}

TTavoStreamFramer Start(bool openFrame)
{
    TTavoStreamFramer f;
    if (openFrame)
        f.Feed(QByteArray(1, ardel::wire::kTavowStart));
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    ardelfuzz::Reader in(bytes, size);
    const bool openFrame = (in.Byte() & 1) != 0;

    ardel::TTAVOProtocol codec;
    TTavoStreamFramer pieces = Start(openFrame);
    QList<QByteArray> framesInPieces;
    QByteArray whole;
    while (!in.AtEnd()) {
        const QByteArray chunk = in.Chunk();
        whole += chunk;
        pieces.Feed(chunk, [&](const QByteArray &frame) {
            CheckFrame(frame);
            QByteArray data;
            codec.DecodeTAVOW(frame, data);
            framesInPieces.append(frame);
        });
        CheckBounded(pieces);
    }

    TTavoStreamFramer once = Start(openFrame);
    const QList<QByteArray> framesOnce = once.Feed(whole);
    CheckBounded(once);
    Check(framesInPieces == framesOnce && pieces.InFrame() == once.InFrame() && pieces.Partial() == once.Partial(),
          "the outcome depends on how the stream was cut");
    return 0;
}
