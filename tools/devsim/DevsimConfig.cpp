#include "tools/devsim/DevsimConfig.h"

#include "net/TextUtil.h"

#include "net/DecimalText.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <QStringList>

#include <cmath>

namespace ardel::devsim {

namespace {

// Reads one device entry; every key is checked so that a typo in a test's
// config fails loudly instead of silently playing a default device.
class DeviceReader {
public:
    DeviceReader(const QJsonObject &o, QString &error) : m_o(o), m_error(error) {}

    bool failed() const { return m_failed; }

    void fail(const QString &key, const QString &why)
    {
        if (!m_failed)
            m_error = QStringLiteral("\"%1\": %2").arg(key, why);
        m_failed = true;
    }

    bool has(const char *key) const { return m_o.contains(QLatin1String(key)); }

    QString text(const char *key, const QString &def)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return def;
        if (v.isString())
            return v.toString();
        if (v.isDouble())
            return QString::number(v.toInteger());
        fail(QLatin1String(key), QStringLiteral("expected a text"));
        return def;
    }

    bool flag(const char *key, bool def)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return def;
        if (v.isBool())
            return v.toBool();
        if (v.isDouble())
            return v.toDouble() != 0;
        fail(QLatin1String(key), QStringLiteral("expected true or false"));
        return def;
    }

    double number(const char *key, double def, double lo, double hi)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return def;
        if (!v.isDouble() || !std::isfinite(v.toDouble()) || v.toDouble() < lo || v.toDouble() > hi) {
            fail(QLatin1String(key), QStringLiteral("expected a number in %1..%2").arg(lo).arg(hi));
            return def;
        }
        return v.toDouble();
    }

    std::uint32_t address(const char *key, std::uint32_t def)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return def;
        std::uint32_t ip = 0;
        if (!v.isString() || !ParseIPv4(v.toString(), ip)) {
            fail(QLatin1String(key), QStringLiteral("expected a dotted IPv4 address"));
            return def;
        }
        return ip;
    }

private:
    const QJsonObject &m_o;
    QString &m_error;
    bool m_failed = false;
};

const QSet<QString> &knownDeviceKeys()
{
    static const QSet<QString> keys = {
        QStringLiteral("ip"),
        QStringLiteral("mac"),
        QStringLiteral("port"),
        QStringLiteral("status"),
        QStringLiteral("field4"),
        QStringLiteral("owner"),
        QStringLiteral("name"),
        QStringLiteral("version"),
        QStringLiteral("password"),
        QStringLiteral("plain"),
        QStringLiteral("silent"),
        QStringLiteral("delay_ms"),
        QStringLiteral("drop"),
        QStringLiteral("malformed"),
        QStringLiteral("iface"),
        QStringLiteral("tavow"),
        QStringLiteral("tavo_variant"),
        QStringLiteral("gateway"),
        QStringLiteral("mask"),
        QStringLiteral("dhcp"),
        QStringLiteral("connected"),
        QStringLiteral("mem_name"),
        QStringLiteral("mem_owner"),
        QStringLiteral("mem_password"),
        QStringLiteral("version_chars"),
        QStringLiteral("build"),
        QStringLiteral("tavo_silent"),
        QStringLiteral("tavo_delay_ms"),
        QStringLiteral("restart_ms"),
        QStringLiteral("eeprom_fail"),
        QStringLiteral("comment"),
    };
    return keys;
}

