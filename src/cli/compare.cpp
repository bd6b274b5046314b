// corvane-cli compare: the free-text comparison without the window.
#include <cstdio>

#include <QJsonDocument>
#include <QJsonObject>

#include "cli/cli.h"
#include "core/i18n.h"
#include "core/shingles.h"

namespace corvane::cli {

namespace {

int runCompare(const QStringList &argv) {
    Args args(argv);
    const int n = args.intValue(QStringLiteral("--shingle-length"), 6, 3, 10);
    const bool skipStopWords = args.onOff(QStringLiteral("--stop-words"), true);
    const bool json = args.flag(QStringLiteral("--json"));
    const QStringList files = args.positionals();
    if (files.size() != 2) throw UsageError{QStringLiteral("compare needs two files")};

    QString texts[2];
    if (!readTwoTexts(files, texts)) return ExitUsage;
    const auto set1 = BuildShingles(texts[0], {}, n, skipStopWords);
    const auto set2 = BuildShingles(texts[1], {}, n, skipStopWords);
    const double similarity = ShingleSimilarity(*set1, *set2);
    if (json) {
        QJsonObject o;
        o[QStringLiteral("similarity")] = similarity;
        o[QStringLiteral("shingles1")] = set1->Count();
        o[QStringLiteral("shingles2")] = set2->Count();
        printOut(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + u'\n');
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f\n", similarity);
        printOut(QString::fromLatin1(buf));
    }
    return ExitOk;
}

} // namespace

const Command CompareCommand = {
    "compare",
    R"(compare FILE1 FILE2 [--shingle-length N] [--stop-words on|off] [--json]
    Similarity of two UTF-8 text files, computed as the free-text comparison
    window computes it: line breaks written as CR LF, the text normalised, cut
    into shingles of N words (3 to 10, default 6), stop words passed over
    unless --stop-words off, and the two shingle sets compared (Dice
    coefficient, percent). A UTF-8 byte-order mark is skipped.
    Prints the similarity with two decimals (e.g. 57.14); with --json one
    object {"similarity": <full precision>, "shingles1": <count>,
    "shingles2": <count>}.
    Exit status 2 when a text has nothing to compare after normalisation,
    when a file cannot be read, or for bad arguments.)",
    runCompare,
};

} // namespace corvane::cli
