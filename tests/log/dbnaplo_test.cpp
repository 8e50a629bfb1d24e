#include "log/DBNaplo.h"
#include "log/SqliteTableSink.h"
#include "log_fixture.h"

#include <QSqlQuery>

#include <stdexcept>

using namespace ardel;
using namespace logtest;

namespace {

class DBNaploTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sink.Open(QStringLiteral(":memory:"))) << sink.LastError().toStdString();
        db.SetDataSet(&sink);
    }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    TSqliteTableSink sink;
    TDBNaplo db{clock};
};

TEST_F(DBNaploTest, RecordsOneRowWithTheFiveFields)
{
    clock->now = QDateTime(QDate(2024, 3, 5), QTime(14, 3, 7, 123));
    db.WriteRecord(QStringLiteral("Saját IP címek"), QString(), -1);

    const QList<DbRow> rows = ReadRows(sink);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].datum, QStringLiteral("2024-03-05"));
    EXPECT_EQ(rows[0].ido, QStringLiteral("14:03:07.123"));
    EXPECT_EQ(rows[0].tul, QStringLiteral("Default"));
    EXPECT_EQ(rows[0].szint, 1);
    EXPECT_EQ(rows[0].szoveg, QStringLiteral("Saját IP címek"));
}

TEST_F(DBNaploTest, OwnerAndLevelRules)
{
    struct Case {
        const char *name;
        qint32 level;
        const char *owner;
        bool recorded;
        int storedLevel;
        const char *storedOwner;
    };
    const Case cases[] = {
        {"default level", -1, "", true, 1, "Default"},     {"max level recorded", 20, "", true, 20, "Default"},
        {"above max level dropped", 21, "", false, 0, ""}, {"owner given", 5, "Szerviz", true, 5, "Szerviz"},
        {"level zero kept", 0, "", true, 0, "Default"},    {"other negative level kept", -7, "", true, -7, "Default"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = ReadRows(sink).size();
        db.WriteRecord(QString::fromLatin1(c.name), QString::fromLatin1(c.owner), c.level);
        const QList<DbRow> rows = ReadRows(sink);
        if (!c.recorded) {
            EXPECT_EQ(rows.size(), before);
            continue;
        }
        ASSERT_EQ(rows.size(), before + 1);
        EXPECT_EQ(rows.last().szint, c.storedLevel);
        EXPECT_EQ(rows.last().tul, QString::fromLatin1(c.storedOwner));
        EXPECT_EQ(rows.last().szoveg, QString::fromLatin1(c.name));
    }
}

TEST_F(DBNaploTest, AtTheLimitTheFirstRowGoes)
{
    FillRows(sink, 10000);
    db.WriteRecord(QStringLiteral("new"), QString(), -1);
    const QList<DbRow> rows = ReadRows(sink);
    ASSERT_EQ(rows.size(), 10000);
    EXPECT_EQ(rows.first().szoveg, QStringLiteral("fill 1"));
    EXPECT_EQ(rows.last().szoveg, QStringLiteral("new"));
}

TEST_F(DBNaploTest, AnOverfullTableLosesOneRowPerWrite)
{
    FillRows(sink, 10005);
    for (int i = 0; i < 3; ++i)
        db.WriteRecord(QStringLiteral("new %1").arg(i), QString(), -1);
    const QList<DbRow> rows = ReadRows(sink);
    ASSERT_EQ(rows.size(), 10005);
    EXPECT_EQ(rows.first().szoveg, QStringLiteral("fill 3"));
    EXPECT_EQ(rows.last().szoveg, QStringLiteral("new 2"));
}

TEST_F(DBNaploTest, NothingIsRecordedWithoutAWritableSink)
{
    db.SetEnabled(false);
    EXPECT_FALSE(db.CanWrite());
    db.WriteRecord(QStringLiteral("disabled"), QString(), -1);
    db.SetEnabled(true);

    TDBNaplo detached(clock);
    EXPECT_FALSE(detached.CanWrite());
    detached.WriteRecord(QStringLiteral("no sink"), QString(), -1);

    EXPECT_TRUE(ReadRows(sink).isEmpty());

    sink.Close();
    EXPECT_FALSE(db.CanWrite());
    db.WriteRecord(QStringLiteral("inactive"), QString(), -1); // must not throw or crash
}

// Date and time come from one reading of the clock: a second reading could
// fall after midnight and date the entry a day early.
TEST_F(DBNaploTest, DateAndTimeComeFromOneReading)
{
    class MidnightClock : public FakeClock {
    public:
        qint64 NowMSecs() override
        {
            return (++nowCalls == 1 ? QDateTime(QDate(2024, 3, 5), QTime(23, 59, 59, 999))
                                    : QDateTime(QDate(2024, 3, 6), QTime(0, 0, 0, 0)))
                .toMSecsSinceEpoch();
        }
    };
    auto midnight = std::make_shared<MidnightClock>();
    TDBNaplo writer(midnight);
    writer.SetDataSet(&sink);
    writer.WriteRecord(QStringLiteral("x"), QString(), -1);
    const QList<DbRow> rows = ReadRows(sink);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].datum, QStringLiteral("2024-03-05"));
    EXPECT_EQ(rows[0].ido, QStringLiteral("23:59:59.999"));
}

