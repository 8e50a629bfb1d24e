// Log writer throughput: TNaplo::WriteLog against spdlog's basic_file_sink that
// flushes every line, on the same 100-byte entries, files in /tmp.
//
//   bench_log [lines]        (default 200000)
#include "log/Naplo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef ARDEL_HAVE_SPDLOG
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> MakeEntries(int count)
{
    // Looks like what WriteMessage hands over: a time prefix and a device line.
    std::vector<std::string> entries;
    entries.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        std::string e = "14:03:07:123 A 10.77.128." + std::to_string(i % 250) + " 0.80.194.12.34." + std::to_string(i % 256)
                        + " 1010 OK Kelvara device #" + std::to_string(i) + " ";
        e.resize(100, 'x');
        entries.push_back(std::move(e));
    }
    return entries;
}

// perTurn 0: one append per line. Otherwise as the program writes: lines
// held for the turn of the event loop, a turn every perTurn lines (a TAVOW
// request writes five); only the posted flush is delivered between turns,
// as the program's loop turns anyway.
double RunNaplo(const QString &path, const std::vector<QString> &entries, qint32 limit, int perTurn = 0)
{
    QFile::remove(path);
    ardel::TNaplo naplo;
    naplo.SetLogFile(path);
    naplo.SetLogging(true);
    naplo.SetLogLimit(limit);
    naplo.SetHoldLinesForTurn(perTurn > 0);
    const auto start = Clock::now();
    int n = 0;
    for (const QString &e : entries) {
        naplo.WriteLog(e, false);
        if (perTurn > 0 && ++n % perTurn == 0)
            QCoreApplication::sendPostedEvents();
    }
    naplo.Flush();
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    return double(entries.size()) / s;
}

#ifdef ARDEL_HAVE_SPDLOG
template <typename Sink> double RunSpdlog(const std::string &path, const std::vector<std::string> &entries)
{
    std::remove(path.c_str());
    auto sink = std::make_shared<Sink>(path, true);
    spdlog::logger logger("bench", sink);
    logger.set_pattern("%y.%m.%d %H:%M:%S.%e  %v");
    logger.flush_on(spdlog::level::trace);
    const auto start = Clock::now();
    for (const std::string &e : entries)
        logger.info(e);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    return double(entries.size()) / s;
}
#endif

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 200000;
    // "naplo" as second argument: only the writer (for profiling).
    const bool onlyNaplo = argc > 2 && std::string(argv[2]) == "naplo";
    const QString dir = QStringLiteral("/tmp/ardel-bench-log-%1").arg(QCoreApplication::applicationPid());
    QDir().mkpath(dir);
    const QString naploPath = dir + QStringLiteral("/Ardel.log");
    const std::string spdPath = (dir + QStringLiteral("/spdlog.log")).toStdString();

    const std::vector<std::string> raw = MakeEntries(lines);
    std::vector<QString> entries;
    entries.reserve(raw.size());
    for (const std::string &e : raw)
        entries.push_back(QString::fromStdString(e));

    // Alternate the runs and keep each one's best, so that both see the same
    // machine load.
    double naplo = 0, naploCut = 0, naploHeld = 0, spdMt = 0, spdSt = 0;
    for (int round = 0; round < 3; ++round) {
        naplo = std::max(naplo, RunNaplo(naploPath, entries, INT_MAX));
        naploCut = std::max(naploCut, RunNaplo(naploPath, entries, 10000000));
        naploHeld = std::max(naploHeld, RunNaplo(naploPath, entries, INT_MAX, 5));
        if (onlyNaplo)
            continue;
#ifdef ARDEL_HAVE_SPDLOG
        spdMt = std::max(spdMt, RunSpdlog<spdlog::sinks::basic_file_sink_mt>(spdPath, raw));
        spdSt = std::max(spdSt, RunSpdlog<spdlog::sinks::basic_file_sink_st>(spdPath, raw));
#endif
    }
    std::printf("entries: %d lines of 100 bytes, files in %s, best of 3 rounds\n", lines, qPrintable(dir));
    std::printf("TNaplo::WriteLog (no cut)                 %12.0f lines/s\n", naplo);
    std::printf("TNaplo::WriteLog (limit 10000000, cuts)   %12.0f lines/s\n", naploCut);
    std::printf("TNaplo::WriteLog (held, a turn per 5)     %12.0f lines/s\n", naploHeld);
#ifdef ARDEL_HAVE_SPDLOG
    if (onlyNaplo) {
        QDir(dir).removeRecursively();
        return 0;
    }
    std::printf("spdlog basic_file_sink_mt, flush_on trace %12.0f lines/s\n", spdMt);
    std::printf("spdlog basic_file_sink_st, flush_on trace %12.0f lines/s\n", spdSt);
    std::printf("ratio TNaplo / spdlog_mt: %.2f   TNaplo / spdlog_st: %.2f\n", naplo / spdMt, naplo / spdSt);
#else
    std::printf("spdlog not found at build time: no comparison\n");
#endif
    QDir(dir).removeRecursively();
    return 0;
}
