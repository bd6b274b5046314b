// corvane-cli extract: the local significant-text extraction of a page.
#include <QFile>

#include "cli.h"
#include "core/htmltotext.h"
#include "core/shingles.h"

namespace corvane::cli {

namespace {

QByteArray readPage(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw UsageError{QStringLiteral("cannot read %1: %2").arg(path, f.errorString())};
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw UsageError{QStringLiteral("cannot read %1: %2").arg(path, f.errorString())};
    return bytes;
}

int runExtract(const QStringList &argv) {
    Args args(argv);
    const bool raw = args.flag(QStringLiteral("--raw"));
    const QStringList files = args.positionals();
    if (files.size() != 1) throw UsageError{QStringLiteral("extract needs one file")};
    TExtractResult result = ExtractSignificantText(readPage(files.front()));
    if (!raw) NormalizeText(result.Text);
    printOut(result.Text);
    return ExitOk;
}

} // namespace

const Command ExtractCommand = {
    "extract",
    R"(extract [--raw] FILE
    The significant text of the page FILE (its bytes as a download delivers
    them), as the local extraction algorithm finds it: headings, and the lines
    of paragraphs, list items and pre-formatted blocks that hold at least five
    words. The charset comes from the page's <meta http-equiv> element (UTF-8
    when there is none). Prints the text that a check would store for the page,
    i.e. normalised; with --raw, the text before normalisation. Output is
    UTF-8, lines separated by CR LF, with no line break added at the end.
    Exit status 2 when the file cannot be read or for bad arguments.)",
    runExtract,
};

} // namespace corvane::cli
