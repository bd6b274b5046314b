// Shingle building and set similarity.
//
// The prose is the licence texts that every Debian system ships, cut to 100 KB;
// CORVANE_PROSE names another UTF-8 file.
#include <cstdlib>
#include <random>

#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include "bench/benchcommon.h"
#include "core/shingles.h"

using namespace corvane;

namespace {

const QString &prose() {
    static const QString text = bench::LoadProse();
    return text;
}

void BM_BuildShingles(benchmark::State &state) {
    const QString &text = prose();
    if (text.isEmpty()) {
        state.SkipWithError("no prose found: set CORVANE_PROSE");
        return;
    }
    const bool skip = state.range(0) != 0;
    for (auto _ : state) {
        auto table = BuildShingles(text, {}, 6, skip);
        benchmark::DoNotOptimize(table->Count());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * text.size() * 2);
    state.SetLabel(skip ? "stop words on, UTF-16 bytes" : "stop words off, UTF-16 bytes");
}
BENCHMARK(BM_BuildShingles)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_ShingleSimilarity(benchmark::State &state) {
    std::mt19937_64 rng(1);
    TShingleHashTable a, b;
    for (int i = 0; i < 1000; ++i) {
        const auto shared = std::int64_t(rng());
        a.Add(shared);
        b.Add(i % 2 ? shared : std::int64_t(rng()));
    }
    a.SetSortType(Int64SortDownNoDup);
    b.SetSortType(Int64SortDownNoDup);
    for (auto _ : state) benchmark::DoNotOptimize(ShingleSimilarity(a, b));
    state.SetLabel("two sets of 1000 hashes");
}
BENCHMARK(BM_ShingleSimilarity)->Unit(benchmark::kNanosecond);

} // namespace

BENCHMARK_MAIN();
