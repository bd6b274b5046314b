// The line diff of two 20 000-line texts, 5 % of whose lines differ: the
// TDiff run over the line keys alone, and the whole row building (split,
// trim, hash, diff, rows) that the diff window and corvane-cli diff do.
#include <random>

#include <benchmark/benchmark.h>

#include "ui/compare/Diff_ONP.h"
#include "ui/compare/textdiff_rows.h"

using namespace corvane;

namespace {

constexpr int Lines = 20000;

QString randomLine(std::mt19937 &rng) {
    static const char *const words[] = {"page", "text",   "site", "unique", "shingle", "river",
                                        "fox",  "market", "blue", "price",  "order",   "delivery",
                                        "city", "garden", "home", "quick",  "light",   "table"};
    QString line;
    const int n = 4 + int(rng() % 12);
    for (int w = 0; w < n; ++w) {
        if (w) line += u' ';
        line += QLatin1StringView(words[rng() % std::size(words)]);
    }
    line += QStringLiteral(" %1").arg(rng() % 100000);
    return line;
}

// Mode 0: changed lines replaced in place; mode 1: a third replaced, a third
// inserted, a third dropped.
struct Texts {
    QString text1, text2;
};

Texts makeTexts(int mode) {
    std::mt19937 rng(42);
    QStringList a;
    for (int i = 0; i < Lines; ++i) a << randomLine(rng);
    QStringList b = a;
    const int changes = Lines / 20;
    for (int c = 0; c < changes; ++c) {
        const qsizetype at = qsizetype(rng() % std::uint32_t(b.size()));
        const int kind = mode == 0 ? 0 : c % 3;
        if (kind == 0)
            b[at] = randomLine(rng);
        else if (kind == 1)
            b.insert(at, randomLine(rng));
        else
            b.removeAt(at);
    }
    return {a.join(QStringLiteral("\r\n")), b.join(QStringLiteral("\r\n"))};
}

void BM_DiffKeys(benchmark::State &state) {
    const Texts t = makeTexts(int(state.range(0)));
    const auto k1 = DiffLineKeys(SplitDiffLines(t.text1));
    const auto k2 = DiffLineKeys(SplitDiffLines(t.text2));
    TDiff diff;
    for (auto _ : state) {
        diff.Execute(k1.data(), k2.data(), int(k1.size()), int(k2.size()));
        benchmark::DoNotOptimize(diff.Count());
    }
    state.counters["modifies"] = diff.DiffStats().modifies;
    state.counters["adds"] = diff.DiffStats().adds;
    state.counters["deletes"] = diff.DiffStats().deletes;
}
BENCHMARK(BM_DiffKeys)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DiffRows(benchmark::State &state) {
    const Texts t = makeTexts(int(state.range(0)));
    for (auto _ : state) {
        auto rows = BuildDiffRows(t.text1, t.text2);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_DiffRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
