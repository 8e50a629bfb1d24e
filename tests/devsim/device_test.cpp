// The emulated device's answers and the config reader, without sockets.
#include "tools/devsim/Device.h"
#include "tools/devsim/DevsimConfig.h"

#include "net/TextUtil.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace ardel::devsim;

namespace {

DeviceConfig baseDevice()
{
    DeviceConfig c;
    ParseIPv4(QStringLiteral("10.77.128.10"), c.ip);
    ParseMacText(QStringLiteral("0.26.75.12.200.3"), c.mac);
    c.owner = QStringLiteral("Kovács és Társa Kft");
    c.name = QStringLiteral("Őrház");
    c.memName = QStringLiteral("MemName");
    c.memOwner = QStringLiteral("MemOwner");
    c.memPassword = QStringLiteral("secret");
    c.tavow = 1000;
    ParseIPv4(QStringLiteral("10.77.0.1"), c.gateway);
    ParseIPv4(QStringLiteral("255.255.0.0"), c.mask);
    return c;
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (const int b : list)
        out.append(char(b));
    return out;
}

} // namespace

TEST(DevsimConfig, ReadsEveryKey)
{
    const QByteArray json = R"({"answer_spread_ms": 150, "seed": 7, "devices": [
        {"ip": "10.77.128.10", "mac": "0.26.75.12.200.3", "port": "1002", "status": "N**M*", "field4": "f",
         "owner": "Kft", "name": "Dev1", "version": "AV 1.2.3", "password": "pw", "silent": true,
         "delay_ms": 40, "drop": 0.25, "malformed": "markup", "tavow": 1000, "tavo_variant": "tavo",
         "gateway": "10.77.0.9", "mask": "255.255.255.0", "dhcp": 2, "connected": 1, "mem_name": "MN",
         "mem_owner": "MO", "mem_password": "MP", "version_chars": "xyz99", "build": 301, "tavo_silent": true,
         "tavo_delay_ms": 12, "restart_ms": 500, "eeprom_fail": true, "iface": "dev1"},
        {"ip": "10.99.0.5"}]})";
    SimConfig cfg;
    QString error;
    ASSERT_TRUE(ParseConfig(json, cfg, error)) << error.toStdString();
    EXPECT_EQ(cfg.answerSpreadMs, 150);
    EXPECT_EQ(cfg.seed, 7u);
    ASSERT_EQ(cfg.devices.size(), 2u);
    const DeviceConfig &d = cfg.devices[0];
    EXPECT_EQ(IpToText(d.ip), QStringLiteral("10.77.128.10"));
    EXPECT_EQ(MacToText(d.mac), QStringLiteral("0.26.75.12.200.3"));
    EXPECT_EQ(d.port, QStringLiteral("1002"));
    EXPECT_EQ(d.status, QStringLiteral("N**M*"));
    EXPECT_TRUE(d.silent);
    EXPECT_EQ(d.delayMs, 40);
    EXPECT_DOUBLE_EQ(d.drop, 0.25);
    EXPECT_EQ(d.malformed, Malformed::Markup);
    ASSERT_TRUE(d.tavow.has_value());
    EXPECT_EQ(*d.tavow, 1000u);
    EXPECT_TRUE(d.tavoVariantTavo);
    EXPECT_EQ(IpToText(d.gateway), QStringLiteral("10.77.0.9"));
    EXPECT_EQ(IpToText(d.mask), QStringLiteral("255.255.255.0"));
    ASSERT_TRUE(d.dhcp.has_value());
    EXPECT_EQ(*d.dhcp, 2);
    EXPECT_EQ(d.connected, 1);
    EXPECT_EQ(d.memPassword, QStringLiteral("MP"));
    EXPECT_EQ(d.versionChars, QByteArrayLiteral("xyz99"));
    EXPECT_EQ(d.build, 301);
    EXPECT_TRUE(d.tavoSilent);
    EXPECT_EQ(d.tavoDelayMs, 12);
    EXPECT_EQ(d.restartMs, 500);
    EXPECT_TRUE(d.eepromFail);
    EXPECT_EQ(d.iface, QStringLiteral("dev1"));

    // Defaults: a plain device, memory texts follow the discovery texts.
    const DeviceConfig &e = cfg.devices[1];
    EXPECT_FALSE(e.tavow.has_value());
    EXPECT_FALSE(e.dhcp.has_value());
    EXPECT_EQ(e.memName, e.name);
    EXPECT_EQ(IpToText(e.gateway), QStringLiteral("10.99.0.1"));
}

