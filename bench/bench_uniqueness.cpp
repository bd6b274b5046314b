// The end-of-check uniqueness step over a synthetic site (common/sitecorpus.h):
// 10 000 pages of about 1 000 shingle hashes, and the plain pairwise procedure
// at 1 000 pages for comparison. Each run reports the peak resident memory the
// step added (VmHWM before and after) as the counter "peak_MB".
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include "bench/benchcommon.h"
#include "common/sitecorpus.h"
#include "engine/uniqueness.h"

using namespace corvane;

namespace {

struct Corpus {
    explicit Corpus(int pages) {
        TSiteCorpusShape shape;
        shape.Pages = pages;
        MakeSiteCorpus(list, shape);
    }
    TOwnedTaskList list;
};

void BM_ComputeUniqueness(benchmark::State &state) {
    Corpus corpus(int(state.range(0)));
    long peak = 0;
    for (auto _ : state) {
        for (TURLTaskInfo *t : corpus.list) t->TaskResults->SimilArray.Clear();
        bench::ResetHwm();
        const long before = bench::VmHwmKb();
        ComputeUniqueness(corpus.list);
        peak = std::max(peak, bench::VmHwmKb() - before);
    }
    state.counters["peak_MB"] = double(peak) / 1024.0;
    double sum = 0;
    for (const TURLTaskInfo *t : corpus.list) sum += t->TaskResults->Uniqueness;
    state.counters["mean_uniqueness"] = sum / double(corpus.list.size());
    // Spot check against ShingleSimilarity: every 97th row in full.
    std::int64_t mismatches = 0;
    const std::int32_t n = std::int32_t(corpus.list.size());
    for (std::int32_t i = 0; i < n; i += 97) {
        const TURLTaskResults &r = *corpus.list[i]->TaskResults;
        const std::vector<TURLSimilRec> row = r.SimilArray.ToVector();
        double m = 0;
        for (std::int32_t j = 0; j < n; ++j) {
            if (j == i) continue;
            const double s =
                ShingleSimilarity(*r.HashTable, *corpus.list[j]->TaskResults->HashTable);
            m = std::max(m, s);
            mismatches += (row[j].Similarity != s);
        }
        mismatches += (r.Uniqueness != 100 - m);
    }
    state.counters["mismatches"] = double(mismatches);
}
BENCHMARK(BM_ComputeUniqueness)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_PairwiseProcedure(benchmark::State &state) {
    Corpus corpus(int(state.range(0)));
    std::vector<std::vector<TURLSimilRec>> arrays;
    long peak = 0;
    for (auto _ : state) {
        arrays.clear();
        arrays.shrink_to_fit();
        bench::ResetHwm();
        const long before = bench::VmHwmKb();
        ComputeUniquenessPairwise(corpus.list, arrays);
        peak = std::max(peak, bench::VmHwmKb() - before);
    }
    state.counters["peak_MB"] = double(peak) / 1024.0;
}
BENCHMARK(BM_PairwiseProcedure)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The pairwise procedure with one binary search per hash, as the similarity
// was first described (ShingleSimilarity itself merges the two sorted sets).
void BM_PairwiseBinarySearch(benchmark::State &state) {
    Corpus corpus(int(state.range(0)));
    const std::int32_t n = std::int32_t(corpus.list.size());
    double sink = 0;
    for (auto _ : state) {
        for (std::int32_t i = 0; i < n; ++i) {
            const TShingleHashTable &a = *corpus.list[i]->TaskResults->HashTable;
            double m = 0;
            for (std::int32_t j = 0; j < n; ++j) {
                if (j == i) continue;
                const TShingleHashTable &b = *corpus.list[j]->TaskResults->HashTable;
                std::int64_t common = 0;
                for (std::int32_t k = 0; k < a.Count(); ++k)
                    common += std::binary_search(b.List(), b.List() + b.Count(), a.List()[k],
                                                 std::greater<std::int64_t>());
                m = std::max(m, DiceFromCounts(common, a.Count(), b.Count()));
            }
            sink += m;
        }
    }
    benchmark::DoNotOptimize(sink);
}
BENCHMARK(BM_PairwiseBinarySearch)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
