#include "ui/compare/textdiff_rows.h"

#include "core/crc.h"

namespace corvane {

namespace {

QString trimmedLine(QStringView line) {
    qsizetype begin = 0, end = line.size();
    while (begin < end && line[begin].unicode() <= 0x20) ++begin;
    while (end > begin && line[end - 1].unicode() <= 0x20) --end;
    return line.sliced(begin, end - begin).toString();
}

} // namespace

QStringList SplitDiffLines(const QString &Text) {
    QStringList lines;
    const qsizetype n = Text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = Text[i];
        if (c != u'\r' && c != u'\n') continue;
        lines << trimmedLine(QStringView(Text).sliced(start, i - start));
        if (c == u'\r' && i + 1 < n && Text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < n) lines << trimmedLine(QStringView(Text).sliced(start));
    return lines;
}

std::vector<std::int32_t> DiffLineKeys(const QStringList &Lines) {
    std::vector<std::int32_t> keys;
    keys.reserve(std::size_t(Lines.size()));
    for (const QString &line : Lines) keys.push_back(std::int32_t(LineHash(line, true, true)));
    return keys;
}

std::vector<TDiffObj> BuildDiffRows(const QString &Text1, const QString &Text2,
                                    std::function<void()> Checkpoint) {
    const QStringList lines1 = SplitDiffLines(Text1), lines2 = SplitDiffLines(Text2);
    const std::vector<std::int32_t> keys1 = DiffLineKeys(lines1), keys2 = DiffLineKeys(lines2);
    TDiff diff;
    diff.SetCheckpoint(std::move(Checkpoint));
    std::vector<TDiffObj> rows;
    if (!diff.Execute(keys1.data(), keys2.data(), std::int32_t(keys1.size()),
                      std::int32_t(keys2.size())))
        return rows;
    rows.reserve(std::size_t(diff.Count()));
    for (const TCompareRec &rec : diff.Records()) {
        TDiffObj row;
        row.ChgKind = rec.Kind;
        if (rec.Kind != ckAdd) {
            row.LLineNum = rec.oldIndex1 + 1;
            row.LText = lines1[rec.oldIndex1];
        }
        if (rec.Kind != ckDelete) {
            row.RLineNum = rec.oldIndex2 + 1;
            row.RText = lines2[rec.oldIndex2];
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

QString ChangeKindSymbol(TChangeKind Kind) {
    switch (Kind) {
    case ckAdd:
        return QStringLiteral("+");
    case ckDelete:
        return QStringLiteral("-");
    case ckModify:
        return QStringLiteral("<>");
    default:
        return QStringLiteral("=");
    }
}

} // namespace corvane
