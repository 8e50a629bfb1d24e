// ardel-cli against the device emulator: every command the way a user runs
// it (the real binary, its arguments, its exit status, its output and its
// log), and what the devices received.
#include "tests/common/TestLan.h"
#include "tests/e2e/e2e_fixture.h"

#include "net/Cp1250.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

using namespace ardel;

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

QJsonObject TavoDevice(const char *ip, const char *mac, int tavow, const char *name, const char *memPassword = "")
{
    QJsonObject d = PlainDevice(ip, mac, "Üzem", name, "AV 1");
    d.insert(QStringLiteral("tavow"), tavow);
    d.insert(QStringLiteral("mem_password"), QString::fromUtf8(memPassword));
    d.insert(QStringLiteral("restart_ms"), 300);
    return d;
}

QJsonObject WithKey(QJsonObject d, const char *key, const QJsonValue &value)
{
    d.insert(QString::fromLatin1(key), value);
    return d;
}

class CliE2e : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        cli = qEnvironmentVariable("ARDEL_CLI");
        ASSERT_FALSE(cli.isEmpty()) << "ARDEL_CLI names the ardel-cli binary";
        ASSERT_FALSE(testlan::deviceNamespace().isEmpty()) << "runs only inside scripts/netns-run.sh";
    }
    void TearDown() override { sim.stop(); }

    bool startDevices(const QJsonArray &devices)
    {
        const bool ok = sim.start(QJsonObject{{QStringLiteral("devices"), devices}});
        if (!ok)
            ADD_FAILURE() << "devsim did not start: " << sim.output().toStdString();
        return ok;
    }

    CliRun run(const QStringList &args, int timeoutMs = 30000)
    {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(cli, args);
        CliRun r;
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "ardel-cli " << args.join(u' ').toStdString() << " did not end";
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // Plain-port commands the devices received, one per datagram, from the first address.
    QStringList plainSent() const
    {
        QStringList out;
        for (const testlan::JournalEntry &e : sim.journal())
            if (e.proto == QStringLiteral("udp") && e.dst.endsWith(QStringLiteral(":65535"))
                && e.src.startsWith(QLatin1String(testlan::kWsAddr0)))
                out.append(QString::fromLatin1(e.bytes));
        return out;
    }
    QStringList setIpSent() const { return plainSent().filter(QRegularExpression(QStringLiteral("^A"))); }
    QStringList tavoWords(const QString &dstIp) const
    {
        QStringList out;
        for (const testlan::JournalEntry &e : sim.journal())
            if (!e.word.isEmpty() && e.dst.startsWith(dstIp + QLatin1Char(':')) && (out.isEmpty() || out.last() != e.word))
                out.append(e.word);
        return out;
    }

    QJsonArray scanJson(const QStringList &extra = {})
    {
        const CliRun r = run(QStringList{QStringLiteral("scan"), QStringLiteral("--format"), QStringLiteral("json")} + extra);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
        return doc.array();
    }

    static QStringList ips(const QJsonArray &devices)
    {
        QStringList out;
        for (const QJsonValue &v : devices)
            out.append(v.toObject().value(QStringLiteral("ip")).toString());
        return out;
    }

    QTemporaryDir dir;
    QString cli;
    testlan::Devsim sim;
};

// ---------------------------------------------------------------- scan