TEST(DevsimConfig, RejectsBadInputWithAReason)
{
    struct Case {
        const char *json;
        const char *inError;
    } cases[] = {
        {"{", "not valid JSON"},
        {"[]", "JSON object"},
        {R"({"devices": {}})", "must be an array"},
        {R"({"devicez": []})", "devicez"},
        {R"({"answer_spread_ms": -1})", "answer_spread_ms"},
        {R"({"devices": [{"name": "x"}]})", "\"ip\" is missing"},
        {R"({"devices": [{"ip": "10.77.128.300"}]})", "\"ip\""},
        {R"({"devices": [{"ip": "10.77.128.1", "mac": "1.2.3.4.5"}]})", "\"mac\""},
        {R"({"devices": [{"ip": "10.77.128.1", "mac": "1.2.3.4.5.256"}]})", "\"mac\""},
        {R"({"devices": [{"ip": "10.77.128.1", "drop": 1.5}]})", "\"drop\""},
        {R"({"devices": [{"ip": "10.77.128.1", "malformed": "weird"}]})", "\"malformed\""},
        {R"({"devices": [{"ip": "10.77.128.1", "tavo_variant": "x"}]})", "\"tavo_variant\""},
        {R"({"devices": [{"ip": "10.77.128.1", "silent": "yes"}]})", "\"silent\""},
        {R"({"devices": [{"ip": "10.77.128.1", "colour": 1}]})", "colour"},
        {R"({"devices": [{"ip": "10.77.128.1"}, 5]})", "device 1"},
    };
    for (const Case &c : cases) {
        SimConfig cfg;
        QString error;
        EXPECT_FALSE(ParseConfig(QByteArray(c.json), cfg, error)) << c.json;
        EXPECT_TRUE(error.contains(QLatin1String(c.inError))) << c.json << " -> " << error.toStdString();
    }

    std::vector<DeviceConfig> dup(2);
    dup[0].ip = dup[1].ip = 0x0A4D800A;
    QString error;
    EXPECT_FALSE(ValidateDevices(dup, error));
    EXPECT_TRUE(error.contains(QLatin1String("10.77.128.10")));
}

TEST(DevsimConfig, GeneratesConsecutiveDevicesWithTavoShare)
{
    std::vector<DeviceConfig> out;
    QString error;
    std::uint32_t base = 0;
    ParseIPv4(QStringLiteral("10.77.128.250"), base);
    ASSERT_TRUE(GenerateDevices(100, base, 0.25, out, error));
    ASSERT_EQ(out.size(), 100u);
    EXPECT_EQ(IpToText(out[0].ip), QStringLiteral("10.77.128.250"));
    EXPECT_EQ(IpToText(out[99].ip), QStringLiteral("10.77.129.93"));
    int tavo = 0;
    QSet<QString> macs;
    for (const DeviceConfig &d : out) {
        tavo += d.tavow ? 1 : 0;
        macs.insert(MacToText(d.mac));
        if (d.tavow) {
            EXPECT_GT(*d.tavow, 255u);
        }
    }
    EXPECT_EQ(tavo, 25);
    EXPECT_EQ(macs.size(), 100);
    EXPECT_TRUE(ValidateDevices(out, error));

    EXPECT_TRUE(GenerateDevices(1, 0xFFFFFFFFu, 0, out, error));
    EXPECT_FALSE(GenerateDevices(2, 0xFFFFFFFFu, 0, out, error));
    EXPECT_FALSE(GenerateDevices(10, base, 1.5, out, error));
}

