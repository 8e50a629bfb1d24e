// The command line of ardel-cli: what each argument list runs, and that
// every wrong one is a usage error that says what is wrong.
#include "tools/cli/CliOptions.h"

#include <gtest/gtest.h>

using namespace ardel::cli;

namespace {

QStringList Args(const char *line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(CliOptions, UsageErrorsNameTheProblem)
{
    struct Case {
        const char *args;
        const char *mentions;
    };
    const Case cases[] = {
        {"", "a command is needed"},
        {"frobnicate", "unknown command"},
        {"scan --format xml", "xml"},
        {"scan --format", "--format"},
        {"scan extra", "extra"},
        {"scan --tavo --force", "--force"},
        {"scan --address 10.0.0.300", "10.0.0.300"},
        {"scan --address", "--address"},
        {"scan --log", "--log"},
        {"set-ip 0.26.75.12.4.40", "MAC and NEW_IP"},
        {"set-ip 0.26.75.12.4 10.0.0.5", "not a MAC"},
        {"set-ip 00:1A:4B:0C:04 10.0.0.5", "not a MAC"},
        {"set-ip 0.26.75.12.4.40 10.0.0", "not an IPv4 host"},
        {"set-ip 0.26.75.12.4.40 255.255.255.255", "not an IPv4 host"},
        {"set-ip 0.26.75.12.4.40 127.0.0.1", "not an IPv4 host"},
        {"set-ip 0.26.75.12.4.40 224.0.0.1", "not an IPv4 host"},
        {"set-ip 0.26.75.12.4.40 10.0.0.5 --password", "--password"},
        {"settings 10.0.0.5 --mask 255.255.255.0", "--password is needed"},
        {"settings 10.0.0.5 --password x", "nothing to change"},
        {"settings 10.0.0.5 --password x --mask 255.255.256.0", "--mask"},
        {"settings 10.0.0.5 --password x --mac 1.2.3", "--mac"},
        {"restart --password x", "IP is expected"},
        {"write-mac 10.0.0.5", "IP and NEW_MAC"},
        {"write-mac 10.0.0.5 zz:1A:4B:0C:04:28", "not a MAC"},
        {"apply", "PLAN.csv"},
        {"apply plan.csv --report", "--report"},
    };
    for (const Case &c : cases) {
        const ParseResult r = ParseArguments(Args(c.args));
        EXPECT_EQ(r.kind, ParseResult::Error) << c.args;
        EXPECT_TRUE(r.text.contains(QString::fromUtf8(c.mentions))) << c.args << ": " << r.text.toStdString();
    }
}

TEST(CliOptions, CommandsAndTheirOptions)
{
    ParseResult r = ParseArguments(Args("scan --tavo --format json --address 10.77.0.1 --address 10.78.0.1 --no-log"));
    ASSERT_EQ(r.kind, ParseResult::Run) << r.text.toStdString();
    EXPECT_EQ(r.options.command, Command::Scan);
    EXPECT_TRUE(r.options.tavo);
    EXPECT_EQ(r.options.format, Format::Json);
    EXPECT_EQ(r.options.addresses, (QStringList{QStringLiteral("10.77.0.1"), QStringLiteral("10.78.0.1")}));
    EXPECT_TRUE(r.options.noLog);

    r = ParseArguments(Args("set-ip 00:1a:4b:0c:04:28 10.77.128.50 --password titok --force --log x.log"));
    ASSERT_EQ(r.kind, ParseResult::Run) << r.text.toStdString();
    EXPECT_EQ(r.options.mac, QStringLiteral("0.26.75.12.4.40"));
    EXPECT_EQ(r.options.newIp, QStringLiteral("10.77.128.50"));
    EXPECT_EQ(r.options.password, QStringLiteral("titok"));
    EXPECT_TRUE(r.options.force);
    EXPECT_EQ(r.options.logFile, QStringLiteral("x.log"));

    // An empty password is a password: the device without one takes it.
    r = ParseArguments(
        QStringList{QStringLiteral("restart"), QStringLiteral("10.0.0.5"), QStringLiteral("--password"), QString()});
    ASSERT_EQ(r.kind, ParseResult::Run) << r.text.toStdString();

    r = ParseArguments(
        Args("settings 10.0.0.5 --password p --ip 10.0.0.6 --gateway 10.0.0.1 --mask 255.255.0.0 --mac 0A-14-1E-28-32-FF"));
    ASSERT_EQ(r.kind, ParseResult::Run) << r.text.toStdString();
    EXPECT_EQ(r.options.setIp, QStringLiteral("10.0.0.6"));
    EXPECT_EQ(r.options.setMask, QStringLiteral("255.255.0.0"));
    EXPECT_EQ(r.options.setMac, QByteArray("\x0A\x14\x1E\x28\x32\xFF", 6));

    r = ParseArguments(Args("write-mac 10.0.0.5 10.20.30.40.50.255"));
    ASSERT_EQ(r.kind, ParseResult::Run);
    EXPECT_EQ(r.options.newMac, QByteArray("\x0A\x14\x1E\x28\x32\xFF", 6));

    r = ParseArguments(Args("apply plan.csv --check --report out.csv"));
    ASSERT_EQ(r.kind, ParseResult::Run);
    EXPECT_TRUE(r.options.check);
    EXPECT_EQ(r.options.reportFile, QStringLiteral("out.csv"));
}

TEST(CliOptions, HelpForTheProgramAndEachCommand)
{
    for (const char *args : {"--help", "help", "-h"}) {
        const ParseResult r = ParseArguments(Args(args));
        EXPECT_EQ(r.kind, ParseResult::Help);
        EXPECT_TRUE(r.text.contains(QStringLiteral("write-mac"))) << args;
        EXPECT_TRUE(r.text.contains(QStringLiteral("Exit status"))) << args;
    }
    for (const char *command : {"scan", "set-ip", "settings", "restart", "write-mac", "apply"}) {
        for (const QStringList &args : {QStringList{QString::fromLatin1(command), QStringLiteral("--help")},
                                        QStringList{QStringLiteral("help"), QString::fromLatin1(command)}}) {
            const ParseResult r = ParseArguments(args);
            EXPECT_EQ(r.kind, ParseResult::Help) << command;
            EXPECT_TRUE(r.text.startsWith(QStringLiteral("Usage: ardel-cli ") + QString::fromLatin1(command))) << command;
        }
    }
}

TEST(CliOptions, MacForms)
{
    struct Case {
        const char *text;
        const char *dotted; // nullptr: refused
    };
    const Case cases[] = {
        {"0.26.75.12.4.40", "0.26.75.12.4.40"},
        {"000.026.75.12.4.40", "0.26.75.12.4.40"},
        {"00:1A:4B:0C:04:28", "0.26.75.12.4.40"},
        {"00-1a-4b-0c-04-28", "0.26.75.12.4.40"},
        {"FF:FF:FF:FF:FF:FF", "255.255.255.255.255.255"},
        {"00:1A-4B:0C:04:28", nullptr},
        {"00:1A:4B:0C:04:2", nullptr},
        {"00:1A:4B:0C:04:2G", nullptr},
        {"0.26.75.12.4.256", nullptr},
        {"0.26.75.12.4", nullptr},
        {"0.26.75.12.4.40.1", nullptr},
        {"", nullptr},
    };
    for (const Case &c : cases) {
        const auto got = NormaliseMac(QString::fromLatin1(c.text));
        if (c.dotted)
            EXPECT_EQ(got.value_or(QStringLiteral("<refused>")), QString::fromLatin1(c.dotted)) << c.text;
        else
            EXPECT_FALSE(got.has_value()) << c.text;
    }
}

} // namespace
