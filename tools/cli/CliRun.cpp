#include "tools/cli/CliRun.h"

#include "tools/cli/CliOutput.h"
#include "tools/cli/CliPlan.h"
#include "tools/cli/CliProgress.h"
#include "tools/cli/CliSession.h"
#include "tavo/TavoWire.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <unistd.h>

namespace ardel::cli {

namespace {

QList<QStringList> tableRows(const TCliSession &session)
{
    QList<QStringList> rows;
    const TDeviceTableModel &t = session.Table();
    for (int r = 0; r < t.RowCount(); ++r)
        rows.append(t.RowCells(r));
    return rows;
}

int scan(TCliSession &session, const Options &o, QTextStream &out)
{
    session.Refresh();
    QList<QStringList> rows = tableRows(session);
    if (o.tavo) {
        // The pass keeps only the devices that answer it (the window shows
        // just those); the list keeps the refresh's other devices beside them.
        const QList<QStringList> plain = rows;
        session.TavoPass();
        rows = tableRows(session);
        QSet<QString> macs;
        for (const QStringList &r : std::as_const(rows))
            macs.insert(r.value(ColMac));
        for (const QStringList &r : plain)
            if (!macs.contains(r.value(ColMac)))
                rows.append(r);
    }
    out << QString::fromUtf8(FormatDevices(
        rows, [&](const QString &ip) { return session.IsInOwnSubnet(ip); }, o.format));
    return ExitOk;
}

int setIp(TCliSession &session, const Options &o, QTextStream &out, QTextStream &err)
{
    session.Refresh();
    const TDeviceTableModel &t = session.Table();
    const int holder = session.RowOfIp(o.newIp);
    if (holder >= 0 && t.Cell(holder, ColMac) == o.mac) {
        out << o.mac << "  " << o.newIp << "  unchanged\n";
        return ExitOk;
    }
    if (holder >= 0 && !o.force) {
        err << "ardel-cli: " << o.newIp << " is in use by the device " << t.Cell(holder, ColMac) << " (--force sends anyway)\n";
        return ExitCollision;
    }
    const int row = session.RowOfMac(o.mac);
    const QString oldIp = row >= 0 ? t.Cell(row, ColIp) : QString();
    if (row < 0)
        err << "ardel-cli: no device with MAC " << o.mac << " answered the refresh; the command goes out anyway\n";
    switch (session.SetIp(o.mac, o.newIp, o.password, true)) {
    case TCliSession::SetIpResult::Moved:
        out << o.mac << "  " << (oldIp.isEmpty() ? QStringLiteral("?") : oldIp) << " -> " << o.newIp << "  moved\n";
        return ExitOk;
    case TCliSession::SetIpResult::NotMoved:
        err << "ardel-cli: the device accepted the command but does not answer at " << o.newIp << '\n';
        return ExitNotTaken;
    case TCliSession::SetIpResult::PasswordRequired:
        err << "ardel-cli: the device asks for its password (--password)\n";
        return ExitPassword;
    case TCliSession::SetIpResult::WrongPassword:
        err << "ardel-cli: the device refused the password\n";
        return ExitPassword;
    case TCliSession::SetIpResult::NoAnswer:
        break;
    }
    err << "ardel-cli: no answer from the device " << o.mac << '\n';
    return ExitNoAnswer;
}

int tavoResult(TCliSession::TavoResult result, const Options &o, QTextStream &out, QTextStream &err)
{
    switch (result) {
    case TCliSession::TavoResult::Done:
        out << o.ip << "  done\n";
        return ExitOk;
    case TCliSession::TavoResult::WrongPassword:
        err << "ardel-cli: the password does not match the device's\n";
        return ExitPassword;
    case TCliSession::TavoResult::NoAnswer:
        err << "ardel-cli: no answer from the device " << o.ip << '\n';
        return ExitNoAnswer;
    case TCliSession::TavoResult::NotTavo:
        break;
    }
    err << "ardel-cli: no TAVO device answered at " << o.ip << '\n';
    return ExitNotFound;
}

int writeMac(TCliSession &session, const Options &o, QTextStream &out, QTextStream &err)
{
    const QString mac = [&] {
        QStringList parts;
        for (char b : o.newMac)
            parts.append(QString::number(quint8(b)));
        return parts.join(QLatin1Char('.'));
    }();
    switch (session.WriteMac(o.ip, o.newMac)) {
    case TCliSession::MacResult::NoAnswer:
        err << "ardel-cli: no answer from " << o.ip << " on TCP port " << wire::kTcpPort << '\n';
        return ExitNoAnswer;
    case TCliSession::MacResult::WriteFailed:
        err << "ardel-cli: the device refused the EEPROM write\n";
        return ExitNotTaken;
    case TCliSession::MacResult::Written:
        break;
    }
    if (session.Table().FindDeviceRow(o.ip, mac) < 0) {
        err << "ardel-cli: the write was confirmed, but the device does not answer with " << mac << '\n';
        return ExitNotTaken;
    }
    out << o.ip << "  " << mac << "  written\n";
    return ExitOk;
}

int apply(TCliSession &session, const Options &o, QTextStream &out, QTextStream &err, TProgress &progress)
{
    QFile f(o.planFile);
    if (!f.open(QIODevice::ReadOnly)) {
        err << "ardel-cli: cannot read " << o.planFile << ": " << f.errorString() << '\n';
        return ExitLocal;
    }
    const QByteArray text = f.readAll();
    session.Refresh();
    QList<PlannedDevice> found;
    const TDeviceTableModel &t = session.Table();
    for (int r = 0; r < t.RowCount(); ++r)
        found.append({t.Cell(r, ColMac), t.Cell(r, ColIp)});
    const Plan plan = ReadPlan(text, found);
    if (!plan.problems.isEmpty()) {
        for (const QString &p : plan.problems)
            err << o.planFile << ": " << p << '\n';
        err << "ardel-cli: the plan is not valid; nothing was sent\n";
        return ExitPlanInvalid;
    }
    if (o.check) {
        out << PlanPreview(plan);
        return ExitOk;
    }
    QList<RowResult> results;
    const qsizetype n = plan.rows.size();
    for (qsizetype i = 0; i < n; ++i) {
        const PlanRow &row = plan.rows.at(i);
        progress.Show(QStringLiteral("plan row %1 of %2: %3").arg(i + 1).arg(n).arg(row.mac));
        RowResult result{row, Outcome::Unchanged};
        if (!row.unchanged()) {
            switch (session.SetIp(row.mac, row.newIp, row.password, false)) {
            case TCliSession::SetIpResult::Moved:
            case TCliSession::SetIpResult::NotMoved:
                result.outcome = Outcome::Moved; // verified below
                break;
            case TCliSession::SetIpResult::PasswordRequired:
            case TCliSession::SetIpResult::WrongPassword:
                result.outcome = Outcome::Refused;
                break;
            case TCliSession::SetIpResult::NoAnswer:
                result.outcome = Outcome::NoAnswer;
                break;
            }
        }
        results.append(result);
    }
    progress.Show(QStringLiteral("verifying"));
    session.Refresh();
    for (RowResult &r : results)
        if (r.outcome == Outcome::Moved && session.Table().FindDeviceRow(r.row.newIp, r.row.mac) < 0)
            r.outcome = Outcome::NotFound;
    progress.Clear();
    out << ResultLines(results);
    if (!o.reportFile.isEmpty()) {
        QSaveFile report(o.reportFile);
        if (!report.open(QIODevice::WriteOnly) || report.write(ReportCsv(results)) < 0 || !report.commit()) {
            err << "ardel-cli: cannot write " << o.reportFile << ": " << report.errorString() << '\n';
            return ExitLocal;
        }
    }
    return ApplyExitStatus(results);
}

} // namespace

int RunCommand(const Options &o, QTextStream &out, QTextStream &err)
{
    TProgress progress(stderr, isatty(STDERR_FILENO) == 1);
    TCliSession::Options so;
    so.Addresses = o.addresses;
    so.LogFile = o.noLog ? QString() : o.logFile;
    if (o.verbose)
        so.OnMessage = [&](const QString &line) {
            progress.Clear();
            err << line << '\n';
            err.flush();
        };
    TCliSession *sessionPtr = nullptr;
    so.OnPhase = [&](const QString &phase) {
        progress.Show(phase + QStringLiteral(" - devices: ") + QString::number(sessionPtr ? sessionPtr->Table().RowCount() : 0));
    };
    TCliSession session(so);
    sessionPtr = &session;

    QStringList problems;
    if (!session.Open(&problems)) {
        progress.Clear();
        for (const QString &p : std::as_const(problems))
            err << "ardel-cli: " << p << '\n';
        err << "ardel-cli: no network endpoint could be opened\n";
        return ExitLocal;
    }
    int status = ExitOk;
    switch (o.command) {
    case Command::Scan:
        status = scan(session, o, out);
        break;
    case Command::SetIp:
        status = setIp(session, o, out, err);
        break;
    case Command::Settings:
        session.Refresh();
        session.TavoPass();
        status = tavoResult(session.SaveSettings(o.ip, o.password, TSettingsChanges{o.setIp, o.setGateway, o.setMask, o.setMac}),
                            o, out, err);
        break;
    case Command::Restart:
        session.Refresh();
        session.TavoPass();
        status = tavoResult(session.Restart(o.ip, o.password), o, out, err);
        break;
    case Command::WriteMac:
        status = writeMac(session, o, out, err);
        break;
    case Command::Apply:
        status = apply(session, o, out, err, progress);
        break;
    }
    progress.Clear();
    return status;
}

} // namespace ardel::cli
