#include "app/core/DeviceReplies.h"

#include <gtest/gtest.h>

using namespace ardel;

namespace {

QByteArray Hex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

const QString kPeer = QStringLiteral("10.77.128.9");

DeviceRow Row(std::initializer_list<const char *> fields)
{
    DeviceRow r;
    for (const char *f : fields)
        r.append(QString::fromUtf8(f));
    return r;
}

} // namespace

TEST(DiscoveryReply, SplitsTheSixFieldsAndAddsTheSender)
{
    const struct {
        const char *name;
        QString text;
        std::optional<DeviceRow> row;
    } cases[] = {
        {"a reply", QStringLiteral("A0.26.75.12.200.3/80/AB0IC/x/Tulajdonos/Készülék"),
         Row({"0.26.75.12.200.3", "80", "AB0IC", "x", "Tulajdonos", "Készülék", "10.77.128.9", "", "", ""})},
        {"empty fields", QStringLiteral("A/////"), Row({"", "", "", "", "", "", "10.77.128.9", "", "", ""})},
        {"a \"/\" in the name stays in the name", QStringLiteral("A0.26.75.12.200.3/80/AB0IC/x/o/a/b/10.1.1.1"),
         Row({"0.26.75.12.200.3", "80", "AB0IC", "x", "o", "a/b/10.1.1.1", "10.77.128.9", "", "", ""})},
        {"a name ending in \"/\"", QStringLiteral("A1.2.3.4.5.6/80/N**M*/x/o/n/"),
         Row({"1.2.3.4.5.6", "80", "N**M*", "x", "o", "n/", "10.77.128.9", "", "", ""})},
        {"five fields", QStringLiteral("A1.2.3.4.5.6/80/N**M*/x/o"), std::nullopt},
        {"only the letter", QStringLiteral("A"), std::nullopt},
        {"not a discovery reply", QStringLiteral("D1.2.3.4.5.6/80/N**M*/x/o/n"), std::nullopt},
        {"lower case", QStringLiteral("a1.2.3.4.5.6/80/N**M*/x/o/n"), std::nullopt},
        {"empty", QString(), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseDiscoveryReply(c.text, kPeer), c.row) << c.name;
}

TEST(DiscoveryReply, KeepsAtMost255CharactersOfTheMacField)
{
    const QString longMac = QString(300, QLatin1Char('1'));
    const std::optional<DeviceRow> row =
        ParseDiscoveryReply(QLatin1Char('A') + longMac + QStringLiteral("/80/N**M*/x/o/n"), kPeer);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->at(RowMac), longMac.left(255));
    EXPECT_EQ(row->at(RowIp), kPeer);
}

TEST(AeteiReply, ReadsTheNetworkInformation)
{
    const QByteArray body = Hex("001A4B0CC803"
                                "0A4D8001"
                                "0A4D0001"
                                "FFFF00");
    const struct {
        const char *name;
        QByteArray data;
        std::optional<DeviceRow> row;
    } cases[] = {
        {"DHCP active, connected", "AETEI" + body + Hex("0201"),
         Row({"0.26.75.12.200.3", "1001", "N**IC", "", "", "", "10.77.128.1", "74565", "10.77.0.1", "255.255.0.2"})},
        {"DHCP without address yet", "AETEI" + body + Hex("0100"),
         Row({"0.26.75.12.200.3", "1001", "N****", "", "", "", "10.77.128.1", "74565", "10.77.0.1", "255.255.0.1"})},
        {"no DHCP, no connection", "AETEI" + body + Hex("0000"),
         Row({"0.26.75.12.200.3", "1001", "N**M*", "", "", "", "10.77.128.1", "74565", "10.77.0.1", "255.255.0.0"})},
        {"other state values", "AETEI" + body + Hex("FF02"),
         Row({"0.26.75.12.200.3", "1001", "N**M*", "", "", "", "10.77.128.1", "74565", "10.77.0.1", "255.255.0.255"})},
        {"bytes past the layout are ignored", "AETEI" + body + Hex("0201") + QByteArray(2000, '\x07'),
         Row({"0.26.75.12.200.3", "1001", "N**IC", "", "", "", "10.77.128.1", "74565", "10.77.0.1", "255.255.0.2"})},
        {"short: missing bytes read as zero",
         "AETEI"
             + Hex("001A4B0CC803"
                   "0A4D"),
         Row({"0.26.75.12.200.3", "1001", "N**M*", "", "", "", "10.77.0.0", "74565", "0.0.0.0", "0.0.0.0"})},
        {"only the word", QByteArray("AETEI"),
         Row({"0.0.0.0.0.0", "1001", "N**M*", "", "", "", "0.0.0.0", "74565", "0.0.0.0", "0.0.0.0"})},
        {"another word", "ASYSI" + body + Hex("0201"), std::nullopt},
        {"shorter than the word", QByteArray("AETE"), std::nullopt},
        {"empty", QByteArray(), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseAeteiReply(c.data, 74565), c.row) << c.name;
}
