// Configuration of the device emulator: which devices it plays and how they
// misbehave. Read from a JSON file (docs/devsim.md) and/or generated in bulk.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace ardel::devsim {

using Mac = std::array<std::uint8_t, 6>;

// How a misbehaving device spoils its discovery reply.
enum class Malformed {
    None,
    Fields,  // one field short (no device name)
    Mac,     // MAC field that is not six numbers 0..255
    Garbage, // random bytes instead of any reply (also for "V")
    Control, // control bytes (NUL, BEL, CR, LF, ESC) inside owner and name
    Markup,  // HTML/script markup inside owner and name
};

struct DeviceConfig {
    std::uint32_t ip = 0; // host byte order
    Mac mac{};
    QString port = QStringLiteral("1001");
    QString status = QStringLiteral("N**I*");
    QString field4 = QStringLiteral("x");
    QString owner;
    QString name;
    QString version = QStringLiteral("AV 1.0.0");
    QString password;    // set-IP password; empty = none asked
    bool plain = true;   // answers on port 65535
    bool silent = false; // answers nothing at all
    int delayMs = 0;     // extra delay of plain replies
    double drop = 0.0;   // share of requests ignored, 0..1
    Malformed malformed = Malformed::None;
    QString iface; // segment override (interface name); empty = by subnet

    // TAVO side; a device without a TAVOW address is a plain device.
    std::optional<std::uint32_t> tavow;
    bool tavoVariantTavo = false; // answers in TAVO instead of TAVOW packets
    std::uint32_t gateway = 0;
    std::uint32_t mask = 0;
    std::optional<std::uint8_t> dhcp; // byte 22 of "AETEI"; absent = the mask's last byte
    std::uint8_t connected = 0;       // byte 23 of "AETEI" (a live TCP connection also sets 1)
    QString memName;                  // memory texts; default to name / owner / password
    QString memOwner;
    QString memPassword;
    QByteArray versionChars = QByteArrayLiteral("abc12");
    std::uint16_t build = 300;
    bool tavoSilent = false;
    int tavoDelayMs = 0;
    int restartMs = 2000;
    bool eepromFail = false;
};

struct SimConfig {
    int answerSpreadMs = 0;
    std::uint32_t seed = 12345;
    std::vector<DeviceConfig> devices;
};

// Parses the JSON text of a config file. On failure returns false and says
// which device and key was wrong in error.
bool ParseConfig(const QByteArray &json, SimConfig &out, QString &error);

// N devices on consecutive addresses from base; every device whose index
// crosses a multiple of 1/tavoShare is a TAVOW device. Returns false (and an
// error text) for impossible requests.
bool GenerateDevices(int count, std::uint32_t base, double tavoShare, std::vector<DeviceConfig> &out, QString &error);

// Checks what the emulator can not work with: duplicate addresses.
bool ValidateDevices(const std::vector<DeviceConfig> &devices, QString &error);

bool ParseIPv4(const QString &text, std::uint32_t &ip);
QString IpToText(std::uint32_t ip);
// Six decimal numbers 0..255 joined by ".".
bool ParseMacText(const QString &text, Mac &mac);
QString MacToText(const Mac &mac);

} // namespace ardel::devsim
