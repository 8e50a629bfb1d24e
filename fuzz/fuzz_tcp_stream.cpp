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
#include "fuzz/FuzzOptions.h"
#include "fuzz/FuzzSupport.h"

#include "tavo/TAVOProtocol.h"
#include "tavo/TavoStreamFramer.h"
#include "tavo/TavoWire.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

using ardel::TTavoStreamFramer;
using ardelfuzz::Check;

namespace {

ARDEL_HARNESS void CheckBounded(const TTavoStreamFramer &f)
{
    Check(f.Partial().size() <= TTavoStreamFramer::kMaxFrame, "frame buffer grew past the largest packet");
    if (f.InFrame())
        Check(!f.Partial().isEmpty() && f.Partial().front() == ardel::wire::kTavowStart, "open frame does not start with FB");
    else
        Check(f.Partial().isEmpty(), "bytes kept outside a frame");
}

ARDEL_HARNESS void CheckFrame(const QByteArray &frame)
{
    Check(frame.size() >= 2 && frame.front() == ardel::wire::kTavowStart && frame.back() == ardel::wire::kTavowEnd,
          "frame does not run from FB to FC");
    Check(frame.size() <= TTavoStreamFramer::kMaxFrame + 1, "frame longer than a full buffer and its end byte");
    const char *p = frame.constData();
    for (qsizetype i = 1; i + 1 < frame.size(); ++i)
        Check(p[i] != ardel::wire::kTavowStart && p[i] != ardel::wire::kTavowEnd, "start or end byte inside a frame");
}

// The framing rule byte by byte, as the program always read the stream; the
// framer takes runs of bytes at once and must agree with it. A frame is a
// contiguous piece of the stream, so the reference keeps where its frames lie
// instead of copies of them.
struct Reference {
    struct Span {
        qsizetype from;
        qsizetype size;
    };
    bool inFrame = false;
    qsizetype frameFrom = 0;
    QVarLengthArray<Span, 64> frames;

    ARDEL_HARNESS void Feed(QByteArrayView stream)
    {
        const char *const s = stream.data();
        for (qsizetype i = 0; i < stream.size(); ++i) {
            const char b = s[i];
            if (b == ardel::wire::kTavowStart) {
                frameFrom = i;
                inFrame = true;
            } else if (!inFrame) {
                continue;
            } else if (b == ardel::wire::kTavowEnd) {
                inFrame = false;
                frames.append({frameFrom, i + 1 - frameFrom});
            } else if (i - frameFrom >= TTavoStreamFramer::kMaxFrame) {
                inFrame = false;
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

// Room for a frame that overflows the buffer (kMaxFrame bytes after its FB)
// and the frames around it; longer inputs only repeat that, at the cost of a
// slower run.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    ardelfuzz::DefaultMaxLen(argc, argv, 1536);
    return 0;
}

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

    // The stream as one piece, behind the start byte an earlier connection
    // left open (the reference reads that byte too; the framers get it from
    // Start). One allocation of the exact size, so that a read past the end
    // is caught as before.
    QByteArray stream(std::max(qsizetype(size), qsizetype(1)), Qt::Uninitialized);
    char *out = stream.data();
    *out++ = ardel::wire::kTavowStart;
    for (const QByteArrayView chunk : chunks) {
        if (!chunk.isEmpty())
            std::memcpy(out, chunk.data(), size_t(chunk.size()));
        out += chunk.size();
    }
    const QByteArrayView opened(stream.constData(), out - stream.constData());
    const QByteArrayView whole = opened.sliced(1);

    // One codec for the whole run: constructing one seeds a random generator.
    static ardel::TTAVOProtocol codec;
    TTavoStreamFramer pieces = Start(openFrame);
    // The frames share their bytes with the framer's; up to 32 of them need
    // no allocation of their own.
    QVarLengthArray<QByteArray, 32> framesInPieces;
    for (const QByteArrayView chunk : chunks) {
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
    Check(framesInPieces.size() == framesOnce.size() && std::equal(framesOnce.begin(), framesOnce.end(), framesInPieces.begin())
              && pieces.InFrame() == once.InFrame() && pieces.Partial() == once.Partial(),
          "the outcome depends on how the stream was cut");

    Reference ref;
    ref.Feed(openFrame ? opened : whole);
    const QByteArrayView refStream = openFrame ? opened : whole;
    bool agree = ref.frames.size() == framesOnce.size() && ref.inFrame == once.InFrame();
    for (qsizetype i = 0; agree && i < ref.frames.size(); ++i)
        agree = refStream.sliced(ref.frames[i].from, ref.frames[i].size) == QByteArrayView(framesOnce[i]);
    if (agree)
        agree = ref.inFrame ? refStream.sliced(ref.frameFrom) == QByteArrayView(once.Partial()) : once.Partial().isEmpty();
    Check(agree, "the framer disagrees with the byte-by-byte rule");
    return 0;
}