TEST(DevsimPlain, ParsesSetIpCommands)
{
    struct Case {
        QByteArray text;
        bool ok;
        QByteArray password;
        const char *newIp;
    } cases[] = {
        {"A10.20.30.40.50.60//192.168.1.50|2a", true, "", "192.168.1.50"},
        {"A10.20.30.40.50.60/titok/10.77.128.50|2a", true, "titok", "10.77.128.50"},
        // A password is sent as typed: "/" and "|" may be part of it.
        {"A10.20.30.40.50.60/a/b|c/10.77.128.50|2a", true, "a/b|c", "10.77.128.50"},
        {"A10.20.30.40.50.60/10.77.128.50|2a", false, "", nullptr},
        {"A10.20.30.40.50.60//192.168.1.50", false, "", nullptr},
        {"A10.20.30.40.50//192.168.1.50|2a", false, "", nullptr},
        {"A10.20.30.40.50.600//192.168.1.50|2a", false, "", nullptr},
        {"A10.20.30.40.50.60//192.168.1|2a", false, "", nullptr},
        {"A10.20.30.40.50.60//0.0.0.0|2a", false, "", nullptr},
        {"A10.20.30.40.50.60//255.255.255.255|2a", false, "", nullptr},
        {"A10.20.30.40.50.60//224.0.0.1|2a", false, "", nullptr},
        {"A010.020.030.040.050.060//192.168.001.050|2a", true, "", "192.168.1.50"}, // three digits a part
        {"A10.20.30.40.50.0060//192.168.1.50|2a", false, "", nullptr},
        {"A10.20.30.40.50.+60//192.168.1.50|2a", false, "", nullptr},
        {"A10.20.30.40.50.60//192.168.1.-50|2a", false, "", nullptr},
        {"A10.20.30.40.50.60//9999999999999999999.168.1.50|2a", false, "", nullptr},
        {"A10.20.30.40.50.99999999999999999999//192.168.1.50|2a", false, "", nullptr},
        {"X", false, "", nullptr},
        {"", false, "", nullptr},
        {"A|2a", false, "", nullptr},
    };
    for (const Case &c : cases) {
        SetIpCommand cmd;
        ASSERT_EQ(ParseSetIpCommand(c.text, cmd), c.ok) << c.text.constData();
        if (!c.ok)
            continue;
        EXPECT_EQ(MacToText(cmd.mac), QStringLiteral("10.20.30.40.50.60"));
        EXPECT_EQ(cmd.password, c.password);
        EXPECT_EQ(IpToText(cmd.newIp), QLatin1String(c.newIp));
    }
}

TEST(DevsimPlain, SetIpNeedsThePasswordWhenOneIsSet)
{
    DeviceConfig c = baseDevice();
    c.password = QStringLiteral("jó");
    const Device d(c);
    SetIpCommand cmd;
    cmd.password = "";
    EXPECT_EQ(d.SetIpReply(cmd), "D");
    cmd.password = "jo";
    EXPECT_EQ(d.SetIpReply(cmd), "D");
    cmd.password = ardel::ToCp1250(QStringLiteral("jó"));
    EXPECT_EQ(d.SetIpReply(cmd), "A");

    c.password.clear();
    const Device open(c);
    cmd.password = "anything";
    EXPECT_EQ(open.SetIpReply(cmd), "A");
}

TEST(DevsimPlain, DiscoveryReplyAndItsMalformedKinds)
{
    std::mt19937 rng(1);
    struct Case {
        Malformed kind;
        int fields; // "/"-separated pieces, -1: not checked
        bool macValid;
        const char *contains;
    } cases[] = {
        {Malformed::None, 6, true, "/1001/N**I*/x/"}, {Malformed::Fields, 5, true, "/x/"},
        {Malformed::Mac, 6, false, ".999/"},          {Malformed::Control, 6, true, "\x07"},
        {Malformed::Markup, 6, true, "<script>"},     {Malformed::Garbage, -1, false, ""},
    };
    for (const Case &c : cases) {
        DeviceConfig cfg = baseDevice();
        cfg.malformed = c.kind;
        const Device d(cfg);
        const QByteArray reply = d.DiscoveryReply(rng);
        ASSERT_FALSE(reply.isEmpty());
        if (c.kind == Malformed::Garbage) {
            EXPECT_NE(reply, d.DiscoveryReply(rng)) << "garbage should vary";
            continue;
        }
        EXPECT_EQ(reply.at(0), 'A');
        const QList<QByteArray> parts = reply.mid(1).split('/');
        EXPECT_EQ(parts.size(), c.fields) << reply.constData();
        Mac mac{};
        EXPECT_EQ(ParseMacText(QString::fromLatin1(parts.at(0)), mac), c.macValid) << reply.constData();
        EXPECT_TRUE(reply.contains(c.contains)) << reply.constData();
        if (c.kind == Malformed::None) {
            // Texts travel in code page 1250.
            EXPECT_EQ(parts.at(4), ardel::ToCp1250(QStringLiteral("Kovács és Társa Kft")));
            EXPECT_EQ(parts.at(5), QByteArray("\xD5rh\xE1z"));
        }
    }
    DeviceConfig cfg = baseDevice();
    cfg.version = QStringLiteral("AV 2.0 ő");
    EXPECT_EQ(Device(cfg).VersionReply(rng), QByteArray("AV 2.0 \xF5"));
}