TEST_F(CliE2e, ScanListsEveryDeviceByAddressInEachFormat)
{
    ASSERT_TRUE(startDevices({PlainDevice("10.77.128.100", "0.26.75.12.1.100", "Kft", "Száz, \"nagy\"", "AV 1"),
                              PlainDevice("10.77.128.9", "0.26.75.12.1.9", "Kft", "Kilenc", "AV 2"),
                              TavoDevice("10.77.128.10", "0.26.75.12.1.10", 4010, "Tíz")}));
    const QJsonArray devices = scanJson();
    EXPECT_EQ(ips(devices),
              (QStringList{QStringLiteral("10.77.128.9"), QStringLiteral("10.77.128.10"), QStringLiteral("10.77.128.100")}));
    ASSERT_EQ(devices.size(), 3);
    const QJsonObject first = devices.at(0).toObject();
    const QStringList keys{QStringLiteral("status"),       QStringLiteral("owner"),   QStringLiteral("name"),
                           QStringLiteral("mac"),          QStringLiteral("mac_hex"), QStringLiteral("ip"),
                           QStringLiteral("port"),         QStringLiteral("version"), QStringLiteral("list_status"),
                           QStringLiteral("tavow"),        QStringLiteral("gateway"), QStringLiteral("mask"),
                           QStringLiteral("in_own_subnet")};
    for (const QString &k : keys)
        EXPECT_TRUE(first.contains(k)) << k.toStdString();
    EXPECT_EQ(first.value(QStringLiteral("mac")).toString(), QStringLiteral("0.26.75.12.1.9"));
    EXPECT_EQ(first.value(QStringLiteral("mac_hex")).toString(), QStringLiteral("00:1A:4B:0C:01:09"));
    EXPECT_EQ(first.value(QStringLiteral("version")).toString(), QStringLiteral("AV 2"));
    EXPECT_TRUE(first.value(QStringLiteral("in_own_subnet")).toBool());
    EXPECT_EQ(devices.at(2).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("Száz, \"nagy\""));
    // Without --tavo the TAVOW column stays empty, as after "Frissítés".
    EXPECT_EQ(devices.at(1).toObject().value(QStringLiteral("tavow")).toString(), QString());

    // The refresh the window runs: X, V, X, V from each address.
    EXPECT_EQ(plainSent(), (QStringList{QStringLiteral("X"), QStringLiteral("V"), QStringLiteral("X"), QStringLiteral("V")}));

    const CliRun csv = run({QStringLiteral("scan"), QStringLiteral("--tavo"), QStringLiteral("--format"), QStringLiteral("csv")});
    ASSERT_EQ(csv.exitCode, 0) << csv.err.toStdString();
    const QStringList lines = csv.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << csv.out.toStdString();
    EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("status,owner,name,mac,mac_hex,ip,"))) << lines.at(0).toStdString();
    EXPECT_TRUE(lines.at(2).contains(QStringLiteral(",4010,")))
        << "TAVOW address after the TAVOW pass: " << lines.at(2).toStdString();
    EXPECT_TRUE(lines.at(3).contains(QStringLiteral("\"Száz, \"\"nagy\"\"\""))) << lines.at(3).toStdString();
    testlan::pumpFor(100); // the journal is written every 40 ms
    EXPECT_TRUE(tavoWords(QStringLiteral("10.77.128.10")).contains(QStringLiteral("CSYSI")));

    const CliRun table = run({QStringLiteral("scan"), QStringLiteral("--format"), QStringLiteral("table")});
    ASSERT_EQ(table.exitCode, 0);
    const QStringList rows = table.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4) << table.out.toStdString();
    // Aligned: the IP column starts at the same place in every line.
    const qsizetype at = rows.at(1).indexOf(QStringLiteral("10.77.128.9"));
    ASSERT_GT(at, 0);
    EXPECT_EQ(rows.at(3).indexOf(QStringLiteral("10.77.128.100")), at) << table.out.toStdString();
}

