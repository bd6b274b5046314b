// corvane-cli shared: the passages two texts have in common.
#include "cli.h"
#include "core/i18n.h"
#include "core/shingles.h"
#include "core/shinglespans.h"

namespace corvane::cli {

namespace {

int runShared(const QStringList &argv) {
    Args args(argv);
    const int n = args.intValue(QStringLiteral("--shingle-length"), 6, 3, 10);
    const bool skipStopWords = args.onOff(QStringLiteral("--stop-words"), true);
    const QStringList files = args.positionals();
    if (files.size() != 2) throw UsageError{QStringLiteral("shared needs two files")};

    QString texts[2];
    if (!readTwoTexts(files, texts)) return ExitUsage;
    const TSharedPassages shared = FindSharedPassages(texts[0], texts[1], {}, n, skipStopWords);
    QString out;
    const std::vector<TPassage> *sides[2] = {&shared.First, &shared.Second};
    for (int side = 0; side < 2; ++side)
        for (const TPassage &p : *sides[side]) {
            QString text = p.Text;
            text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
            out += QStringLiteral("%1\t%2\t%3\t%4\n")
                       .arg(side + 1)
                       .arg(p.FirstWord)
                       .arg(p.WordCount)
                       .arg(text);
        }
    printOut(out);
    return ExitOk;
}

} // namespace

const Command SharedCommand = {
    "shared",
    R"(shared FILE1 FILE2 [--shingle-length N] [--stop-words on|off]
    The passages two UTF-8 text files have in common, wherever they stand in
    either file. The texts are read and normalised as by compare and cut
    into shingles of N words (3 to 10, default 6), stop words passed over
    unless --stop-words off; the words of a text covered by shingles that the
    other text also holds, from a shingle's first word to its last, are
    merged into passages.
    Prints one line per passage, first those of FILE1, then those of FILE2,
    each in text order, with four tab-separated fields: the file (1 or 2),
    the index of the passage's first word, its word count, and its text
    (line breaks written as spaces). Words are counted from 0 over every
    word of the normalised text, stop words included.
    Exit status 2 when a text has nothing to compare after normalisation,
    when a file cannot be read, or for bad arguments.)",
    runShared,
};

} // namespace corvane::cli
