#include "tavo/TAVOProtocol.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace ardel;

namespace {

QByteArray Hex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

std::uint8_t U8(char c)
{
    return static_cast<std::uint8_t>(c);
}

// Frames already coded TAVOW bytes with start byte, checksum and end byte.
QByteArray FrameTavow(const QByteArray &coded)
{
    QByteArray p;
    p.append(char(0xFB));
    p.append(coded);
    p.append(char(TTAVOProtocol::ChecksumTAVOW(coded.constData(), coded.size())));
    p.append(char(0xFC));
    return p;
}

// A plain TAVOW header (before bitmatrix coding).
QByteArray TavowHeader(std::uint32_t to, std::uint32_t from, std::uint8_t shortFrom, std::uint8_t flags, std::uint8_t seq,
                       std::uint8_t extLen, std::uint16_t dataLen)
{
    QByteArray h;
    for (int i = 0; i < 4; ++i)
        h.append(char((to >> (8 * i)) & 0xFF));
    for (int i = 0; i < 4; ++i)
        h.append(char((from >> (8 * i)) & 0xFF));
    h.append(char(shortFrom));
    h.append(char(flags));
    h.append(char(seq));
    h.append(char(extLen));
    h.append(char(dataLen & 0xFF));
    h.append(char(dataLen >> 8));
    return h;
}

// Recomputes a TAVO packet's checksum after a test has changed its bytes.
void FixTavoChecksum(QByteArray &p)
{
    std::uint8_t sum = 0;
    for (qsizetype i = 1; i < p.size() - 2; ++i)
        sum = std::uint8_t(sum + U8(p[i]));
    if (sum > 0xFA)
        sum = std::uint8_t(sum - 0x80);
    else if (sum == 0)
        sum = 0x80;
    p[p.size() - 2] = char(sum);
}

struct CodecFixture : ::testing::Test {
    TTAVOProtocol codec;
    void SetUp() override
    {
        codec.Cimzett = 255;
        codec.CsomagSorszam = 1;
    }
};

} // namespace

TEST(TavoCodec, ConstructorValues)
{
    TTAVOProtocol c;
    EXPECT_EQ(c.Cimzett, 1u);
    EXPECT_EQ(c.Felado, 250u);
    EXPECT_EQ(c.Felado_rovid_cim, 250);
    EXPECT_EQ(c.CsomagSorszam, 0);
    EXPECT_EQ(c.Info, TInfo::nem_kerek_nyugtat);
    EXPECT_FALSE(c.Enable_ASYER);
    EXPECT_FALSE(c.Disable_bitmatrix);
    EXPECT_TRUE(c.Header_extension.isEmpty());
    EXPECT_EQ(c.TAVOMode, TTAVOMode::PMTAVOOnly);
    EXPECT_EQ(c.DecodeError(), 0);
}

TEST_F(CodecFixture, WorkedExamplesByteForByte)
{
    const QByteArray cetei = QByteArrayLiteral("CETEI");
    const QByteArray tavow = Hex("FB7F8080807A80807F807A80818085807F43455445498"
                                 "0E1FC");
    const QByteArray tavo = Hex("FDFFFA04018006010143455445498070FE");

    QByteArray packet;
    codec.EncodeTAVOW(cetei, packet);
    EXPECT_EQ(packet, tavow);
    codec.EncodeTAVO(cetei, packet);
    EXPECT_EQ(packet, tavo);

    codec.TAVOMode = TTAVOMode::PMTAVOWOnly;
    EXPECT_EQ(codec.Encode(cetei), tavow);
    codec.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVOW;
    EXPECT_EQ(codec.Encode(cetei), tavow);
    codec.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVO;
    EXPECT_EQ(codec.Encode(cetei), tavo);

    for (const QByteArray &p : {tavow, tavo}) {
        TTAVOProtocol rx;
        rx.Cimzett = 0;
        rx.Felado = 0;
        rx.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVOW;
        EXPECT_EQ(rx.Decode(p), cetei);
        EXPECT_EQ(rx.DecodeError(), 0);
        EXPECT_EQ(rx.Cimzett, 255u);
        EXPECT_EQ(rx.Felado, 250u);
        EXPECT_EQ(rx.Felado_rovid_cim, 250);
        EXPECT_EQ(rx.CsomagSorszam, 1);
    }
}

