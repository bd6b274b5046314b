// What the analyses of a finished check add to its end: duplicate groups, the
// site's template and the uniqueness without it, over the 10 000-page
// synthetic site (common/sitecorpus.h) after ComputeUniqueness has run; and
// the shared passages of two 100 KB texts.
//
// Each site run reports the peak resident memory it added (VmHWM before and
// after) as "peak_MB", and the time of each analysis in ms.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include "bench/benchcommon.h"
#include "common/sitecorpus.h"
#include "core/shingles.h"
#include "core/shinglespans.h"
#include "engine/duplicates.h"
#include "engine/sitetemplate.h"
#include "engine/uniqueness.h"

using namespace corvane;

namespace {

// CPU time of this thread in ms: the parts are timed by it, so that other
// processes on the machine weigh less on the figures.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// The site as the end-of-check step leaves it.
struct Site {
    explicit Site(int pages) {
        TSiteCorpusShape shape;
        shape.Pages = pages;
        MakeSiteCorpus(list, shape);
        const double t = cpuMs();
        ComputeUniqueness(list);
        stepMs = cpuMs() - t;
    }
    ~Site() { FreeObjects(&list); }
    TURLTaskInfoList list;
    double stepMs = 0;
};

Site &site(int pages) {
    static Site s(pages);
    return s;
}

// Everything the end of a check would add: groups, template and the
// uniqueness without it.
void BM_SiteAnalysis(benchmark::State &state) {
    Site &s = site(10000);
    const int threshold = int(state.range(0));
    long peak = 0;
    double groupsMs = 0, templateMs = 0, freeMs = 0;
    std::size_t groups = 0, grouped = 0, templateHashes = 0, emptied = 0;
    for (auto _ : state) {
        bench::ResetHwm();
        const long before = bench::VmHwmKb();
        double t = cpuMs();
        const TDuplicateGroups g = FindDuplicateGroups(s.list, threshold);
        groupsMs = cpuMs() - t;
        t = cpuMs();
        const TSiteTemplate tpl = FindSiteTemplate(s.list, DefaultTemplatePercent);
        templateMs = cpuMs() - t;
        t = cpuMs();
        const TTemplateFreeUniqueness u = ComputeTemplateFreeUniqueness(s.list, tpl);
        freeMs = cpuMs() - t;
        peak = std::max(peak, bench::VmHwmKb() - before);
        groups = g.Groups.size();
        grouped = 0;
        for (const TDuplicateGroup &x : g.Groups) grouped += x.Members.size();
        templateHashes = tpl.Hashes.size();
        emptied = u.Emptied.size();
    }
    state.counters["peak_MB"] = double(peak) / 1024.0;
    state.counters["groups_ms"] = groupsMs;
    state.counters["template_ms"] = templateMs;
    state.counters["free_uniq_ms"] = freeMs;
    state.counters["end_step_ms"] = s.stepMs; // ComputeUniqueness itself, for scale
    state.counters["groups"] = double(groups);
    state.counters["grouped_pages"] = double(grouped);
    state.counters["template_hashes"] = double(templateHashes);
    state.counters["emptied"] = double(emptied);
}
BENCHMARK(BM_SiteAnalysis)->Arg(90)->Arg(80)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(3);

// Each part alone, and the end-of-check step itself for scale.
void BM_EndOfCheckStep(benchmark::State &state) {
    Site &s = site(10000);
    for (auto _ : state) ComputeUniqueness(s.list);
}
BENCHMARK(BM_EndOfCheckStep)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DuplicateGroups(benchmark::State &state) {
    Site &s = site(10000);
    for (auto _ : state) benchmark::DoNotOptimize(FindDuplicateGroups(s.list, int(state.range(0))));
}
BENCHMARK(BM_DuplicateGroups)->Arg(90)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SiteTemplate(benchmark::State &state) {
    Site &s = site(10000);
    for (auto _ : state) benchmark::DoNotOptimize(FindSiteTemplate(s.list, int(state.range(0))));
}
BENCHMARK(BM_SiteTemplate)->Arg(50)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_TemplateFreeUniqueness(benchmark::State &state) {
    Site &s = site(10000);
    const TSiteTemplate tpl = FindSiteTemplate(s.list);
    for (auto _ : state) benchmark::DoNotOptimize(ComputeTemplateFreeUniqueness(s.list, tpl));
}
BENCHMARK(BM_TemplateFreeUniqueness)->Unit(benchmark::kMillisecond)->Iterations(5);

// Every row of the matrix read for the pairs at or above the threshold: what
// reading only the rows of pages whose uniqueness allows such a pair saves.
void BM_PairsFromMatrixRows(benchmark::State &state) {
    Site &s = site(10000);
    const double threshold = double(state.range(0));
    std::int64_t pairs = 0;
    for (auto _ : state) {
        pairs = 0;
        for (const TURLTaskInfo *t : s.list) {
            const std::vector<TURLSimilRec> row = t->TaskResults->SimilArray.ToVector();
            for (const TURLSimilRec &r : row) pairs += r.Num != 0 && r.Similarity >= threshold;
        }
    }
    state.counters["pairs"] = double(pairs / 2);
}
BENCHMARK(BM_PairsFromMatrixRows)->Arg(90)->Unit(benchmark::kMillisecond)->Iterations(1);

// --- Shared passages --------------------------------------------------------

// The same text with its lines shuffled and every tenth line replaced.
QString reordered(const QString &text) {
    QStringList lines = text.split(QStringLiteral("\r\n"));
    std::mt19937 rng(5);
    std::shuffle(lines.begin(), lines.end(), rng);
    for (qsizetype i = 0; i < lines.size(); i += 10)
        lines[i] = QStringLiteral("a line of its own number %1 with words nobody else has").arg(i);
    return lines.join(QStringLiteral("\r\n"));
}

void BM_SharedPassages(benchmark::State &state) {
    static const QString a = bench::LoadProse();
    static const QString b = reordered(a);
    if (a.isEmpty()) {
        state.SkipWithError("no prose found: set CORVANE_PROSE");
        return;
    }
    const bool skip = state.range(0) != 0;
    std::size_t passages = 0;
    for (auto _ : state) {
        const TSharedPassages p = FindSharedPassages(a, b, {}, 6, skip);
        passages = p.First.size() + p.Second.size();
        benchmark::DoNotOptimize(passages);
    }
    state.counters["passages"] = double(passages);
    state.counters["kB_each"] = double(a.toUtf8().size()) / 1000.0;
    state.SetLabel(skip ? "stop words on" : "stop words off");
}
BENCHMARK(BM_SharedPassages)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_ShingleSpans(benchmark::State &state) {
    static const QString a = bench::LoadProse();
    for (auto _ : state) benchmark::DoNotOptimize(BuildShingleSpans(a, {}, 6, true).size());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * a.size() * 2);
}
BENCHMARK(BM_ShingleSpans)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
