// The similarity-to-others window: every other checked URL with the
// similarity of its text to the source's, from the last batch run.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QLabel>
#include <QList>

#include "core/compacttext.h"
#include "ui/common/rowsmodel.h"

class QPushButton;
class QTableView;

namespace corvane::ui {

// One entry of the source's similarity array, with the task it names as the
// caller found it in the task list.
struct TSimilEntry {
    int Num = 0;
    double Similarity = 0;
    bool Found = false;     // a task with this number exists
    bool CheckedOk = false; // that task has results and its check succeeded
    QString URL;
    TCompactText ExtractedText;
    bool SameGroup = false; // in the source page's duplicate group
};

struct TSimilRow {
    int Num = 0;
    QString URL;
    double Similarity = 0;
    int Entry = 0; // position in the similarity array
    bool SameGroup = false;
};

class TSimilRowsModel : public TRowsModel<QList<TSimilRow>> {
public:
    using TRowsModel::TRowsModel;

    // Sorts by a column (-1: rows compare equal); equal rows keep their order.
    void sortRows(int column, bool ascending);

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
};

// A one-line label that never widens its window: a text too long for it is
// cut in the middle, and the tooltip holds all of it.
class TElidedLabel : public QLabel {
public:
    explicit TElidedLabel(QWidget *parent = nullptr);
    void setFullText(const QString &text);
    QString fullText() const { return fFullText; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();
    QString fFullText;
};

// The row order of the list: <0, 0 or >0.
int CompareSimilRows(const TSimilRow &a, const TSimilRow &b, int column);

class TfmSimil2Other : public QDialog {
public:
    explicit TfmSimil2Other(QWidget *parent = nullptr);

    static TfmSimil2Other *instance(QWidget *parent = nullptr);
    // Lists SimilArray for the source and shows the window modally.
    static void Open(const QString &SourceURL, const QString &SourceText,
                     const QList<TSimilEntry> &SimilArray, QWidget *parent = nullptr);
    // Everything Open does before showing the window.
    void prepare(const QString &SourceURL, const QString &SourceText,
                 const QList<TSimilEntry> &SimilArray);
    void retranslateUi();

    // The list as the copy button puts it on the clipboard.
    QString clipboardText() const;
    void SBCopyClick();
    // Double-click or Enter: the diff of the source and the focused row.
    void vtSimilOpenDiff();
    // A header click: that column, the stored direction reversed.
    void vtSimilHeaderClick(int column);

    // The stored sort direction, shared by every opening.
    static bool sortAscending();
    TSimilRowsModel *model() const { return fModel; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void sortAndKeepCurrent(int column, bool ascending);
    // The number and similarity columns as wide as their texts, the URL
    // column the rest.
    void fitColumns();
    void fitURLColumn();

    QString fSourceURL, fSourceText;
    QList<TSimilEntry> fEntries;
    int fSortColumn = -1;
    QLabel *lbSourceCaption;
    TElidedLabel *LCpmpareUrl;
    QPushButton *SBCopy;
    QTableView *vtSimil;
    TSimilRowsModel *fModel;
};

} // namespace corvane::ui
