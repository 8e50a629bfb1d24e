#include "tools/cli/CliOptions.h"

#include "net/DecimalText.h"

#include <QCoreApplication>

#include <array>

namespace ardel::cli {

namespace {

const QString kTry = QStringLiteral("\nTry 'ardel-cli %1 --help'.");

const char *const kExitTable = R"(Exit status:
  0  success
  1  local failure: no endpoint opened (port 1010 refused, no adapter,
     unknown --address), a file that cannot be read or written
  2  usage error
  3  the device asks for a password, or the password is wrong
  4  the device did not answer
  5  set-ip: another device answers at NEW_IP (use --force)
  6  the refresh did not find the device
  7  apply: the plan is not valid; nothing was sent
  8  the device answered, but the change did not take
  9  apply: a row was neither moved nor unchanged
)";

const char *const kCommonOptions = R"(Options of every command:
  --address IP   open only this local address (repeatable); default: every
                 up IPv4 address, as the window opens them
  --log FILE     write the log there instead of Ardel.log in the working
                 directory (code page 1250, the window's lines)
  --no-log       write no log
  --verbose      also print every log line to stderr
  --help         this help
)";

QString commandName(Command c)
{
    switch (c) {
    case Command::Scan:
        return QStringLiteral("scan");
    case Command::SetIp:
        return QStringLiteral("set-ip");
    case Command::Settings:
        return QStringLiteral("settings");
    case Command::Restart:
        return QStringLiteral("restart");
    case Command::WriteMac:
        return QStringLiteral("write-mac");
    case Command::Apply:
        return QStringLiteral("apply");
    }
    return QString();
}

std::optional<Command> commandOf(const QString &name)
{
    for (Command c : {Command::Scan, Command::SetIp, Command::Settings, Command::Restart, Command::WriteMac, Command::Apply})
        if (commandName(c) == name)
            return c;
    return std::nullopt;
}

ParseResult error(Command c, const QString &message)
{
    ParseResult r;
    r.kind = ParseResult::Error;
    r.text = QStringLiteral("ardel-cli: ") + message + kTry.arg(commandName(c));
    return r;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

std::optional<QString> NormaliseMac(const QString &text)
{
    std::array<quint8, 6> bytes{};
    if (!ParseDottedBytes(text, bytes)) {
        // Hex pairs separated by ':' or '-'.
        if (text.size() != 17)
            return std::nullopt;
        const QChar sep = text.at(2);
        if (sep != QLatin1Char(':') && sep != QLatin1Char('-'))
            return std::nullopt;
        for (int i = 0; i < 6; ++i) {
            const int hi = hexDigit(text.at(i * 3));
            const int lo = hexDigit(text.at(i * 3 + 1));
            if (hi < 0 || lo < 0 || (i < 5 && text.at(i * 3 + 2) != sep))
                return std::nullopt;
            bytes[size_t(i)] = quint8(hi * 16 + lo);
        }
    }
    QStringList parts;
    for (quint8 b : bytes)
        parts.append(QString::number(b));
    return parts.join(QLatin1Char('.'));
}

QByteArray MacBytes(const QString &dottedMac)
{
    std::array<quint8, 6> bytes{};
    if (!ParseDottedBytes(dottedMac, bytes))
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), 6);
}

bool IsDottedAddress(const QString &text)
{
    std::array<quint8, 4> b{};
    return ParseDottedBytes(text, b);
}

bool IsHostAddress(const QString &text)
{
    std::array<quint8, 4> b{};
    if (!ParseDottedBytes(text, b))
        return false;
    const bool zero = b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 0;
    const bool all = b[0] == 255 && b[1] == 255 && b[2] == 255 && b[3] == 255;
    return !zero && !all && b[0] != 127 && b[0] < 224 && b[0] != 0;
}