// Round trips of chosen data through both variants, with the packet sizes
// and the byte ranges that keep the framing unambiguous.
TEST_F(CodecFixture, RoundTripTable)
{
    struct Case {
        const char *name;
        QByteArray data;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"7 bytes", QByteArrayLiteral("CSYRE\x0a\x00")},
        {"8 bytes", QByteArrayLiteral("CSYRE\x0a\x00\x18")},
        {"14 bytes", QByteArrayLiteral("CETSM\x00\x1a\x4b\x0c\xc8\x03\xff\x80\x01")},
        {"specials", Hex("001F20809FA0FBFCFDFE")},
        {"all zero", QByteArray(15, '\0')},
        {"all 0x80", QByteArray(15, char(0x80))},
        {"all 0xFF", QByteArray(9, char(0xFF))},
    };
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));

    auto check = [&](const char *name, const QByteArray &data) {
        SCOPED_TRACE(name);
        const qsizetype n = data.size();

        QByteArray tavo;
        codec.EncodeTAVO(data, tavo);
        const qsizetype body = n + (n + 6) / 7;
        ASSERT_EQ(tavo.size(), 11 + body);
        EXPECT_EQ(U8(tavo[0]), 0xFD);
        EXPECT_EQ(U8(tavo[tavo.size() - 1]), 0xFE);
        for (qsizetype i = 1; i < tavo.size() - 1; ++i) {
            EXPECT_NE(U8(tavo[i]), 0) << "offset " << i;
            if (i >= 3) { // only the address bytes may look like framing
                EXPECT_TRUE(U8(tavo[i]) < 0xFB) << "offset " << i;
            }
        }
        TTAVOProtocol rx;
        rx.TAVOMode = TTAVOMode::PMTAVOOnly;
        EXPECT_EQ(rx.Decode(tavo), data);
        EXPECT_EQ(rx.DecodeError(), 0);

        QByteArray tavow;
        codec.EncodeTAVOW(data, tavow);
        const qsizetype plain = 14 + n;
        ASSERT_EQ(tavow.size(), 3 + plain + (plain + 6) / 7);
        EXPECT_EQ(U8(tavow[0]), 0xFB);
        EXPECT_EQ(U8(tavow[tavow.size() - 1]), 0xFC);
        for (qsizetype i = 1; i < tavow.size() - 2; ++i)
            EXPECT_TRUE(U8(tavow[i]) >= 0x20 && U8(tavow[i]) <= 0x9F) << "offset " << i;
        const std::uint8_t sum = U8(tavow[tavow.size() - 2]);
        EXPECT_TRUE(sum >= 0x20 && sum <= 0xFA);
        rx.TAVOMode = TTAVOMode::PMTAVOWOnly;
        EXPECT_EQ(rx.Decode(tavow), data);
        EXPECT_EQ(rx.DecodeError(), 0);
    };
    for (const Case &c : cases)
        check(c.name, c.data);
    check("every byte value", all);

    QByteArray empty;
    codec.EncodeTAVO(QByteArray(), empty);
    ASSERT_EQ(empty.size(), 11);
    EXPECT_EQ(empty.mid(5, 4), Hex("80800101"));
    codec.EncodeTAVOW(QByteArray(), empty);
    EXPECT_EQ(empty.size(), 19);
}

