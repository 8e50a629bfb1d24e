// The byte stream of the TCP connection to port 1001 through the framer that
// TAVOSocket1Read and the device emulator share: frames from 0xFB to 0xFC,
// resynchronising on 0xFB, dropping bytes outside frames, never growing past
// the longest packet. No window and no socket.
//
// Input: byte 0 sets the state left by an earlier connection (bit 0: a frame
// is open), then chunks (length byte + bytes) as read events deliver them.
// The same bytes are then fed again as one chunk: how the stream is cut into
// read events must not change the outcome, nor may the framer's reading of
// whole runs differ from the rule applied byte by byte. Every frame handed
// over is also decoded, as the window does with it.
#include "fuzz/FuzzSupport.h"

#include "tavo/TAVOProtocol.h"
#include "tavo/TavoStreamFramer.h"
#include "tavo/TavoWire.h"

#include <QVarLengthArray>

#include <algorithm>
#include <string>

using ardel::TTavoStreamFramer;
using ardelfuzz::Check;

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

// The framing rule byte by byte, as the program always read the stream; the
// framer takes runs of bytes at once and must agree with it.
struct Reference {
    bool inFrame = false;
    std::string frame;
    QList<QByteArray> frames;

    void Feed(QByteArrayView bytes)
    {
        for (const char b : bytes) {
            if (!inFrame) {
                if (b == ardel::wire::kTavowStart) {
                    frame.assign(1, b);
                    inFrame = true;
                }
            } else if (b == ardel::wire::kTavowStart) {
                frame.assign(1, b);
            } else if (b == ardel::wire::kTavowEnd) {
                frame += b;
                inFrame = false;
                frames.append(QByteArray(frame.data(), qsizetype(frame.size())));
                frame.clear();
            } else if (qsizetype(frame.size()) >= TTavoStreamFramer::kMaxFrame) {
                frame.clear();
                inFrame = false;
            } else {
                frame += b;
            }
        }
    }
};

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
    // Chunks are read in place (Reader copies each): the target is about the
    // framer, and allocations would cost most of the run.
    const bool openFrame = size > 0 && (bytes[0] & 1) != 0;
    QVarLengthArray<QByteArrayView, 64> chunks;
    for (std::size_t pos = 1; pos < size;) {
        const std::size_t want = bytes[pos];
        ++pos;
        const std::size_t len = std::min(want, size - pos);
        chunks.append(QByteArrayView(reinterpret_cast<const char *>(bytes + pos), qsizetype(len)));
        pos += len;
    }

    // One codec for the whole run: constructing one seeds a random generator.
    static ardel::TTAVOProtocol codec;
    TTavoStreamFramer pieces = Start(openFrame);
    QList<QByteArray> framesInPieces;
    QByteArray whole;
    whole.reserve(qsizetype(size));
    for (const QByteArrayView chunk : chunks) {
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

    Reference ref;
    if (openFrame)
        ref.Feed(QByteArrayView(&ardel::wire::kTavowStart, 1));
    ref.Feed(whole);
    Check(ref.frames == framesOnce && ref.inFrame == once.InFrame()
              && QByteArrayView(ref.frame.data(), qsizetype(ref.frame.size())) == QByteArrayView(once.Partial()),
          "the framer disagrees with the byte-by-byte rule");
    return 0;
}
