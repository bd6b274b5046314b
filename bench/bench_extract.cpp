// Throughput of the local extraction path of a page: significant-text
// extraction (charset detection, decoding, tokenizing), normalisation and
// shingling, in bytes of HTML per second.
//
// The pages are every *.html file of a folder: the first argument left over
// after Google Benchmark's own options, else $CORVANE_BENCH_HTML, else the
// Node.js API documentation of Debian's nodejs-doc package.
//     corvane_bench_extract [--benchmark_...] [FOLDER]
#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include "core/htmltokenizer.h"
#include "core/htmltotext.h"
#include "core/shingles.h"

using namespace corvane;

namespace {

QString PageFolder = QStringLiteral("/usr/share/doc/nodejs/api");

const QList<QByteArray> &pages() {
    static const QList<QByteArray> list = [] {
        QList<QByteArray> out;
        const QDir dir(PageFolder);
        for (const QString &name : dir.entryList(
                 {QStringLiteral("*.html"), QStringLiteral("*.htm")}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly)) out << f.readAll();
        }
        return out;
    }();
    return list;
}

qint64 totalBytes() {
    qint64 n = 0;
    for (const QByteArray &p : pages()) n += p.size();
    return n;
}

bool havePages(benchmark::State &state) {
    if (!pages().isEmpty()) return true;
    state.SkipWithError(qPrintable(QStringLiteral("no *.html pages in %1").arg(PageFolder)));
    return false;
}

// What a worker does for the local algorithm: extract, normalise, shingle.
void BM_ExtractNormalizeShingle(benchmark::State &state) {
    if (!havePages(state)) return;
    for (auto _ : state) {
        for (const QByteArray &page : pages()) {
            TExtractResult r = ExtractSignificantText(page);
            NormalizeText(r.Text);
            auto set = BuildShingles(r.Text, u"", 6, true);
            benchmark::DoNotOptimize(set);
        }
    }
    state.SetBytesProcessed(state.iterations() * totalBytes());
    state.counters["pages"] = double(pages().size());
}
BENCHMARK(BM_ExtractNormalizeShingle)->Unit(benchmark::kMillisecond);

// Extraction alone.
void BM_ExtractSignificantText(benchmark::State &state) {
    if (!havePages(state)) return;
    for (auto _ : state)
        for (const QByteArray &page : pages())
            benchmark::DoNotOptimize(ExtractSignificantText(page));
    state.SetBytesProcessed(state.iterations() * totalBytes());
}
BENCHMARK(BM_ExtractSignificantText)->Unit(benchmark::kMillisecond);

// Charset detection and decoding alone.
void BM_DecodePage(benchmark::State &state) {
    if (!havePages(state)) return;
    for (auto _ : state)
        for (const QByteArray &page : pages())
            benchmark::DoNotOptimize(DecodePage(page, DetectCharset(page).Charset));
    state.SetBytesProcessed(state.iterations() * totalBytes());
}
BENCHMARK(BM_DecodePage)->Unit(benchmark::kMillisecond);

// Normalisation and shingling alone, over the extracted texts.
void BM_NormalizeShingle(benchmark::State &state) {
    if (!havePages(state)) return;
    QList<QString> texts;
    for (const QByteArray &page : pages()) texts << ExtractSignificantText(page).Text;
    for (auto _ : state) {
        for (const QString &t : texts) {
            QString text = t;
            NormalizeText(text);
            benchmark::DoNotOptimize(BuildShingles(text, u"", 6, true));
        }
    }
    state.SetBytesProcessed(state.iterations() * totalBytes());
}
BENCHMARK(BM_NormalizeShingle)->Unit(benchmark::kMillisecond);

// The tokenizer alone over the decoded pages, every tag reported.
void BM_Tokenize(benchmark::State &state) {
    if (!havePages(state)) return;
    QList<QString> decoded;
    for (const QByteArray &page : pages()) decoded << DecodePage(page, QStringLiteral("UTF8"));
    for (auto _ : state) {
        for (const QString &html : decoded) {
            THtmlTokenizer tok;
            tok.setInput(html);
            tok.setReportAllTags();
            qsizetype n = 0;
            while (tok.ParseNextPiece()) n += tok.pieceType() == ptText ? tok.text().size() : 1;
            benchmark::DoNotOptimize(n);
        }
    }
    state.SetBytesProcessed(state.iterations() * totalBytes());
}
BENCHMARK(BM_Tokenize)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (argc > 1)
        PageFolder = QString::fromLocal8Bit(argv[1]);
    else if (const char *env = std::getenv("CORVANE_BENCH_HTML"))
        PageFolder = QString::fromLocal8Bit(env);
    if (argc > 2) {
        std::fprintf(stderr, "usage: corvane_bench_extract [--benchmark_...] [FOLDER]\n");
        return 2;
    }
    std::fprintf(stderr, "pages: %lld files, %lld bytes from %s\n", qlonglong(pages().size()),
                 qlonglong(totalBytes()), qPrintable(PageFolder));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
