// The result list: a model over the tasks in the order shown, and the view
// vtURLs with its header, colours, info column and sort rules.
#pragma once

#include <functional>

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QList>
#include <QSet>
#include <QTableView>
#include <QTimer>

#include "engine/typeslib.h"

namespace corvane::ui {

enum TURLColumn {
    ucNum = 0,
    ucURL = 1,
    ucCode = 2,
    ucUniqueness = 3,
    ucInfo = 4,
    // What the site analysis and the page itself add.
    ucGroup = 5,
    ucTemplate = 6,
    ucWords = 7,
    ucCanonical = 8,
    ucCount = 9
};

// Cell colours of the list.
inline const QColor FailedRowColor(245, 165, 165);
inline const QColor LowUniquenessColor(255, 78, 66);
inline const QColor MediumUniquenessColor(255, 164, 0);
inline const QColor HighUniquenessColor(12, 206, 107);

// The fill of a cell, or an invalid colour for none.
QColor URLCellColor(const TURLTaskInfo &Task, int Column);

// Order of two rows by a column, ascending: < 0 when A comes first, 0 when
// they are equal (column 4 and -1: always equal). By group: groups 1, 2, ...
// each with its representative first, then the pages in no group.
int CompareURLRows(const TURLTaskInfo &A, const TURLTaskInfo &B, int Column);

// Sorts stably by a column; descending reverses the comparison, so equal
// rows keep their order either way (by group, descending reverses the order
// of the groups only: a representative stays first in its group, the pages
// in no group last).
void SortURLRows(QList<TURLTaskInfo *> &Rows, int Column, Qt::SortOrder Order);

// The rows of the result list. It refers to the tasks of a task list and owns
// none of them. Keeps the sort column and direction and sorts again whenever
// rows come or go; result changes of single tasks are batched into one
// dataChanged per run of neighbouring rows.
class TURLListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TURLListModel(QObject *Parent = nullptr);

    // The rows become the tasks of List (in the current sort order).
    void SetTasks(const TURLTaskInfoList *List);
    // Everything again from the list given last: after an import or a delete.
    void Reload();
    // Around a change of the task list itself (tasks freed or added): the
    // rows refer to nothing in between; EndListChange shows the list again.
    // With KeepShownOrder the rows that stay keep the order they were shown
    // in where the sort column does not tell them apart (its values may just
    // have been cleared); new rows follow in task order.
    void BeginListChange(bool KeepShownOrder = true);
    void EndListChange();
    // Tasks were appended to the list (a crawl found them): their rows come
    // at the end, and the list is sorted again soon unless it is shown by
    // number, where they are in place already.
    void TasksAppended();
    // A task's results changed: its row is repainted soon.
    void TaskChanged(const TURLTaskInfo *Task);
    // Every row is repainted soon (results dropped or recomputed).
    void AllChanged();
    // Sends the pending repaint notifications now.
    void FlushChanges();

    // Sorts by Column (-1: none) in Order and keeps that as the list's sort.
    void SortBy(int Column, Qt::SortOrder Order);
    int SortColumn() const { return FSortColumn; }
    Qt::SortOrder SortOrder() const { return FSortOrder; }

    TURLTaskInfo *TaskAt(int Row) const {
        return Row >= 0 && Row < FRows.size() ? FRows[Row] : nullptr;
    }
    int RowOf(const TURLTaskInfo *Task) const { return FRowOf.value(Task, -1); }
    const QList<TURLTaskInfo *> &Rows() const { return FRows; }

    int rowCount(const QModelIndex &Parent = {}) const override;
    int columnCount(const QModelIndex &Parent = {}) const override;
    QVariant data(const QModelIndex &Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &Index) const override;
    void sort(int Column, Qt::SortOrder Order) override { SortBy(Column, Order); }

    // The column captions as the header shows them (translated).
    static QString Caption(int Column);
    // The caption ids, for the translation of the header.
    void Retranslate();

private:
    void Rebuild();
    void IndexRows();

    const TURLTaskInfoList *FList = nullptr;
    QList<TURLTaskInfo *> FRows;
    QHash<const TURLTaskInfo *, int> FRowOf;
    QHash<QString, int> FShownOrder; // URL -> row, between Begin- and EndListChange
    int FSortColumn = -1;
    Qt::SortOrder FSortOrder = Qt::DescendingOrder;
    QSet<int> FDirty;
    bool FAllDirty = false;
    QTimer FFlushTimer;
    QTimer FResortTimer;
};

// The view vtURLs: five columns, whole-row multi selection, grid lines,
// sort arrows, the info icon with its hand cursor, and the clicks.
class TURLListView : public QTableView {
    Q_OBJECT
public:
    explicit TURLListView(QWidget *Parent = nullptr);

    TURLListModel *ListModel() const { return FModel; }
    // Numbers of the selected rows, top to bottom as shown.
    QList<std::int32_t> GetSelectedNums() const;
    // The task of the row with the focus, or none.
    TURLTaskInfo *FocusedTask() const;
    // Selects (and focuses) the row of a task alone; none clears the selection.
    void SelectTask(const TURLTaskInfo *Task);
    // The top-left corner of the info icon in a cell rectangle.
    static QPoint InfoIconPos(const QRect &Cell);
    // Whether a point of the viewport lies over the info column.
    bool OverInfoColumn(const QPoint &ViewportPos) const;
    // Whether Enter belongs to the list now (else it goes on to the window's
    // default button).
    void SetEnterWanted(std::function<bool()> Wanted) { FEnterWanted = std::move(Wanted); }
    // A header click: a new column sorts ascending, the same column again
    // flips the direction; the info column sorts nothing and shows no arrow.
    void vtURLsMHeaderClick(int Column);
    // Sorts by a column in a direction, the header's arrow included.
    void vtURLsSortBy(int Column, Qt::SortOrder Order);
    // Around a change of the task list (see TURLListModel::BeginListChange);
    // with KeepSelection the selected rows and the focused row are selected
    // and focused again where their URLs are still listed.
    void BeginListChange(bool KeepShownOrder, bool KeepSelection);
    void EndListChange();
    // Gives the URL column the width that the other columns leave free.
    void FitURLColumn();
    // The columns hidden through the header's menu.
    QList<int> HiddenColumns() const;
    void SetHiddenColumns(const QList<int> &Columns);
    // The header's menu: a check box for each column (the last one shown
    // cannot be hidden).
    void ShowColumnsMenu(const QPoint &GlobalPos);

signals:
    // A click on an info cell, at this global position.
    void InfoClicked(const QPoint &GlobalPos);
    // A double click on a row.
    void RowDoubleClicked();
    // Enter in the list.
    void EnterPressed();
    // A column was shown or hidden through the header's menu.
    void HiddenColumnsChanged();

protected:
    bool event(QEvent *E) override;
    bool viewportEvent(QEvent *E) override;
    void keyPressEvent(QKeyEvent *E) override;
    void mousePressEvent(QMouseEvent *E) override;
    void mouseReleaseEvent(QMouseEvent *E) override;

private:
    void SectionResized(int Section, int OldSize, int NewSize);

    TURLListModel *FModel;
    std::function<bool()> FEnterWanted;
    QPersistentModelIndex FInfoPressed; // the info cell a left button went down on
    bool FInfoKeptSelection = false;    // ...over a selected row, whose selection stays
    QStringList FKeptSelection;         // URLs, between Begin- and EndListChange
    QString FKeptCurrent;
    int FKeptScroll = 0;
    bool FKeepSelection = false;
    bool FFitting = false;
};

} // namespace corvane::ui
