#include "device_table_fixture.h"

namespace ardel::test {

namespace {

QStringList g_modelWarnings;
QtMessageHandler g_previousHandler = nullptr;

void CollectModelWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && QLatin1String(context.category) == QLatin1String("qt.modeltest"))
        g_modelWarnings.append(message);
    else if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

DeviceRow MakeRow(const DeviceFields &f)
{
    return DeviceRow{f.mac, f.port, f.status, QStringLiteral("0"), f.owner, f.name, f.ip, f.tavow, f.gateway, f.mask};
}

void DeviceTableTest::SetUp()
{
    g_modelWarnings.clear();
    g_previousHandler = qInstallMessageHandler(CollectModelWarnings);
    m_tester = std::make_unique<QAbstractItemModelTester>(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
}

void DeviceTableTest::TearDown()
{
    m_tester.reset();
    qInstallMessageHandler(g_previousHandler);
    EXPECT_TRUE(g_modelWarnings.isEmpty()) << g_modelWarnings.join(QLatin1Char('\n')).toStdString();
}

QStringList DeviceTableTest::ColumnTexts(int column) const
{
    QStringList texts;
    for (int r = 0; r < model.RowCount(); ++r)
        texts.append(model.Cell(r, column));
    return texts;
}

} // namespace ardel::test
