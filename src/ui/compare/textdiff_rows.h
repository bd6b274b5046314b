// The rows of the two-text line diff: lines split and trimmed, keyed by their
// case- and blank-insensitive hash, aligned by TDiff. Shared by the diff
// window and corvane-cli diff.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QString>
#include <QStringList>

#include "ui/compare/Diff_ONP.h"

namespace corvane {

// One displayed row; a line number is 1-based, 0 when the side has no line.
struct TDiffObj {
    int LLineNum = 0;
    int RLineNum = 0;
    QString LText;
    QString RText;
    TChangeKind ChgKind = ckNone;
};

// CR LF, a lone LF and a lone CR each end a line; a break at the very end
// starts no extra line. Every line is trimmed of characters up to U+0020.
QStringList SplitDiffLines(const QString &Text);

// LineHash of each line, lower-cased and without spaces and tabs.
std::vector<std::int32_t> DiffLineKeys(const QStringList &Lines);

// The aligned rows of text 1 against text 2; empty when the diff was
// cancelled. Checkpoint, when given, is called now and then during the diff.
std::vector<TDiffObj> BuildDiffRows(const QString &Text1, const QString &Text2,
                                    std::function<void()> Checkpoint = {});

// "+", "-", "<>" or "=".
QString ChangeKindSymbol(TChangeKind Kind);

} // namespace corvane
