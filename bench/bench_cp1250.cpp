// Code page 1250 conversion: the table codec (net/Cp1250) against ICU's
// windows-1250 converter kept open, as the program used it before, on a
// message line with accented letters and on datagrams of any bytes or of
// ASCII only.
#include "net/Cp1250.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <benchmark/benchmark.h>

using namespace ardel;

namespace {

QString Line()
{
    return QStringLiteral("14:03:07: ASYRE adatok: Kovács és Társa Kft, Győr, Árvíztűrő tükörfúrógép #1234 – ütemező");
}

// Every byte value (ascii false), or what devices mostly send (ascii true).
QByteArray Datagram(int size, bool ascii)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = ascii ? char(' ' + i % 95) : char(i * 7);
    return data;
}

void BM_EncodeTable(benchmark::State &state)
{
    const QString text = Line();
    QByteArray out;
    for (auto _ : state) {
        ToCp1250(text, out);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetItemsProcessed(state.iterations() * text.size());
}

void BM_EncodeIcu(benchmark::State &state)
{
    const QString text = Line();
    QStringEncoder enc("windows-1250", QStringConverter::Flag::Stateless);
    if (!enc.isValid()) {
        state.SkipWithError("Qt built without ICU");
        return;
    }
    for (auto _ : state) {
        QByteArray out = enc.encode(text);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetItemsProcessed(state.iterations() * text.size());
}

void BM_DecodeTable(benchmark::State &state)
{
    const QByteArray data = Datagram(int(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        QString out = FromCp1250(data);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}

void BM_DecodeIcu(benchmark::State &state)
{
    const QByteArray data = Datagram(int(state.range(0)), state.range(1) != 0);
    QStringDecoder dec("windows-1250", QStringConverter::Flag::Stateless);
    if (!dec.isValid()) {
        state.SkipWithError("Qt built without ICU");
        return;
    }
    for (auto _ : state) {
        QString out = dec.decode(data);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}

} // namespace

BENCHMARK(BM_EncodeTable);
BENCHMARK(BM_EncodeIcu);
BENCHMARK(BM_DecodeTable)->ArgsProduct({{64, 1400}, {0, 1}})->ArgNames({"bytes", "ascii"});
BENCHMARK(BM_DecodeIcu)->ArgsProduct({{64, 1400}, {0, 1}})->ArgNames({"bytes", "ascii"});

BENCHMARK_MAIN();
