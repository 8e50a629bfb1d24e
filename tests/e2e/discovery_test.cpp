#include "tests/e2e/e2e_fixture.h"

#include "app/core/DeviceTable.h"

#include <QPushButton>
#include <QTimer>

using namespace ardel;

namespace {

QJsonArray threeDevices()
{
    return {PlainDevice("10.77.128.10", "0.26.75.12.200.3", "Kelvara Kft.", "Kazán-1", "AV 2.41.7", "N**IC"),
            PlainDevice("10.77.128.11", "0.26.75.12.200.4", "Gépház", "Szivattyú", "AV 2.41.8", "N**M*"),
            PlainDevice("10.99.0.5", "0.26.75.12.203.9", "Telephely B", "Távoli", "AV 2.0.0", "N**MC")};
}

QStringList words(const QList<testlan::JournalEntry> &entries)
{
    QStringList out;
    for (const auto &e : entries)
        out.append(QString::fromLatin1(e.bytes));
    return out;
}

} // namespace

TEST_F(E2eTest, FirstRefreshListsEveryDeviceWithItsVersion)
{
    ASSERT_TRUE(startDevices(threeDevices()));
    showAndWaitIdle(8000);
    Tf_main *m = main();
    const TDeviceTableModel *t = &Probe(m).Table();

    // X, V, then (a version came) X and V again, each from both local addresses.
    EXPECT_EQ(words(sentFrom(QStringLiteral("10.77.0.1:1010"), QStringLiteral("65535"))),
              (QStringList{QStringLiteral("X"), QStringLiteral("V"), QStringLiteral("X"), QStringLiteral("V")}));
    EXPECT_EQ(words(sentFrom(QStringLiteral("10.78.0.1:1010"), QStringLiteral("65535"))).size(), 4);
    EXPECT_FALSE(m->IsBusy());

    ASSERT_EQ(t->RowCount(), 3);
    // Sorted by IP before the version request.
    EXPECT_EQ(t->Cell(0, ColIp), QStringLiteral("10.77.128.10"));
    EXPECT_EQ(t->Cell(1, ColIp), QStringLiteral("10.77.128.11"));
    EXPECT_EQ(t->Cell(2, ColIp), QStringLiteral("10.99.0.5"));
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(t->Cell(r, ColListStatus), QStringLiteral("új"));
    EXPECT_EQ(t->Cell(0, ColVersion), QStringLiteral("AV 2.41.7"));
    EXPECT_EQ(t->Cell(1, ColVersion), QStringLiteral("AV 2.41.8"));
    EXPECT_EQ(t->Cell(0, ColDeviceName), QStringLiteral("Kazán-1"));
    EXPECT_EQ(t->Cell(1, ColOwner), QStringLiteral("Gépház"));
    EXPECT_EQ(t->Cell(0, ColStatus), QStringLiteral("IC"));
    EXPECT_EQ(t->CellColour(0, ColStatus), QColor(0, 255, 0));
    EXPECT_EQ(t->CellColour(1, ColStatus), QColor(0, 128, 0));
    // Only the device outside 10.77.0.0/16 is grey.
    EXPECT_FALSE(t->CellColour(0, ColOwner).has_value());
    EXPECT_EQ(t->CellColour(2, ColOwner), QColor(238, 238, 238));
    EXPECT_EQ(t->CellColour(2, ColIp), QColor(238, 238, 238));
    EXPECT_EQ(t->CellColour(2, ColListStatus), QColor(201, 251, 151));
    EXPECT_EQ(m->StatusPanel(0), QStringLiteral("Elem: 3"));
    // Every reply is in the message pane.
    EXPECT_TRUE(memoTexts().contains(QStringLiteral("Received outer: \"AV 2.0.0\" from 10.99.0.5 on port 65535")));

    // A second refresh confirms the rows.
    Control<QPushButton>(m, "bbtn_refresh")->click();
    ASSERT_TRUE(waitIdle(8000));
    ASSERT_EQ(t->RowCount(), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(t->Cell(r, ColListStatus), QStringLiteral("régi"));
    EXPECT_EQ(t->CellColour(0, ColListStatus), QColor(251, 251, 151));

    // A device that stops answering loses its row at the end of the next refresh.
    QJsonArray two = threeDevices();
    two.removeAt(1);
    sim.stop();
    ASSERT_TRUE(startDevices(two));
    Control<QPushButton>(m, "bbtn_refresh")->click();
    ASSERT_TRUE(waitIdle(8000));
    ASSERT_EQ(t->RowCount(), 2);
    EXPECT_EQ(t->FindDeviceRow(QStringLiteral("10.77.128.11")), -1);
}

TEST_F(E2eTest, WithNoDevicesARefreshIsOneXThenOneVHalfASecondLater)
{
    ASSERT_TRUE(startDevices({}));
    showAndWaitIdle(5000);
    const auto sent = sentFrom(QStringLiteral("10.77.0.1:1010"), QStringLiteral("65535"));
    ASSERT_EQ(words(sent), (QStringList{QStringLiteral("X"), QStringLiteral("V")}));
    const qint64 gap = sent[1].timeMs - sent[0].timeMs;
    EXPECT_GE(gap, 450);
    EXPECT_LE(gap, 900);
    EXPECT_EQ(Probe(main()).Table().RowCount(), 0);
    EXPECT_FALSE(main()->IsBusy());
}

TEST_F(E2eTest, RepliesKeepTheWindowOpen)
{
    // A device answering late stretches the reply window: the V goes out
    // 500 ms after its reply, not after the X.
    QJsonObject late = PlainDevice("10.77.128.12", "0.26.75.12.200.5", "o", "n", "AV 1");
    late.insert(QStringLiteral("delay_ms"), 400);
    ASSERT_TRUE(startDevices({late}));
    showAndWaitIdle(8000);
    const auto sent = sentFrom(QStringLiteral("10.77.0.1:1010"), QStringLiteral("65535"));
    ASSERT_GE(sent.size(), 2);
    EXPECT_GE(sent[1].timeMs - sent[0].timeMs, 850);
    EXPECT_EQ(Probe(main()).Table().RowCount(), 1);
}

TEST_F(E2eTest, HostileDeviceTextsStayPlainText)
{
    QJsonObject markup = PlainDevice("10.77.128.13", "0.26.75.12.200.6", "o", "n", "AV 1");
    markup.insert(QStringLiteral("malformed"), QStringLiteral("markup"));
    QJsonObject control = PlainDevice("10.77.128.14", "0.26.75.12.200.7", "o", "n", "AV 1");
    control.insert(QStringLiteral("malformed"), QStringLiteral("control"));
    QJsonObject garbage = PlainDevice("10.77.128.15", "0.26.75.12.200.8", "o", "n", "AV 1");
    garbage.insert(QStringLiteral("malformed"), QStringLiteral("garbage"));
    QJsonObject badMac = PlainDevice("10.77.128.16", "0.26.75.12.200.9", "o", "n", "AV 1");
    badMac.insert(QStringLiteral("malformed"), QStringLiteral("mac"));
    ASSERT_TRUE(
        startDevices({markup, control, garbage, badMac, PlainDevice("10.77.128.17", "0.26.75.12.200.10", "ok", "fine", "AV 1")}));
    showAndWaitIdle(8000);
    const TDeviceTableModel *t = &Probe(main()).Table();
    // The garbage and bad-MAC replies are dropped; markup and control texts are kept as text.
    EXPECT_EQ(t->RowCount(), 3);
    const int r = t->FindDeviceRow(QStringLiteral("10.77.128.13"));
    ASSERT_GE(r, 0);
    EXPECT_TRUE(t->Cell(r, ColOwner).contains(QLatin1Char('<')));
    // One message is one pane line, whatever bytes the device sent.
    for (const QString &line : main()->MemoLines())
        EXPECT_FALSE(line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')));
    EXPECT_GE(t->FindDeviceRow(QStringLiteral("10.77.128.17")), 0);
}
