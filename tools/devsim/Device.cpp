#include "tools/devsim/Device.h"

#include "net/Cp1250.h"

#include <algorithm>

namespace ardel::devsim {

namespace {

void putText(QByteArray &mem, int at, int len, const QString &text)
{
    const QByteArray bytes = ToCp1250(text).left(len);
    for (int i = 0; i < len; ++i)
        mem[at + i] = i < bytes.size() ? bytes.at(i) : '\0';
}

void putAddress(QByteArray &out, std::uint32_t ip)
{
    out.append(char(ip >> 24));
    out.append(char(ip >> 16));
    out.append(char(ip >> 8));
    out.append(char(ip));
}

std::uint32_t readAddress(const QByteArray &b, int at)
{
    return (std::uint32_t(std::uint8_t(b.at(at))) << 24) | (std::uint32_t(std::uint8_t(b.at(at + 1))) << 16)
           | (std::uint32_t(std::uint8_t(b.at(at + 2))) << 8) | std::uint32_t(std::uint8_t(b.at(at + 3)));
}

QByteArray randomBytes(std::mt19937 &rng)
{
    std::uniform_int_distribution<int> len(1, 48);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray out;
    const int n = len(rng);
    for (int i = 0; i < n; ++i)
        out.append(char(byte(rng)));
    return out;
}

// A device can only take a unicast host address.
bool usableAddress(std::uint32_t ip)
{
    const std::uint32_t first = ip >> 24;
    return ip != 0 && ip != 0xFFFFFFFFu && first != 0 && first != 127 && first < 224;
}

} // namespace

bool ParseSetIpCommand(const QByteArray &text, SetIpCommand &cmd)
{
    static const QByteArray ending = QByteArrayLiteral("|2a");
    if (text.size() < 1 + ending.size() || text.at(0) != 'A' || !text.endsWith(ending))
        return false;
    const QByteArray body = text.mid(1, text.size() - 1 - ending.size());
    // The password is sent as typed, so it may itself hold "/" or "|": the MAC
    // ends at the first "/" and the address begins after the last one.
    const qsizetype first = body.indexOf('/');
    const qsizetype last = body.lastIndexOf('/');
    if (first < 0 || last == first)
        return false;
    SetIpCommand c;
    if (!ParseMacText(QString::fromLatin1(body.left(first)), c.mac))
        return false;
    if (!ParseIPv4(QString::fromLatin1(body.mid(last + 1)), c.newIp) || !usableAddress(c.newIp))
        return false;
    c.password = body.mid(first + 1, last - first - 1);
    cmd = c;
    return true;
}

Device::Device(DeviceConfig cfg)
    : m_cfg(std::move(cfg))
    , m_wirePort(ToCp1250(m_cfg.port))
    , m_wireStatus(ToCp1250(m_cfg.status))
    , m_wireField4(ToCp1250(m_cfg.field4))
    , m_wireOwner(ToCp1250(m_cfg.owner))
    , m_wireName(ToCp1250(m_cfg.name))
    , m_wireVersion(ToCp1250(m_cfg.version))
    , m_ip(m_cfg.ip)
    , m_gateway(m_cfg.gateway)
    , m_mask(m_cfg.mask)
    , m_memory(kMemorySize, '\0')
{
    putText(m_memory, kMemName, kMemNameLen, m_cfg.memName);
    putText(m_memory, kMemOwner, kMemOwnerLen, m_cfg.memOwner);
    putText(m_memory, kMemPassword, kMemPasswordLen, m_cfg.memPassword);
    setMac(m_cfg.mac);
}

Mac Device::mac() const
{
    Mac m{};
    for (int i = 0; i < kMemMacLen; ++i)
        m[std::size_t(i)] = std::uint8_t(m_memory.at(kMemMac + i));
    return m;
}

void Device::setMac(const Mac &mac)
{
    // The memory image is the one place the MAC lives, so an EEPROM write
    // shows up in discovery and in "AETEI" alike.
    for (int i = 0; i < kMemMacLen; ++i)
        m_memory[kMemMac + i] = char(mac[std::size_t(i)]);
}

QByteArray Device::DiscoveryReply(std::mt19937 &rng) const
{
    if (m_cfg.malformed == Malformed::Garbage)
        return randomBytes(rng);
    QByteArray macText;
    for (const std::uint8_t b : mac()) {
        if (!macText.isEmpty())
            macText += '.';
        macText += QByteArray::number(b);
    }
    QByteArray owner = m_wireOwner;
    QByteArray name = m_wireName;
    switch (m_cfg.malformed) {
    case Malformed::Mac:
        macText = macText.left(macText.lastIndexOf('.')) + QByteArrayLiteral(".999");
        break;
    case Malformed::Control:
        owner = owner + QByteArray("\x01\x07", 2);
        name = QByteArray("\0", 1) + name + QByteArrayLiteral("\r\n\x1b[31m");
        break;
    case Malformed::Markup:
        // No "/" in the markup: the field count stays right, only the texts are hostile.
        owner = QByteArrayLiteral("<b>") + owner + QByteArrayLiteral(" &amp; <u>");
        name = QByteArrayLiteral("<script>alert(1)<i>") + name + QByteArrayLiteral("<img src=x onerror=alert(2)>");
        break;
    default:
        break;
    }
    QByteArray out = QByteArrayLiteral("A") + macText + '/' + m_wirePort + '/' + m_wireStatus + '/' + m_wireField4 + '/' + owner;
    if (m_cfg.malformed != Malformed::Fields)
        out += '/' + name;
    return out;
}

QByteArray Device::VersionReply(std::mt19937 &rng) const
{
    if (m_cfg.malformed == Malformed::Garbage)
        return randomBytes(rng);
    return m_wireVersion;
}

QByteArray Device::SetIpReply(const SetIpCommand &cmd) const
{
    if (m_cfg.password.isEmpty() || cmd.password == ToCp1250(m_cfg.password))
        return QByteArrayLiteral("A");
    return QByteArrayLiteral("D");
}

QByteArray Device::Ack(const QByteArray &word, std::uint8_t status)
{
    QByteArray out = word;
    out[0] = 'A';
    out.append(char(status));
    return out;
}

QByteArray Device::AeteiData() const
{
    QByteArray out = QByteArrayLiteral("AETEI");
    for (const std::uint8_t b : mac())
        out.append(char(b));
    putAddress(out, m_ip);
    putAddress(out, m_gateway);
    putAddress(out, m_mask);
    // The DHCP state shares its byte with the mask's last part.
    if (m_cfg.dhcp)
        out[22] = char(*m_cfg.dhcp);
    out.append(char(tcpConnections > 0 ? 1 : m_cfg.connected));
    return out;
}

std::uint8_t Device::WriteMemory(const QByteArray &request)
{
    if (request.size() < 8)
        return 0;
    const int start = std::uint8_t(request.at(5)) | (std::uint8_t(request.at(6)) << 8);
    const int count = std::uint8_t(request.at(7));
    if (request.size() != 8 + count || start + count > kMemorySize || m_cfg.eepromFail)
        return 0;
    for (int i = 0; i < count; ++i)
        m_memory[start + i] = request.at(8 + i);
    return 1;
}

QByteArray Device::HandleTavo(const QByteArray &request, TavoEffect &effect)
{
    if (request.size() < 5 || request.at(0) != 'C')
        return {};
    const QByteArray word = request.left(5);
    const QByteArray payload = request.mid(5);

    if (word == "CETEI")
        return AeteiData();
    if (word == "CSYRE") {
        if (payload.size() < 3)
            return {};
        const int start = std::uint8_t(payload.at(0)) | (std::uint8_t(payload.at(1)) << 8);
        const int count = std::uint8_t(payload.at(2));
        // Beyond the end of memory the device sends what there is.
        const int avail = std::clamp(kMemorySize - start, 0, count);
        return QByteArrayLiteral("ASYRE") + m_memory.mid(start, avail);
    }
    if (word == "CSYSI") {
        QByteArray out(64, '\0');
        out.replace(0, 5, QByteArrayLiteral("ASYSI"));
        const QByteArray chars = m_cfg.versionChars.left(5);
        out.replace(11, chars.size(), chars);
        out[61] = char(m_cfg.build & 0xFF);
        out[62] = char(m_cfg.build >> 8);
        return out;
    }
    if (word == "CETSI" || word == "CETSG" || word == "CETSN") {
        if (payload.size() != 4)
            return Ack(word, 0);
        const std::uint32_t value = readAddress(payload, 0);
        if (word == "CETSI") {
            if (!usableAddress(value))
                return Ack(word, 0);
            m_staged.ip = value;
        } else if (word == "CETSG") {
            m_staged.gateway = value;
        } else {
            m_staged.mask = value;
        }
        return Ack(word, 1);
    }
    if (word == "CETSM") {
        if (payload.size() != 6)
            return Ack(word, 0);
        Mac m{};
        for (int i = 0; i < 6; ++i)
            m[std::size_t(i)] = std::uint8_t(payload.at(i));
        m_staged.mac = m;
        return Ack(word, 1);
    }
    if (word == "CSYER") {
        if (m_staged.ip && *m_staged.ip != m_ip) {
            effect.addressChanged = true;
            effect.oldIp = m_ip;
            m_ip = *m_staged.ip;
        }
        if (m_staged.gateway)
            m_gateway = *m_staged.gateway;
        if (m_staged.mask)
            m_mask = *m_staged.mask;
        if (m_staged.mac)
            setMac(*m_staged.mac);
        m_staged = {};
        return Ack(word, 1);
    }
    if (word == "CSYRS") {
        // Settings that were never saved do not survive a restart.
        m_staged = {};
        effect.restart = true;
        return Ack(word, 1);
    }
    if (word == "CSYWE")
        return Ack(word, WriteMemory(request));
    return {};
}

} // namespace ardel::devsim
