// Device table under a large refresh: 10,000 devices merged, re-merged in a
// second refresh, sorted by IP and exported. Each figure is the time of the
// whole operation on 10,000 rows; peak_rss_MB is the process's peak resident
// size so far (run one benchmark per process with --benchmark_filter to see
// each one's own peak).
#include "app/core/DeviceTable.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

using namespace ardel;

namespace {

constexpr int kDevices = 10000;
double g_startRssMb = 0; // the process before any table exists (Qt libraries)

double PeakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
}

// Replies of 10,000 distinct devices in the order a broadcast might bring
// them (not sorted), half of them with a TAVOW address.
const std::vector<DeviceRow> &Replies()
{
    static const std::vector<DeviceRow> replies = [] {
        std::vector<DeviceRow> rows;
        rows.reserve(kDevices);
        for (int i = 0; i < kDevices; ++i) {
            const QString ip = QStringLiteral("10.%1.%2.%3").arg(i % 3 == 0 ? 99 : 77).arg(128 + i / 250).arg(i % 250 + 1);
            const QString mac = QStringLiteral("0.18.52.%1.%2.%3").arg(i >> 16).arg((i >> 8) & 0xFF).arg(i & 0xFF);
            const bool tavo = i % 2 == 0;
            rows.push_back(DeviceRow{mac, QStringLiteral("1010"), i % 5 == 0 ? QStringLiteral("000MC") : QStringLiteral("000I*"),
                                     QStringLiteral("0"), QStringLiteral("Tulajdonos %1").arg(i % 97),
                                     QStringLiteral("Készülék %1").arg(i), ip, tavo ? QString::number(i % 250) : QString(),
                                     tavo ? QStringLiteral("10.77.0.254") : QString(),
                                     tavo ? QStringLiteral("255.255.0.0") : QString()});
        }
        std::shuffle(rows.begin(), rows.end(), std::mt19937(7));
        return rows;
    }();
    return replies;
}

void SetUp(TDeviceTableModel &model)
{
    model.SetSubnetTest([](const QString &ip) { return ip.startsWith(QLatin1String("10.77.")); });
}

void Fill(TDeviceTableModel &model)
{
    SetUp(model);
    for (const DeviceRow &row : Replies())
        model.MergeDeviceRow(row);
}

void Report(benchmark::State &state)
{
    state.SetItemsProcessed(state.iterations() * kDevices);
    state.counters["peak_rss_MB"] = PeakRssMb();
    state.counters["start_rss_MB"] = g_startRssMb;
}

// First refresh: every reply is a new device.
void BM_MergeDistinct(benchmark::State &state)
{
    Replies();
    for (auto _ : state) {
        auto model = std::make_unique<TDeviceTableModel>();
        SetUp(*model);
        for (const DeviceRow &row : Replies())
            model->MergeDeviceRow(row);
        benchmark::DoNotOptimize(model->RowCount());
        state.PauseTiming(); // tearing the table down is not part of a merge
        model.reset();
        state.ResumeTiming();
    }
    Report(state);
}
BENCHMARK(BM_MergeDistinct)->Unit(benchmark::kMillisecond);

// Every later refresh: mark all rows, every device answers again, drop.
void BM_RefreshAgain(benchmark::State &state)
{
    TDeviceTableModel model;
    Fill(model);
    for (auto _ : state) {
        model.MarkRowsEmpty();
        for (const DeviceRow &row : Replies())
            model.MergeDeviceRow(row);
        model.DropEmptyRows();
    }
    if (model.RowCount() != kDevices)
        state.SkipWithError("rows lost");
    Report(state);
}
BENCHMARK(BM_RefreshAgain)->Unit(benchmark::kMillisecond);

// A refresh in which every other device stays silent: the worst case of
// scattered removals.
void BM_RefreshHalfSilent(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto model = std::make_unique<TDeviceTableModel>();
        Fill(*model);
        state.ResumeTiming();
        model->MarkRowsEmpty();
        for (size_t i = 0; i < Replies().size(); i += 2)
            model->MergeDeviceRow(Replies()[i]);
        model->DropEmptyRows();
        if (model->RowCount() != kDevices / 2)
            state.SkipWithError("wrong rows dropped");
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    Report(state);
}
BENCHMARK(BM_RefreshHalfSilent)->Unit(benchmark::kMillisecond);

void BM_SortByIp(benchmark::State &state)
{
    TDeviceTableModel model;
    Fill(model);
    for (auto _ : state) {
        state.PauseTiming();
        model.sort(ColDeviceName, Qt::AscendingOrder); // out of IP order again
        state.ResumeTiming();
        model.sort(ColIp, Qt::AscendingOrder);
    }
    Report(state);
}
BENCHMARK(BM_SortByIp)->Unit(benchmark::kMillisecond);

void BM_SortByOwner(benchmark::State &state)
{
    TDeviceTableModel model;
    Fill(model);
    for (auto _ : state) {
        state.PauseTiming();
        model.sort(ColIp, Qt::AscendingOrder);
        state.ResumeTiming();
        model.sort(ColOwner, Qt::AscendingOrder);
    }
    Report(state);
}
BENCHMARK(BM_SortByOwner)->Unit(benchmark::kMillisecond);

// 10,000 lookups by IP and MAC, right after a sort (the index is rebuilt).
void BM_FindAfterSort(benchmark::State &state)
{
    TDeviceTableModel model;
    Fill(model);
    for (auto _ : state) {
        model.Resort();
        int found = 0;
        for (const DeviceRow &row : Replies())
            found += model.FindDeviceRow(row.at(6), row.at(0)) >= 0;
        if (found != kDevices)
            state.SkipWithError("device not found");
    }
    Report(state);
}
BENCHMARK(BM_FindAfterSort)->Unit(benchmark::kMillisecond);

void BM_Export(benchmark::State &state)
{
    TDeviceTableModel model;
    Fill(model);
    model.Resort();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray out = model.ExportBytes();
        bytes = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.counters["file_KB"] = static_cast<double>(bytes) / 1024.0;
    Report(state);
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    g_startRssMb = PeakRssMb();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
