// One emulated device: its live state and what it answers, without sockets.
// The emulator feeds it requests and sends whatever it returns.
#pragma once

#include "tools/devsim/DevsimConfig.h"

#include <QByteArray>

#include <optional>
#include <random>

namespace ardel::devsim {

// Places in the device memory image.
inline constexpr int kMemorySize = 256;
inline constexpr int kMemName = 10, kMemNameLen = 24;
inline constexpr int kMemOwner = 34, kMemOwnerLen = 24;
inline constexpr int kMemPassword = 97, kMemPasswordLen = 30;
inline constexpr int kMemMac = 211, kMemMacLen = 6;

// A parsed set-IP command: "A" MAC "/" password "/" new address "|2a".
struct SetIpCommand {
    Mac mac{};
    QByteArray password;
    std::uint32_t newIp = 0;
};
// False for anything that is not a well-formed set-IP command, including a
// new address a device could not take (0.0.0.0, broadcast, multicast).
bool ParseSetIpCommand(const QByteArray &text, SetIpCommand &cmd);

// What a TAVO request makes the device do besides answering.
struct TavoEffect {
    bool addressChanged = false; // CSYER applied a new IP address
    std::uint32_t oldIp = 0;
    bool restart = false; // CSYRS: gone for restartMs after the answer
};

class Device {
public:
    explicit Device(DeviceConfig cfg);

    const DeviceConfig &config() const { return m_cfg; }
    std::uint32_t ip() const { return m_ip; }
    void setIp(std::uint32_t ip) { m_ip = ip; }
    std::uint32_t gateway() const { return m_gateway; }
    std::uint32_t mask() const { return m_mask; }
    Mac mac() const;
    void setMac(const Mac &mac);
    const QByteArray &memory() const { return m_memory; }
    bool isTavo() const { return m_cfg.tavow.has_value(); }
    std::uint32_t tavow() const { return m_cfg.tavow.value_or(0); }

    // Segment (index into the emulator's interface list), -1 when none.
    int segment = -1;
    // The device answers nothing until this time (ms since start): restart.
    qint64 downUntilMs = 0;
    // Open TCP connections on port 1001; reported in "AETEI".
    int tcpConnections = 0;

    // Plain side. Replies are in code page 1250.
    QByteArray DiscoveryReply(std::mt19937 &rng) const;
    QByteArray VersionReply(std::mt19937 &rng) const;
    // "D" while the password is wrong, "A" when accepted (the caller then
    // moves the device to cmd.newIp).
    QByteArray SetIpReply(const SetIpCommand &cmd) const;

    // TAVO side: decoded request data in, reply data out (empty = no answer).
    QByteArray HandleTavo(const QByteArray &request, TavoEffect &effect);
    QByteArray AeteiData() const;
    // An EEPROM write as "CSYWE" carries it: start, count, bytes. Returns the
    // result byte (1 written, 0 refused).
    std::uint8_t WriteMemory(const QByteArray &request);

private:
    static QByteArray Ack(const QByteArray &word, std::uint8_t status);

    DeviceConfig m_cfg;
    // The discovery texts in code page 1250, encoded once: thousands of
    // devices answer one broadcast, and encoding is the costly part.
    QByteArray m_wirePort, m_wireStatus, m_wireField4, m_wireOwner, m_wireName, m_wireVersion;
    std::uint32_t m_ip;
    std::uint32_t m_gateway;
    std::uint32_t m_mask;
    QByteArray m_memory;
    struct Staged {
        std::optional<std::uint32_t> ip, gateway, mask;
        std::optional<Mac> mac;
    } m_staged;
};

} // namespace ardel::devsim
