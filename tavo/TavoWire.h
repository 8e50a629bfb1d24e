// The facts of the devices' wire that more than one part of the program (and
// the device emulator, the tests and the fuzzers) must agree on: ports, frame
// bytes, packet size and the codec's header values of this program.
#pragma once

#include <QtGlobal>

#include <cstdint>

namespace ardel {

class TTAVOProtocol;

namespace wire {

// UDP port of the devices' plain-text commands ("X", "V", set-IP).
inline constexpr quint16 kPlainPort = 65535;
// UDP port the devices send and receive TAVO packets on.
inline constexpr quint16 kTavoPort = 65500;
// TCP port of a device's TAVOW connection (the EEPROM write).
inline constexpr quint16 kTcpPort = 1001;
// The program's own local UDP port (1010) belongs to its endpoints:
// TUDPComms::kLocalPort, in the network layer below this one.

// Start and end bytes of the two packet variants.
inline constexpr char kTavoStart = char(0xFD);
inline constexpr char kTavoEnd = char(0xFE);
inline constexpr char kTavowStart = char(0xFB);
inline constexpr char kTavowEnd = char(0xFC);

// No packet of either variant is longer.
inline constexpr int kMaxPacket = 1024;

// Header values this program sends with: recipient 255 reaches every device,
// 250 is the program's own address.
inline constexpr std::uint32_t kBroadcastRecipient = 255;
inline constexpr std::uint32_t kOwnAddress = 250;
inline constexpr std::uint8_t kOwnShortAddress = 250;
inline constexpr std::uint8_t kFirstSequence = 1;

// Puts the codec into the state the program starts with: the header values
// above, no acknowledgement asked, no header extension, decoding both
// variants and encoding TAVOW.
void SetProgramStartValues(TTAVOProtocol &codec);
// Only the addresses: recipient 255, sender 250 (long and short).
void ResetAddresses(TTAVOProtocol &codec);

} // namespace wire
} // namespace ardel
