// Codec of the TAVO and TAVOW packet variants, on plain bytes.
#pragma once

#include "tavo/TavoWire.h"

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <random>
#include <stdexcept>

namespace ardel {

enum class TInfo : std::uint8_t {
    nem_kerek_nyugtat = 0,
    kerek_nyugtat = 1,
    pozitiv_nyugta = 2,
    negativ_nyugta = 3,
    ismetelt_csomag = 4,
};

enum class TTAVOMode : std::uint8_t {
    PMTAVOOnly = 0,
    PMTAVOWOnly = 1,
    PMDecodeBothEncodeTAVO = 2,
    PMDecodeBothEncodeTAVOW = 3,
};

// Raised by the encoders when a packet would exceed 1024 bytes.
class TTAVOError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One instance is shared by every sender and receiver: the header properties
// are both what the next encode sends and what the last decode received.
class TTAVOProtocol : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxPacket = wire::kMaxPacket;

    explicit TTAVOProtocol(QObject *owner = nullptr);

    // Header properties.
    std::uint32_t Cimzett = 1;
    std::uint32_t Felado = 250;
    std::uint8_t Felado_rovid_cim = 250;
    std::uint8_t CsomagSorszam = 0;
    TInfo Info = TInfo::nem_kerek_nyugtat;
    bool Enable_ASYER = false;
    bool Disable_bitmatrix = false;
    QByteArray Header_extension;
    TTAVOMode TAVOMode = TTAVOMode::PMTAVOOnly;

    // Result code of the last decode: 0 success, 1 checksum, 2 too long,
    // 3 start/end byte, 4 address out of range, 5 length mismatch, 6 too short.
    std::uint16_t DecodeError() const { return m_decodeError; }

    // By TAVOMode. Encoders throw TTAVOError("Data do not fit in TAVO packet"),
    // also for a Header_extension longer than its one-byte length field.
    // Decoders write data only on success (DecodeTAVOW also with code 4) and
    // never read outside the packet. A TAVOW packet whose decoded content is
    // shorter than the 14-byte header leaves every header property unchanged;
    // one whose length fields disagree (code 5) has already taken over
    // Cimzett, Felado, Felado_rovid_cim and CsomagSorszam.
    void Encode(const QByteArray &data, QByteArray &packet);
    void Decode(const QByteArray &packet, QByteArray &data);
    void EncodeTAVO(const QByteArray &data, QByteArray &packet);
    void DecodeTAVO(const QByteArray &packet, QByteArray &data);
    void EncodeTAVOW(const QByteArray &data, QByteArray &packet);
    void DecodeTAVOW(const QByteArray &packet, QByteArray &data);

    // Convenience forms returning the result (empty when a decode fails).
    QByteArray Encode(const QByteArray &data);
    QByteArray Decode(const QByteArray &packet);

    // The bitmatrix coding of TAVOW and its checksum, exposed for tests and fuzzing.
    static QByteArray EncodeBitmatrix(const QByteArray &in);
    static QByteArray DecodeBitmatrix(const QByteArray &in);
    static std::uint8_t ChecksumTAVOW(const char *bytes, qsizetype len);

private:
    std::uint16_t m_decodeError = 0;
    std::minstd_rand m_random;
};

} // namespace ardel
