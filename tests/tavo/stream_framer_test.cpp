#include "tavo/TavoStreamFramer.h"

#include "tavo/TAVOProtocol.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ardel;

namespace {

QByteArray Hex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

struct Read {
    QByteArray chunk;
    QList<QByteArray> frames; // completed by this read
};

} // namespace

TEST(StreamFramer, CutsTheStreamIntoFramesAcrossReads)
{
    struct Case {
        const char *name;
        std::vector<Read> reads;
        bool inFrameAfter;
        QByteArray partialAfter;
    };
    const Case cases[] = {
        {"bytes around frames are dropped, the second frame stays open",
         {{Hex("11FB0102FC22FB0304"), {Hex("FB0102FC")}}},
         true,
         Hex("FB0304")},
        {"the open frame ends in the next read",
         {{Hex("11FB0102FC22FB0304"), {Hex("FB0102FC")}}, {Hex("05FC33"), {Hex("FB030405FC")}}},
         false,
         {}},
        {"a start byte inside a frame restarts it", {{Hex("FB0102FB0304FC"), {Hex("FB0304FC")}}}, false, {}},
        {"a frame split over reads is handed over once",
         {{Hex("FB01"), {}}, {Hex("02"), {}}, {Hex("03FC"), {Hex("FB010203FC")}}},
         false,
         {}},
        {"split just before the end byte", {{Hex("FB0102"), {}}, {Hex("FC"), {Hex("FB0102FC")}}}, false, {}},
        {"no end byte: nothing is handed over", {{Hex("FB010203"), {}}, {Hex("0405"), {}}}, true, Hex("FB0102030405")},
        {"an end byte outside a frame is dropped", {{Hex("FC1122FC"), {}}}, false, {}},
        {"an empty frame", {{Hex("FBFC"), {Hex("FBFC")}}}, false, {}},
        {"two frames in one read", {{Hex("FB01FCFB02FC"), {Hex("FB01FC"), Hex("FB02FC")}}}, false, {}},
        {"an empty read changes nothing", {{Hex("FB01"), {}}, {QByteArray(), {}}}, true, Hex("FB01")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TTavoStreamFramer framer;
        for (const Read &r : c.reads)
            EXPECT_EQ(framer.Feed(r.chunk), r.frames);
        EXPECT_EQ(framer.InFrame(), c.inFrameAfter);
        EXPECT_EQ(framer.Partial(), c.partialAfter);
    }
}

TEST(StreamFramer, FramesAreHandedOverWhileTheChunkIsRead)
{
    // The callback form sees each frame before the rest of the chunk is read,
    // so that a handler runs in stream order.
    TTavoStreamFramer framer;
    QList<QByteArray> seen;
    framer.Feed(Hex("FB01FCFB02"), [&](const QByteArray &f) {
        seen.append(f);
        EXPECT_FALSE(framer.InFrame()) << "the rest of the chunk was read before the frame was handed over";
    });
    EXPECT_EQ(seen, QList<QByteArray>{Hex("FB01FC")});
    EXPECT_TRUE(framer.InFrame());
}

TEST(StreamFramer, AFrameNeverGrowsPastTheLongestPacket)
{
    static_assert(TTavoStreamFramer::kMaxFrame == TTAVOProtocol::kMaxPacket);
    const qsizetype max = TTavoStreamFramer::kMaxFrame;
    struct Case {
        const char *name;
        qsizetype bodyBytes; // after the start byte, before the end byte
        bool handed;
    };
    // The open frame holds at most max bytes; an end byte still completes a
    // full one (the decoder then refuses the packet as too long). A byte
    // more and the frame is dropped: its end byte falls outside any frame.
    const Case cases[] = {
        {"largest packet", max - 2, true},
        {"full buffer, then the end byte", max - 1, true},
        {"one byte over: dropped", max, false},
        {"far over", 5 * max, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TTavoStreamFramer framer;
        const QByteArray frame = Hex("FB") + QByteArray(c.bodyBytes, 'A') + Hex("FC");
        QList<QByteArray> got;
        for (qsizetype at = 0; at < frame.size(); at += 100) {
            got += framer.Feed(frame.mid(at, 100));
            ASSERT_LE(framer.Partial().size(), max);
        }
        EXPECT_EQ(got.size(), c.handed ? 1 : 0);
        if (c.handed) {
            EXPECT_EQ(got.value(0), frame);
        }
        EXPECT_FALSE(framer.InFrame());
        EXPECT_TRUE(framer.Partial().isEmpty());
        // The stream recovers at the next start byte.
        EXPECT_EQ(framer.Feed(Hex("11FB01FC")), QList<QByteArray>{Hex("FB01FC")});
    }
}

TEST(StreamFramer, ResetForgetsAnOpenFrame)
{
    TTavoStreamFramer framer;
    framer.Feed(Hex("FB0102"));
    framer.Reset();
    EXPECT_FALSE(framer.InFrame());
    EXPECT_EQ(framer.Feed(Hex("03FC")), QList<QByteArray>{});
}