QString MainHelp()
{
    return QStringLiteral(R"(Usage: ardel-cli COMMAND [ARGUMENTS] [OPTIONS]

Finds and reconfigures the controllers on the LAN with the same exchanges as
the Ardel window: UDP broadcasts from local port 1010, TAVO packets to port
65500, the EEPROM write over TCP port 1001.

Commands:
  scan       list every device that answers the refresh
  set-ip     give a device (by MAC) a new IP address
  settings   change the address, gateway, mask or MAC of a TAVO device
  restart    restart a TAVO device
  write-mac  write a new MAC address into a device's EEPROM
  apply      set the addresses of many devices from a plan file and verify them

'ardel-cli COMMAND --help' explains a command.

)") + QString::fromLatin1(kCommonOptions)
           + QStringLiteral("  --version      the program's version\n\n") + QString::fromLatin1(kExitTable);
}

QString CommandHelp(Command command)
{
    QString text;
    switch (command) {
    case Command::Scan:
        text = QStringLiteral(R"(Usage: ardel-cli scan [--tavo] [--format table|csv|json] [--address IP]...

Runs the refresh of the window's "Frissítés" button: "X" (discovery) and "V"
(version) broadcast to port 65535 twice, each followed by a 500 ms reply
window, then lists the devices by IP address. With --tavo the TAVOW pass of
"Tavow frissítés" follows: three "CETEI" broadcasts, then name, owner and
program version of every TAVO device; devices without a TAVO side are listed
as the refresh found them.

  --format table  aligned columns with a header (default)
  --format csv    RFC 4180, UTF-8, a header row
  --format json   an array of objects: status, owner, name, mac, mac_hex, ip,
                  port, version, list_status, tavow, gateway, mask,
                  in_own_subnet

Example: ardel-cli scan --tavo --format csv > devices.csv
)");
        break;
    case Command::SetIp:
        text = QStringLiteral(R"(Usage: ardel-cli set-ip MAC NEW_IP [--password P] [--force]

Refreshes, then broadcasts the set-IP command "A<mac>/<password>/<new ip>|2a"
to the device with MAC (dotted decimal as the table shows it, or hex
"00:1A:4B:0C:04:28"), first without a password as the window does. When the
device answers "D" and --password is given, the command goes once more with
it. After an "A" answer the refresh runs again and the command succeeds when
the device answers at NEW_IP.

  --password P  the device's password, sent only when the device asks
  --force       send even when another device answers at NEW_IP

Exit 3: password asked (none given) or wrong; 4: no answer; 5: NEW_IP taken;
8: accepted, but the device does not answer at NEW_IP.
Example: ardel-cli set-ip 0.26.75.12.4.40 192.168.1.50 --password titok
)");
        break;
    case Command::Settings:
        text = QStringLiteral(R"(Usage: ardel-cli settings IP --password P [--ip A] [--gateway A] [--mask A] [--mac M]

Refreshes and runs the TAVOW pass (the device's TAVOW address comes from it),
reads the device password and compares it with P (a device without a password
takes any), then sends what is given ("CETSI", "CETSG", "CETSN", "CETSM") and
"CSYER", which saves it, as the window's "Beállítások" then "Mentés".
At least one of --ip, --gateway, --mask, --mac is needed.

Exit 3: wrong password; 4: no answer; 6: no TAVO device at IP.
Example: ardel-cli settings 192.168.1.50 --password geheim --mask 255.255.255.0
)");
        break;
    case Command::Restart:
        text = QStringLiteral(R"(Usage: ardel-cli restart IP --password P

Like settings, but sends "CSYRS": the device restarts.

Exit 3: wrong password; 4: no answer; 6: no TAVO device at IP.
Example: ardel-cli restart 192.168.1.50 --password geheim
)");
        break;
    case Command::WriteMac:
        text = QStringLiteral(R"(Usage: ardel-cli write-mac IP NEW_MAC

Connects to TCP port 1001 of IP and writes NEW_MAC into the EEPROM ("CSYWE"
in a TAVOW frame); the connection ends after 2 s. A confirmed write is
followed by a refresh, and the command succeeds when the device answers with
NEW_MAC.

Exit 4: no connection; 8: the device refused the write or does not show it.
Example: ardel-cli write-mac 192.168.1.50 00:1A:4B:0C:07:AA
)");
        break;
    case Command::Apply:
        text = QStringLiteral(R"(Usage: ardel-cli apply PLAN.csv [--check] [--report FILE]

Commissioning in one step. The plan is a UTF-8 CSV file with a header naming
the columns mac and ip and, optionally, password:

  mac,ip,password
  0.26.75.12.8.1,192.168.1.101,titok
  00:1A:4B:0C:08:02,192.168.1.102,

The client refreshes and checks the whole plan before sending anything: every
field well formed, every MAC found by the refresh, no MAC or IP twice, no new
IP in use by a device the plan does not move. Each problem is printed with
its line number, and nothing is sent (exit 7). --check prints what would
change and stops. Otherwise the devices are set one after the other, each
with its password step, then one refresh verifies every device at its new IP.

One line per row is printed, and --report writes a CSV file with the columns
mac, old_ip, new_ip, outcome (moved, unchanged, refused, no-answer,
not-found). Exit 0 only when every row is moved or unchanged, else 9.
)");
        break;
    }
    return text + QLatin1Char('\n') + QString::fromLatin1(kCommonOptions) + QLatin1Char('\n') + QString::fromLatin1(kExitTable);
}

ParseResult ParseArguments(const QStringList &args)
{
    ParseResult r;
    if (args.isEmpty()) {
        r.kind = ParseResult::Error;
        r.text = QStringLiteral("ardel-cli: a command is needed\n\n") + MainHelp();
        return r;
    }
    const QString first = args.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        if (args.size() > 1) {
            if (const auto c = commandOf(args.at(1))) {
                r.kind = ParseResult::Help;
                r.text = CommandHelp(*c);
                return r;
            }
        }
        r.kind = ParseResult::Help;
        r.text = MainHelp();
        return r;
    }
    if (first == QLatin1String("--version")) {
        r.kind = ParseResult::Help;
        r.text = QStringLiteral("ardel-cli ") + QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return r;
    }
    const std::optional<Command> command = commandOf(first);
    if (!command) {
        r.kind = ParseResult::Error;
        r.text = QStringLiteral("ardel-cli: unknown command '%1'\nTry 'ardel-cli --help'.").arg(first);
        return r;
    }
    Options o;
    o.command = *command;
    const Command c = *command;
    QStringList positional;
    bool hasPassword = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        const auto value = [&](QString *out) {
            if (i + 1 >= args.size())
                return false;
            *out = args.at(++i);
            return true;
        };
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            r.kind = ParseResult::Help;
            r.text = CommandHelp(c);
            return r;
        } else if (a == QLatin1String("--address")) {
            if (!value(&v))
                return error(c, QStringLiteral("--address needs an IP address"));
            if (!IsHostAddress(v))
                return error(c, QStringLiteral("--address: '%1' is not an IPv4 host address").arg(v));
            o.addresses.append(v);
        } else if (a == QLatin1String("--log")) {
            if (!value(&v) || v.isEmpty())
                return error(c, QStringLiteral("--log needs a file name"));
            o.logFile = v;
        } else if (a == QLatin1String("--no-log")) {
            o.noLog = true;
        } else if (a == QLatin1String("--verbose")) {
            o.verbose = true;
        } else if (c == Command::Scan && a == QLatin1String("--tavo")) {
            o.tavo = true;
        } else if (c == Command::Scan && a == QLatin1String("--format")) {
            if (!value(&v))
                return error(c, QStringLiteral("--format needs table, csv or json"));
            if (v == QLatin1String("table"))
                o.format = Format::Table;
            else if (v == QLatin1String("csv"))
                o.format = Format::Csv;
            else if (v == QLatin1String("json"))
                o.format = Format::Json;
            else
                return error(c, QStringLiteral("--format: '%1' is not table, csv or json").arg(v));
        } else if ((c == Command::SetIp || c == Command::Settings || c == Command::Restart) && a == QLatin1String("--password")) {
            if (!value(&o.password))
                return error(c, QStringLiteral("--password needs a value"));
            hasPassword = true;
        } else if (c == Command::SetIp && a == QLatin1String("--force")) {
            o.force = true;
        } else if (c == Command::Settings
                   && (a == QLatin1String("--ip") || a == QLatin1String("--gateway") || a == QLatin1String("--mask"))) {
            if (!value(&v))
                return error(c, QStringLiteral("%1 needs an address").arg(a));
            const bool ok = a == QLatin1String("--ip") ? IsHostAddress(v) : IsDottedAddress(v);
            if (!ok)
                return error(c, QStringLiteral("%1: '%2' is not a valid address").arg(a, v));
            (a == QLatin1String("--ip") ? o.setIp : a == QLatin1String("--gateway") ? o.setGateway : o.setMask) = v;
        } else if (c == Command::Settings && a == QLatin1String("--mac")) {
            if (!value(&v))
                return error(c, QStringLiteral("--mac needs a MAC address"));
            const auto mac = NormaliseMac(v);
            if (!mac)
                return error(c, QStringLiteral("--mac: '%1' is not a MAC address").arg(v));
            o.setMac = MacBytes(*mac);
        } else if (c == Command::Apply && a == QLatin1String("--check")) {
            o.check = true;
        } else if (c == Command::Apply && a == QLatin1String("--report")) {
            if (!value(&o.reportFile) || o.reportFile.isEmpty())
                return error(c, QStringLiteral("--report needs a file name"));
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return error(c, QStringLiteral("unknown option '%1'").arg(a));
        } else {
            positional.append(a);
        }
    }

    const auto wantPositional = [&](int n, const QString &names) -> std::optional<ParseResult> {
        if (positional.size() != n)
            return error(c, QStringLiteral("%1 %2 expected").arg(names, n == 1 ? QStringLiteral("is") : QStringLiteral("are")));
        return std::nullopt;
    };
    switch (c) {
    case Command::Scan:
        if (!positional.isEmpty())
            return error(c, QStringLiteral("unexpected argument '%1'").arg(positional.first()));
        break;
    case Command::SetIp: {
        if (auto e = wantPositional(2, QStringLiteral("MAC and NEW_IP")))
            return *e;
        const auto mac = NormaliseMac(positional.at(0));
        if (!mac)
            return error(c, QStringLiteral("'%1' is not a MAC address").arg(positional.at(0)));
        if (!IsHostAddress(positional.at(1)))
            return error(c, QStringLiteral("'%1' is not an IPv4 host address").arg(positional.at(1)));
        o.mac = *mac;
        o.newIp = positional.at(1);
        break;
    }
    case Command::Settings:
    case Command::Restart:
        if (auto e = wantPositional(1, QStringLiteral("IP")))
            return *e;
        if (!IsHostAddress(positional.at(0)))
            return error(c, QStringLiteral("'%1' is not an IPv4 host address").arg(positional.at(0)));
        if (!hasPassword)
            return error(c, QStringLiteral("--password is needed (an empty one for a device without password)"));
        o.ip = positional.at(0);
        if (c == Command::Settings && o.setIp.isEmpty() && o.setGateway.isEmpty() && o.setMask.isEmpty() && o.setMac.isEmpty())
            return error(c, QStringLiteral("nothing to change: give --ip, --gateway, --mask or --mac"));
        break;
    case Command::WriteMac: {
        if (auto e = wantPositional(2, QStringLiteral("IP and NEW_MAC")))
            return *e;
        if (!IsHostAddress(positional.at(0)))
            return error(c, QStringLiteral("'%1' is not an IPv4 host address").arg(positional.at(0)));
        const auto mac = NormaliseMac(positional.at(1));
        if (!mac)
            return error(c, QStringLiteral("'%1' is not a MAC address").arg(positional.at(1)));
        o.ip = positional.at(0);
        o.newMac = MacBytes(*mac);
        break;
    }
    case Command::Apply:
        if (auto e = wantPositional(1, QStringLiteral("PLAN.csv")))
            return *e;
        o.planFile = positional.at(0);
        break;
    }
    r.kind = ParseResult::Run;
    r.options = o;
    return r;
}

} // namespace ardel::cli