TEST_F(CodecFixture, TavoHeaderBytes)
{
    // Recipient 0 travels as 0x80 and comes back as 128.
    codec.Cimzett = 0;
    QByteArray p;
    codec.EncodeTAVO(QByteArrayLiteral("CSYSI"), p);
    EXPECT_EQ(U8(p[1]), 0x80);
    TTAVOProtocol rx;
    EXPECT_EQ(rx.Decode(p), QByteArrayLiteral("CSYSI"));
    EXPECT_EQ(rx.Cimzett, 128u);

    // Repeated-packet info keeps only its low bits in TAVO.
    codec.Cimzett = 3;
    codec.Info = TInfo::ismetelt_csomag;
    codec.EncodeTAVO(QByteArrayLiteral("CSYSI"), p);
    EXPECT_EQ(U8(p[3]), 0x04);
    rx.Info = TInfo::negativ_nyugta;
    rx.Decode(p);
    EXPECT_EQ(rx.DecodeError(), 0);
    EXPECT_EQ(rx.Info, TInfo::nem_kerek_nyugtat);

    // Felado's low byte is what a TAVO packet names as sender.
    codec.Felado = 0x1234;
    codec.EncodeTAVO(QByteArrayLiteral("CSYSI"), p);
    EXPECT_EQ(codec.Felado_rovid_cim, 0x34);
    EXPECT_EQ(U8(p[2]), 0x34);
}

TEST_F(CodecFixture, SequenceNumberRules)
{
    QByteArray p;
    codec.CsomagSorszam = 251;
    codec.EncodeTAVO(QByteArrayLiteral("CSYSI"), p);
    EXPECT_EQ(codec.CsomagSorszam, 1);
    EXPECT_EQ(U8(p[4]), 1);

    codec.CsomagSorszam = 255;
    codec.EncodeTAVOW(QByteArrayLiteral("CSYSI"), p);
    EXPECT_EQ(codec.CsomagSorszam, 1);
    TTAVOProtocol rx;
    rx.DecodeTAVOW(p, p);
    EXPECT_EQ(rx.CsomagSorszam, 1);

    // TAVOW sends 0 as it is; TAVO replaces it by a random 1..250.
    codec.CsomagSorszam = 0;
    codec.EncodeTAVOW(QByteArrayLiteral("CSYSI"), p);
    EXPECT_EQ(codec.CsomagSorszam, 0);

    std::set<int> seen;
    for (int i = 0; i < 300; ++i) {
        codec.CsomagSorszam = 0;
        codec.EncodeTAVO(QByteArrayLiteral("CSYSI"), p);
        const int seq = codec.CsomagSorszam;
        ASSERT_GE(seq, 1);
        ASSERT_LE(seq, 250);
        EXPECT_EQ(U8(p[4]), seq);
        seen.insert(seq);
    }
    EXPECT_GT(seen.size(), 50u);

    // The codec never advances the number itself.
    codec.CsomagSorszam = 7;
    codec.EncodeTAVO(QByteArrayLiteral("CSYSI"), p);
    codec.EncodeTAVOW(QByteArrayLiteral("CSYSI"), p);
    EXPECT_EQ(codec.CsomagSorszam, 7);
}

TEST_F(CodecFixture, TavowHeaderFieldsRoundTrip)
{
    codec.Cimzett = 0x01020304;
    codec.Felado = 0xA0B0C0D0;
    codec.Felado_rovid_cim = 17;
    codec.CsomagSorszam = 200;
    codec.Info = TInfo::ismetelt_csomag;
    codec.Enable_ASYER = true;
    codec.Disable_bitmatrix = true;
    codec.Header_extension = Hex("00FFFD7E");
    QByteArray p;
    codec.EncodeTAVOW(QByteArrayLiteral("CSYER"), p);

    // The flag bit is sent, but the bytes are still bitmatrix coded.
    const QByteArray plain = TTAVOProtocol::DecodeBitmatrix(p.mid(1, p.size() - 3));
    EXPECT_EQ(U8(plain[9]), 0x04 | 0x10 | 0x40);
    EXPECT_EQ(U8(plain[11]), 4);

    TTAVOProtocol rx;
    QByteArray data = QByteArrayLiteral("old");
    rx.DecodeTAVOW(p, data);
    EXPECT_EQ(rx.DecodeError(), 0);
    EXPECT_EQ(data, QByteArrayLiteral("CSYER"));
    EXPECT_EQ(rx.Cimzett, 0x01020304u);
    EXPECT_EQ(rx.Felado, 0xA0B0C0D0u);
    EXPECT_EQ(rx.Felado_rovid_cim, 17);
    EXPECT_EQ(rx.CsomagSorszam, 200);
    EXPECT_EQ(rx.Info, TInfo::ismetelt_csomag);
    EXPECT_TRUE(rx.Enable_ASYER);
    EXPECT_FALSE(rx.Disable_bitmatrix); // not taken from the packet
    EXPECT_EQ(rx.Header_extension, Hex("00FFFD7E"));
}

