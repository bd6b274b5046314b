// Shingle building and set similarity.
//
// The prose is the licence texts that every Debian system ships, cut to 100 KB;
// CORVANE_PROSE names another UTF-8 file.
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <random>

#include <benchmark/benchmark.h>

#include "core/shingles.h"

using namespace corvane;

namespace {

QString loadProse() {
    QByteArray bytes;
    if (const char *path = std::getenv("CORVANE_PROSE")) {
        QFile f(QString::fromLocal8Bit(path));
        if (f.open(QIODevice::ReadOnly)) bytes = f.readAll();
    } else {
        QDir dir(QStringLiteral("/usr/share/common-licenses"));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly)) bytes += f.readAll();
            if (bytes.size() >= 100 * 1000) break;
        }
    }
    bytes.truncate(100 * 1000);
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(u'\n', QStringLiteral("\r\n"));
    NormalizeText(text);
    return text;
}

const QString &prose() {
    static const QString text = loadProse();
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
