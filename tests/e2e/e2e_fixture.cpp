#include "tests/e2e/e2e_fixture.h"

void E2eTest::TearDown()
{
    AppTest::TearDown();
    sim.stop();
}

bool E2eTest::startDevices(const QJsonArray &devices, int spreadMs)
{
    QJsonObject cfg{{QStringLiteral("answer_spread_ms"), spreadMs}, {QStringLiteral("devices"), devices}};
    const bool ok = sim.start(cfg);
    if (!ok)
        ADD_FAILURE() << "devsim did not start: " << sim.output().toStdString();
    return ok;
}

QList<testlan::JournalEntry> E2eTest::sentFrom(const QString &src, const QString &dstPort) const
{
    QList<testlan::JournalEntry> out;
    for (const testlan::JournalEntry &e : sim.journal())
        if (e.src == src && e.dst.endsWith(QLatin1Char(':') + dstPort))
            out.append(e);
    return out;
}

QStringList E2eTest::memoSince(int firstLine) const
{
    return memoTexts().mid(firstLine);
}

QJsonObject PlainDevice(const char *ip, const char *mac, const char *owner, const char *name, const char *version,
                        const char *status)
{
    return {{QStringLiteral("ip"), QString::fromLatin1(ip)},           {QStringLiteral("mac"), QString::fromLatin1(mac)},
            {QStringLiteral("owner"), QString::fromUtf8(owner)},       {QStringLiteral("name"), QString::fromUtf8(name)},
            {QStringLiteral("version"), QString::fromLatin1(version)}, {QStringLiteral("status"), QString::fromLatin1(status)}};
}