// One shared instance: a packet encoded after a decode carries the decoded
// header in every field the caller does not set.
TEST_F(CodecFixture, DecodedHeaderFeedsNextEncode)
{
    codec.Felado = 3000;
    codec.CsomagSorszam = 9;
    QByteArray reply;
    codec.EncodeTAVOW(QByteArrayLiteral("ASYSI"), reply);

    TTAVOProtocol shared;
    shared.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVOW;
    shared.Decode(reply);
    ASSERT_EQ(shared.DecodeError(), 0);
    shared.Cimzett = 42; // the only field a sender sets
    const QByteArray next = shared.Encode(QByteArrayLiteral("CSYSI"));

    TTAVOProtocol rx;
    QByteArray data;
    rx.DecodeTAVOW(next, data);
    EXPECT_EQ(data, QByteArrayLiteral("CSYSI"));
    EXPECT_EQ(rx.Cimzett, 42u);
    EXPECT_EQ(rx.Felado, 3000u);
    EXPECT_EQ(rx.CsomagSorszam, 9);
}

TEST_F(CodecFixture, AddressRules)
{
    // TAVOW: a sender of 255 or less other than 250 still yields the data.
    codec.Felado = 7;
    QByteArray p;
    codec.EncodeTAVOW(QByteArrayLiteral("ASYRE\x01"), p);
    TTAVOProtocol rx;
    QByteArray data;
    rx.DecodeTAVOW(p, data);
    EXPECT_EQ(rx.DecodeError(), 4);
    EXPECT_EQ(data, QByteArrayLiteral("ASYRE\x01"));
    EXPECT_EQ(rx.Felado, 7u);

    struct TavowSender {
        std::uint32_t felado;
        int code;
    };
    for (const TavowSender &c : {TavowSender{0, 4}, TavowSender{249, 4}, TavowSender{250, 0}, TavowSender{251, 4},
                                 TavowSender{255, 4}, TavowSender{256, 0}, TavowSender{0xFFFFFFFF, 0}}) {
        codec.Felado = c.felado;
        rx.DecodeTAVOW(codec.Encode(QByteArray()), data);
        codec.EncodeTAVOW(QByteArrayLiteral("AB"), p);
        rx.DecodeTAVOW(p, data);
        EXPECT_EQ(rx.DecodeError(), c.code) << "sender " << c.felado;
    }

    // TAVO: recipient 0..250 or 255, sender 1..250; otherwise no data.
    struct TavoAddr {
        std::uint8_t to;
        std::uint8_t from;
        int code;
    };
    const TavoAddr tavoCases[] = {
        {1, 0, 4},   {1, 251, 4}, {1, 255, 4}, {1, 1, 0},   {1, 250, 0},
        {251, 5, 4}, {254, 5, 4}, {255, 5, 0}, {250, 5, 0}, {0x80, 5, 0},
    };
    codec.Felado = 250;
    codec.EncodeTAVO(QByteArrayLiteral("ASYRE"), p);
    for (const TavoAddr &c : tavoCases) {
        QByteArray q = p;
        q[1] = char(c.to);
        q[2] = char(c.from);
        FixTavoChecksum(q);
        QByteArray out = QByteArrayLiteral("keep");
        rx.Felado = 99;
        rx.DecodeTAVO(q, out);
        EXPECT_EQ(rx.DecodeError(), c.code) << int(c.to) << "/" << int(c.from);
        if (c.code == 0) {
            EXPECT_EQ(out, QByteArrayLiteral("ASYRE"));
            EXPECT_EQ(rx.Felado, c.from);
        } else {
            EXPECT_EQ(out, QByteArrayLiteral("keep"));
            EXPECT_EQ(rx.Felado, 99u);
        }
    }
}