TEST_F(CliE2e, ScanOpensOnlyTheChosenAddressAndWritesTheWindowsLog)
{
    ASSERT_TRUE(startDevices({PlainDevice("10.77.128.20", "0.26.75.12.2.20", "Kft", "Húsz", "AV 1"),
                              PlainDevice("10.78.128.20", "0.26.75.12.3.20", "Kft", "Másik", "AV 1")}));
    const QJsonArray devices = scanJson({QStringLiteral("--address"), QString::fromLatin1(testlan::kWsAddr0)});
    EXPECT_EQ(ips(devices), QStringList{QStringLiteral("10.77.128.20")});
    for (const testlan::JournalEntry &e : sim.journal())
        EXPECT_TRUE(e.src.startsWith(QLatin1String(testlan::kWsAddr0))) << e.src.toStdString();

    // The log of the working directory, in code page 1250, with the window's lines.
    QFile log(QDir(dir.path()).filePath(QStringLiteral("Ardel.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = FromCp1250(log.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Saját IP címek")));
    EXPECT_TRUE(text.contains(QStringLiteral("Verzió lekérés")));
    EXPECT_TRUE(text.contains(QStringLiteral("Received outer: \"A0.26.75.12.2.20/")));
    log.close();
    QFile::remove(log.fileName());

    const CliRun quiet = run({QStringLiteral("scan"), QStringLiteral("--no-log")});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_FALSE(QFile::exists(log.fileName()));
    const QString other = QDir(dir.path()).filePath(QStringLiteral("other.log"));
    EXPECT_EQ(run({QStringLiteral("scan"), QStringLiteral("--log"), other}).exitCode, 0);
    EXPECT_TRUE(QFile::exists(other));
}

