// The commissioning plan of `ardel-cli apply`: a CSV file of MAC addresses
// and the IP addresses they are to get, checked as a whole against what the
// refresh found before anything is sent, and the report of what happened.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace ardel::cli {

// One record of a CSV text and the line it starts on (1 = the first line).
struct CsvRecord {
    int line = 0;
    QStringList fields;
};
// RFC 4180: fields separated by ',', quoted fields may hold ',', '"' (doubled)
// and line breaks; CRLF or LF line ends; empty lines are skipped. A UTF-8
// byte order mark at the start is dropped. error gets the first fault (an
// unclosed quote) with its line.
QList<CsvRecord> ReadCsv(const QString &text, QString *error);

struct PlanRow {
    int line = 0;
    QString mac; // dotted decimal
    QString oldIp;
    QString newIp;
    QString password;
    bool unchanged() const { return oldIp == newIp; }
};

struct PlannedDevice {
    QString mac; // dotted decimal
    QString ip;
};

struct Plan {
    QList<PlanRow> rows;
    // "line N: ..." texts, in line order; the plan is sent only without any.
    QStringList problems;
};

// Reads and checks the plan against the devices the refresh found.
Plan ReadPlan(const QByteArray &utf8, const QList<PlannedDevice> &found);

// What --check prints: one line per row.
QString PlanPreview(const Plan &plan);

enum class Outcome { Moved, Unchanged, Refused, NoAnswer, NotFound };
QString OutcomeText(Outcome outcome);

struct RowResult {
    PlanRow row;
    Outcome outcome = Outcome::NotFound;
};

// The report file: mac,old_ip,new_ip,outcome with a header, CRLF, UTF-8.
QByteArray ReportCsv(const QList<RowResult> &results);
// One line per row for stdout.
QString ResultLines(const QList<RowResult> &results);
// 0 when every row moved or stayed, else the apply failure status.
int ApplyExitStatus(const QList<RowResult> &results);

} // namespace ardel::cli
