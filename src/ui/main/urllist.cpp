#include "ui/main/urllist.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <QApplication>
#include <QFont>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>

#include "core/format.h"
#include "core/i18n.h"

namespace corvane::ui {

namespace {

const char *const CaptionIds[ucCount] = {
    N_("№"),      N_("URL"),       N_("Код ответа"), N_("Уникальность, %"), N_("i"),
    N_("Группа"), N_("Шаблон, %"), N_("Слов"),       N_("Canonical")};
const int ColumnWidths[ucCount] = {45, 460, 85, 140, 24, 60, 80, 55, 220};
// The window's minimum size leaves room for the first five columns; the
// others scroll when the list is that narrow.
constexpr int MinimumWidthColumns = ucInfo + 1;
// The URL column gives up width down to this when it fills the list.
constexpr int MinFittedURLWidth = 120;

// The info column sorts nothing; its narrow header shows no arrow.
int IndicatorSection(int Column) {
    return Column == ucInfo ? -1 : Column;
}

// Ordinal comparison with a-z and A-Z alike.
int CompareLatinNoCase(const QString &A, const QString &B) {
    const qsizetype N = std::min(A.size(), B.size());
    const QChar *a = A.constData(), *b = B.constData();
    for (qsizetype i = 0; i < N; ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= u'a' && x <= u'z') x -= 32;
        if (y >= u'a' && y <= u'z') y -= 32;
        if (x != y) return x < y ? -1 : 1;
    }
    return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

double SortUniqueness(const TURLTaskInfo &T) {
    return T.TaskResults ? T.UniquenessValue() : 100.0;
}

QIcon InfoIcon() {
    static const QIcon Icon = [] {
        QIcon I = QIcon::fromTheme(QStringLiteral("dialog-information"));
        return I.isNull() ? QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation)
                          : I;
    }();
    return Icon;
}

// Draws the info cell as an icon; the cell's text "i" is for the report only.
class TInfoDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *P, const QStyleOptionViewItem &Option,
               const QModelIndex &Index) const override {
        if (Index.column() != ucInfo) {
            QStyledItemDelegate::paint(P, Option, Index);
            return;
        }
        QStyleOptionViewItem O = Option;
        initStyleOption(&O, Index);
        O.text.clear();
        O.icon = QIcon();
        O.features &= ~QStyleOptionViewItem::HasDecoration;
        const QWidget *W = Option.widget;
        (W ? W->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &O, P, W);
        P->drawPixmap(TURLListView::InfoIconPos(Option.rect), InfoIcon().pixmap(16, 16));
    }
};

// The analysis fields of a task, or their blanks.
std::int32_t GroupOf(const TURLTaskInfo &T) {
    return T.TaskResults ? T.TaskResults->Group : 0;
}

bool IsRepresentative(const TURLTaskInfo &T) {
    return GroupOf(T) > 0 && T.TaskResults->Representative == T.Num;
}

double TemplateShareOf(const TURLTaskInfo &T) {
    return T.TaskResults && T.TaskResults->TaskResult == trOk ? T.TaskResults->TemplateShare : -1;
}

std::int32_t WordsOf(const TURLTaskInfo &T) {
    return T.TaskResults && T.TaskResults->TaskResult == trOk ? T.TaskResults->Signals.WordCount
                                                              : -1;
}

QString CanonicalOf(const TURLTaskInfo &T) {
    return T.TaskResults ? T.TaskResults->Signals.Canonical : QString();
}

template <typename V> int Order3(V A, V B) {
    return A < B ? -1 : (B < A ? 1 : 0);
}

// The place of a row when sorted by group: its group (none last), then its
// role in it.
std::pair<std::int32_t, int> GroupKey(const TURLTaskInfo &T, bool Descending) {
    const std::int32_t G = GroupOf(T);
    if (G <= 0) return {INT_MAX, 0};
    return {Descending ? -G : G, IsRepresentative(T) ? 0 : 1};
}

