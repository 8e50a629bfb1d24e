// Address checks and the table's column definitions as a view reads them.
#include "device_table_fixture.h"

#include <QBrush>

namespace ardel::test {
namespace {

struct AddressCase {
    const char *text;
    bool validMac;
    bool validIp;
    const char *hex; // MacToHex
};

const AddressCase kAddressCases[] = {
    {"10.20.30.40.50.255", true, false, "0A:14:1E:28:32:FF"},
    {"0.0.0.0.0.0", true, false, "00:00:00:00:00:00"},
    {"255.255.255.255.255.255", true, false, "FF:FF:FF:FF:FF:FF"},
    {"1.2.3.4.5", false, false, ""},                      // five pieces
    {"1.2.3.4.5.6.7", false, false, ""},                  // seven pieces
    {"1.2.3.4.5.256", false, false, "01:02:03:04:05:00"}, // 256 is no byte
    {"1.2.3.4.5.a", false, false, "01:02:03:04:05:00"},   // a letter
    {"1.2..4.5.6", false, false, "01:02:00:04:05:06"},    // empty piece
    {"1.2.3.4.5.", false, false, "01:02:03:04:05:00"},    // empty last piece
    {"1.2.3.4.5.-1", false, false, "01:02:03:04:05:00"},  // negative
    {"1.2.3.4.5. 6", false, false, "01:02:03:04:05:00"},  // blank inside
    {"", false, false, ""},
    {"10.0.0.9", false, true, ""},
    {"0.0.0.0", false, true, ""},
    {"255.255.255.255", false, true, ""},
    {"10.0.0", false, false, ""},     // three pieces
    {"10.0.0.1.2", false, false, ""}, // five pieces
    {"10.0.0.256", false, false, ""},
    {"10.0.x.1", false, false, ""}, // a letter counts as too big
    {"10..0.1", false, false, ""},  // empty piece
    {"-1.2.3.4", false, false, ""}, // negative
    {"-0.2.3.4", false, false, ""},
    {"99999999999999999999.1.2.3", false, false, ""},   // overflow
    {"9999999999999999999.1.2.3", false, false, ""},    // 19 nines: too large, not wrapped
    {"9223372036854775807.1.2.3", false, false, ""},    // the largest 64-bit number
    {"+10.0.0.1", false, true, ""},                     // a plus sign is taken
    {"010.000.0000000000000000001.1", false, true, ""}, // leading zeros up to 19 characters
    {"00000000000000000001.0.0.1", false, false, ""},   // 20 characters
    {"+1.2.3.4.5.006", true, false, "01:02:03:04:05:06"},
    {"1.2.3.4.5.9999999999999999999", false, false, "01:02:03:04:05:00"},
    {"1.2.3.4.5.99999999999999999999", false, false, "01:02:03:04:05:00"},
    {"1.2.3.4.5.-9999999999999999999", false, false, "01:02:03:04:05:00"},
    {"1.2.3.4.5.9223372036854775807", false, false, "01:02:03:04:05:00"},
    {".-0.-0.9999999999999999999.-0.-0", false, false, "00:00:00:00:00:00"}, // once overflowed
};

TEST(DeviceAddresses, ValidatorsAndHexAgreeWithTheTable)
{
    for (const AddressCase &c : kAddressCases) {
        const QString text = QString::fromUtf8(c.text);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsValidMac(text), c.validMac);
        EXPECT_EQ(IsValidIp(text), c.validIp);
        EXPECT_EQ(MacToHex(text), QString::fromUtf8(c.hex));
    }
}

TEST(DeviceColumnsLook, CaptionsWidthsAlignmentAndVisibility)
{
    struct Expected {
        const char16_t *caption;
        int width;
        bool cellCentred;
        bool headerCentred;
        bool shown;
    };
    const Expected expected[kDeviceColumnCount] = {
        {u"Státusz", 60, false, false, true},      {u"Tulajdonos", 130, false, false, true},
        {u"Készüléknév", 100, true, true, true},   {u"MAC cím", 170, true, true, true},
        {u"MAC cím hexa", 170, true, true, false}, {u"IP cím", 128, true, true, true},
        {u"Port", 70, true, true, true},           {u"Program verzió", 150, true, true, true},
        {u"Listastátusz", 90, true, false, true},  {u"TAVOW cím", 80, true, true, true},
        {u"Átjáró", 128, true, true, true},        {u"Alhálózati maszk", 128, true, true, true},
    };
    TDeviceTableModel model;
    ASSERT_EQ(model.columnCount(), kDeviceColumnCount);
    model.MergeDeviceRow(MakeRow({}));
    for (int c = 0; c < kDeviceColumnCount; ++c) {
        SCOPED_TRACE(c);
        const Expected &e = expected[c];
        const DeviceColumnInfo &info = DeviceColumns()[static_cast<size_t>(c)];
        const Qt::Alignment cell = e.cellCentred ? Qt::Alignment(Qt::AlignCenter) : (Qt::AlignLeft | Qt::AlignVCenter);
        const Qt::Alignment header = e.headerCentred ? Qt::Alignment(Qt::AlignCenter) : (Qt::AlignLeft | Qt::AlignVCenter);
        EXPECT_EQ(info.caption, QStringView(e.caption));
        EXPECT_EQ(info.width, e.width);
        EXPECT_EQ(info.shownAtStart, e.shown);
        EXPECT_EQ(info.cellAlignment, cell);
        EXPECT_EQ(info.headerAlignment, header);
        // What a view asks the model.
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), QString::fromUtf16(e.caption));
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), static_cast<int>(header));
        EXPECT_EQ(model.data(model.index(0, c), Qt::TextAlignmentRole).toInt(), static_cast<int>(cell));
    }
}

TEST(DeviceColumnsLook, DataRolesGiveTextAndPaintableColours)
{
    TDeviceTableModel model;
    model.MergeDeviceRow(MakeRow({.status = QStringLiteral("000MC"), .owner = QStringLiteral("Kovács")}));
    EXPECT_EQ(model.data(model.index(0, ColOwner)).toString(), QStringLiteral("Kovács"));
    EXPECT_EQ(model.data(model.index(0, ColListStatus)).toString(), kListStatusNew.toString());

    const QVariant status = model.data(model.index(0, ColStatus), Qt::BackgroundRole);
    ASSERT_TRUE(status.canConvert<QBrush>()); // the item delegate paints a QBrush
    EXPECT_EQ(status.value<QBrush>().color(), kColourStatusConnected);
    EXPECT_EQ(model.data(model.index(0, ColListStatus), Qt::BackgroundRole).value<QColor>(), kColourListNew);
    // No rule coloured the owner cell: the view uses its own background.
    EXPECT_FALSE(model.data(model.index(0, ColOwner), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(model.data(model.index(1, 0)).isValid());
}

} // namespace
} // namespace ardel::test
