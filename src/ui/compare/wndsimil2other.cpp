#include "ui/compare/wndsimil2other.h"

#include <algorithm>
#include <cmath>

#include <QClipboard>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "core/format.h"
#include "core/i18n.h"
#include "ui/common/columns.h"
#include "ui/common/singlewindow.h"
#include "ui/compare/textdiff.h"

namespace corvane::ui {

namespace {

TfmSimil2Other *Instance = nullptr;
constexpr int MinURLColumnWidth = 100;
// Reversed by every header click; ascending when the program starts.
bool SortAscending = true;

enum Column { colNum, colURL, colSimil, ColumnCount };

const char *const Captions[ColumnCount] = {N_("№"), "URL", N_("Сходство, %")};

QString caption(int column) {
    return column == colURL ? QString::fromLatin1(Captions[colURL]) : _(Captions[column]);
}

char16_t latinLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

} // namespace

int CompareSimilRows(const TSimilRow &a, const TSimilRow &b, int column) {
    switch (column) {
    case colNum:
        return a.Num < b.Num ? -1 : a.Num > b.Num;
    case colURL: {
        const qsizetype n = std::min(a.URL.size(), b.URL.size());
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t x = latinLower(a.URL[i].unicode()), y = latinLower(b.URL[i].unicode());
            if (x != y) return x < y ? -1 : 1;
        }
        return a.URL.size() < b.URL.size() ? -1 : a.URL.size() > b.URL.size();
    }
    case colSimil: {
        // Whole percents only: 45.10 and 45.90 are equal here.
        const double x = std::trunc(a.Similarity), y = std::trunc(b.Similarity);
        return x < y ? -1 : x > y;
    }
    }
    return 0;
}

void TSimilRowsModel::sortRows(int column, bool ascending) {
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QList<int> oldRows;
    for (const QModelIndex &i : before) oldRows << fRows[i.row()].Entry;
    std::stable_sort(fRows.begin(), fRows.end(), [&](const TSimilRow &a, const TSimilRow &b) {
        const int c = CompareSimilRows(a, b, column);
        return ascending ? c < 0 : c > 0;
    });
    QModelIndexList after;
    for (qsizetype k = 0; k < before.size(); ++k) {
        const auto it = std::find_if(fRows.begin(), fRows.end(),
                                     [&](const TSimilRow &r) { return r.Entry == oldRows[k]; });
        after << index(int(it - fRows.begin()), before[k].column());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

int TSimilRowsModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TSimilRowsModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= fRows.size()) return {};
    const TSimilRow &row = fRows[index.row()];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case colNum:
            return QString::number(row.Num);
        case colURL:
            return row.URL;
        case colSimil:
            return PercentText(row.Similarity);
        }
    } else if (role == Qt::TextAlignmentRole) {
        return int((index.column() == colURL ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    } else if (row.SameGroup && role == Qt::FontRole) {
        // The pages of the source page's duplicate group stand out.
        QFont font;
        font.setBold(true);
        return font;
    } else if (row.SameGroup && role == Qt::ToolTipRole) {
        return _("В одной группе дубликатов с этой страницей");
    }
    return {};
}

QVariant TSimilRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    if (role == Qt::DisplayRole) return caption(section);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

TElidedLabel::TElidedLabel(QWidget *parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void TElidedLabel::setFullText(const QString &text) {
    fFullText = text;
    setToolTip(text);
    elide();
}

QSize TElidedLabel::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")),
            QLabel::minimumSizeHint().height()};
}

void TElidedLabel::resizeEvent(QResizeEvent *event) {
    QLabel::resizeEvent(event);
    elide();
}

void TElidedLabel::elide() {
    // Both ends of an address tell pages apart: the middle goes.
    setText(fontMetrics().elidedText(fFullText, Qt::ElideMiddle, contentsRect().width()));
}

TfmSimil2Other::TfmSimil2Other(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmSimil2Other"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    auto *bar = new QWidget(this);
    bar->setFixedHeight(36);
    lbSourceCaption = new QLabel(bar);
    LCpmpareUrl = new TElidedLabel(bar);
    LCpmpareUrl->setObjectName(QStringLiteral("LCpmpareUrl"));
    QFont bold = LCpmpareUrl->font();
    bold.setBold(true);
    LCpmpareUrl->setFont(bold);
    SBCopy = new QPushButton(bar);
    SBCopy->setObjectName(QStringLiteral("SBCopy"));
    SBCopy->setFixedSize(203, 30);
    SBCopy->setAutoDefault(false);
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 0, 0, 0);
    barLayout->setSpacing(6);
    barLayout->addWidget(lbSourceCaption, 0, Qt::AlignVCenter);
    barLayout->addWidget(LCpmpareUrl, 1, Qt::AlignVCenter);
    barLayout->addWidget(SBCopy, 0, Qt::AlignVCenter);

    fModel = new TSimilRowsModel(this);
    vtSimil = new QTableView(this);
    vtSimil->setObjectName(QStringLiteral("vtSimil"));
    vtSimil->setModel(fModel);
    vtSimil->setShowGrid(true);
    vtSimil->setSelectionBehavior(QAbstractItemView::SelectRows);
    vtSimil->setSelectionMode(QAbstractItemView::SingleSelection);
    vtSimil->setEditTriggers(QAbstractItemView::NoEditTriggers);
    vtSimil->setSortingEnabled(false);
    vtSimil->verticalHeader()->hide();
    // Rows as compact as the main list's.
    vtSimil->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    vtSimil->verticalHeader()->setDefaultSectionSize(vtSimil->fontMetrics().height() + 6);
    QHeaderView *header = vtSimil->horizontalHeader();
    // Captions keep their font (and so their measured width) whatever is selected.
    header->setHighlightSections(false);
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->resizeSection(colURL, 660);
    header->resizeSection(colSimil, 120);
    vtSimil->installEventFilter(this);
    // The URL column takes what the number columns leave, whatever the width.
    vtSimil->viewport()->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(vtSimil, 1);

    connect(SBCopy, &QPushButton::clicked, this, [this] { SBCopyClick(); });
    connect(vtSimil, &QAbstractItemView::doubleClicked, this, [this] { vtSimilOpenDiff(); });
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { vtSimilHeaderClick(column); });
    resize(862, 345);
    retranslateUi();
}

