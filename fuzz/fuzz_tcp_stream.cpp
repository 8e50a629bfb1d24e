// The byte stream of the TCP connection to port 1001: the framing of
// TAVOSocket1Read (frames from 0xFB to 0xFC, resynchronising on 0xFB,
// dropping bytes outside frames) and HandleTavoFrame's decode of the
// "ASYWE" answer. No socket is opened.
//
// Input: byte 0 sets the state left by an earlier connection (bit 0: a frame
// is open), then chunks (length byte + bytes) as read events deliver them.
// The same bytes are then fed again as one chunk: how the stream is cut into
// read events must not change the outcome.
#include "fuzz/FuzzSupport.h"

#include "app/frm_main.h"
#include "tavo/TAVOProtocol.h"

using ardelfuzz::Check;

namespace {

struct StreamState {
    bool inFrame;
    QByteArray frame;
    bool writeOk;
};

void Reset(ardel::Tf_main &w, bool openFrame)
{
    ardelfuzz::ResetCodec(w);
    w.InTavoFrame = openFrame;
    w.TavoFrame = openFrame ? QByteArray(1, char(0xFB)) : QByteArray();
    w.EepromWriteOk = false;
}

StreamState State(const ardel::Tf_main &w)
{
    return {w.InTavoFrame, w.TavoFrame, w.EepromWriteOk};
}

void CheckBounded(const ardel::Tf_main &w)
{
    Check(w.TavoFrame.size() <= ardel::TTAVOProtocol::kMaxPacket, "frame buffer grew past the largest packet");
    if (w.InTavoFrame)
        Check(!w.TavoFrame.isEmpty() && static_cast<std::uint8_t>(w.TavoFrame.front()) == 0xFB,
              "open frame does not start with FB");
    else
        Check(w.TavoFrame.isEmpty(), "bytes kept outside a frame");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ardelfuzz::Windows();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    ardel::Tf_main &w = ardelfuzz::MainWindow();
    ardelfuzz::Reader in(bytes, size);
    const bool openFrame = (in.Byte() & 1) != 0;

    Reset(w, openFrame);
    QByteArray whole;
    while (!in.AtEnd()) {
        const QByteArray chunk = in.Chunk();
        whole += chunk;
        w.TAVOSocket1ReadChunk(chunk);
        CheckBounded(w);
    }
    const StreamState pieces = State(w);

    Reset(w, openFrame);
    w.TAVOSocket1ReadChunk(whole);
    CheckBounded(w);
    const StreamState once = State(w);
    Check(pieces.inFrame == once.inFrame && pieces.frame == once.frame && pieces.writeOk == once.writeOk,
          "the outcome depends on how the stream was cut");

    ardelfuzz::FlushPostedEvents();
    return 0;
}
