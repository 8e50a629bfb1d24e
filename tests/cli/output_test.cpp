// The scanned devices as table, CSV and JSON.
#include "tools/cli/CliOutput.h"

#include "app/core/DeviceTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace ardel;
using namespace ardel::cli;

namespace {

QStringList Row(const char *ip, const char *name, const char *mac = "0.26.75.12.1.9")
{
    QStringList r(kDeviceColumnCount);
    r[ColStatus] = QStringLiteral("NI");
    r[ColOwner] = QStringLiteral("Üzem");
    r[ColDeviceName] = QString::fromUtf8(name);
    r[ColMac] = QString::fromLatin1(mac);
    r[ColIp] = QString::fromLatin1(ip);
    r[ColPort] = QStringLiteral("1001");
    r[ColListStatus] = QStringLiteral("új");
    return r;
}

const QList<QStringList> kRows{Row("10.0.0.100", "Száz, \"nagy\""), Row("10.0.0.9", "Kilenc"), Row("not an address", "Semmi"),
                               Row("10.0.0.10", "Tíz\nsor")};

TEST(CliOutput, JsonHasEveryKeyInAddressOrder)
{
    const QJsonArray a =
        QJsonDocument::fromJson(FormatDevices(
                                    kRows, [](const QString &ip) { return ip == QLatin1String("10.0.0.9"); }, Format::Json))
            .array();
    ASSERT_EQ(a.size(), 4);
    QStringList order;
    for (const QJsonValue &v : a)
        order.append(v.toObject().value(QStringLiteral("ip")).toString());
    EXPECT_EQ(order, (QStringList{QStringLiteral("not an address"), QStringLiteral("10.0.0.9"), QStringLiteral("10.0.0.10"),
                                  QStringLiteral("10.0.0.100")}));
    const QJsonObject o = a.at(1).toObject();
    EXPECT_EQ(o.keys().size(), DeviceKeys().size());
    for (const QString &k : DeviceKeys())
        EXPECT_TRUE(o.contains(k)) << k.toStdString();
    EXPECT_EQ(o.value(QStringLiteral("mac_hex")).toString(), QStringLiteral("00:1A:4B:0C:01:09"));
    EXPECT_EQ(o.value(QStringLiteral("list_status")).toString(), QStringLiteral("új"));
    EXPECT_TRUE(o.value(QStringLiteral("in_own_subnet")).toBool());
    EXPECT_FALSE(a.at(3).toObject().value(QStringLiteral("in_own_subnet")).toBool());
    EXPECT_EQ(a.at(3).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Száz, \"nagy\""));
    EXPECT_EQ(a.at(2).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Tíz\nsor"));
}

TEST(CliOutput, CsvQuotesWhatNeedsIt)
{
    const QString csv = QString::fromUtf8(FormatDevices(kRows, {}, Format::Csv));
    EXPECT_TRUE(csv.startsWith(DeviceKeys().join(QLatin1Char(',')) + QStringLiteral("\r\n")));
    EXPECT_TRUE(csv.contains(QStringLiteral(",\"Száz, \"\"nagy\"\"\",")));
    EXPECT_TRUE(csv.contains(QStringLiteral(",\"Tíz\nsor\",")));
    EXPECT_TRUE(csv.contains(QStringLiteral(",Kilenc,")));
    EXPECT_TRUE(csv.endsWith(QStringLiteral(",true\r\n")));

    struct Case {
        const char *in;
        const char *out;
    };
    for (const Case &c : {Case{"plain", "plain"}, Case{"a,b", "\"a,b\""}, Case{"say \"x\"", "\"say \"\"x\"\"\""},
                          Case{"a\rb", "\"a\rb\""}, Case{"", ""}})
        EXPECT_EQ(CsvField(QString::fromLatin1(c.in)), QString::fromLatin1(c.out));
}

TEST(CliOutput, TableColumnsLineUp)
{
    const QStringList lines =
        QString::fromUtf8(FormatDevices(kRows, {}, Format::Table)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("status")));
    const qsizetype ipAt = lines.at(0).indexOf(QStringLiteral("ip "));
    EXPECT_EQ(lines.at(2).indexOf(QStringLiteral("10.0.0.9")), ipAt);
    EXPECT_EQ(lines.at(4).indexOf(QStringLiteral("10.0.0.100")), ipAt);
    // A line break inside a name does not break the table.
    EXPECT_TRUE(lines.at(3).contains(QStringLiteral("Tíz sor")));
}

} // namespace