TEST(DevsimTavo, AeteiLayout)
{
    struct Case {
        std::optional<std::uint8_t> dhcp;
        std::uint8_t connected;
        int tcp;
        int byte22, byte23;
    } cases[] = {
        {std::nullopt, 0, 0, 0, 0}, // the mask's last part (255.255.0.0)
        {2, 1, 0, 2, 1},
        {1, 0, 1, 1, 1}, // an open TCP connection shows as connected
    };
    for (const Case &c : cases) {
        DeviceConfig cfg = baseDevice();
        cfg.dhcp = c.dhcp;
        cfg.connected = c.connected;
        Device d(cfg);
        d.tcpConnections = c.tcp;
        const QByteArray a = d.AeteiData();
        ASSERT_EQ(a.size(), 24);
        EXPECT_EQ(a.left(5), "AETEI");
        EXPECT_EQ(a.mid(5, 6), bytes({0, 26, 75, 12, 200, 3}));
        EXPECT_EQ(a.mid(11, 4), bytes({10, 77, 128, 10}));
        EXPECT_EQ(a.mid(15, 4), bytes({10, 77, 0, 1}));
        EXPECT_EQ(a.mid(19, 3), bytes({255, 255, 0}));
        EXPECT_EQ(std::uint8_t(a.at(22)), c.byte22);
        EXPECT_EQ(std::uint8_t(a.at(23)), c.byte23);
    }
}

TEST(DevsimTavo, ReadsMemoryAndSystemInfo)
{
    Device d(baseDevice());
    TavoEffect fx;
    struct Case {
        QByteArray request;
        QByteArray expected; // after "ASYRE"; "-" means no answer
    } cases[] = {
        {QByteArray("CSYRE") + bytes({10, 0, 24}), QByteArray("MemName") + QByteArray(17, '\0')},
        {QByteArray("CSYRE") + bytes({34, 0, 24}), QByteArray("MemOwner") + QByteArray(16, '\0')},
        {QByteArray("CSYRE") + bytes({97, 0, 30}), QByteArray("secret") + QByteArray(24, '\0')},
        {QByteArray("CSYRE") + bytes({211, 0, 6}), bytes({0, 26, 75, 12, 200, 3})},
        // Past the end of memory the device sends what there is.
        {QByteArray("CSYRE") + bytes({250, 0, 30}), QByteArray(6, '\0')},
        {QByteArray("CSYRE") + bytes({0, 1, 4}), QByteArray()},
        {QByteArray("CSYRE") + bytes({10, 0}), "-"},
    };
    for (const Case &c : cases) {
        const QByteArray reply = d.HandleTavo(c.request, fx);
        if (c.expected == "-") {
            EXPECT_TRUE(reply.isEmpty());
            continue;
        }
        EXPECT_EQ(reply, QByteArray("ASYRE") + c.expected);
    }

    const QByteArray si = d.HandleTavo("CSYSI", fx);
    ASSERT_GE(si.size(), 63);
    EXPECT_EQ(si.left(5), "ASYSI");
    EXPECT_EQ(si.mid(11, 5), "abc12");
    EXPECT_EQ(si.mid(61, 2), bytes({0x2C, 0x01})); // 300

    EXPECT_TRUE(d.HandleTavo("CXXXX", fx).isEmpty());
    EXPECT_TRUE(d.HandleTavo("AETEI", fx).isEmpty()); // another device's answer
    EXPECT_TRUE(d.HandleTavo("CSY", fx).isEmpty());
}

