// The two-URL content diff window: the texts of two checked pages side by
// side, line against line.
#pragma once

#include <vector>

#include <QAbstractTableModel>
#include <QDialog>
#include <QList>

#include "ui/common/rowsmodel.h"
#include "ui/compare/textdiff_rows.h"

class QLabel;
class QTabWidget;
class QTextEdit;
class QTreeView;

namespace corvane::ui {

// The rows of the current showing.
class TDiffRowsModel : public TRowsModel<std::vector<TDiffObj>> {
public:
    using TRowsModel::TRowsModel;

    void setURLs(const QString &url1, const QString &url2);

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString fURL1, fURL2;
};

// How the two texts were cut into shingles: what the shared passages are
// found with.
struct TShingleOptions {
    int Length = 6;
    bool SkipStopWords = true;
};

// Two views of two texts: line against line, and the passages they share
// (the words covered by shingles both texts hold, highlighted in each text,
// whatever their order).
class TfmDiffText : public QDialog {
public:
    explicit TfmDiffText(QWidget *parent = nullptr);

    // The window of this run, created on first use; parent is used only then.
    static TfmDiffText *instance(QWidget *parent = nullptr);
    // Shows the diff of text 1 against text 2 modally; returns when closed.
    static void Open(const QString &URL1, const QString &URL2, const QString &Text1,
                     const QString &Text2, double Similarity, QWidget *parent = nullptr,
                     const TShingleOptions &Shingles = {});

    // Everything Open does before showing the window.
    void prepare(const QString &URL1, const QString &URL2, const QString &Text1,
                 const QString &Text2, double Similarity, const TShingleOptions &Shingles = {});
    void retranslateUi();

    TDiffRowsModel *model() const { return fModel; }
    // The views: 0 lines, 1 shared passages.
    QTabWidget *views() const { return tcViews; }
    // The shared passages of each text: [Begin, End) character ranges.
    const QList<std::pair<qsizetype, qsizetype>> &sharedRanges(int Side) const {
        return fShared[Side];
    }
    QString sharedSummary() const;
    QTextEdit *sharedText(int Side) const { return edShared[Side]; }

protected:
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The kind and line-number columns as wide as their texts, the two text
    // columns halves of the rest.
    void fitColumns();
    void fitTextColumns();

    void showShared(const QString &Text1, const QString &Text2, const TShingleOptions &Shingles);

    double fSimilarity = 0;
    QTabWidget *tcViews;
    QTreeView *vtDiffText;
    TDiffRowsModel *fModel;
    QLabel *lbShared;
    QLabel *lbSharedURL[2];
    QTextEdit *edShared[2];
    QList<std::pair<qsizetype, qsizetype>> fShared[2];
    std::int32_t fSharedWords[2] = {0, 0};
    std::int32_t fWords[2] = {0, 0};
};

// What the compare command knows of one selected URL.
struct TDiffCandidate {
    QString URL;
    bool HasResult = false; // the URL has been checked
    int ErrorCode = 0;
    QString ExtractedText;
};

// The compare command of the URL list: checks the selection (exactly two
// URLs, each checked without error and with text; the first examined
// first), shows the message of the first failure, and otherwise opens the
// window with the first URL as URL 1. Similarity is what the first URL's
// results hold for the second. False when a check failed.
bool CompareTwoURLs(const QList<TDiffCandidate> &Selected, double Similarity,
                    QWidget *parent = nullptr, const TShingleOptions &Shingles = {});
// The checks alone, with their messages.
bool CheckDiffCandidates(const QList<TDiffCandidate> &Selected, QWidget *parent);

} // namespace corvane::ui
