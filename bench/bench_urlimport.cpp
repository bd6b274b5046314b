// Importing 10 000 URLs from a text file into an empty list, and adding them
// to a list that already holds 9 000 (the duplicate test against kept tasks);
// the same 10 000 as a sitemap.
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "engine/urlimport.h"

using namespace corvane;

namespace {

QString url(int i) {
    return QStringLiteral("https://www.example.com/catalog/section-%1/item-%2.html")
        .arg(i % 37)
        .arg(i);
}

QString write(QTemporaryDir &dir, const char *name, const QByteArray &bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QString urlLines(int count) {
    QString text;
    for (int i = 0; i < count; ++i) text += url(i) + QStringLiteral("\r\n");
    return text;
}

QString writeUrls(QTemporaryDir &dir, int count) {
    return write(dir, "urls.txt", urlLines(count).toUtf8());
}

template <class F> void importFile(benchmark::State &state, const QString &path, F Import) {
    TURLTaskInfoList list;
    for (auto _ : state) {
        const TImportOutcome o = Import(list, path, false);
        if (o.Added != 10000) state.SkipWithError("wrong count");
    }
    FreeObjects(&list);
}

TImportOutcome textFile(TURLTaskInfoList &l, const QString &p, bool k) {
    return ImportTextFile(l, p, k);
}

void BM_ImportTextFile10k(benchmark::State &state) {
    QTemporaryDir dir;
    importFile(state, writeUrls(dir, 10000), textFile);
}
BENCHMARK(BM_ImportTextFile10k)->Unit(benchmark::kMillisecond);

void BM_ImportTextFileUtf16_10k(benchmark::State &state) {
    QTemporaryDir dir;
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray bytes = utf16(urlLines(10000));
    importFile(state, write(dir, "urls16.txt", bytes), textFile);
}
BENCHMARK(BM_ImportTextFileUtf16_10k)->Unit(benchmark::kMillisecond);

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

void BM_ImportSitemap10k(benchmark::State &state) {
    QTemporaryDir dir;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    for (int i = 0; i < 10000; ++i)
        xml += "  <url>\n    <loc>" + url(i).toUtf8() +
               "</loc>\n    <lastmod>2024-05-01</lastmod>\n    <priority>0.5</priority>\n"
               "  </url>\n";
    xml += "</urlset>\n";
    importFile(
        state, write(dir, "sitemap.xml", xml),
        [](TURLTaskInfoList &l, const QString &p, bool k) { return ImportSitemap(l, p, k); });
}
BENCHMARK(BM_ImportSitemap10k)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