bool readDevice(const QJsonObject &o, DeviceConfig &d, QString &error)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!knownDeviceKeys().contains(it.key())) {
            error = QStringLiteral("unknown key \"%1\"").arg(it.key());
            return false;
        }
    }
    DeviceReader r(o, error);
    if (!r.has("ip")) {
        error = QStringLiteral("\"ip\" is missing");
        return false;
    }
    d.ip = r.address("ip", 0);
    if (r.has("mac")) {
        if (!ParseMacText(r.text("mac", QString()), d.mac))
            r.fail(QStringLiteral("mac"), QStringLiteral("expected six decimal numbers 0..255 joined by \".\""));
    } else {
        // A stable MAC derived from the address keeps configs short.
        d.mac = {0x02, 0x00, std::uint8_t(d.ip >> 24), std::uint8_t(d.ip >> 16), std::uint8_t(d.ip >> 8), std::uint8_t(d.ip)};
    }
    d.port = r.text("port", d.port);
    d.status = r.text("status", d.status);
    d.field4 = r.text("field4", d.field4);
    d.owner = r.text("owner", d.owner);
    d.name = r.text("name", d.name);
    d.version = r.text("version", d.version);
    d.password = r.text("password", d.password);
    d.plain = r.flag("plain", d.plain);
    d.silent = r.flag("silent", d.silent);
    d.delayMs = int(r.number("delay_ms", d.delayMs, 0, 600000));
    d.drop = r.number("drop", d.drop, 0, 1);
    d.iface = r.text("iface", d.iface);

    const QJsonValue mal = o.value(QStringLiteral("malformed"));
    if (mal.isBool()) {
        d.malformed = mal.toBool() ? Malformed::Fields : Malformed::None;
    } else if (mal.isString()) {
        static const QHash<QString, Malformed> kinds = {
            {QStringLiteral("none"), Malformed::None},       {QStringLiteral("fields"), Malformed::Fields},
            {QStringLiteral("mac"), Malformed::Mac},         {QStringLiteral("garbage"), Malformed::Garbage},
            {QStringLiteral("control"), Malformed::Control}, {QStringLiteral("markup"), Malformed::Markup},
        };
        const auto it = kinds.constFind(mal.toString());
        if (it == kinds.constEnd())
            r.fail(QStringLiteral("malformed"),
                   QStringLiteral("expected false, true, \"fields\", \"mac\", \"garbage\", \"control\" or \"markup\""));
        else
            d.malformed = *it;
    } else if (!mal.isUndefined() && !mal.isNull()) {
        r.fail(QStringLiteral("malformed"), QStringLiteral("expected true/false or a kind name"));
    }

    if (r.has("tavow") && !o.value(QStringLiteral("tavow")).isNull())
        d.tavow = std::uint32_t(r.number("tavow", 0, 0, 4294967295.0));
    const QString variant = r.text("tavo_variant", QStringLiteral("tavow"));
    if (variant == QLatin1String("tavo"))
        d.tavoVariantTavo = true;
    else if (variant != QLatin1String("tavow"))
        r.fail(QStringLiteral("tavo_variant"), QStringLiteral("expected \"tavow\" or \"tavo\""));
    // Gateway and mask default to what the test LAN uses.
    std::uint32_t defGw = 0, defMask = 0;
    ParseIPv4(QStringLiteral("255.255.0.0"), defMask);
    ParseIPv4(QStringLiteral("%1.%2.0.1").arg(d.ip >> 24).arg((d.ip >> 16) & 0xFF), defGw);
    d.gateway = r.address("gateway", defGw);
    d.mask = r.address("mask", defMask);
    if (r.has("dhcp"))
        d.dhcp = std::uint8_t(r.number("dhcp", 0, 0, 255));
    d.connected = std::uint8_t(r.number("connected", 0, 0, 255));
    d.memName = r.text("mem_name", d.name);
    d.memOwner = r.text("mem_owner", d.owner);
    d.memPassword = r.text("mem_password", d.password);
    d.versionChars = r.text("version_chars", QString::fromLatin1(d.versionChars)).toLatin1();
    d.build = std::uint16_t(r.number("build", d.build, 0, 65535));
    d.tavoSilent = r.flag("tavo_silent", d.tavoSilent);
    d.tavoDelayMs = int(r.number("tavo_delay_ms", d.tavoDelayMs, 0, 600000));
    d.restartMs = int(r.number("restart_ms", d.restartMs, 0, 600000));
    d.eepromFail = r.flag("eeprom_fail", d.eepromFail);
    return !r.failed();
}

} // namespace