TEST_F(CodecFixture, DecodeBothModes)
{
    QByteArray tavow, tavo;
    codec.EncodeTAVOW(QByteArrayLiteral("AETEI"), tavow);
    codec.EncodeTAVO(QByteArrayLiteral("AETEI"), tavo);
    QByteArray badTavo = tavo;
    badTavo[badTavo.size() - 2] = char(U8(badTavo[badTavo.size() - 2]) ^ 0x01);

    struct Case {
        const char *name;
        TTAVOMode mode;
        const QByteArray *packet;
        int code;
        bool data;
    };
    const Case cases[] = {
        {"both/tavow", TTAVOMode::PMDecodeBothEncodeTAVOW, &tavow, 0, true},
        {"both/tavo", TTAVOMode::PMDecodeBothEncodeTAVO, &tavo, 0, true},
        {"both/bad tavo", TTAVOMode::PMDecodeBothEncodeTAVOW, &badTavo, 3, false},
        {"tavo only/tavow", TTAVOMode::PMTAVOOnly, &tavow, 3, false},
        {"tavow only/tavo", TTAVOMode::PMTAVOWOnly, &tavo, 3, false},
        {"tavo only/bad tavo", TTAVOMode::PMTAVOOnly, &badTavo, 1, false},
    };
    for (const Case &c : cases) {
        TTAVOProtocol rx;
        rx.TAVOMode = c.mode;
        QByteArray data;
        rx.Decode(*c.packet, data);
        EXPECT_EQ(rx.DecodeError(), c.code) << c.name;
        EXPECT_EQ(data, c.data ? QByteArrayLiteral("AETEI") : QByteArray()) << c.name;
    }
}

TEST_F(CodecFixture, SizeLimits)
{
    QByteArray p;
    codec.EncodeTAVOW(QByteArray(879, char(0xAB)), p);
    EXPECT_EQ(p.size(), 1024);
    TTAVOProtocol rx;
    rx.TAVOMode = TTAVOMode::PMTAVOWOnly;
    EXPECT_EQ(rx.Decode(p), QByteArray(879, char(0xAB)));

    codec.EncodeTAVO(QByteArray(886, char(0xAB)), p);
    EXPECT_EQ(p.size(), 1024);
    rx.TAVOMode = TTAVOMode::PMTAVOOnly;
    EXPECT_EQ(rx.Decode(p), QByteArray(886, char(0xAB)));

    struct Over {
        const char *name;
        int size;
        bool tavow;
        QByteArray ext;
    };
    const Over over[] = {
        {"tavow 880", 880, true, {}},
        {"tavow 873 + 7 extension", 873, true, QByteArray(7, 'e')},
        {"tavo 887", 887, false, {}},
        {"tavow 65536", 65536, true, {}},
        {"tavow extension 256", 0, true, QByteArray(256, 'e')},
    };
    for (const Over &o : over) {
        codec.Header_extension = o.ext;
        QByteArray out = QByteArrayLiteral("keep");
        try {
            if (o.tavow)
                codec.EncodeTAVOW(QByteArray(o.size, 'x'), out);
            else
                codec.EncodeTAVO(QByteArray(o.size, 'x'), out);
            ADD_FAILURE() << o.name << ": no error";
        } catch (const TTAVOError &e) {
            EXPECT_STREQ(e.what(), "Data do not fit in TAVO packet") << o.name;
        }
        EXPECT_EQ(out, QByteArrayLiteral("keep")) << o.name;
    }
    codec.Header_extension = QByteArray(255, 'e');
    codec.EncodeTAVOW(QByteArrayLiteral("CSYSI"), p);
    rx.DecodeTAVOW(p, p);
    EXPECT_EQ(rx.DecodeError(), 0);
    EXPECT_EQ(rx.Header_extension, QByteArray(255, 'e'));
}

