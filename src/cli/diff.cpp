// corvane-cli diff: the rows of the two-text line diff without the window.
#include "cli/cli.h"
#include "core/shingles.h"
#include "ui/compare/textdiff_rows.h"

namespace corvane::cli {

namespace {

// Keeps one row on one line and its five fields apart.
QString field(const QString &text) {
    QString out = text;
    out.replace(u'\\', QStringLiteral("\\\\")).replace(u'\t', QStringLiteral("\\t"));
    return out;
}

QString lineNumber(int n) {
    return n > 0 ? QString::number(n) : QString();
}

int runDiff(const QStringList &argv) {
    Args args(argv);
    const bool normalize = args.flag(QStringLiteral("--normalize"));
    const QStringList files = args.positionals();
    if (files.size() != 2) throw UsageError{QStringLiteral("diff needs two files")};
    QString texts[2];
    for (int i = 0; i < 2; ++i) {
        texts[i] = readTextFile(files[i]);
        if (normalize) NormalizeText(texts[i]);
    }
    QString out;
    for (const TDiffObj &row : BuildDiffRows(texts[0], texts[1])) {
        out += ChangeKindSymbol(row.ChgKind) + u'\t' + lineNumber(row.LLineNum) + u'\t' +
               field(row.LText) + u'\t' + lineNumber(row.RLineNum) + u'\t' + field(row.RText) +
               u'\n';
        if (out.size() > 1 << 20) {
            printOut(out);
            out.clear();
        }
    }
    printOut(out);
    return ExitOk;
}

} // namespace

const Command DiffCommand = {
    "diff",
    R"(diff FILE1 FILE2 [--normalize]
    The rows that the two-URL diff window shows for two UTF-8 text files, one
    row a line, five tab-separated fields: the kind ("=" equal, "+" added,
    "-" deleted, "<>" changed), the line number in FILE1, its text, the line
    number in FILE2, its text; a side without a line has an empty number and
    text. Lines are split at CR LF, LF or CR and trimmed of blanks and control
    characters; lines that differ only in letter case, spaces or tabs count as
    equal. A tab inside a line is written as \t and a backslash as \\.
    --normalize first applies the text normalisation of page texts, as the
    window receives them.)",
    runDiff,
};

} // namespace corvane::cli
