// Export of the device table to a text file.
#include "device_table_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace ardel::test {
namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<unreadable>");
    return file.readAll();
}

TEST_F(DeviceTableTest, ExportGivesOneCp1250LinePerRowWithEveryColumn)
{
    Merge({.mac = QStringLiteral("10.20.30.40.50.255"),
           .ip = QStringLiteral("10.77.128.2"),
           .status = QStringLiteral("000MC"),
           .owner = QStringLiteral("Kovács Ödön"),
           .name = QStringLiteral("Kazán")});
    model.MarkRowsEmpty();
    Merge({.mac = QStringLiteral("10.20.30.40.50.255"),
           .ip = QStringLiteral("10.77.128.2"),
           .status = QStringLiteral("000MC"),
           .owner = QStringLiteral("Kovács Ödön"),
           .name = QStringLiteral("Kazán")});
    Merge({.mac = QStringLiteral("0.0.0.0.0.1"),
           .ip = QStringLiteral("10.77.128.1"),
           .port = QStringLiteral("65500"),
           .status = QStringLiteral("000I*"),
           .tavow = QStringLiteral("3"),
           .gateway = QStringLiteral("10.77.0.254"),
           .mask = QStringLiteral("255.255.0.0")});
    model.SetCell(1, ColVersion, QStringLiteral("v1.0 ő"));

    const QByteArray expected =
        // Row 0: owner with á (E1) and Ö (D6), name with á, hidden hex MAC, "régi" with é (E9).
        QByteArrayLiteral("MC , Kov\xE1"
                          "cs \xD6"
                          "d\xF6"
                          "n , Kaz\xE1"
                          "n , 10.20.30.40.50.255 , 0A:14:1E:28:32:FF , "
                          "10.77.128.2 , 1010 ,  , r\xE9"
                          "gi ,  ,  ,  , \r\n")
        // Row 1: version with ő (F5), "új" with ú (FA).
        + QByteArrayLiteral("I* ,  ,  , 0.0.0.0.0.1 , 00:00:00:00:00:01 , 10.77.128.1 , 65500 , v1.0 \xF5 , \xFAj , 3 , "
                            "10.77.0.254 , 255.255.0.0 , \r\n");
    EXPECT_EQ(model.ExportBytes(), expected);

    const QStringList lines = model.ExportLines();
    ASSERT_EQ(lines.size(), 2);
    for (const QString &line : lines) {
        EXPECT_TRUE(line.endsWith(QStringLiteral(" , ")));
        EXPECT_EQ(line.count(QStringLiteral(" , ")), kDeviceColumnCount);
    }
}

TEST_F(DeviceTableTest, ExportFollowsTheCurrentOrder)
{
    Merge({.mac = QStringLiteral("0.0.0.0.0.1"), .ip = QStringLiteral("10.77.128.10")});
    Merge({.mac = QStringLiteral("0.0.0.0.0.2"), .ip = QStringLiteral("10.77.128.9")});
    model.Resort();
    const QStringList lines = model.ExportLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.at(0).contains(QStringLiteral(" , 10.77.128.9 , ")));
    EXPECT_TRUE(lines.at(1).contains(QStringLiteral(" , 10.77.128.10 , ")));
}

TEST_F(DeviceTableTest, ExportOfAnEmptyTableIsEmpty)
{
    EXPECT_TRUE(model.ExportLines().isEmpty());
    EXPECT_TRUE(model.ExportBytes().isEmpty());
}

TEST_F(DeviceTableTest, LineBreaksInACellDoNotSplitTheRow)
{
    Merge({.name = QStringLiteral("Kazán\r\n2")});
    const QByteArray bytes = model.ExportBytes();
    EXPECT_EQ(bytes.count("\r\n"), 1);
    EXPECT_TRUE(bytes.contains("Kaz\xE1n  2 , "));
    // The table itself keeps the text as received.
    EXPECT_EQ(model.Cell(0, ColDeviceName), QStringLiteral("Kazán\r\n2"));
}

TEST(DeviceExportFile, ReplacesAnExistingFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("lista.csv"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("a much longer old content that must disappear completely\r\n");
    }
    QString error = QStringLiteral("untouched");
    ASSERT_TRUE(TDeviceTableModel::WriteExportFile(path, QByteArrayLiteral("x , \r\n"), &error));
    EXPECT_EQ(ReadAll(path), QByteArrayLiteral("x , \r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("lista.csv")}); // no temporary left
}

TEST(DeviceExportFile, FailureReportsTheErrorAndLeavesTheTargetAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A directory in the target's place, with a file of its own inside.
    const QString asDirectory = dir.filePath(QStringLiteral("export.csv"));
    ASSERT_TRUE(QDir().mkpath(asDirectory));
    {
        QFile inside(asDirectory + QStringLiteral("/keep.txt"));
        ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
        inside.write("keep");
    }
    const QString inMissingDirectory = dir.filePath(QStringLiteral("nincs/export.csv"));

    struct FailCase {
        const char *why;
        QString path;
    };
    const FailCase cases[] = {
        {"target is a directory", asDirectory},
        {"directory does not exist", inMissingDirectory},
        {"no name", QString()},
    };
    for (const FailCase &c : cases) {
        SCOPED_TRACE(c.why);
        QString error;
        EXPECT_FALSE(TDeviceTableModel::WriteExportFile(c.path, QByteArrayLiteral("data\r\n"), &error));
        EXPECT_FALSE(error.isEmpty());
        // Callers may not care about the text.
        EXPECT_FALSE(TDeviceTableModel::WriteExportFile(c.path, QByteArrayLiteral("data\r\n"), nullptr));
    }
    EXPECT_TRUE(QFileInfo(asDirectory).isDir());
    EXPECT_EQ(ReadAll(asDirectory + QStringLiteral("/keep.txt")), QByteArrayLiteral("keep"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nincs"))));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("export.csv")});
}

} // namespace
} // namespace ardel::test