TEST(TavoCodecErrors, TavoCodes)
{
    TTAVOProtocol tx;
    tx.Cimzett = 5;
    tx.CsomagSorszam = 1;
    const QByteArray good = tx.Encode(QByteArrayLiteral("ASYSI0123456789"));

    auto mutate = [&](auto f) {
        QByteArray p = good;
        f(p);
        return p;
    };
    struct Case {
        const char *name;
        QByteArray packet;
        int code;
    };
    const Case cases[] = {
        {"good", good, 0},
        {"empty", QByteArray(), 6},
        {"10 bytes", good.left(8) + Hex("70FE"), 6},
        {"1025 bytes", Hex("FD") + QByteArray(1023, 'x') + Hex("FE"), 2},
        {"start", mutate([](QByteArray &p) { p[0] = char(0xFB); }), 3},
        {"end", mutate([](QByteArray &p) { p[p.size() - 1] = char(0xFC); }), 3},
        {"recipient", mutate([](QByteArray &p) {
             p[1] = char(0xFA + 1);
             FixTavoChecksum(p);
         }),
         4},
        {"length field", mutate([](QByteArray &p) {
             p[6] = char(U8(p[6]) + 1);
             FixTavoChecksum(p);
         }),
         5},
        {"truncated", mutate([](QByteArray &p) { p.remove(10, 1); }), 5},
        {"checksum", mutate([](QByteArray &p) { p[p.size() - 2] = char(U8(p[p.size() - 2]) ^ 0x02); }), 1},
        {"body byte", mutate([](QByteArray &p) { p[10] = char(U8(p[10]) ^ 0x01); }), 1},
    };
    for (const Case &c : cases) {
        TTAVOProtocol rx;
        rx.Cimzett = 77;
        QByteArray data = QByteArrayLiteral("keep");
        rx.DecodeTAVO(c.packet, data);
        EXPECT_EQ(rx.DecodeError(), c.code) << c.name;
        if (c.code != 0) {
            EXPECT_EQ(data, QByteArrayLiteral("keep")) << c.name;
            EXPECT_EQ(rx.Cimzett, 77u) << c.name;
        }
    }
}