QIcon UnhandledIcon() {
    static const QIcon Icon = [] {
        QIcon I = QIcon::fromTheme(QStringLiteral("dialog-warning"));
        return I.isNull() ? QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning) : I;
    }();
    return Icon;
}

} // namespace

QColor URLCellColor(const TURLTaskInfo &Task, int Column) {
    const TURLTaskResults *R = Task.TaskResults.get();
    if (!R) return {};
    if (R->TaskResult != trOk) return FailedRowColor;
    if (Column != ucUniqueness) return {};
    const double U = R->Uniqueness;
    if (U < 0 || U > 100) return {};
    if (U < 65) return LowUniquenessColor;
    if (U <= 85) return MediumUniquenessColor;
    return HighUniquenessColor;
}

int CompareURLRows(const TURLTaskInfo &A, const TURLTaskInfo &B, int Column) {
    switch (Column) {
    case ucNum:
        return A.Num < B.Num ? -1 : (A.Num > B.Num ? 1 : 0);
    case ucURL:
        return CompareLatinNoCase(A.URL, B.URL);
    case ucCode:
        return CompareLatinNoCase(A.TaskResults ? A.TaskResults->ErrorText() : QString(),
                                  B.TaskResults ? B.TaskResults->ErrorText() : QString());
    case ucUniqueness: {
        const double a = SortUniqueness(A), b = SortUniqueness(B);
        if (std::trunc(a) == std::trunc(b)) return 0;
        return a < b ? -1 : 1;
    }
    case ucGroup: {
        const auto a = GroupKey(A, false), b = GroupKey(B, false);
        return a != b ? Order3(a, b) : Order3(A.Num, B.Num);
    }
    case ucTemplate:
        return Order3(TemplateShareOf(A), TemplateShareOf(B));
    case ucWords:
        return Order3(WordsOf(A), WordsOf(B));
    case ucCanonical:
        return CompareLatinNoCase(CanonicalOf(A), CanonicalOf(B));
    default:
        return 0;
    }
}

void SortURLRows(QList<TURLTaskInfo *> &Rows, int Column, Qt::SortOrder Order) {
    if (Column < 0 || Column == ucInfo || Column >= ucCount) return; // every row compares equal
    if (Column == ucGroup) {
        // Groups together, each led by its representative, whatever the direction.
        const bool Descending = Order == Qt::DescendingOrder;
        std::stable_sort(Rows.begin(), Rows.end(),
                         [Descending](const TURLTaskInfo *a, const TURLTaskInfo *b) {
                             const auto x = GroupKey(*a, Descending), y = GroupKey(*b, Descending);
                             return x != y ? x < y : a->Num < b->Num;
                         });
        return;
    }
    // The response-code texts are built once, not at every comparison.
    if (Column == ucCode) {
        struct Keyed {
            QString Key;
            TURLTaskInfo *Task;
        };
        QList<Keyed> K;
        K.reserve(Rows.size());
        for (TURLTaskInfo *T : Rows)
            K.append({T->TaskResults ? T->TaskResults->ErrorText() : QString(), T});
        std::stable_sort(K.begin(), K.end(), [Order](const Keyed &a, const Keyed &b) {
            const int c = CompareLatinNoCase(a.Key, b.Key);
            return Order == Qt::AscendingOrder ? c < 0 : c > 0;
        });
        for (qsizetype i = 0; i < K.size(); ++i) Rows[i] = K[i].Task;
        return;
    }
    std::stable_sort(Rows.begin(), Rows.end(),
                     [Column, Order](const TURLTaskInfo *a, const TURLTaskInfo *b) {
                         const int c = CompareURLRows(*a, *b, Column);
                         return Order == Qt::AscendingOrder ? c < 0 : c > 0;
                     });
}

// ---- model ------------------------------------------------------------------

TURLListModel::TURLListModel(QObject *Parent) : QAbstractTableModel(Parent) {
    FFlushTimer.setSingleShot(true);
    FFlushTimer.setInterval(0);
    connect(&FFlushTimer, &QTimer::timeout, this, &TURLListModel::FlushChanges);
    // Rows that arrive while the list is sorted by a column are put in their
    // place a few times a second, not once per page.
    FResortTimer.setSingleShot(true);
    FResortTimer.setInterval(250);
    connect(&FResortTimer, &QTimer::timeout, this, [this] { SortBy(FSortColumn, FSortOrder); });
}

