// The command line of ardel-cli: commands, options, help texts and the exit
// statuses, without running anything.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace ardel::cli {

// Exit statuses of every command.
enum Exit : int {
    ExitOk = 0,
    ExitLocal = 1,       // no endpoint opened, a file that cannot be read or written
    ExitUsage = 2,       // bad or missing argument
    ExitPassword = 3,    // password required or wrong
    ExitNoAnswer = 4,    // the device did not answer
    ExitCollision = 5,   // set-ip: another device answers at the new address
    ExitNotFound = 6,    // the refresh did not find the device
    ExitPlanInvalid = 7, // apply: nothing sent
    ExitNotTaken = 8,    // the device answered, but the change is not there
    ExitApplyFailed = 9, // apply: a row neither moved nor unchanged
};

enum class Command { Scan, SetIp, Settings, Restart, WriteMac, Apply };
enum class Format { Table, Csv, Json };

struct Options {
    Command command = Command::Scan;
    // Every command
    QStringList addresses; // local addresses to open; empty: all
    QString logFile = QStringLiteral("Ardel.log");
    bool noLog = false;
    bool verbose = false; // message lines to stderr
    // scan
    bool tavo = false;
    Format format = Format::Table;
    // set-ip (mac, newIp), settings/restart/write-mac (ip)
    QString mac; // dotted decimal, as the device table holds it
    QString ip;
    QString newIp;
    QString password;
    bool force = false;
    // settings
    QString setIp;
    QString setGateway;
    QString setMask;
    QByteArray setMac; // six bytes
    // write-mac
    QByteArray newMac; // six bytes
    // apply
    QString planFile;
    bool check = false;
    QString reportFile;
};

struct ParseResult {
    enum Kind { Run, Help, Error } kind = Error;
    Options options;
    // Help: the text for stdout; Error: the message for stderr.
    QString text;
};

// args without the program name.
ParseResult ParseArguments(const QStringList &args);

QString MainHelp();
QString CommandHelp(Command command);

// "10.20.30.40.50.255" or "0A:14:1E:28:32:FF" (also lower case, "-" between)
// as the dotted decimal form; none when it is neither.
std::optional<QString> NormaliseMac(const QString &text);
// The six bytes of a normalised MAC.
QByteArray MacBytes(const QString &dottedMac);
// Four numbers 0..255 naming one host: not 0.0.0.0, not 255.255.255.255,
// not loopback or multicast.
bool IsHostAddress(const QString &text);
// Four numbers 0..255 (a mask or gateway).
bool IsDottedAddress(const QString &text);

} // namespace ardel::cli