TEST(TavoCodecErrors, TavowCodes)
{
    TTAVOProtocol tx;
    tx.Felado = 1000;
    const QByteArray good = [&] {
        QByteArray p;
        tx.EncodeTAVOW(QByteArrayLiteral("ASYSI0123456789"), p);
        return p;
    }();
    auto mutate = [&](auto f) {
        QByteArray p = good;
        f(p);
        return p;
    };
    // Well framed and summed, but the content disagrees with itself.
    const QByteArray shortContent = FrameTavow(TTAVOProtocol::EncodeBitmatrix(QByteArray(13, 'h')));
    const QByteArray lengthMismatch =
        FrameTavow(TTAVOProtocol::EncodeBitmatrix(TavowHeader(9, 900, 4, 0x03, 6, 0, 3) + QByteArrayLiteral("ab")));
    const QByteArray extTooLong =
        FrameTavow(TTAVOProtocol::EncodeBitmatrix(TavowHeader(9, 900, 4, 0x03, 6, 200, 0) + QByteArrayLiteral("ab")));

    struct Case {
        const char *name;
        QByteArray packet;
        int code;
    };
    const Case cases[] = {
        {"good", good, 0},
        {"empty", QByteArray(), 6},
        {"14 bytes", Hex("FB") + QByteArray(12, ' ') + Hex("FC"), 6},
        {"1025 bytes", Hex("FB") + QByteArray(1023, ' ') + Hex("FC"), 2},
        {"start", mutate([](QByteArray &p) { p[0] = char(0xFD); }), 3},
        {"end", mutate([](QByteArray &p) { p[p.size() - 1] = char(0xFE); }), 3},
        {"checksum", mutate([](QByteArray &p) { p[p.size() - 2] = char(U8(p[p.size() - 2]) ^ 0x01); }), 1},
        {"coded byte", mutate([](QByteArray &p) { p[3] = char(U8(p[3]) ^ 0x01); }), 1},
        {"content below header", shortContent, 5},
        {"data length", lengthMismatch, 5},
        {"extension length", extTooLong, 5},
    };
    for (const Case &c : cases) {
        TTAVOProtocol rx;
        rx.Cimzett = 77;
        rx.Felado = 250;
        rx.Info = TInfo::kerek_nyugtat;
        QByteArray data = QByteArrayLiteral("keep");
        rx.DecodeTAVOW(c.packet, data);
        EXPECT_EQ(rx.DecodeError(), c.code) << c.name;
        if (c.code != 0) {
            EXPECT_EQ(data, QByteArrayLiteral("keep")) << c.name;
            EXPECT_EQ(rx.Info, TInfo::kerek_nyugtat) << c.name;
        }
    }

    // A length mismatch is found after the addresses were taken over; a
    // content too short for a header leaves every property untouched.
    TTAVOProtocol rx;
    QByteArray data;
    rx.DecodeTAVOW(lengthMismatch, data);
    EXPECT_EQ(rx.Cimzett, 9u);
    EXPECT_EQ(rx.Felado, 900u);
    EXPECT_EQ(rx.Felado_rovid_cim, 4);
    EXPECT_EQ(rx.CsomagSorszam, 6);
    EXPECT_EQ(rx.Info, TInfo::nem_kerek_nyugtat);

    TTAVOProtocol untouched;
    untouched.DecodeTAVOW(shortContent, data);
    EXPECT_EQ(untouched.DecodeError(), 5);
    EXPECT_EQ(untouched.Cimzett, 1u);
    EXPECT_EQ(untouched.Felado, 250u);
    EXPECT_EQ(untouched.Felado_rovid_cim, 250);
    EXPECT_EQ(untouched.CsomagSorszam, 0);
}

TEST(TavoCodecBitmatrix, CodingAndChecksum)
{
    EXPECT_EQ(TTAVOProtocol::EncodeBitmatrix(QByteArray()), QByteArray());
    EXPECT_EQ(TTAVOProtocol::DecodeBitmatrix(QByteArray()), QByteArray());
    // One flag byte per started group; a flag below 0x20 gets bit 7.
    EXPECT_EQ(TTAVOProtocol::EncodeBitmatrix(QByteArrayLiteral("ABCDEFG")), QByteArrayLiteral("ABCDEFG\x80"));
    EXPECT_EQ(TTAVOProtocol::EncodeBitmatrix(Hex("00414243444546FF")), Hex("80414243444546817F81"));
    // A lone byte is only a flag byte and produces nothing.
    EXPECT_EQ(TTAVOProtocol::DecodeBitmatrix(Hex("41")), QByteArray());

    struct Sum {
        QByteArray bytes;
        std::uint8_t expected;
    };
    const Sum sums[] = {
        {QByteArray(), 0x80}, {Hex("1F"), 0x9F},   {Hex("20"), 0x20},   {Hex("FA"), 0xFA},   {Hex("FB"), 0x7B},
        {Hex("FF"), 0x7F},    {Hex("FF02"), 0x81}, {Hex("8080"), 0x80}, {Hex("9F9F"), 0x3E},
    };
    for (const Sum &s : sums)
        EXPECT_EQ(TTAVOProtocol::ChecksumTAVOW(s.bytes.constData(), s.bytes.size()), s.expected) << s.bytes.toHex().constData();
}