TEST_F(CliE2e, NoEndpointIsExitOneWithTheReason)
{
    ASSERT_TRUE(startDevices({PlainDevice("10.77.128.21", "0.26.75.12.2.21", "Kft", "A", "AV 1")}));
    // An address no adapter has.
    CliRun r = run({QStringLiteral("scan"), QStringLiteral("--address"), QStringLiteral("10.1.2.3")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("10.1.2.3"))) << r.err.toStdString();

    // Port 1010 of the address taken by another program: the window's message.
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QString::fromLatin1(testlan::kWsAddr0)), 1010));
    r = run({QStringLiteral("scan"), QStringLiteral("--address"), QString::fromLatin1(testlan::kWsAddr0)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Hálózat indítási hiba"))) << r.err.toStdString();
    testlan::pumpFor(100);
    EXPECT_TRUE(plainSent().isEmpty());
}

// ---------------------------------------------------------------- set-ip

TEST_F(CliE2e, SetIpOutcomes)
{
    ASSERT_TRUE(startDevices(
        {WithKey(PlainDevice("10.77.128.40", "0.26.75.12.4.40", "Kft", "Jelszavas", "AV 1"), "password", QStringLiteral("titok")),
         PlainDevice("10.77.128.41", "0.26.75.12.4.41", "Kft", "Szabad", "AV 1"),
         WithKey(PlainDevice("10.77.128.42", "0.26.75.12.4.42", "Kft", "Néma", "AV 1"), "silent", true)}));
    struct Case {
        const char *name;
        QStringList args;
        int exit;
        QStringList sent; // set-IP commands from the first address
    };
    const QString mac = QStringLiteral("0.26.75.12.4.40");
    const QList<Case> cases{
        {"no password", {mac, QStringLiteral("10.77.128.50")}, 3, {QStringLiteral("A0.26.75.12.4.40//10.77.128.50|2a")}},
        {"wrong password",
         {mac, QStringLiteral("10.77.128.50"), QStringLiteral("--password"), QStringLiteral("rossz")},
         3,
         {QStringLiteral("A0.26.75.12.4.40//10.77.128.50|2a"), QStringLiteral("A0.26.75.12.4.40/rossz/10.77.128.50|2a")}},
        {"collision", {mac, QStringLiteral("10.77.128.41"), QStringLiteral("--password"), QStringLiteral("titok")}, 5, {}},
        {"silent device",
         {QStringLiteral("0.26.75.12.4.42"), QStringLiteral("10.77.128.52")},
         4,
         {QStringLiteral("A0.26.75.12.4.42//10.77.128.52|2a")}},
        {"moved (hex MAC)",
         {QStringLiteral("00:1a:4b:0c:04:28"), QStringLiteral("10.77.128.50"), QStringLiteral("--password"),
          QStringLiteral("titok")},
         0,
         {QStringLiteral("A0.26.75.12.4.40//10.77.128.50|2a"), QStringLiteral("A0.26.75.12.4.40/titok/10.77.128.50|2a")}},
        {"collision, forced",
         {QStringLiteral("0.26.75.12.4.41"), QStringLiteral("10.77.128.50"), QStringLiteral("--force")},
         0,
         {QStringLiteral("A0.26.75.12.4.41//10.77.128.50|2a")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = setIpSent().size();
        const CliRun r = run(QStringList{QStringLiteral("set-ip")} + c.args);
        EXPECT_EQ(r.exitCode, c.exit) << r.out.toStdString() << r.err.toStdString();
        testlan::pumpFor(100); // the journal is written every 40 ms
        EXPECT_EQ(setIpSent().mid(before), c.sent);
    }
    EXPECT_TRUE(ips(scanJson()).contains(QStringLiteral("10.77.128.50")));
}

// ---------------------------------------------------------------- TAVO settings, restart, MAC

TEST_F(CliE2e, SettingsAndRestartCheckTheDevicePassword)
{
    ASSERT_TRUE(startDevices({TavoDevice("10.77.128.60", "0.26.75.12.6.60", 4060, "Hatvan", "geheim"),
                              TavoDevice("10.77.128.61", "0.26.75.12.6.61", 4061, "Szabad")}));
    const QString ip = QStringLiteral("10.77.128.60");
    CliRun r = run({QStringLiteral("settings"), ip, QStringLiteral("--password"), QStringLiteral("rossz"),
                    QStringLiteral("--mask"), QStringLiteral("255.255.255.0")});
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    testlan::pumpFor(100);
    EXPECT_FALSE(tavoWords(ip).contains(QStringLiteral("CETSN")));

    r = run({QStringLiteral("settings"), ip, QStringLiteral("--password"), QStringLiteral("geheim"), QStringLiteral("--mask"),
             QStringLiteral("255.255.255.0")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    testlan::pumpFor(100);
    const QStringList words = tavoWords(ip);
    ASSERT_GE(words.size(), 2);
    EXPECT_EQ(words.mid(words.size() - 2), (QStringList{QStringLiteral("CETSN"), QStringLiteral("CSYER")}));
    const QJsonArray devices = scanJson({QStringLiteral("--tavo")});
    bool listed = false;
    for (const QJsonValue &v : devices) {
        if (v.toObject().value(QStringLiteral("ip")).toString() == ip) {
            listed = true;
            EXPECT_EQ(v.toObject().value(QStringLiteral("mask")).toString(), QStringLiteral("255.255.255.0"));
        }
    }
    EXPECT_TRUE(listed);

    r = run({QStringLiteral("restart"), QStringLiteral("10.77.128.61"), QStringLiteral("--password"), QString()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    testlan::pumpFor(100);
    EXPECT_EQ(tavoWords(QStringLiteral("10.77.128.61")).last(), QStringLiteral("CSYRS"));

    // A device the refresh does not find.
    r = run({QStringLiteral("restart"), QStringLiteral("10.77.128.69"), QStringLiteral("--password"), QStringLiteral("x")});
    EXPECT_EQ(r.exitCode, 6);
}

TEST_F(CliE2e, WriteMacOverTcp)
{
    ASSERT_TRUE(
        startDevices({PlainDevice("10.77.128.70", "0.26.75.12.7.70", "Kft", "Hetven", "AV 1"),
                      WithKey(PlainDevice("10.77.128.71", "0.26.75.12.7.71", "Kft", "Hibás", "AV 1"), "eeprom_fail", true),
                      WithKey(PlainDevice("10.77.128.72", "0.26.75.12.7.72", "Kft", "Néma", "AV 1"), "silent", true)}));
    CliRun r = run({QStringLiteral("write-mac"), QStringLiteral("10.77.128.70"), QStringLiteral("0.26.75.12.7.170")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonArray devices = scanJson();
    ASSERT_FALSE(devices.isEmpty());
    EXPECT_EQ(devices.at(0).toObject().value(QStringLiteral("mac")).toString(), QStringLiteral("0.26.75.12.7.170"));

    r = run({QStringLiteral("write-mac"), QStringLiteral("10.77.128.71"), QStringLiteral("00:1A:4B:0C:07:AB")});
    EXPECT_EQ(r.exitCode, 8) << r.err.toStdString();
    r = run({QStringLiteral("write-mac"), QStringLiteral("10.77.128.72"), QStringLiteral("0.26.75.12.7.172")});
    EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
}

// ---------------------------------------------------------------- apply

TEST_F(CliE2e, ApplyMovesTwentyDevicesAndVerifiesThem)
{
    QJsonArray devices;
    QByteArray plan = "mac,ip,password\r\n";
    for (int i = 0; i < 20; ++i) {
        const QByteArray mac = "0.26.75.12.8." + QByteArray::number(i);
        const QByteArray ip = "10.77.128." + QByteArray::number(100 + i);
        QJsonObject d = PlainDevice(ip.constData(), mac.constData(), "Kft", "Gép", "AV 1");
        if (i % 2)
            d.insert(QStringLiteral("password"), QStringLiteral("titok"));
        devices.append(d);
        // Device 0 keeps its address; the others move to 10.77.129.i.
        plan += mac + ',' + (i == 0 ? ip : "10.77.129." + QByteArray::number(i)) + ',' + (i % 2 ? "titok" : "") + "\r\n";
    }
    ASSERT_TRUE(startDevices(devices));
    const QString planPath = QDir(dir.path()).filePath(QStringLiteral("plan.csv"));
    const QString reportPath = QDir(dir.path()).filePath(QStringLiteral("report.csv"));
    QFile f(planPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(plan);
    f.close();

    const CliRun check = run({QStringLiteral("apply"), planPath, QStringLiteral("--check")});
    EXPECT_EQ(check.exitCode, 0) << check.err.toStdString();
    EXPECT_TRUE(setIpSent().isEmpty()) << "--check sends nothing";

    const CliRun r = run({QStringLiteral("apply"), planPath, QStringLiteral("--report"), reportPath}, 120000);
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    QFile report(reportPath);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(report.readAll()).split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines.at(0), QStringLiteral("mac,old_ip,new_ip,outcome"));
    EXPECT_EQ(lines.filter(QStringLiteral(",moved")).size(), 19);
    EXPECT_EQ(lines.filter(QStringLiteral(",unchanged")).size(), 1);

    const QStringList now = ips(scanJson());
    for (int i = 1; i < 20; ++i)
        EXPECT_TRUE(now.contains(QStringLiteral("10.77.129.%1").arg(i))) << i;
}

TEST_F(CliE2e, APlanWithABadRowSendsNothing)
{
    ASSERT_TRUE(startDevices({PlainDevice("10.77.128.90", "0.26.75.12.9.90", "Kft", "A", "AV 1"),
                              PlainDevice("10.77.128.91", "0.26.75.12.9.91", "Kft", "B", "AV 1"),
                              PlainDevice("10.77.128.92", "0.26.75.12.9.92", "Kft", "C", "AV 1")}));
    struct Case {
        const char *name;
        QByteArray plan;
        QString problem; // in the output, with its line number
    };
    const QList<Case> cases{
        {"malformed address", "mac,ip\n0.26.75.12.9.90,10.77.129.90\n0.26.75.12.9.91,10.77.129.300\n", QStringLiteral("3")},
        {"MAC not found", "mac,ip\n0.26.75.12.9.99,10.77.129.99\n", QStringLiteral("2")},
        {"new IP used by a device outside the plan", "mac,ip\n0.26.75.12.9.90,10.77.128.92\n", QStringLiteral("2")},
        {"IP twice", "mac,ip\n0.26.75.12.9.90,10.77.129.1\n0.26.75.12.9.91,10.77.129.1\n", QStringLiteral("3")},
    };
    const QString planPath = QDir(dir.path()).filePath(QStringLiteral("plan.csv"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile f(planPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.plan);
        f.close();
        const CliRun r = run({QStringLiteral("apply"), planPath});
        EXPECT_EQ(r.exitCode, 7) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE((r.out + r.err).contains(c.problem)) << r.err.toStdString();
    }
    testlan::pumpFor(100);
    EXPECT_TRUE(setIpSent().isEmpty());
}

} // namespace