QString TURLListModel::Caption(int Column) {
    return Column >= 0 && Column < ucCount ? _(CaptionIds[Column]) : QString();
}

void TURLListModel::Retranslate() {
    emit headerDataChanged(Qt::Horizontal, 0, ucCount - 1);
}

void TURLListModel::SetTasks(const TURLTaskInfoList *List) {
    FList = List;
    Reload();
}

void TURLListModel::Reload() {
    beginResetModel();
    Rebuild();
    endResetModel();
}

void TURLListModel::BeginListChange(bool KeepShownOrder) {
    FShownOrder.clear();
    if (KeepShownOrder) {
        FShownOrder.reserve(FRows.size());
        for (int i = 0; i < FRows.size(); ++i)
            if (!FShownOrder.contains(FRows[i]->URL)) FShownOrder.insert(FRows[i]->URL, i);
    }
    beginResetModel();
    FRows.clear();
    FRowOf.clear();
}

void TURLListModel::EndListChange() {
    Rebuild();
    endResetModel();
}

void TURLListModel::Rebuild() {
    FRows.clear();
    if (FList) {
        FRows.reserve(FList->size());
        for (TURLTaskInfo *T : *FList)
            if (T) FRows.append(T);
    }
    if (!FShownOrder.isEmpty()) {
        // The rows shown before in that order, the new ones after them.
        QList<std::pair<int, TURLTaskInfo *>> Keyed;
        Keyed.reserve(FRows.size());
        for (TURLTaskInfo *T : FRows) Keyed.append({FShownOrder.value(T->URL, INT_MAX), T});
        std::stable_sort(Keyed.begin(), Keyed.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        for (qsizetype i = 0; i < Keyed.size(); ++i) FRows[i] = Keyed[i].second;
        FShownOrder.clear();
    }
    SortURLRows(FRows, FSortColumn, FSortOrder);
    IndexRows();
    FDirty.clear();
    FAllDirty = false;
}

void TURLListModel::IndexRows() {
    FRowOf.clear();
    FRowOf.reserve(FRows.size());
    for (int i = 0; i < FRows.size(); ++i) FRowOf.insert(FRows[i], i);
}

void TURLListModel::TasksAppended() {
    if (!FList || FList->size() <= FRows.size()) return;
    const int First = int(FRows.size());
    beginInsertRows({}, First, int(FList->size()) - 1);
    for (qsizetype i = First; i < FList->size(); ++i) {
        FRowOf.insert((*FList)[i], int(FRows.size()));
        FRows.append((*FList)[i]);
    }
    endInsertRows();
    const bool InPlace =
        FSortColumn < 0 || (FSortColumn == ucNum && FSortOrder == Qt::AscendingOrder);
    if (!InPlace && !FResortTimer.isActive()) FResortTimer.start();
}

void TURLListModel::TaskChanged(const TURLTaskInfo *Task) {
    const int Row = RowOf(Task);
    if (Row < 0) return;
    FDirty.insert(Row);
    FFlushTimer.start();
}

void TURLListModel::AllChanged() {
    FAllDirty = true;
    FFlushTimer.start();
}

void TURLListModel::FlushChanges() {
    FFlushTimer.stop();
    if (FRows.isEmpty()) {
        FDirty.clear();
        FAllDirty = false;
        return;
    }
    if (FAllDirty) {
        FAllDirty = false;
        FDirty.clear();
        emit dataChanged(index(0, 0), index(int(FRows.size()) - 1, ucCount - 1));
        return;
    }
    QList<int> Rows(FDirty.begin(), FDirty.end());
    FDirty.clear();
    std::sort(Rows.begin(), Rows.end());
    for (qsizetype i = 0; i < Rows.size();) {
        qsizetype j = i;
        while (j + 1 < Rows.size() && Rows[j + 1] == Rows[j] + 1) ++j;
        if (Rows[j] < FRows.size())
            emit dataChanged(index(Rows[i], 0), index(Rows[j], ucCount - 1));
        i = j + 1;
    }
}

void TURLListModel::SortBy(int Column, Qt::SortOrder Order) {
    FSortColumn = Column;
    FSortOrder = Order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList Old = persistentIndexList();
    QList<const TURLTaskInfo *> OldTasks;
    OldTasks.reserve(Old.size());
    for (const QModelIndex &I : Old) OldTasks.append(TaskAt(I.row()));
    SortURLRows(FRows, FSortColumn, FSortOrder);
    IndexRows();
    QModelIndexList New;
    New.reserve(Old.size());
    for (qsizetype i = 0; i < Old.size(); ++i) {
        const int Row = RowOf(OldTasks[i]);
        New.append(Row < 0 ? QModelIndex() : index(Row, Old[i].column()));
    }
    changePersistentIndexList(Old, New);
    // Rows marked for repainting moved with their tasks: repaint everything.
    if (!FDirty.isEmpty()) FAllDirty = true;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TURLListModel::rowCount(const QModelIndex &Parent) const {
    return Parent.isValid() ? 0 : int(FRows.size());
}

int TURLListModel::columnCount(const QModelIndex &Parent) const {
    return Parent.isValid() ? 0 : ucCount;
}

Qt::ItemFlags TURLListModel::flags(const QModelIndex &Index) const {
    return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant TURLListModel::data(const QModelIndex &Index, int Role) const {
    const TURLTaskInfo *T = TaskAt(Index.row());
    if (!T || Index.column() < 0 || Index.column() >= ucCount) return {};
    const int C = Index.column();
    switch (Role) {
    case Qt::DisplayRole:
        switch (C) {
        case ucNum:
            return QString::number(T->Num);
        case ucURL:
            return T->URL;
        case ucCode:
            return T->TaskResults ? T->TaskResults->ErrorText() : QString();
        case ucUniqueness:
            return T->UniquenessText();
        case ucGroup:
            return GroupOf(*T) > 0 ? QString::number(GroupOf(*T)) : QString();
        case ucTemplate:
            return TemplateShareOf(*T) >= 0 ? PercentText(TemplateShareOf(*T)) : QString();
        case ucWords:
            return WordsOf(*T) >= 0 ? QString::number(WordsOf(*T)) : QString();
        case ucCanonical:
            return CanonicalOf(*T);
        default:
            return QStringLiteral("i");
        }
    case Qt::TextAlignmentRole:
        switch (C) {
        case ucNum:
        case ucUniqueness:
        case ucTemplate:
        case ucWords:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case ucURL:
        case ucCanonical:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return int(Qt::AlignCenter);
        }
    case Qt::DecorationRole:
        // Duplicates with neither a canonical link to their representative
        // nor noindex.
        return C == ucGroup && GroupOf(*T) > 0 && !T->TaskResults->GroupHandled
                   ? QVariant(UnhandledIcon())
                   : QVariant();
    case Qt::FontRole:
        if (C == ucGroup && IsRepresentative(*T)) {
            QFont F;
            F.setBold(true);
            return F;
        }
        return {};
    case Qt::ToolTipRole:
        if (C == ucURL) return T->URL;
        if (C == ucCanonical && !CanonicalOf(*T).isEmpty()) return CanonicalOf(*T);
        if (C == ucGroup && GroupOf(*T) > 0) {
            QString Tip =
                IsRepresentative(*T)
                    ? _("Представитель группы: эту страницу стоит оставить")
                    : FormatText(_("Дубликат страницы № %d"), {T->TaskResults->Representative});
            if (!T->TaskResults->GroupHandled)
                Tip += QLatin1Char('\n') +
                       _("Группа не обработана: не у всех дубликатов есть ссылка canonical на "
                         "представителя или noindex");
            return Tip;
        }
        return {};
    case Qt::BackgroundRole: {
        const QColor Color = URLCellColor(*T, C);
        return Color.isValid() ? QVariant(Color) : QVariant();
    }
    case Qt::ForegroundRole:
        return URLCellColor(*T, C).isValid() ? QVariant(QColor(Qt::black)) : QVariant();
    default:
        return {};
    }
}

QVariant TURLListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal) return {};
    if (Role == Qt::DisplayRole) return Caption(Section);
    if (Role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

// ---- view -------------------------------------------------------------------

TURLListView::TURLListView(QWidget *Parent) : QTableView(Parent), FModel(new TURLListModel(this)) {
    setObjectName(QStringLiteral("vtURLs"));
    setModel(FModel);
    setItemDelegate(new TInfoDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    // Fixed row heights: the view never measures ten thousand rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);

    QHeaderView *H = horizontalHeader();
    H->setDefaultAlignment(Qt::AlignCenter);
    H->setStretchLastSection(false);
    H->setSectionsMovable(true);
    H->setSectionsClickable(true);
    H->setSortIndicatorShown(true);
    H->setSortIndicator(-1, Qt::DescendingOrder);
    H->setHighlightSections(false);
    H->setMinimumSectionSize(16);
    for (int C = 0; C < ucCount; ++C) setColumnWidth(C, ColumnWidths[C]);
    // Narrower than this the URL column would have to give up more than its floor.
    int Columns = MinFittedURLWidth;
    for (int C = 0; C < MinimumWidthColumns; ++C)
        if (C != ucURL) Columns += ColumnWidths[C];
    setMinimumWidth(Columns + 2 * frameWidth() +
                    style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
    H->setSectionResizeMode(ucInfo, QHeaderView::Fixed);
    connect(H, &QHeaderView::sectionClicked, this, &TURLListView::vtURLsMHeaderClick);
    H->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(H, &QHeaderView::customContextMenuRequested, this,
            [this](const QPoint &P) { ShowColumnsMenu(horizontalHeader()->mapToGlobal(P)); });
    connect(H, &QHeaderView::sectionResized, this, &TURLListView::SectionResized);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &I) {
        if (I.isValid()) emit RowDoubleClicked();
    });
}

void TURLListView::SectionResized(int Section, int, int NewSize) {
    int Min = 0, Max = 1 << 20;
    if (Section == ucURL)
        Min = 50;
    else if (Section == ucCode)
        Min = 50, Max = 1000;
    else if (Section == ucInfo)
        Min = Max = ColumnWidths[ucInfo];
    const int Size = std::clamp(NewSize, Min, Max);
    if (Size != NewSize) horizontalHeader()->resizeSection(Section, Size);
    // Another column took or gave width: the URL column follows.
    else if (Section != ucURL && !FFitting && isVisible())
        FitURLColumn();
}

void TURLListView::FitURLColumn() {
    if (FFitting) return;
    QHeaderView *H = horizontalHeader();
    int Others = 0;
    for (int C = 0; C < ucCount; ++C)
        if (C != ucURL && !H->isSectionHidden(C)) Others += H->sectionSize(C);
    FFitting = true;
    H->resizeSection(ucURL, std::max(MinFittedURLWidth, viewport()->width() - Others));
    FFitting = false;
}

QList<int> TURLListView::HiddenColumns() const {
    QList<int> Hidden;
    for (int C = 0; C < ucCount; ++C)
        if (isColumnHidden(C)) Hidden.append(C);
    return Hidden;
}

void TURLListView::SetHiddenColumns(const QList<int> &Columns) {
    int Shown = 0;
    for (int C = 0; C < ucCount; ++C) Shown += !Columns.contains(C);
    if (Shown == 0) return; // a list with no column at all is not a choice
    for (int C = 0; C < ucCount; ++C) setColumnHidden(C, Columns.contains(C));
    FitURLColumn();
}

void TURLListView::ShowColumnsMenu(const QPoint &GlobalPos) {
    QMenu Menu(this);
    Menu.setObjectName(QStringLiteral("pmColumns"));
    const QList<int> Hidden = HiddenColumns();
    for (int Logical = 0; Logical < ucCount; ++Logical) {
        QAction *A = Menu.addAction(TURLListModel::Caption(Logical));
        A->setCheckable(true);
        A->setChecked(!Hidden.contains(Logical));
        A->setEnabled(Hidden.contains(Logical) || Hidden.size() < ucCount - 1);
        connect(A, &QAction::toggled, this, [this, Logical](bool On) {
            QList<int> H = HiddenColumns();
            if (On)
                H.removeAll(Logical);
            else if (!H.contains(Logical))
                H.append(Logical);
            SetHiddenColumns(H);
            emit HiddenColumnsChanged();
        });
    }
    Menu.exec(GlobalPos);
}

void TURLListView::vtURLsMHeaderClick(int Column) {
    // A new column starts ascending; the same column again flips.
    Qt::SortOrder Order = Qt::AscendingOrder;
    if (Column == FModel->SortColumn() && FModel->SortOrder() == Qt::AscendingOrder)
        Order = Qt::DescendingOrder;
    vtURLsSortBy(Column, Order);
    // The header flips its arrow on its own after a click; ours wins.
    QMetaObject::invokeMethod(
        this,
        [this] {
            horizontalHeader()->setSortIndicator(IndicatorSection(FModel->SortColumn()),
                                                 FModel->SortOrder());
        },
        Qt::QueuedConnection);
}

void TURLListView::vtURLsSortBy(int Column, Qt::SortOrder Order) {
    FModel->SortBy(Column, Order);
    horizontalHeader()->setSortIndicator(IndicatorSection(Column), Order);
}

void TURLListView::BeginListChange(bool KeepShownOrder, bool KeepSelection) {
    FKeepSelection = KeepSelection;
    FKeptSelection.clear();
    FKeptCurrent.clear();
    if (KeepSelection) {
        for (const QModelIndex &I : selectionModel()->selectedRows())
            if (const TURLTaskInfo *T = FModel->TaskAt(I.row())) FKeptSelection << T->URL;
        if (const TURLTaskInfo *T = FocusedTask()) FKeptCurrent = T->URL;
        FKeptScroll = verticalScrollBar()->value();
    }
    FModel->BeginListChange(KeepShownOrder);
}

void TURLListView::EndListChange() {
    FModel->EndListChange();
    if (!FKeepSelection) return;
    FKeepSelection = false;
    const QSet<QString> Wanted(FKeptSelection.begin(), FKeptSelection.end());
    QItemSelection Selection;
    int Current = -1;
    for (int R = 0, Rows = FModel->rowCount(); R < Rows;) {
        const TURLTaskInfo *T = FModel->TaskAt(R);
        if (Current < 0 && !FKeptCurrent.isEmpty() && T->URL == FKeptCurrent) Current = R;
        if (!Wanted.contains(T->URL)) {
            ++R;
            continue;
        }
        int Last = R; // one range per run of selected rows
        while (Last + 1 < Rows && Wanted.contains(FModel->TaskAt(Last + 1)->URL)) {
            ++Last;
            if (Current < 0 && FModel->TaskAt(Last)->URL == FKeptCurrent) Current = Last;
        }
        Selection.select(FModel->index(R, 0), FModel->index(Last, ucCount - 1));
        R = Last + 1;
    }
    if (Current >= 0)
        selectionModel()->setCurrentIndex(FModel->index(Current, 0), QItemSelectionModel::NoUpdate);
    selectionModel()->select(Selection, QItemSelectionModel::ClearAndSelect);
    verticalScrollBar()->setValue(FKeptScroll);
    FKeptSelection.clear();
    FKeptCurrent.clear();
}

QList<std::int32_t> TURLListView::GetSelectedNums() const {
    QList<int> Rows;
    for (const QModelIndex &I : selectionModel()->selectedRows()) Rows.append(I.row());
    std::sort(Rows.begin(), Rows.end());
    QList<std::int32_t> Nums;
    Nums.reserve(Rows.size());
    for (int R : Rows)
        if (const TURLTaskInfo *T = FModel->TaskAt(R)) Nums.append(T->Num);
    return Nums;
}

TURLTaskInfo *TURLListView::FocusedTask() const {
    const QModelIndex I = currentIndex();
    return I.isValid() ? FModel->TaskAt(I.row()) : nullptr;
}

void TURLListView::SelectTask(const TURLTaskInfo *Task) {
    const int Row = Task ? FModel->RowOf(Task) : -1;
    if (Row < 0) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex I = FModel->index(Row, 0);
    selectionModel()->setCurrentIndex(I, QItemSelectionModel::ClearAndSelect |
                                             QItemSelectionModel::Rows);
    scrollTo(I);
}

QPoint TURLListView::InfoIconPos(const QRect &Cell) {
    return {Cell.left() + (Cell.width() - 16) / 2 - 3, Cell.top() + (Cell.height() - 16) / 2};
}

bool TURLListView::OverInfoColumn(const QPoint &ViewportPos) const {
    // Where the info column really is, also after the columns were dragged or scrolled.
    const int Left = horizontalHeader()->sectionViewportPosition(ucInfo);
    const int Width = horizontalHeader()->sectionSize(ucInfo);
    return ViewportPos.x() >= Left && ViewportPos.x() <= Left + Width;
}

bool TURLListView::viewportEvent(QEvent *E) {
    if (E->type() == QEvent::Resize) {
        const bool Result = QTableView::viewportEvent(E);
        FitURLColumn();
        return Result;
    }
    if (E->type() == QEvent::MouseMove || E->type() == QEvent::HoverMove) {
        const QPoint P = E->type() == QEvent::MouseMove
                             ? static_cast<QMouseEvent *>(E)->position().toPoint()
                             : static_cast<QHoverEvent *>(E)->position().toPoint();
        if (OverInfoColumn(P))
            viewport()->setCursor(Qt::PointingHandCursor);
        else
            viewport()->unsetCursor();
    }
    return QTableView::viewportEvent(E);
}

bool TURLListView::event(QEvent *E) {
    // Enter belongs to the list while the similarity command is available
    // (the menu's shortcut); otherwise it presses the window's default button.
    if (E->type() == QEvent::ShortcutOverride) {
        const auto *K = static_cast<QKeyEvent *>(E);
        if ((K->key() == Qt::Key_Return || K->key() == Qt::Key_Enter) &&
            (K->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && FEnterWanted &&
            FEnterWanted()) {
            E->accept();
            return true;
        }
    }
    return QTableView::event(E);
}

void TURLListView::mousePressEvent(QMouseEvent *E) {
    const QModelIndex I = indexAt(E->position().toPoint());
    FInfoPressed = QModelIndex();
    FInfoKeptSelection = false;
    if (E->button() == Qt::LeftButton && I.isValid() && I.column() == ucInfo) {
        FInfoPressed = I;
        // The menu works on the selection: the icon of a selected row keeps it.
        if (E->modifiers() == Qt::NoModifier && selectionModel()->isRowSelected(I.row(), {})) {
            FInfoKeptSelection = true;
            selectionModel()->setCurrentIndex(I, QItemSelectionModel::NoUpdate);
            E->accept();
            return;
        }
    }
    QTableView::mousePressEvent(E);
}

void TURLListView::mouseReleaseEvent(QMouseEvent *E) {
    const bool Info = E->button() == Qt::LeftButton && FInfoPressed.isValid() &&
                      indexAt(E->position().toPoint()) == FInfoPressed;
    const bool Kept = FInfoKeptSelection;
    FInfoPressed = QModelIndex();
    FInfoKeptSelection = false;
    if (Kept)
        E->accept();
    else
        QTableView::mouseReleaseEvent(E);
    if (Info) emit InfoClicked(E->globalPosition().toPoint());
}

void TURLListView::keyPressEvent(QKeyEvent *E) {
    if ((E->key() == Qt::Key_Return || E->key() == Qt::Key_Enter) &&
        (E->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && FEnterWanted &&
        FEnterWanted()) {
        emit EnterPressed();
        E->accept();
        return;
    }
    QTableView::keyPressEvent(E);
}

} // namespace corvane::ui
