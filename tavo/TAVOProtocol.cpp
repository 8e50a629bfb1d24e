#include "tavo/TAVOProtocol.h"

#include <algorithm>
#include <cstring>

namespace ardel {

namespace {

using wire::kTavoEnd;
using wire::kTavoStart;
using wire::kTavowEnd;
using wire::kTavowStart;
constexpr int kTavowHeader = 14;
constexpr int kTavoOverhead = 11;
constexpr int kTavowOverhead = 3; // start byte, checksum, end byte

const char kNoFit[] = "Data do not fit in TAVO packet";

inline std::uint8_t U8(char c)
{
    return static_cast<std::uint8_t>(c);
}

// Number of bytes a 7-byte-group coding produces for n input bytes: every
// started group gets one extra byte.
constexpr qsizetype GroupCodedSize(qsizetype n)
{
    return n + (n + 6) / 7;
}

// TAVO checksum correction: keeps the sum clear of the end bytes and of zero.
inline std::uint8_t CorrectTavoSum(std::uint8_t sum)
{
    if (sum > 0xFA)
        return static_cast<std::uint8_t>(sum - 0x80);
    if (sum == 0)
        return 0x80;
    return sum;
}

// Bitmatrix coding into out (which must have room for GroupCodedSize(len)).
// Returns the number of bytes written.
qsizetype EncodeBitmatrixTo(const char *in, qsizetype len, char *out)
{
    qsizetype o = 0;
    for (qsizetype p = 0; p < len; p += 7) {
        const qsizetype groupLen = std::min<qsizetype>(7, len - p);
        std::uint8_t flags = 0;
        for (qsizetype k = 0; k < groupLen; ++k) {
            std::uint8_t b = U8(in[p + k]);
            if (b < 0x20 || b > 0x9F) {
                b ^= 0x80;
                flags |= static_cast<std::uint8_t>(1u << k);
            }
            out[o++] = static_cast<char>(b);
        }
        if (flags < 0x20)
            flags |= 0x80;
        out[o++] = static_cast<char>(flags);
    }
    return o;
}

// Inverse of EncodeBitmatrixTo; out needs room for len bytes. Never reads
// outside in[0..len).
qsizetype DecodeBitmatrixTo(const char *in, qsizetype len, char *out)
{
    qsizetype o = 0;
    qsizetype p = 0;
    while (p < len) {
        const qsizetype flagPos = std::min<qsizetype>(p + 7, len - 1);
        const std::uint8_t flags = U8(in[flagPos]) & 0x7F;
        for (qsizetype k = 0; p + k < flagPos; ++k) {
            std::uint8_t b = U8(in[p + k]);
            if (flags & (1u << k))
                b ^= 0x80;
            out[o++] = static_cast<char>(b);
        }
        p = flagPos + 1;
    }
    return o;
}

} // namespace

TTAVOProtocol::TTAVOProtocol(QObject *owner) : QObject(owner), m_random(std::random_device{}())
{
}

std::uint8_t TTAVOProtocol::ChecksumTAVOW(const char *bytes, qsizetype len)
{
    std::uint8_t sum = 0;
    for (qsizetype i = 0; i < len; ++i)
        sum = static_cast<std::uint8_t>(sum + U8(bytes[i]));
    if (sum < 0x20)
        sum |= 0x80;
    else if (sum > 0xFA)
        sum &= 0x7F;
    return sum;
}

QByteArray TTAVOProtocol::EncodeBitmatrix(const QByteArray &in)
{
    QByteArray out(GroupCodedSize(in.size()), Qt::Uninitialized);
    EncodeBitmatrixTo(in.constData(), in.size(), out.data());
    return out;
}

QByteArray TTAVOProtocol::DecodeBitmatrix(const QByteArray &in)
{
    QByteArray out(in.size(), Qt::Uninitialized);
    out.truncate(DecodeBitmatrixTo(in.constData(), in.size(), out.data()));
    return out;
}

void TTAVOProtocol::Encode(const QByteArray &data, QByteArray &packet)
{
    switch (TAVOMode) {
    case TTAVOMode::PMTAVOWOnly:
    case TTAVOMode::PMDecodeBothEncodeTAVOW:
        EncodeTAVOW(data, packet);
        break;
    case TTAVOMode::PMTAVOOnly:
    case TTAVOMode::PMDecodeBothEncodeTAVO:
    default:
        EncodeTAVO(data, packet);
        break;
    }
}

void TTAVOProtocol::Decode(const QByteArray &packet, QByteArray &data)
{
    switch (TAVOMode) {
    case TTAVOMode::PMTAVOWOnly:
        DecodeTAVOW(packet, data);
        break;
    case TTAVOMode::PMDecodeBothEncodeTAVO:
    case TTAVOMode::PMDecodeBothEncodeTAVOW:
        DecodeTAVO(packet, data);
        if (m_decodeError != 0)
            DecodeTAVOW(packet, data);
        break;
    case TTAVOMode::PMTAVOOnly:
    default:
        DecodeTAVO(packet, data);
        break;
    }
}

QByteArray TTAVOProtocol::Encode(const QByteArray &data)
{
    QByteArray packet;
    Encode(data, packet);
    return packet;
}

QByteArray TTAVOProtocol::Decode(const QByteArray &packet)
{
    QByteArray data;
    Decode(packet, data);
    return data;
}

void TTAVOProtocol::EncodeTAVOW(const QByteArray &data, QByteArray &packet)
{
    if (CsomagSorszam > 250)
        CsomagSorszam = 1;

    // The extension length travels in one byte: a longer extension would be
    // sent with a wrong length and make the packet undecodable.
    if (Header_extension.size() > 255)
        throw TTAVOError(kNoFit);
    const qsizetype plainLen = kTavowHeader + Header_extension.size() + data.size();
    const qsizetype codedLen = GroupCodedSize(plainLen);
    if (codedLen > kMaxPacket - kTavowOverhead)
        throw TTAVOError(kNoFit);

    std::uint8_t flags = static_cast<std::uint8_t>(static_cast<std::uint8_t>(Info) & 0x07);
    if (Disable_bitmatrix)
        flags |= 0x10;
    if (Enable_ASYER)
        flags |= 0x40;

    char plain[kMaxPacket];
    const auto put32 = [&plain](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            plain[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put32(0, Cimzett);
    put32(4, Felado);
    plain[8] = static_cast<char>(Felado_rovid_cim);
    plain[9] = static_cast<char>(flags);
    plain[10] = static_cast<char>(CsomagSorszam);
    plain[11] = static_cast<char>(Header_extension.size());
    plain[12] = static_cast<char>(data.size() & 0xFF);
    plain[13] = static_cast<char>((data.size() >> 8) & 0xFF);
    if (!Header_extension.isEmpty())
        std::memcpy(plain + kTavowHeader, Header_extension.constData(), size_t(Header_extension.size()));
    if (!data.isEmpty())
        std::memcpy(plain + kTavowHeader + Header_extension.size(), data.constData(), size_t(data.size()));

    packet.resize(codedLen + kTavowOverhead);
    char *out = packet.data();
    out[0] = kTavowStart;
    EncodeBitmatrixTo(plain, plainLen, out + 1);
    out[1 + codedLen] = static_cast<char>(ChecksumTAVOW(out + 1, codedLen));
    out[2 + codedLen] = kTavowEnd;
}

void TTAVOProtocol::DecodeTAVOW(const QByteArray &packet, QByteArray &data)
{
    m_decodeError = 0;
    const qsizetype len = packet.size();
    if (len < 15) {
        m_decodeError = 6;
        return;
    }
    if (len > kMaxPacket) {
        m_decodeError = 2;
        return;
    }
    const char *in = packet.constData();
    if (in[0] != kTavowStart || in[len - 1] != kTavowEnd) {
        m_decodeError = 3;
        return;
    }
    const qsizetype codedLen = len - kTavowOverhead;
    if (ChecksumTAVOW(in + 1, codedLen) != U8(in[len - 2])) {
        m_decodeError = 1;
        return;
    }

    char plain[kMaxPacket];
    const qsizetype plainLen = DecodeBitmatrixTo(in + 1, codedLen, plain);
    // Too short to hold a header: nothing is taken from it, so the header
    // properties keep the values they had before this call.
    if (plainLen < kTavowHeader) {
        m_decodeError = 5;
        return;
    }

    const auto get32 = [&plain](int at) {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(U8(plain[at + i])) << (8 * i);
        return v;
    };
    Cimzett = get32(0);
    Felado = get32(4);
    Felado_rovid_cim = U8(plain[8]);
    CsomagSorszam = U8(plain[10]);
    const std::uint8_t flags = U8(plain[9]);
    const qsizetype extLen = U8(plain[11]);
    const qsizetype dataLen = U8(plain[12]) | (qsizetype(U8(plain[13])) << 8);
    if (plainLen - kTavowHeader - extLen != dataLen) {
        m_decodeError = 5;
        return;
    }

    Info = static_cast<TInfo>(flags & 0x07);
    Enable_ASYER = (flags & 0x40) != 0;
    Header_extension = QByteArray(plain + kTavowHeader, extLen);
    data = QByteArray(plain + kTavowHeader + extLen, dataLen);

    if (Felado <= 255 && Felado != 250)
        m_decodeError = 4;
}

void TTAVOProtocol::EncodeTAVO(const QByteArray &data, QByteArray &packet)
{
    Felado_rovid_cim = static_cast<std::uint8_t>(Felado & 0xFF);
    if (CsomagSorszam > 250)
        CsomagSorszam = 1;
    if (CsomagSorszam == 0)
        CsomagSorszam = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 250)(m_random));

    const qsizetype bodyLen = GroupCodedSize(data.size());
    if (kTavoOverhead + bodyLen > kMaxPacket)
        throw TTAVOError(kNoFit);

    packet.resize(kTavoOverhead + bodyLen);
    char *out = packet.data();
    out[0] = kTavoStart;
    out[1] = static_cast<char>(Cimzett & 0xFF);
    out[2] = static_cast<char>(Felado & 0xFF);
    out[3] = static_cast<char>(static_cast<std::uint8_t>(Info) | 0x04);
    out[4] = static_cast<char>(CsomagSorszam);
    out[5] = static_cast<char>((bodyLen >> 7) & 0xFF);
    out[6] = static_cast<char>(bodyLen & 0x7F);
    out[7] = 0x01;
    out[8] = 0x01;

    const char *in = data.constData();
    const qsizetype n = data.size();
    qsizetype o = 9;
    for (qsizetype p = 0; p < n; p += 7) {
        const qsizetype groupLen = std::min<qsizetype>(7, n - p);
        std::uint8_t high = 0;
        for (qsizetype k = 0; k < groupLen; ++k) {
            const std::uint8_t b = U8(in[p + k]);
            if (b & 0x80)
                high |= static_cast<std::uint8_t>(0x40u >> k);
            // A zero (also 0x80 with its top bit moved out) goes on the wire as 0x80.
            out[o++] = static_cast<char>(b & 0x7F);
        }
        out[o++] = static_cast<char>(high);
    }

    std::uint8_t sum = 0;
    for (qsizetype i = 1; i < 9 + bodyLen; ++i) {
        if (out[i] == 0)
            out[i] = char(0x80);
        sum = static_cast<std::uint8_t>(sum + U8(out[i]));
    }
    out[9 + bodyLen] = static_cast<char>(CorrectTavoSum(sum));
    out[10 + bodyLen] = kTavoEnd;
}

void TTAVOProtocol::DecodeTAVO(const QByteArray &packet, QByteArray &data)
{
    m_decodeError = 0;
    const qsizetype len = packet.size();
    if (len < kTavoOverhead) {
        m_decodeError = 6;
        return;
    }
    if (len > kMaxPacket) {
        m_decodeError = 2;
        return;
    }
    const char *in = packet.constData();
    if (in[0] != kTavoStart || in[len - 1] != kTavoEnd) {
        m_decodeError = 3;
        return;
    }
    const std::uint8_t recipient = U8(in[1]);
    const std::uint8_t sender = U8(in[2]);
    if ((recipient > 250 && recipient != 255) || sender == 0 || sender > 250) {
        m_decodeError = 4;
        return;
    }
    const qsizetype n = (qsizetype(U8(in[5]) & 0x7F) << 7) | (U8(in[6]) & 0x7F);
    if (n != len - kTavoOverhead) {
        m_decodeError = 5;
        return;
    }
    std::uint8_t sum = 0;
    for (qsizetype i = 1; i < 9 + n; ++i)
        sum = static_cast<std::uint8_t>(sum + U8(in[i]));
    if (CorrectTavoSum(sum) != U8(in[9 + n])) {
        m_decodeError = 1;
        return;
    }

    Cimzett = recipient;
    Felado = sender;
    Felado_rovid_cim = sender;
    Info = static_cast<TInfo>(U8(in[3]) & 0x03);
    CsomagSorszam = U8(in[4]);

    const char *body = in + 9;
    QByteArray out(n, Qt::Uninitialized);
    char *dst = out.data();
    qsizetype o = 0;
    qsizetype p = 0;
    const auto unzero = [](std::uint8_t b) { return b == 0x80 ? std::uint8_t(0) : b; };
    while (p < n) {
        const qsizetype highPos = std::min<qsizetype>(p + 7, n - 1);
        const std::uint8_t high = unzero(U8(body[highPos]));
        for (qsizetype k = 0; p + k < highPos; ++k) {
            std::uint8_t b = unzero(U8(body[p + k])) & 0x7F;
            if (high & (0x40u >> k))
                b |= 0x80;
            dst[o++] = static_cast<char>(b);
        }
        p = highPos + 1;
    }
    out.truncate(o);
    data = out;
}

} // namespace ardel