bool ParseIPv4(const QString &text, std::uint32_t &ip)
{
    std::array<quint8, 4> b{};
    if (!ParseDottedBytes(text, b))
        return false;
    ip = (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
    return true;
}

QString IpToText(std::uint32_t ip)
{
    return Ipv4Text(ip);
}

bool ParseMacText(const QString &text, Mac &mac)
{
    return ParseDottedBytes(text, mac);
}

QString MacToText(const Mac &mac)
{
    QStringList parts;
    for (const std::uint8_t b : mac)
        parts.append(QString::number(b));
    return parts.join(QLatin1Char('.'));
}

bool ParseConfig(const QByteArray &json, SimConfig &out, QString &error)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError) {
        error = QStringLiteral("not valid JSON at offset %1: %2").arg(pe.offset).arg(pe.errorString());
        return false;
    }
    if (!doc.isObject()) {
        error = QStringLiteral("the config must be a JSON object");
        return false;
    }
    const QJsonObject root = doc.object();
    SimConfig cfg;
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QString &k = it.key();
        if (k != QLatin1String("answer_spread_ms") && k != QLatin1String("devices") && k != QLatin1String("seed")
            && k != QLatin1String("comment")) {
            error = QStringLiteral("unknown top-level key \"%1\"").arg(k);
            return false;
        }
    }
    const QJsonValue spread = root.value(QStringLiteral("answer_spread_ms"));
    if (!spread.isUndefined()) {
        if (!spread.isDouble() || spread.toDouble() < 0 || spread.toDouble() > 600000) {
            error = QStringLiteral("\"answer_spread_ms\": expected a number in 0..600000");
            return false;
        }
        cfg.answerSpreadMs = int(spread.toDouble());
    }
    const QJsonValue seed = root.value(QStringLiteral("seed"));
    if (!seed.isUndefined()) {
        if (!seed.isDouble() || seed.toDouble() < 0 || seed.toDouble() > 4294967295.0) {
            error = QStringLiteral("\"seed\": expected a number in 0..4294967295");
            return false;
        }
        cfg.seed = std::uint32_t(seed.toDouble());
    }
    const QJsonValue devs = root.value(QStringLiteral("devices"));
    if (!devs.isUndefined() && !devs.isArray()) {
        error = QStringLiteral("\"devices\" must be an array");
        return false;
    }
    const QJsonArray arr = devs.toArray();
    for (qsizetype i = 0; i < arr.size(); ++i) {
        if (!arr.at(i).isObject()) {
            error = QStringLiteral("device %1: expected an object").arg(i);
            return false;
        }
        DeviceConfig d;
        QString why;
        if (!readDevice(arr.at(i).toObject(), d, why)) {
            error = QStringLiteral("device %1: %2").arg(i).arg(why);
            return false;
        }
        cfg.devices.push_back(std::move(d));
    }
    out = std::move(cfg);
    return true;
}

bool GenerateDevices(int count, std::uint32_t base, double tavoShare, std::vector<DeviceConfig> &out, QString &error)
{
    if (count < 0 || count > 1000000) {
        error = QStringLiteral("--generate: count must be 0..1000000");
        return false;
    }
    if (!(tavoShare >= 0.0 && tavoShare <= 1.0)) {
        error = QStringLiteral("--tavo-share: expected a number in 0..1");
        return false;
    }
    if (count > 0 && std::uint64_t(base) + std::uint64_t(count) - 1 > 0xFFFFFFFFull) {
        error = QStringLiteral("--generate: addresses run past 255.255.255.255");
        return false;
    }
    std::uint32_t defMask = 0;
    ParseIPv4(QStringLiteral("255.255.0.0"), defMask);
    out.reserve(out.size() + std::size_t(count));
    for (int i = 0; i < count; ++i) {
        DeviceConfig d;
        d.ip = base + std::uint32_t(i);
        d.mac = {0x02, 0x01, std::uint8_t(d.ip >> 24), std::uint8_t(d.ip >> 16), std::uint8_t(d.ip >> 8), std::uint8_t(d.ip)};
        d.owner = QStringLiteral("Gen Kft");
        d.name = QStringLiteral("Gen%1").arg(i, 5, 10, QLatin1Char('0'));
        d.version = QStringLiteral("AV 1.0.%1").arg(i);
        d.gateway = (d.ip & 0xFFFF0000u) | 1u;
        d.mask = defMask;
        // Spread the TAVO devices evenly instead of bunching them at the start.
        const bool tavo = std::floor(double(i + 1) * tavoShare) > std::floor(double(i) * tavoShare);
        if (tavo)
            d.tavow = 1000u + std::uint32_t(i);
        d.memName = d.name;
        d.memOwner = d.owner;
        d.build = std::uint16_t(i);
        out.push_back(std::move(d));
    }
    return true;
}

bool ValidateDevices(const std::vector<DeviceConfig> &devices, QString &error)
{
    QHash<std::uint32_t, int> seen;
    seen.reserve(qsizetype(devices.size()));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const auto it = seen.constFind(devices[i].ip);
        if (it != seen.constEnd()) {
            error = QStringLiteral("devices %1 and %2 share the address %3").arg(*it).arg(i).arg(IpToText(devices[i].ip));
            return false;
        }
        seen.insert(devices[i].ip, int(i));
    }
    return true;
}

} // namespace ardel::devsim