TEST(SqliteTableSink, ConnectionsAreIndependent)
{
    TSqliteTableSink a;
    TSqliteTableSink b;
    ASSERT_TRUE(a.Open(QStringLiteral(":memory:")));
    ASSERT_TRUE(b.Open(QStringLiteral(":memory:")));
    EXPECT_NE(a.ConnectionName(), b.ConnectionName());
    TDBNaplo db;
    db.SetDataSet(&a);
    db.WriteRecord(QStringLiteral("only in a"), QString(), -1);
    EXPECT_EQ(ReadRows(a).size(), 1);
    EXPECT_EQ(ReadRows(b).size(), 0);
}

TEST(SqliteTableSink, FileDatabaseKeepsRowsAcrossConnections)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("naplo.sqlite"));
    {
        TSqliteTableSink sink;
        ASSERT_TRUE(sink.Open(file));
        TDBNaplo db;
        db.SetDataSet(&sink);
        db.WriteRecord(QStringLiteral("első"), QStringLiteral("Ő"), 3);
    }
    TSqliteTableSink again;
    ASSERT_TRUE(again.Open(file));
    const QList<DbRow> rows = ReadRows(again);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].szoveg, QStringLiteral("első"));
    EXPECT_EQ(rows[0].tul, QStringLiteral("Ő"));
}

TEST(SqliteTableSink, TableWithoutATextFieldStoresNothing)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("h.sqlite"));
    {
        TSqliteTableSink maker(QStringLiteral("Hianyos"));
        ASSERT_TRUE(maker.Open(file));
        QSqlQuery q(maker.Database());
        ASSERT_TRUE(q.exec(QStringLiteral("DROP TABLE \"Hianyos\"")));
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE \"Hianyos\" (Datum DATE, Ido TIME, Tul TEXT, Szint INTEGER)")));
    }
    TSqliteTableSink faulty(QStringLiteral("Hianyos"));
    ASSERT_TRUE(faulty.Open(file));
    TDBNaplo db;
    db.SetDataSet(&faulty);
    db.WriteRecord(QStringLiteral("lost"), QString(), -1);
    qint64 count = -1;
    ASSERT_TRUE(faulty.RecordCount(count));
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(faulty.SetText(QStringLiteral("Szoveg"), QStringLiteral("x")));
}

// A sink whose operations can be made to fail, by returning false or by
// throwing; it records the operations called.
class FailingSink : public TTableSink {
public:
    enum class Mode { Ok, False, Throw };
    QString failOp;
    Mode mode = Mode::Ok;
    QStringList calls;
    qint64 count = 10001;

    bool Op(const char *name)
    {
        calls.append(QString::fromLatin1(name));
        if (failOp == QLatin1String(name)) {
            if (mode == Mode::Throw)
                throw std::runtime_error("sink failure");
            if (mode == Mode::False)
                return false;
        }
        return true;
    }
    bool IsActive() override { return Op("IsActive"); }
    bool Last() override { return Op("Last"); }
    bool Append() override { return Op("Append"); }
    bool SetDateTime(const QString &field, const QDateTime &) override
    {
        return Op(field == QLatin1String("Datum") ? "Datum" : "Ido");
    }
    bool SetText(const QString &field, const QString &) override { return Op(field == QLatin1String("Tul") ? "Tul" : "Szoveg"); }
    bool SetInteger(const QString &, qint32) override { return Op("Szint"); }
    bool Post() override { return Op("Post"); }
    bool RecordCount(qint64 &c) override
    {
        c = count;
        return Op("RecordCount");
    }
    bool First() override { return Op("First"); }
    bool Delete() override { return Op("Delete"); }
};

TEST(DBNaploFailures, AFailingOperationEndsTheRowQuietly)
{
    const QStringList order = {QStringLiteral("IsActive"),    QStringLiteral("Last"),   QStringLiteral("Append"),
                               QStringLiteral("Datum"),       QStringLiteral("Ido"),    QStringLiteral("Tul"),
                               QStringLiteral("Szint"),       QStringLiteral("Szoveg"), QStringLiteral("Post"),
                               QStringLiteral("RecordCount"), QStringLiteral("First"),  QStringLiteral("Delete")};
    for (const FailingSink::Mode mode : {FailingSink::Mode::False, FailingSink::Mode::Throw}) {
        for (qsizetype i = 0; i < order.size(); ++i) {
            SCOPED_TRACE((order[i] + (mode == FailingSink::Mode::Throw ? QStringLiteral(" throws") : QStringLiteral(" fails")))
                             .toStdString());
            FailingSink sink;
            sink.failOp = order[i];
            sink.mode = mode;
            TDBNaplo db;
            db.SetDataSet(&sink);
            EXPECT_NO_THROW(db.WriteRecord(QStringLiteral("x"), QString(), -1));
            // Nothing after the failing operation is attempted.
            EXPECT_EQ(sink.calls, order.mid(0, i + 1));
        }
    }
}

TEST(DBNaploFailures, UnderTheLimitNothingIsDeleted)
{
    FailingSink sink;
    sink.count = 10000;
    TDBNaplo db;
    db.SetDataSet(&sink);
    db.WriteRecord(QStringLiteral("x"), QString(), -1);
    EXPECT_EQ(sink.calls.last(), QStringLiteral("RecordCount"));
}

} // namespace