TfmSimil2Other *TfmSimil2Other::instance(QWidget *parent) {
    return SingleWindow(Instance, parent);
}

bool TfmSimil2Other::sortAscending() {
    return SortAscending;
}

void TfmSimil2Other::Open(const QString &SourceURL, const QString &SourceText,
                          const QList<TSimilEntry> &SimilArray, QWidget *parent) {
    TfmSimil2Other *fm = instance(parent);
    fm->prepare(SourceURL, SourceText, SimilArray);
    fm->exec();
}

void TfmSimil2Other::retranslateUi() {
    setWindowTitle(_("Сходство с содержимым других URL"));
    lbSourceCaption->setText(_("Исходный URL:"));
    SBCopy->setText(_("Копировать в буфер обмена"));
    emit fModel->headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    // The captions have another width in another language.
    fitColumns();
}

void TfmSimil2Other::prepare(const QString &SourceURL, const QString &SourceText,
                             const QList<TSimilEntry> &SimilArray) {
    retranslateUi();
    LCpmpareUrl->setFullText(SourceURL);
    fSourceURL = SourceURL;
    fSourceText = SourceText;
    fEntries = SimilArray;
    QList<TSimilRow> rows;
    int best = -1;
    double bestValue = 0;
    for (int i = 0; i < SimilArray.size(); ++i) {
        const TSimilEntry &e = SimilArray[i];
        if (e.Num <= 0 || !e.Found || !e.CheckedOk) continue;
        rows.append({e.Num, e.URL, e.Similarity, i, e.SameGroup});
        // The first of several equal maxima; none when all are 0.
        if (e.Similarity > bestValue) {
            bestValue = e.Similarity;
            best = i;
        }
    }
    fModel->setRows(rows);
    vtSimil->clearSelection();
    vtSimil->setCurrentIndex({});
    fSortColumn = colSimil;
    fModel->sortRows(colSimil, false);
    vtSimil->horizontalHeader()->setSortIndicator(colSimil, Qt::DescendingOrder);
    fitColumns();
    vtSimil->scrollToTop();
    for (int r = 0; r < fModel->rows().size(); ++r) {
        if (fModel->rows()[r].Entry != best) continue;
        vtSimil->setCurrentIndex(fModel->index(r, 0));
        vtSimil->selectRow(r);
        vtSimil->scrollTo(fModel->index(r, 0));
    }
}

void TfmSimil2Other::fitColumns() {
    QHeaderView *header = vtSimil->horizontalHeader();
    for (int c : {colNum, colSimil})
        header->resizeSection(c, ColumnContentWidth(vtSimil, header, c));
    fitURLColumn();
}

void TfmSimil2Other::fitURLColumn() {
    QHeaderView *header = vtSimil->horizontalHeader();
    const int rest =
        vtSimil->viewport()->width() - header->sectionSize(colNum) - header->sectionSize(colSimil);
    header->resizeSection(colURL, std::max(MinURLColumnWidth, rest));
}

void TfmSimil2Other::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    vtSimil->setFocus();
}

void TfmSimil2Other::vtSimilHeaderClick(int column) {
    fSortColumn = column;
    SortAscending = !SortAscending;
    sortAndKeepCurrent(column, SortAscending);
}

void TfmSimil2Other::sortAndKeepCurrent(int column, bool ascending) {
    fModel->sortRows(column, ascending);
    vtSimil->horizontalHeader()->setSortIndicator(column, ascending ? Qt::AscendingOrder
                                                                    : Qt::DescendingOrder);
}

QString TfmSimil2Other::clipboardText() const {
    QStringList captions;
    for (int c = 0; c < ColumnCount; ++c) captions << caption(c);
    QString text = captions.join(u'\t') + QStringLiteral("\r\n");
    for (const TSimilRow &row : fModel->rows())
        text += QStringLiteral("\r\n") + QString::number(row.Num) + u'\t' + row.URL + u'\t' +
                PercentText(row.Similarity);
    return text;
}

void TfmSimil2Other::SBCopyClick() {
    QGuiApplication::clipboard()->setText(clipboardText());
}

void TfmSimil2Other::vtSimilOpenDiff() {
    const QModelIndex current = vtSimil->currentIndex();
    if (!current.isValid()) return;
    const TSimilRow row = fModel->rows()[current.row()];
    const TSimilEntry &entry = fEntries[row.Entry];
    // What the source's results hold for that number: its first entry.
    double similarity = 0;
    for (const TSimilEntry &e : fEntries) {
        if (e.Num == row.Num) {
            similarity = e.Similarity;
            break;
        }
    }
    TfmDiffText::Open(fSourceURL, row.URL, fSourceText, entry.ExtractedText, similarity, this);
}

bool TfmSimil2Other::eventFilter(QObject *watched, QEvent *event) {
    if (watched == vtSimil->viewport() && event->type() == QEvent::Resize) fitURLColumn();
    if (watched == vtSimil && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            vtSimilOpenDiff();
            return true;
        }
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace corvane::ui