TEST(DevsimTavo, SettingsAreStagedUntilSaved)
{
    Device d(baseDevice());
    TavoEffect fx;
    EXPECT_EQ(d.HandleTavo(QByteArray("CETSI") + bytes({10, 77, 128, 50}), fx), QByteArray("AETSI\x01"));
    EXPECT_EQ(d.HandleTavo(QByteArray("CETSG") + bytes({10, 77, 0, 9}), fx), QByteArray("AETSG\x01"));
    EXPECT_EQ(d.HandleTavo(QByteArray("CETSN") + bytes({255, 255, 255, 0}), fx), QByteArray("AETSN\x01"));
    EXPECT_EQ(d.HandleTavo(QByteArray("CETSM") + bytes({1, 2, 3, 4, 5, 6}), fx), QByteArray("AETSM\x01"));
    // Wrong lengths and impossible addresses are refused with status 0.
    EXPECT_EQ(d.HandleTavo(QByteArray("CETSI") + bytes({10, 77}), fx), QByteArray("AETSI\0", 6));
    EXPECT_EQ(d.HandleTavo(QByteArray("CETSI") + bytes({0, 0, 0, 0}), fx), QByteArray("AETSI\0", 6));
    EXPECT_EQ(d.HandleTavo(QByteArray("CETSM") + bytes({1, 2, 3}), fx), QByteArray("AETSM\0", 6));

    // Nothing changes before "CSYER".
    EXPECT_EQ(d.AeteiData().mid(5, 10), bytes({0, 26, 75, 12, 200, 3, 10, 77, 128, 10}));
    EXPECT_FALSE(fx.addressChanged);
    EXPECT_EQ(d.HandleTavo("CSYER", fx), QByteArray("ASYER\x01"));
    EXPECT_TRUE(fx.addressChanged);
    EXPECT_EQ(IpToText(fx.oldIp), QStringLiteral("10.77.128.10"));
    EXPECT_EQ(IpToText(d.ip()), QStringLiteral("10.77.128.50"));
    EXPECT_EQ(d.AeteiData().mid(5, 18), bytes({1, 2, 3, 4, 5, 6, 10, 77, 128, 50, 10, 77, 0, 9, 255, 255, 255, 0}));

    // A restart drops what was staged but not saved.
    TavoEffect fx2;
    d.HandleTavo(QByteArray("CETSI") + bytes({10, 77, 128, 60}), fx2);
    EXPECT_EQ(d.HandleTavo("CSYRS", fx2), QByteArray("ASYRS\x01"));
    EXPECT_TRUE(fx2.restart);
    TavoEffect fx3;
    d.HandleTavo("CSYER", fx3);
    EXPECT_FALSE(fx3.addressChanged);
    EXPECT_EQ(IpToText(d.ip()), QStringLiteral("10.77.128.50"));
}

TEST(DevsimTavo, EepromWrite)
{
    const QByteArray macWrite = QByteArray("CSYWE") + bytes({0xD3, 0x00, 0x06, 9, 8, 7, 6, 5, 4});
    struct Case {
        QByteArray request;
        bool fail;
        int result;
        QByteArray macAfter;
    } cases[] = {
        {macWrite, false, 1, bytes({9, 8, 7, 6, 5, 4})},
        {macWrite, true, 0, bytes({0, 26, 75, 12, 200, 3})},
        // Count and data disagree, or the write runs past the memory.
        {QByteArray("CSYWE") + bytes({0xD3, 0x00, 0x06, 9, 8, 7}), false, 0, bytes({0, 26, 75, 12, 200, 3})},
        {QByteArray("CSYWE") + bytes({0xFE, 0x00, 0x03, 1, 2, 3}), false, 0, bytes({0, 26, 75, 12, 200, 3})},
        {QByteArray("CSYWE") + bytes({0xD3}), false, 0, bytes({0, 26, 75, 12, 200, 3})},
    };
    for (const Case &c : cases) {
        DeviceConfig cfg = baseDevice();
        cfg.eepromFail = c.fail;
        Device d(cfg);
        TavoEffect fx;
        EXPECT_EQ(d.HandleTavo(c.request, fx), QByteArray("ASYWE") + char(c.result));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(d.mac().data()), 6), c.macAfter);
        EXPECT_EQ(d.memory().size(), kMemorySize);
    }
}
