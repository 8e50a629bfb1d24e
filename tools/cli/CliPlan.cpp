#include "tools/cli/CliPlan.h"

#include "tools/cli/CliOptions.h"
#include "tools/cli/CliOutput.h"

#include <QHash>
#include <QSet>

namespace ardel::cli {

QList<CsvRecord> ReadCsv(const QString &input, QString *error)
{
    QString text = input;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QList<CsvRecord> records;
    CsvRecord current;
    QString field;
    int line = 1;
    bool inQuotes = false;
    bool fieldQuoted = false;
    bool recordHasData = false;
    current.line = 1;
    const auto endField = [&] {
        current.fields.append(field);
        field.clear();
        fieldQuoted = false;
    };
    const auto endRecord = [&] {
        endField();
        if (recordHasData)
            records.append(current);
        current = CsvRecord();
        recordHasData = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += QLatin1Char('"');
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && field.isEmpty() && !fieldQuoted) {
            inQuotes = true;
            fieldQuoted = true;
            recordHasData = true;
        } else if (c == QLatin1Char(',')) {
            endField();
            recordHasData = true;
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            continue; // the LF ends the record
        } else if (c == QLatin1Char('\n')) {
            endRecord();
            ++line;
            current.line = line;
        } else {
            if (current.fields.isEmpty() && field.isEmpty() && !recordHasData)
                current.line = line;
            field += c;
            recordHasData = true;
        }
    }
    if (inQuotes && error)
        *error = QStringLiteral("line %1: a quoted field is not closed").arg(current.line);
    endRecord();
    return records;
}

Plan ReadPlan(const QByteArray &utf8, const QList<PlannedDevice> &found)
{
    Plan plan;
    QList<QPair<int, QString>> problems;
    const auto problem = [&](int line, const QString &text) { problems.append({line, text}); };

    QString csvError;
    const QList<CsvRecord> records = ReadCsv(QString::fromUtf8(utf8), &csvError);
    if (!csvError.isEmpty()) {
        plan.problems.append(csvError);
        return plan;
    }
    if (records.isEmpty()) {
        plan.problems.append(QStringLiteral("line 1: the plan is empty (a header \"mac,ip\" is needed)"));
        return plan;
    }
    const CsvRecord &header = records.first();
    int macCol = -1, ipCol = -1, passwordCol = -1;
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString name = header.fields.at(i).trimmed().toLower();
        int *slot = name == QLatin1String("mac")        ? &macCol
                    : name == QLatin1String("ip")       ? &ipCol
                    : name == QLatin1String("password") ? &passwordCol
                                                        : nullptr;
        if (!slot)
            problem(header.line, QStringLiteral("unknown column '%1' (the columns are mac, ip and password)").arg(name));
        else if (*slot >= 0)
            problem(header.line, QStringLiteral("column '%1' appears twice").arg(name));
        else
            *slot = i;
    }
    if (macCol < 0)
        problem(header.line, QStringLiteral("no column 'mac'"));
    if (ipCol < 0)
        problem(header.line, QStringLiteral("no column 'ip'"));

    QHash<QString, QString> ipOfMac;
    QHash<QString, QString> macOfIp;
    for (const PlannedDevice &d : found) {
        ipOfMac.insert(d.mac, d.ip);
        macOfIp.insert(d.ip, d.mac);
    }

    if (macCol >= 0 && ipCol >= 0) {
        QHash<QString, int> macLine;
        QHash<QString, int> ipLine;
        QSet<QString> planMacs;
        QList<PlanRow> rows;
        for (qsizetype k = 1; k < records.size(); ++k) {
            const CsvRecord &rec = records.at(k);
            if (rec.fields.size() != header.fields.size()) {
                problem(rec.line,
                        QStringLiteral("%1 fields, the header has %2").arg(rec.fields.size()).arg(header.fields.size()));
                continue;
            }
            PlanRow row;
            row.line = rec.line;
            const QString macText = rec.fields.at(macCol).trimmed();
            const QString ip = rec.fields.at(ipCol).trimmed();
            row.password = passwordCol >= 0 ? rec.fields.at(passwordCol) : QString();
            bool ok = true;
            if (const auto mac = NormaliseMac(macText)) {
                row.mac = *mac;
            } else {
                problem(rec.line, QStringLiteral("'%1' is not a MAC address").arg(macText));
                ok = false;
            }
            if (!IsHostAddress(ip)) {
                problem(rec.line, QStringLiteral("'%1' is not an IPv4 host address").arg(ip));
                ok = false;
            }
            row.newIp = ip;
            if (!row.mac.isEmpty()) {
                if (macLine.contains(row.mac)) {
                    problem(rec.line, QStringLiteral("MAC %1 is already on line %2").arg(row.mac).arg(macLine.value(row.mac)));
                    ok = false;
                } else {
                    macLine.insert(row.mac, rec.line);
                }
                if (!ipOfMac.contains(row.mac)) {
                    problem(rec.line, QStringLiteral("no device with MAC %1 answered the refresh").arg(row.mac));
                    ok = false;
                }
                planMacs.insert(row.mac);
            }
            if (IsHostAddress(ip)) {
                if (ipLine.contains(ip)) {
                    problem(rec.line, QStringLiteral("IP %1 is already on line %2").arg(ip).arg(ipLine.value(ip)));
                    ok = false;
                } else {
                    ipLine.insert(ip, rec.line);
                }
            }
            row.oldIp = ipOfMac.value(row.mac);
            if (ok)
                rows.append(row);
        }
        // A new address that a device outside the plan answers at would be taken twice.
        for (const PlanRow &row : std::as_const(rows)) {
            const auto holder = macOfIp.constFind(row.newIp);
            if (holder != macOfIp.constEnd() && !planMacs.contains(*holder))
                problem(row.line,
                        QStringLiteral("%1 is in use by the device %2, which the plan does not move").arg(row.newIp, *holder));
        }
        plan.rows = rows;
        if (records.size() == 1)
            problem(header.line, QStringLiteral("the plan has no rows"));
    }
    std::stable_sort(problems.begin(), problems.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &p : std::as_const(problems))
        plan.problems.append(QStringLiteral("line %1: %2").arg(p.first).arg(p.second));
    if (!plan.problems.isEmpty())
        plan.rows.clear();
    return plan;
}

