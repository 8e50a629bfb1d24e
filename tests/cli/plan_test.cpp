// The commissioning plan: CSV reading, the checks made before anything is
// sent, the report and the exit status.
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliPlan.h"

#include <gtest/gtest.h>

using namespace ardel::cli;

namespace {

const QList<PlannedDevice> kFound{{QStringLiteral("0.26.75.12.9.90"), QStringLiteral("10.0.0.90")},
                                  {QStringLiteral("0.26.75.12.9.91"), QStringLiteral("10.0.0.91")},
                                  {QStringLiteral("0.26.75.12.9.92"), QStringLiteral("10.0.0.92")}};

TEST(CliPlan, CsvRecordsAndTheirLines)
{
    QString error;
    const QList<CsvRecord> r = ReadCsv(QStringLiteral("\xFEFF"
                                                      "a,b\r\n\r\n\"x,\"\"y\"\"\",\"two\nlines\"\n,last\n"),
                                       &error);
    EXPECT_TRUE(error.isEmpty());
    ASSERT_EQ(r.size(), 3);
    EXPECT_EQ(r.at(0).fields, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(r.at(0).line, 1);
    EXPECT_EQ(r.at(1).fields, (QStringList{QStringLiteral("x,\"y\""), QStringLiteral("two\nlines")}));
    EXPECT_EQ(r.at(1).line, 3);
    EXPECT_EQ(r.at(2).fields, (QStringList{QString(), QStringLiteral("last")}));
    EXPECT_EQ(r.at(2).line, 5);

    ReadCsv(QStringLiteral("a,b\n\"open,1\n"), &error);
    EXPECT_TRUE(error.contains(QStringLiteral("line 2"))) << error.toStdString();
}

TEST(CliPlan, EveryProblemWithItsLineAndNoRows)
{
    struct Case {
        const char *name;
        const char *plan;
        QStringList problems; // the start of each, in order
    };
    const QList<Case> cases{
        {"no header columns",
         "mac,address\n0.26.75.12.9.90,10.0.1.1\n",
         {QStringLiteral("line 1: unknown column 'address'"), QStringLiteral("line 1: no column 'ip'")}},
        {"empty", "", {QStringLiteral("line 1: the plan is empty")}},
        {"header only", "mac,ip\n", {QStringLiteral("line 1: the plan has no rows")}},
        {"malformed fields",
         "mac,ip\n0.26.75.12.9,10.0.1.1\n0.26.75.12.9.91,10.0.1.300\n0.26.75.12.9.92,10.0.1.3,x\n",
         {QStringLiteral("line 2: '0.26.75.12.9' is not a MAC"), QStringLiteral("line 3: '10.0.1.300' is not an IPv4"),
          QStringLiteral("line 4: 3 fields")}},
        {"MAC absent", "mac,ip\n0.26.75.12.9.99,10.0.1.1\n", {QStringLiteral("line 2: no device with MAC 0.26.75.12.9.99")}},
        {"MAC twice, once as hex",
         "mac,ip\n0.26.75.12.9.90,10.0.1.1\n00:1A:4B:0C:09:5A,10.0.1.2\n",
         {QStringLiteral("line 3: MAC 0.26.75.12.9.90 is already on line 2")}},
        {"IP twice",
         "mac,ip\n0.26.75.12.9.90,10.0.1.1\n0.26.75.12.9.91,10.0.1.1\n",
         {QStringLiteral("line 3: IP 10.0.1.1 is already on line 2")}},
        {"new IP held by a device outside the plan",
         "mac,ip\n0.26.75.12.9.90,10.0.0.92\n",
         {QStringLiteral("line 2: 10.0.0.92 is in use by the device 0.26.75.12.9.92")}},
        {"quoted field over two lines shifts the lines",
         "mac,ip,password\n0.26.75.12.9.90,10.0.1.1,\"a\nb\"\n0.26.75.12.9.99,10.0.1.2,\n",
         {QStringLiteral("line 4: no device with MAC 0.26.75.12.9.99")}},
    };
    for (const Case &c : cases) {
        const Plan plan = ReadPlan(QByteArray(c.plan), kFound);
        EXPECT_TRUE(plan.rows.isEmpty()) << c.name;
        ASSERT_EQ(plan.problems.size(), c.problems.size()) << c.name << ": " << plan.problems.join(u'|').toStdString();
        for (qsizetype i = 0; i < c.problems.size(); ++i)
            EXPECT_TRUE(plan.problems.at(i).startsWith(c.problems.at(i))) << c.name << ": " << plan.problems.at(i).toStdString();
    }
}

TEST(CliPlan, AValidPlanSwapsAndKeepsAddresses)
{
    // Columns in another order, upper case, BOM and CRLF; two devices swap
    // their addresses (allowed: neither address stays with a device outside the plan).
    const Plan plan = ReadPlan(QByteArray("\xEF\xBB\xBFIP,Password,MAC\r\n10.0.0.91,titok,0.26.75.12.9.90\r\n"
                                          "10.0.0.90,,00:1a:4b:0c:09:5b\r\n10.0.0.92,,0.26.75.12.9.92\r\n"),
                               kFound);
    ASSERT_TRUE(plan.problems.isEmpty()) << plan.problems.join(u'|').toStdString();
    ASSERT_EQ(plan.rows.size(), 3);
    EXPECT_EQ(plan.rows.at(0).oldIp, QStringLiteral("10.0.0.90"));
    EXPECT_EQ(plan.rows.at(0).newIp, QStringLiteral("10.0.0.91"));
    EXPECT_EQ(plan.rows.at(0).password, QStringLiteral("titok"));
    EXPECT_EQ(plan.rows.at(1).mac, QStringLiteral("0.26.75.12.9.91"));
    EXPECT_TRUE(plan.rows.at(2).unchanged());
    const QString preview = PlanPreview(plan);
    EXPECT_TRUE(preview.contains(QStringLiteral("0.26.75.12.9.90  10.0.0.90 -> 10.0.0.91  (with password)")));
    EXPECT_TRUE(preview.contains(QStringLiteral("0.26.75.12.9.92  10.0.0.92  unchanged")));
}

TEST(CliPlan, ReportAndExitStatus)
{
    const PlanRow row{2, QStringLiteral("0.26.75.12.9.90"), QStringLiteral("10.0.0.90"), QStringLiteral("10.0.1.1"), QString()};
    QList<RowResult> results{{row, Outcome::Moved}, {row, Outcome::Unchanged}};
    EXPECT_EQ(ApplyExitStatus(results), ExitOk);
    EXPECT_EQ(ReportCsv(results), QByteArray("mac,old_ip,new_ip,outcome\r\n0.26.75.12.9.90,10.0.0.90,10.0.1.1,moved\r\n"
                                             "0.26.75.12.9.90,10.0.0.90,10.0.1.1,unchanged\r\n"));
    for (Outcome bad : {Outcome::Refused, Outcome::NoAnswer, Outcome::NotFound}) {
        QList<RowResult> withBad = results;
        withBad.append({row, bad});
        EXPECT_EQ(ApplyExitStatus(withBad), ExitApplyFailed) << OutcomeText(bad).toStdString();
        EXPECT_TRUE(QString::fromUtf8(ReportCsv(withBad)).endsWith(QLatin1Char(',') + OutcomeText(bad) + QStringLiteral("\r\n")));
    }
}

} // namespace
