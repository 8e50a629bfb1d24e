// Cost of the TAVO/TAVOW packet codec per packet, beside a plain copy of the
// same bytes: a 14-byte command (the largest this program sends over UDP) and
// the largest data that fits in each variant.
#include "tavo/TAVOProtocol.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

using namespace ardel;

namespace {

QByteArray RandomData(int size)
{
    std::mt19937 rng(1234);
    QByteArray data(size, Qt::Uninitialized);
    for (char &c : data)
        c = char(rng() & 0xFF);
    return data;
}

TTAVOProtocol &Codec(bool tavow)
{
    static TTAVOProtocol codec;
    codec.TAVOMode = tavow ? TTAVOMode::PMTAVOWOnly : TTAVOMode::PMTAVOOnly;
    codec.Cimzett = 255;
    codec.Felado = 250;
    codec.CsomagSorszam = 1;
    return codec;
}

void BM_Encode(benchmark::State &state, bool tavow)
{
    const QByteArray data = RandomData(int(state.range(0)));
    TTAVOProtocol &codec = Codec(tavow);
    QByteArray packet;
    for (auto _ : state) {
        codec.Encode(data, packet);
        benchmark::DoNotOptimize(packet.constData());
    }
    state.SetBytesProcessed(state.iterations() * data.size());
    state.counters["packet_bytes"] = double(packet.size());
}

void BM_Decode(benchmark::State &state, bool tavow)
{
    const QByteArray data = RandomData(int(state.range(0)));
    TTAVOProtocol &codec = Codec(tavow);
    const QByteArray packet = codec.Encode(data);
    QByteArray out;
    for (auto _ : state) {
        out.clear();
        codec.Decode(packet, out);
        benchmark::DoNotOptimize(out.constData());
    }
    if (codec.DecodeError() != 0 || out != data)
        state.SkipWithError("decode did not return the data");
    state.SetBytesProcessed(state.iterations() * data.size());
}

void BM_Memcpy(benchmark::State &state)
{
    const QByteArray data = RandomData(int(state.range(0)));
    QByteArray copy(data.size(), Qt::Uninitialized);
    for (auto _ : state) {
        std::memcpy(copy.data(), data.constData(), size_t(data.size()));
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}

} // namespace

BENCHMARK_CAPTURE(BM_Encode, TAVOW, true)->Arg(14)->Arg(879);
BENCHMARK_CAPTURE(BM_Decode, TAVOW, true)->Arg(14)->Arg(879);
BENCHMARK_CAPTURE(BM_Encode, TAVO, false)->Arg(14)->Arg(886);
BENCHMARK_CAPTURE(BM_Decode, TAVO, false)->Arg(14)->Arg(886);
BENCHMARK(BM_Memcpy)->Arg(14)->Arg(879)->Arg(886);

BENCHMARK_MAIN();