QString PlanPreview(const Plan &plan)
{
    QString out;
    for (const PlanRow &r : plan.rows) {
        if (r.unchanged())
            out += QStringLiteral("%1  %2  unchanged\n").arg(r.mac, r.oldIp);
        else
            out += QStringLiteral("%1  %2 -> %3%4\n")
                       .arg(r.mac, r.oldIp, r.newIp, r.password.isEmpty() ? QString() : QStringLiteral("  (with password)"));
    }
    return out;
}

QString OutcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Moved:
        return QStringLiteral("moved");
    case Outcome::Unchanged:
        return QStringLiteral("unchanged");
    case Outcome::Refused:
        return QStringLiteral("refused");
    case Outcome::NoAnswer:
        return QStringLiteral("no-answer");
    case Outcome::NotFound:
        break;
    }
    return QStringLiteral("not-found");
}

QByteArray ReportCsv(const QList<RowResult> &results)
{
    QString out = QStringLiteral("mac,old_ip,new_ip,outcome\r\n");
    for (const RowResult &r : results)
        out += QStringList{CsvField(r.row.mac), CsvField(r.row.oldIp), CsvField(r.row.newIp), OutcomeText(r.outcome)}.join(
                   QLatin1Char(','))
               + QStringLiteral("\r\n");
    return out.toUtf8();
}

QString ResultLines(const QList<RowResult> &results)
{
    QString out;
    for (const RowResult &r : results)
        out += QStringLiteral("line %1: %2  %3 -> %4  %5\n")
                   .arg(r.row.line)
                   .arg(r.row.mac, r.row.oldIp, r.row.newIp, OutcomeText(r.outcome));
    return out;
}

int ApplyExitStatus(const QList<RowResult> &results)
{
    for (const RowResult &r : results)
        if (r.outcome != Outcome::Moved && r.outcome != Outcome::Unchanged)
            return ExitApplyFailed;
    return ExitOk;
}

} // namespace ardel::cli
