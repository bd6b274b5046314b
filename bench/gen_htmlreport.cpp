// Writes the HTML report of a 10 000-page site of real prose as the end of a
// check leaves it (uniqueness, duplicate groups, template), and prints the
// time the writer took and the file's size. bench/html_report.sh then opens
// the file in Chromium.
//
//   corvane_gen_htmlreport OUT.html [PAGES]
#include <algorithm>
#include <cstdio>
#include <random>

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include "bench/benchcommon.h"
#include "core/shingles.h"
#include "core/shinglespans.h"
#include "engine/htmlreport.h"
#include "engine/siteanalysis.h"
#include "engine/uniqueness.h"

using namespace corvane;

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: corvane_gen_htmlreport OUT.html [PAGES]\n");
        return 2;
    }
    const int pages = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10000;
    // Words of real prose, put together at random: two pages share hardly a
    // shingle unless one is a near copy of the other.
    const QStringList prose =
        bench::LoadProse().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (prose.size() < 2000) {
        std::fprintf(stderr, "gen_htmlreport: not enough prose\n");
        return 1;
    }
    constexpr int shingle = 6;
    constexpr int ownWords = 350;
    std::mt19937 rng(20261210);
    auto word = [&] { return prose[qsizetype(rng() % std::uint32_t(prose.size()))]; };
    auto words = [&](int count) {
        QStringList out;
        for (int i = 0; i < count; ++i) out << word();
        return out;
    };
    const QString boiler = words(60).join(u' ');

    TOwnedTaskList list;
    QList<QStringList> own;
    for (int p = 0; p < pages; ++p) {
        // One page in ten is a near copy of an earlier page: one to five
        // words differ, so that some copies pass the duplicate threshold.
        QStringList text;
        if (p > 10 && rng() % 10 == 0) {
            text = own[qsizetype(rng() % std::uint32_t(own.size()))];
            for (int k = 1 + int(rng() % 5); k > 0; --k)
                text[qsizetype(rng() % std::uint32_t(text.size()))] = word();
        } else {
            text = words(ownWords);
        }
        own << text;
        auto *t = new TURLTaskInfo(
            QStringLiteral("https://shop.example/catalogue/section-%1/item-%2.html")
                .arg(p % 40)
                .arg(p + 1),
            p + 1);
        t->InitResults();
        TURLTaskResults &r = *t->TaskResults;
        if (p % 97 == 5) {
            r.TaskResult = trHTTPError;
            r.ErrorCode = 404;
        } else {
            QString page = boiler + u' ' + text.join(u' ');
            NormalizeText(page);
            r.TaskResult = trOk;
            r.HashTable = BuildShingles(page, {}, shingle, true);
            r.Signals.WordCount = CountShingleWords(page);
            if (p % 13 == 0)
                r.Signals.Canonical =
                    QStringLiteral("https://shop.example/catalogue/item-%1.html").arg(p + 1);
            r.ExtractedText = page;
        }
        list.append(t);
    }
    ComputeUniqueness(list);
    TSiteAnalysis analysis;
    analysis.Begin(list);
    TAnalysisSettings settings;
    settings.ShingleLength = shingle;
    analysis.Apply(list, settings);

    THtmlReport report;
    report.List = &list;
    QList<TURLTaskInfo *> rows(list.begin(), list.end());
    TRunController::SortByUniqueness(rows);
    report.Rows = QList<const TURLTaskInfo *>(rows.begin(), rows.end());
    report.Analysis = &analysis;
    report.Settings.ShingleLength = shingle;
    report.Date = QDateTime::currentDateTime();

    QElapsedTimer clock;
    clock.start();
    const QByteArray bytes = HtmlReportBytes(report);
    const qint64 ms = clock.elapsed();
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "gen_htmlreport: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("pages %d, groups %zu, report written in %lld ms, %.2f MB\n", pages,
                analysis.Groups().Groups.size(), static_cast<long long>(ms),
                double(bytes.size()) / 1e6);
    return 0;
}
