// Merge rules, row lookup, refresh marking and sorting of the device table.
#include "device_table_fixture.h"

#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <random>

namespace ardel::test {
namespace {

const QString kIpA = QStringLiteral("10.77.128.1");
const QString kIpB = QStringLiteral("10.77.128.2");
const QString kMacA = QStringLiteral("0.1.2.3.4.5");
const QString kMacB = QStringLiteral("0.1.2.3.4.6");

// Refresh life of one device: M merge its reply, E mark every row "üres"
// (start of a refresh), D drop the rows still "üres" (end of a refresh).
struct LifeCase {
    const char *steps;
    int rows;
    QStringView status;
    const QColor *colour;
};

const LifeCase kLifeCases[] = {
    {"M", 1, kListStatusNew, &kColourListNew},
    {"MM", 1, kListStatusNew, &kColourListNew},
    {"ME", 1, kListStatusEmpty, &kColourListNew}, // marking keeps the colour
    {"MEM", 1, kListStatusOld, &kColourListOld},
    {"MEMM", 1, kListStatusOld, &kColourListOld},
    {"MEMD", 1, kListStatusOld, &kColourListOld},
    {"MEMEM", 1, kListStatusOld, &kColourListOld},
    {"MED", 0, {}, nullptr},
    {"MEDM", 1, kListStatusNew, &kColourListNew},
};

TEST_F(DeviceTableTest, ListStatusFollowsTheRefreshes)
{
    for (const LifeCase &c : kLifeCases) {
        SCOPED_TRACE(c.steps);
        TDeviceTableModel table;
        for (const char *s = c.steps; *s; ++s) {
            if (*s == 'M')
                table.MergeDeviceRow(MakeRow({}));
            else if (*s == 'E')
                table.MarkRowsEmpty();
            else
                table.DropEmptyRows();
        }
        ASSERT_EQ(table.RowCount(), c.rows);
        if (c.rows == 0)
            continue;
        EXPECT_EQ(table.Cell(0, ColListStatus), c.status.toString());
        EXPECT_EQ(table.CellColour(0, ColListStatus), *c.colour);
    }
}

TEST_F(DeviceTableTest, SameIpDifferentMacGivesTwoRowsAndLookupPrefersTheUpperOne)
{
    Merge({.mac = kMacA, .ip = kIpA, .tavow = QStringLiteral("7")});
    Merge({.mac = kMacB, .ip = kIpA, .tavow = QStringLiteral("8")});
    ASSERT_EQ(model.RowCount(), 2);
    EXPECT_EQ(model.FindDeviceRow(kIpA), 0);
    EXPECT_EQ(model.FindDeviceRow(kIpA, kMacB), 1);
    EXPECT_EQ(model.FindDeviceRow(kIpA, QString(), QStringLiteral("8")), 1);
    EXPECT_EQ(model.FindDeviceRow(kIpA, kMacA, QStringLiteral("8")), -1);
    EXPECT_EQ(model.FindDeviceRow(kIpB), -1);
    EXPECT_EQ(model.FindDeviceRow(QString()), -1);

    // Sorting by MAC, descending, puts the second device on top: the lookup
    // without a MAC must follow the new order.
    model.sort(ColMac, Qt::DescendingOrder);
    ASSERT_EQ(model.Cell(0, ColMac), kMacB);
    EXPECT_EQ(model.FindDeviceRow(kIpA), 0);
    EXPECT_EQ(model.FindDeviceRow(kIpA, kMacA), 1);
    EXPECT_EQ(model.FindDeviceRow(kIpA, QString(), QStringLiteral("7")), 1);

    // Sorting by IP keeps rows with equal addresses in their current order.
    model.sort(ColIp, Qt::AscendingOrder);
    EXPECT_EQ(model.Cell(0, ColMac), kMacB);
}

TEST_F(DeviceTableTest, ChangedPortKeepsTheRowChangedIpGetsANewOne)
{
    Merge({.mac = kMacA, .ip = kIpA, .port = QStringLiteral("1010")});
    model.MarkRowsEmpty();
    Merge({.mac = kMacA, .ip = kIpA, .port = QStringLiteral("2020")});
    ASSERT_EQ(model.RowCount(), 1);
    EXPECT_EQ(model.Cell(0, ColPort), QStringLiteral("2020"));
    EXPECT_EQ(model.Cell(0, ColListStatus), kListStatusOld.toString());

    // Next refresh: the device answers from a new address.
    model.MarkRowsEmpty();
    Merge({.mac = kMacA, .ip = kIpB, .port = QStringLiteral("2020")});
    ASSERT_EQ(model.RowCount(), 2);
    EXPECT_EQ(model.Cell(1, ColIp), kIpB);
    EXPECT_EQ(model.Cell(1, ColListStatus), kListStatusNew.toString());
    EXPECT_EQ(model.Cell(0, ColListStatus), kListStatusEmpty.toString());
    model.DropEmptyRows();
    ASSERT_EQ(model.RowCount(), 1);
    EXPECT_EQ(model.Cell(0, ColIp), kIpB);
    EXPECT_EQ(model.FindDeviceRow(kIpA), -1);
    EXPECT_EQ(model.FindDeviceRow(kIpB, kMacA), 0);
}

struct StatusCase {
    const char *status;
    const char *letters;
    bool lime;
};

const StatusCase kStatusCases[] = {
    {"000I*", "I*", false},   {"000MC", "MC", true}, {"000*C", "*C", true},
    {"ABCMCxyz", "MC", true}, // longer texts: only the 4th and 5th count
    {"0000c", "0c", false},   // the letter is upper-case only
    {"000M", "M", false},     // no 5th character
    {"000", "", false},       {"0", "", false},      {"", "", false},
};

TEST_F(DeviceTableTest, StatusLettersAndTheirColour)
{
    for (const StatusCase &c : kStatusCases) {
        SCOPED_TRACE(c.status);
        TDeviceTableModel table;
        table.MergeDeviceRow(MakeRow({.status = QString::fromUtf8(c.status)}));
        ASSERT_EQ(table.RowCount(), 1);
        EXPECT_EQ(table.Cell(0, ColStatus), QString::fromUtf8(c.letters));
        EXPECT_EQ(table.CellColour(0, ColStatus), c.lime ? kColourStatusConnected : kColourStatusIdle);
    }
}

TEST_F(DeviceTableTest, StatusColourFollowsEveryMerge)
{
    Merge({.status = QStringLiteral("000MC")});
    EXPECT_EQ(model.CellColour(0, ColStatus), kColourStatusConnected);
    Merge({.status = QStringLiteral("000M*")});
    EXPECT_EQ(model.Cell(0, ColStatus), QStringLiteral("M*"));
    EXPECT_EQ(model.CellColour(0, ColStatus), kColourStatusIdle);
}

TEST_F(DeviceTableTest, DevicesOutsideTheOwnSubnetAreGreyExceptStatusAndListStatus)
{
    QStringList asked;
    bool inside = true;
    model.SetSubnetTest([&asked, &inside](const QString &ip) {
        asked.append(ip);
        return inside;
    });
    Merge({.mac = kMacA, .ip = kIpA});
    inside = false;
    Merge({.mac = kMacB, .ip = QStringLiteral("10.99.0.5"), .status = QStringLiteral("000MC")});
    EXPECT_EQ(asked, (QStringList{kIpA, QStringLiteral("10.99.0.5")}));
    ASSERT_EQ(model.RowCount(), 2);

    for (int c = ColOwner; c < kDeviceColumnCount; ++c) {
        SCOPED_TRACE(c);
        if (c == ColListStatus)
            continue;
        EXPECT_EQ(model.CellColour(0, c), std::nullopt);
        EXPECT_EQ(model.CellColour(1, c), kColourOutsideSubnet);
    }
    EXPECT_EQ(model.CellColour(1, ColStatus), kColourStatusConnected);
    EXPECT_EQ(model.CellColour(1, ColListStatus), kColourListNew);

    // No rule resets a colour: the grey stays when a later test says inside.
    inside = true;
    Merge({.mac = kMacB, .ip = QStringLiteral("10.99.0.5")});
    EXPECT_EQ(model.CellColour(1, ColOwner), kColourOutsideSubnet);
}

TEST_F(DeviceTableTest, WithoutASubnetTestEveryDeviceIsInside)
{
    Merge({.ip = QStringLiteral("192.0.2.1")});
    EXPECT_EQ(model.CellColour(0, ColOwner), std::nullopt);
}

TEST_F(DeviceTableTest, RejectedRowsChangeNothing)
{
    Merge({.mac = kMacA, .ip = kIpA, .owner = QStringLiteral("eredeti")});
    const QStringList before = model.RowCells(0);

    DeviceRow nine = MakeRow({.mac = kMacA, .ip = kIpA, .owner = QStringLiteral("más")});
    nine.removeLast();
    struct Rejected {
        const char *why;
        DeviceRow row;
    };
    const Rejected rejected[] = {
        {"nine fields", nine},
        {"no fields", DeviceRow()},
        {"five MAC pieces", MakeRow({.mac = QStringLiteral("0.1.2.3.4"), .ip = kIpA})},
        {"MAC piece 256", MakeRow({.mac = QStringLiteral("0.1.2.3.4.256"), .ip = kIpA})},
        {"MAC piece a letter", MakeRow({.mac = QStringLiteral("0.1.2.3.4.x"), .ip = kIpA})},
        {"empty MAC", MakeRow({.mac = QString(), .ip = kIpB})},
    };
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    for (const Rejected &r : rejected) {
        SCOPED_TRACE(r.why);
        model.MergeDeviceRow(r.row);
        EXPECT_EQ(model.RowCount(), 1);
        EXPECT_EQ(model.RowCells(0), before);
    }
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(DeviceTableTest, ExtraFieldsAreIgnored)
{
    DeviceRow row = MakeRow({.owner = QStringLiteral("Kovács")});
    row << QStringLiteral("extra") << QStringLiteral("more");
    model.MergeDeviceRow(row);
    ASSERT_EQ(model.RowCount(), 1);
    EXPECT_EQ(model.Cell(0, ColOwner), QStringLiteral("Kovács"));
}

TEST_F(DeviceTableTest, InvalidIpKeepsTheIpCellAndAddsARowPerMerge)
{
    const QString bad = QStringLiteral("10.77.128.256");
    Merge({.mac = kMacA, .ip = bad, .port = QStringLiteral("1")});
    Merge({.mac = kMacA, .ip = bad, .port = QStringLiteral("2")});
    ASSERT_EQ(model.RowCount(), 2);
    EXPECT_EQ(ColumnTexts(ColIp), (QStringList{QString(), QString()}));
    EXPECT_EQ(ColumnTexts(ColPort), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_EQ(model.FindDeviceRow(bad), -1);
    // Rows without an address are found only by an empty IP.
    EXPECT_EQ(model.FindDeviceRow(QString(), kMacA), 0);
}

TEST_F(DeviceTableTest, EachMergeKindOverwritesItsCellsButNeverTheVersion)
{
    // Plain discovery reply.
    Merge({.mac = QStringLiteral("10.20.30.40.50.255"),
           .ip = kIpA,
           .owner = QStringLiteral("Kovács"),
           .name = QStringLiteral("Kazán")});
    ASSERT_EQ(model.RowCount(), 1);
    EXPECT_EQ(model.Cell(0, ColMac), QStringLiteral("10.20.30.40.50.255"));
    EXPECT_EQ(model.Cell(0, ColMacHex), QStringLiteral("0A:14:1E:28:32:FF"));
    EXPECT_EQ(model.Cell(0, ColIp), kIpA);
    EXPECT_EQ(model.Cell(0, ColPort), QStringLiteral("1010"));
    ASSERT_TRUE(model.SetCell(0, ColVersion, QStringLiteral("v2.31")));

    // TAVO device information: no owner or name, but TAVOW address, gateway, mask.
    Merge({.mac = QStringLiteral("10.20.30.40.50.255"),
           .ip = kIpA,
           .tavow = QStringLiteral("12"),
           .gateway = QStringLiteral("10.77.0.254"),
           .mask = QStringLiteral("255.255.0.0")});
    ASSERT_EQ(model.RowCount(), 1);
    EXPECT_EQ(model.RowCells(0).mid(ColOwner, 2), (QStringList{QString(), QString()}));
    EXPECT_EQ(model.RowCells(0).mid(ColTavow, 3),
              (QStringList{QStringLiteral("12"), QStringLiteral("10.77.0.254"), QStringLiteral("255.255.0.0")}));
    EXPECT_EQ(model.Cell(0, ColVersion), QStringLiteral("v2.31"));

    // Plain reply again: the TAVO cells are emptied, the version stays.
    Merge({.mac = QStringLiteral("10.20.30.40.50.255"),
           .ip = kIpA,
           .owner = QStringLiteral("Kovács"),
           .name = QStringLiteral("Kazán")});
    EXPECT_EQ(model.RowCells(0).mid(ColOwner, 2), (QStringList{QStringLiteral("Kovács"), QStringLiteral("Kazán")}));
    EXPECT_EQ(model.RowCells(0).mid(ColTavow, 3), (QStringList{QString(), QString(), QString()}));
    EXPECT_EQ(model.Cell(0, ColVersion), QStringLiteral("v2.31"));
}

TEST_F(DeviceTableTest, ModelSignalsAreOnePerOperation)
{
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    for (int i = 1; i <= 5; ++i)
        Merge({.mac = QStringLiteral("0.0.0.0.0.%1").arg(i), .ip = QStringLiteral("10.77.128.%1").arg(i)});
    EXPECT_EQ(inserted.count(), 5);
    EXPECT_EQ(changed.count(), 0); // new rows go in complete

    model.MarkRowsEmpty();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>(), model.index(0, ColListStatus));
    EXPECT_EQ(changed.at(0).at(1).value<QModelIndex>(), model.index(4, ColListStatus));

    Merge({.mac = QStringLiteral("0.0.0.0.0.3"), .ip = QStringLiteral("10.77.128.3")});
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(inserted.count(), 5);
}

TEST_F(DeviceTableTest, CellAccessOutsideTheTableIsHarmless)
{
    Merge({});
    const int rows[] = {-1, 1, 1000};
    const int columns[] = {-1, kDeviceColumnCount, 1000};
    for (const int r : rows) {
        EXPECT_EQ(model.Cell(r, 0), QString());
        EXPECT_EQ(model.CellColour(r, ColListStatus), std::nullopt);
        EXPECT_FALSE(model.SetCell(r, 0, QStringLiteral("x")));
        EXPECT_TRUE(model.RowCells(r).isEmpty());
    }
    for (const int c : columns) {
        EXPECT_EQ(model.Cell(0, c), QString());
        EXPECT_FALSE(model.SetCell(0, c, QStringLiteral("x")));
    }
    EXPECT_EQ(model.RowCells(0).size(), kDeviceColumnCount);
}

// ---- sorting ----

TEST_F(DeviceTableTest, StartsSortedByIpAscending)
{
    EXPECT_EQ(model.SortColumn(), ColIp);
    EXPECT_EQ(model.SortOrder(), Qt::AscendingOrder);
}

TEST_F(DeviceTableTest, IpColumnSortsByTheNumbersRowsWithoutAddressFirst)
{
    // Merge order; the last MAC piece numbers the devices.
    const char *ips[] = {"10.0.0.10", "10.0.0.9", "9.255.255.255", "bad", "10.0.1.0", "192.168.0.1", "10.0.0.9", "1.2.3"};
    for (int i = 0; i < 8; ++i)
        Merge({.mac = QStringLiteral("0.0.0.0.0.%1").arg(i), .ip = QString::fromUtf8(ips[i])});
    const auto macOrder = [this]() {
        QStringList last;
        for (const QString &mac : ColumnTexts(ColMac))
            last.append(mac.section(QLatin1Char('.'), 5));
        return last.join(QLatin1Char(' '));
    };

    model.sort(ColIp, Qt::AscendingOrder);
    EXPECT_EQ(macOrder(), QStringLiteral("3 7 2 1 6 0 4 5"));
    model.sort(ColIp, Qt::DescendingOrder);
    EXPECT_EQ(macOrder(), QStringLiteral("5 4 0 1 6 2 3 7"));
    EXPECT_EQ(model.SortOrder(), Qt::DescendingOrder);
}

TEST_F(DeviceTableTest, OtherColumnsSortAlphabeticallyAndResortKeepsTheChoice)
{
    const char *owners[] = {"Gamma", "Alfa", "Delta", "Beta"};
    for (int i = 0; i < 4; ++i)
        Merge({.mac = QStringLiteral("0.0.0.0.0.%1").arg(i),
               .ip = QStringLiteral("10.77.128.%1").arg(i),
               .owner = QString::fromUtf8(owners[i])});
    model.sort(ColOwner, Qt::AscendingOrder);
    EXPECT_EQ(ColumnTexts(ColOwner).join(QLatin1Char(' ')), QStringLiteral("Alfa Beta Delta Gamma"));
    EXPECT_EQ(model.SortColumn(), ColOwner);

    Merge({.mac = QStringLiteral("0.0.0.0.0.9"), .ip = QStringLiteral("10.77.128.9"), .owner = QStringLiteral("Charlie")});
    EXPECT_EQ(model.Cell(4, ColOwner), QStringLiteral("Charlie")); // a merge appends, it does not sort
    model.Resort();
    EXPECT_EQ(ColumnTexts(ColOwner).join(QLatin1Char(' ')), QStringLiteral("Alfa Beta Charlie Delta Gamma"));

    model.sort(ColOwner, Qt::DescendingOrder);
    EXPECT_EQ(ColumnTexts(ColOwner).join(QLatin1Char(' ')), QStringLiteral("Gamma Delta Charlie Beta Alfa"));
    // Every lookup still lands on the row of its device.
    for (int r = 0; r < model.RowCount(); ++r)
        EXPECT_EQ(model.FindDeviceRow(model.Cell(r, ColIp)), r);
}

TEST_F(DeviceTableTest, SortIgnoresAColumnOutsideTheTable)
{
    Merge({.mac = kMacA, .ip = kIpB});
    Merge({.mac = kMacB, .ip = kIpA});
    model.sort(kDeviceColumnCount, Qt::DescendingOrder);
    model.sort(-1, Qt::DescendingOrder);
    EXPECT_EQ(model.SortColumn(), ColIp);
    EXPECT_EQ(model.SortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(model.Cell(0, ColIp), kIpB);
}

TEST_F(DeviceTableTest, SelectionFollowsItsDeviceThroughSortAndDrop)
{
    for (int i = 9; i >= 0; --i)
        Merge({.mac = QStringLiteral("0.0.0.0.0.%1").arg(i), .ip = QStringLiteral("10.77.128.%1").arg(i)});
    const QPersistentModelIndex selected(model.index(2, ColDeviceName)); // device 7
    model.sort(ColIp, Qt::AscendingOrder);
    ASSERT_TRUE(selected.isValid());
    EXPECT_EQ(selected.row(), 7);
    EXPECT_EQ(selected.column(), ColDeviceName);

    // Rows 0..4 unconfirmed: one run of removals above the selected row.
    model.MarkRowsEmpty();
    for (int i = 5; i <= 9; ++i)
        Merge({.mac = QStringLiteral("0.0.0.0.0.%1").arg(i), .ip = QStringLiteral("10.77.128.%1").arg(i)});
    model.DropEmptyRows();
    ASSERT_EQ(model.RowCount(), 5);
    ASSERT_TRUE(selected.isValid());
    EXPECT_EQ(model.Cell(selected.row(), ColIp), QStringLiteral("10.77.128.7"));
}

// Which rows a refresh confirms, as a pattern of kept (K) and dropped (.)
// rows: few runs go out as ranged removals, many as one reset.
struct DropCase {
    const char *name;
    std::string pattern;
};

std::string Alternating(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += (i % 2) ? 'K' : '.';
    return s;
}

TEST_F(DeviceTableTest, DropRemovesExactlyTheUnconfirmedRows)
{
    const DropCase cases[] = {
        {"none dropped", "KKKK"},          {"all dropped", "...."},      {"one run on top", "..KK"},
        {"one run at the bottom", "KK.."}, {"a few runs", ".K..K.KK.."}, {"many runs", Alternating(150)},
    };
    for (const DropCase &c : cases) {
        SCOPED_TRACE(c.name);
        TDeviceTableModel table;
        QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::Warning);
        QStringList expectedIps;
        for (size_t i = 0; i < c.pattern.size(); ++i) {
            const QString ip = QStringLiteral("10.77.%1.%2").arg(128 + i / 200).arg(i % 200);
            table.MergeDeviceRow(MakeRow({.mac = QStringLiteral("1.1.1.1.%1.%2").arg(i / 200).arg(i % 200), .ip = ip}));
            if (c.pattern[i] == 'K')
                expectedIps.append(ip);
        }
        table.MarkRowsEmpty();
        for (size_t i = 0; i < c.pattern.size(); ++i) {
            if (c.pattern[i] == 'K')
                table.SetCell(static_cast<int>(i), ColListStatus, kListStatusOld.toString());
        }
        table.DropEmptyRows();
        QStringList ips;
        for (int r = 0; r < table.RowCount(); ++r)
            ips.append(table.Cell(r, ColIp));
        EXPECT_EQ(ips, expectedIps);
        for (int r = 0; r < table.RowCount(); ++r)
            EXPECT_EQ(table.FindDeviceRow(ips.at(r)), r);
        if (!c.pattern.empty() && c.pattern[0] == '.') {
            EXPECT_EQ(table.FindDeviceRow(QStringLiteral("10.77.128.0")), -1);
        }
    }
}

// Lookup through the index against a plain scan from the top, over a long
// random mix of every operation that moves rows or rewrites their keys.
TEST_F(DeviceTableTest, LookupAgreesWithAScanAfterAnyMixOfOperations)
{
    const QStringList ips{QStringLiteral("10.77.128.1"), QStringLiteral("10.77.128.2"), QStringLiteral("10.77.128.10"),
                          QStringLiteral("10.99.0.1"),   QStringLiteral("1.2.3"),       QString()};
    const QStringList macs{QStringLiteral("0.0.0.0.0.1"), QStringLiteral("0.0.0.0.0.2"), QStringLiteral("0.0.0.0.0.3"),
                           QStringLiteral("0.0.0.0.0.4")};
    const QStringList tavows{QString(), QStringLiteral("5"), QStringLiteral("6")};

    const auto scan = [this](const QString &ip, const QString &mac, const QString &tavow) {
        for (int r = 0; r < model.RowCount(); ++r) {
            if (model.Cell(r, ColIp) == ip && (mac.isEmpty() || model.Cell(r, ColMac) == mac)
                && (tavow.isEmpty() || model.Cell(r, ColTavow) == tavow))
                return r;
        }
        return -1;
    };

    std::mt19937 rng(20240611);
    const auto pick = [&rng](const QStringList &list) {
        return list.at(static_cast<qsizetype>(rng() % static_cast<unsigned>(list.size())));
    };
    const auto anyRow = [&rng, this]() { return static_cast<int>(rng() % static_cast<unsigned>(model.RowCount())); };
    for (int step = 0; step < 1500; ++step) {
        const unsigned op = rng() % 12;
        if (op < 5) {
            Merge({.mac = pick(macs), .ip = pick(ips), .tavow = pick(tavows)});
        } else if (op == 5) {
            model.MarkRowsEmpty();
        } else if (op == 6 && model.RowCount() > 0) {
            model.SetCell(anyRow(), ColListStatus, kListStatusEmpty.toString());
        } else if (op == 7) {
            model.DropEmptyRows();
        } else if (op == 8) {
            model.sort(static_cast<int>(rng() % kDeviceColumnCount), (rng() % 2) ? Qt::AscendingOrder : Qt::DescendingOrder);
        } else if (op == 9 && model.RowCount() > 0) {
            model.SetCell(anyRow(), ColIp, pick(ips));
        } else if (op == 10 && model.RowCount() > 0) {
            model.SetCell(anyRow(), (rng() % 2) ? ColMac : ColTavow, (rng() % 2) ? pick(macs) : pick(tavows));
        } else if (op == 11 && model.RowCount() > 0) {
            model.SetCell(anyRow(), ColListStatus, kListStatusOld.toString());
        }
        for (const QString &ip : ips) {
            for (const QString &mac : macs + QStringList{QString()}) {
                for (const QString &tavow : tavows) {
                    const int expected = scan(ip, mac, tavow);
                    const int found = model.FindDeviceRow(ip, mac, tavow);
                    if (found != expected) {
                        ADD_FAILURE() << "step " << step << " op " << op << " ip " << ip.toStdString() << " mac "
                                      << mac.toStdString() << " tavow " << tavow.toStdString() << ": " << found
                                      << " != " << expected;
                        return;
                    }
                }
            }
        }
    }
    EXPECT_GT(model.RowCount(), 0);
}

} // namespace
} // namespace ardel::test
