// Importing 10 000 URLs from a text file into an empty list, and adding them
// to a list that already holds 9 000 (the duplicate test against kept tasks).
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "engine/urlimport.h"

using namespace corvane;

namespace {

QString writeUrls(QTemporaryDir &dir, int count) {
    const QString path = dir.filePath(QStringLiteral("urls.txt"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    for (int i = 0; i < count; ++i)
        f.write(QStringLiteral("https://www.example.com/catalog/section-%1/item-%2.html\r\n")
                    .arg(i % 37)
                    .arg(i)
                    .toUtf8());
    return path;
}

void BM_ImportTextFile10k(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = writeUrls(dir, 10000);
    TURLTaskInfoList list;
    for (auto _ : state) {
        const TImportOutcome o = ImportTextFile(list, path, false);
        if (o.Added != 10000) state.SkipWithError("wrong count");
    }
    FreeObjects(&list);
}
BENCHMARK(BM_ImportTextFile10k)->Unit(benchmark::kMillisecond);

void BM_ImportIntoKeptList(benchmark::State &state) {
    QTemporaryDir dir;
    const QString path = writeUrls(dir, 10000);
    TURLTaskInfoList list;
    for (auto _ : state) {
        state.PauseTiming();
        FreeObjects(&list);
        for (int i = 0; i < 9000; ++i)
            list.append(new TURLTaskInfo(QStringLiteral("https://kept.example/%1").arg(i), i + 1));
        state.ResumeTiming();
        ImportTextFile(list, path, true);
    }
    FreeObjects(&list);
}
BENCHMARK(BM_ImportIntoKeptList)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
