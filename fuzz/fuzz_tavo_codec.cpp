// The TAVO/TAVOW codec on hostile bytes: the decoders of both variants, the
// decode-both mode, the bitmatrix decoder, and round trips through the
// encoders. Byte 0 of the input selects the operation, the rest is the packet
// (or the data to encode).
#include "fuzz/FuzzSupport.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoWire.h"

using ardel::TTAVOProtocol;
using ardelfuzz::Check;

namespace {

// The values the main window gives its codec.
void ProgramDefaults(TTAVOProtocol &codec)
{
    ardel::wire::SetProgramStartValues(codec);
}

bool AllCodedBytesSafe(const QByteArray &packet, qsizetype from, qsizetype to, std::uint8_t lo, std::uint8_t hi)
{
    for (qsizetype i = from; i < to; ++i) {
        const auto b = static_cast<std::uint8_t>(packet.at(i));
        if (b < lo || b > hi)
            return false;
    }
    return true;
}

// What a successful decode returns must survive a round trip with the header
// the decode left behind.
void ReencodeTAVO(TTAVOProtocol &codec, const QByteArray &data)
{
    QByteArray packet;
    codec.EncodeTAVO(data, packet); // a decoded body always fits again
    QByteArray back;
    codec.DecodeTAVO(packet, back);
    Check(codec.DecodeError() == 0, "TAVO re-encode does not decode");
    Check(back == data, "TAVO re-encode changed the data");
}

void ReencodeTAVOW(TTAVOProtocol &codec, const QByteArray &data)
{
    const QByteArray ext = codec.Header_extension;
    const std::uint32_t felado = codec.Felado;
    QByteArray packet;
    codec.EncodeTAVOW(data, packet);
    QByteArray back;
    codec.DecodeTAVOW(packet, back);
    Check(codec.DecodeError() == 0 || codec.DecodeError() == 4, "TAVOW re-encode does not decode");
    Check(back == data, "TAVOW re-encode changed the data");
    Check(codec.Header_extension == ext, "TAVOW re-encode changed the extension");
    Check(codec.Felado == felado, "TAVOW re-encode changed the sender");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ardelfuzz::InitQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t op = bytes[0];
    const QByteArray in = ardelfuzz::Bytes(bytes + 1, size - 1);
    TTAVOProtocol codec;
    ProgramDefaults(codec);
    QByteArray data;

    switch (op % 6) {
    case 0:
        codec.DecodeTAVO(in, data);
        Check(codec.DecodeError() <= 6, "TAVO decode code out of range");
        if (codec.DecodeError() == 0) {
            Check(data.size() <= in.size(), "TAVO data longer than the packet");
            ReencodeTAVO(codec, data);
        } else {
            Check(data.isEmpty(), "failed TAVO decode wrote data");
        }
        break;
    case 1:
        codec.DecodeTAVOW(in, data);
        Check(codec.DecodeError() <= 6, "TAVOW decode code out of range");
        if (codec.DecodeError() == 0 || codec.DecodeError() == 4) {
            Check(data.size() <= in.size(), "TAVOW data longer than the packet");
            ReencodeTAVOW(codec, data);
        } else {
            Check(data.isEmpty(), "failed TAVOW decode wrote data");
        }
        break;
    case 2:
        // Every mode, as the dispatcher of another configuration would decode.
        codec.TAVOMode = static_cast<ardel::TTAVOMode>((op >> 3) & 3);
        codec.Decode(in, data);
        Check(codec.DecodeError() <= 6, "decode code out of range");
        Check(data.size() <= in.size(), "decoded data longer than the packet");
        break;
    case 3: {
        const QByteArray plain = TTAVOProtocol::DecodeBitmatrix(in);
        Check(plain.size() <= in.size(), "bitmatrix decode grew");
        Check(TTAVOProtocol::DecodeBitmatrix(TTAVOProtocol::EncodeBitmatrix(in)) == in, "bitmatrix round trip");
        break;
    }
    case 4: {
        // Arbitrary data and extension through EncodeTAVOW and back.
        const qsizetype extLen = in.isEmpty() ? 0 : static_cast<std::uint8_t>(in.at(0)) % 40;
        codec.Header_extension = in.mid(1, extLen);
        const QByteArray payload = in.mid(1 + extLen);
        codec.Info = static_cast<ardel::TInfo>((op >> 3) & 7);
        codec.Enable_ASYER = (op & 0x40) != 0;
        codec.Disable_bitmatrix = (op & 0x80) != 0;
        QByteArray packet;
        try {
            codec.EncodeTAVOW(payload, packet);
        } catch (const ardel::TTAVOError &) {
            Check(payload.size() + codec.Header_extension.size() > 879, "TAVOW refused data that fits");
            break;
        }
        Check(packet.size() <= TTAVOProtocol::kMaxPacket, "TAVOW packet too long");
        Check(packet.front() == ardel::wire::kTavowStart && packet.back() == ardel::wire::kTavowEnd, "TAVOW frame bytes");
        Check(AllCodedBytesSafe(packet, 1, packet.size() - 2, 0x20, 0x9F), "TAVOW coded byte outside 20..9F");
        Check(AllCodedBytesSafe(packet, packet.size() - 2, packet.size() - 1, 0x20, 0xFA), "TAVOW checksum range");
        codec.DecodeTAVOW(packet, data);
        Check(codec.DecodeError() == 0, "TAVOW round trip failed");
        Check(data == payload, "TAVOW round trip changed the data");
        break;
    }
    case 5: {
        codec.Cimzett = static_cast<std::uint8_t>(op) % 251; // a valid recipient
        codec.CsomagSorszam = in.isEmpty() ? 0 : static_cast<std::uint8_t>(in.at(0));
        QByteArray packet;
        try {
            codec.EncodeTAVO(in, packet);
        } catch (const ardel::TTAVOError &) {
            Check(in.size() > 886, "TAVO refused data that fits");
            break;
        }
        Check(packet.size() <= TTAVOProtocol::kMaxPacket, "TAVO packet too long");
        // Only the address bytes may look like frame bytes.
        Check(AllCodedBytesSafe(packet, 3, packet.size() - 1, 0x01, 0xFC), "TAVO coded byte is 00, FD or FE");
        Check(codec.CsomagSorszam >= 1 && codec.CsomagSorszam <= 250, "TAVO sequence number");
        codec.DecodeTAVO(packet, data);
        Check(codec.DecodeError() == 0, "TAVO round trip failed");
        Check(data == in, "TAVO round trip changed the data");
        break;
    }
    }
    return 0;
}