TEST(TavoCodecRandom, SeededRoundTrips)
{
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int iter = 0; iter < 400; ++iter) {
        TTAVOProtocol tx;
        const bool tavow = iter % 2 == 0;
        tx.TAVOMode = tavow ? TTAVOMode::PMTAVOWOnly : TTAVOMode::PMTAVOOnly;
        tx.CsomagSorszam = std::uint8_t(pick(1, 250));
        QByteArray data(pick(0, tavow ? 879 : 886), Qt::Uninitialized);
        for (char &c : data)
            c = char(pick(0, 255));
        if (tavow) {
            tx.Cimzett = std::uint32_t(rng());
            tx.Felado = std::uint32_t(pick(256, 0x7FFFFFFF));
            tx.Felado_rovid_cim = std::uint8_t(pick(0, 255));
            tx.Info = TInfo(pick(0, 4));
            tx.Enable_ASYER = pick(0, 1) != 0;
            const int ext = std::min<int>(pick(0, 20), int(879 - data.size()));
            tx.Header_extension = QByteArray(ext, char(pick(0, 255)));
        } else {
            tx.Cimzett = std::uint32_t(pick(0, 250));
            tx.Felado = std::uint32_t(pick(1, 250));
            tx.Info = TInfo(pick(0, 3));
        }
        const QByteArray packet = tx.Encode(data);
        ASSERT_LE(packet.size(), 1024);

        TTAVOProtocol rx;
        rx.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVOW;
        const QByteArray back = rx.Decode(packet);
        ASSERT_EQ(rx.DecodeError(), 0) << "iteration " << iter;
        ASSERT_EQ(back, data) << "iteration " << iter;
        EXPECT_EQ(rx.Cimzett, tavow || tx.Cimzett != 0 ? tx.Cimzett : 128u);
        EXPECT_EQ(rx.Felado, tx.Felado);
        EXPECT_EQ(rx.CsomagSorszam, tx.CsomagSorszam);
        EXPECT_EQ(rx.Info, tx.Info);
        if (tavow) {
            EXPECT_EQ(rx.Felado_rovid_cim, tx.Felado_rovid_cim);
            EXPECT_EQ(rx.Enable_ASYER, tx.Enable_ASYER);
            EXPECT_EQ(rx.Header_extension, tx.Header_extension);
        }
    }
}

// Whatever arrives, the decoders stay inside their input (run under the
// sanitizer build to see a stray read) and only return data on success.
TEST(TavoCodecRandom, GarbageNeverBreaksDecoders)
{
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TTAVOProtocol rx;
    rx.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVOW;
    for (int iter = 0; iter < 20000; ++iter) {
        QByteArray p(pick(0, iter % 100 == 0 ? 1100 : 40), Qt::Uninitialized);
        for (char &c : p)
            c = char(pick(0, 255));
        switch (iter % 4) {
        case 0: // well-framed TAVOW with a right checksum
            p = FrameTavow(p);
            break;
        case 1: // well-framed TAVO with a consistent length and checksum
            if (p.size() >= 11 && p.size() <= 1024) {
                const qsizetype n = p.size() - 11;
                p[0] = char(0xFD);
                p[p.size() - 1] = char(0xFE);
                p[1] = char(pick(0, 250));
                p[2] = char(pick(1, 250));
                p[5] = char(n >> 7);
                p[6] = char(n & 0x7F);
                FixTavoChecksum(p);
            }
            break;
        default:
            break;
        }
        QByteArray data;
        rx.Decode(p, data);
        const int code = rx.DecodeError();
        ASSERT_LE(code, 6);
        if (code != 0 && code != 4) {
            EXPECT_TRUE(data.isEmpty());
        }
        EXPECT_LE(data.size(), p.size());
    }
}
