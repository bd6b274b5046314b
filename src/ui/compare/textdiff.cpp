#include "ui/compare/textdiff.h"

#include <algorithm>

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/format.h"
#include "core/i18n.h"
#include "core/shinglespans.h"
#include "ui/common/columns.h"
#include "ui/common/dialogs.h"
#include "ui/common/singlewindow.h"

namespace corvane::ui {

namespace {

TfmDiffText *Instance = nullptr;

const QColor ChangedRowColor(255, 164, 0);
const QColor SharedPassageColor(255, 200, 120);
constexpr int MinTextColumnWidth = 100;

enum Column { colKind, colLLine, colLText, colRLine, colRText, ColumnCount };

// Cells without margins, separated by vertical grid lines. No focus frame:
// its tint would hide the colour of a changed row; the selection shows where
// the keyboard is.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        QStyleOptionViewItem plain = option;
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

} // namespace

void TDiffRowsModel::setURLs(const QString &url1, const QString &url2) {
    fURL1 = url1;
    fURL2 = url2;
    emit headerDataChanged(Qt::Horizontal, colKind, colRText);
}

int TDiffRowsModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TDiffRowsModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= int(fRows.size())) return {};
    const TDiffObj &row = fRows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case colKind:
            return ChangeKindSymbol(row.ChgKind);
        case colLLine:
            return row.LLineNum > 0 ? QString::number(row.LLineNum) : QString();
        case colLText:
            return row.LText;
        case colRLine:
            return row.RLineNum > 0 ? QString::number(row.RLineNum) : QString();
        case colRText:
            return row.RText;
        }
        break;
    case Qt::ToolTipRole:
        if (index.column() == colLText) return row.LText;
        if (index.column() == colRText) return row.RText;
        break;
    case Qt::BackgroundRole:
        if (row.ChgKind != ckNone) return QBrush(ChangedRowColor);
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == colKind) return int(Qt::AlignCenter);
        if (index.column() == colLLine || index.column() == colRLine)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

QVariant TDiffRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    // A long address is cut in its caption; the tooltip has all of it.
    if (role == Qt::ToolTipRole && (section == colLText || section == colRText))
        return section == colLText ? fURL1 : fURL2;
    if (role != Qt::DisplayRole) return {};
    switch (section) {
    case colKind:
        return QStringLiteral("?");
    case colLLine:
    case colRLine:
        return _("Строка");
    case colLText:
        return fURL1;
    case colRText:
        return fURL2;
    }
    return {};
}

TfmDiffText::TfmDiffText(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmDiffText"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    fModel = new TDiffRowsModel(this);
    vtDiffText = new QTreeView(this);
    vtDiffText->setObjectName(QStringLiteral("vtDiffText"));
    vtDiffText->setModel(fModel);
    vtDiffText->setRootIsDecorated(false);
    vtDiffText->setItemsExpandable(false);
    vtDiffText->setUniformRowHeights(true);
    vtDiffText->setSortingEnabled(false);
    vtDiffText->setSelectionBehavior(QAbstractItemView::SelectRows);
    vtDiffText->setSelectionMode(QAbstractItemView::ExtendedSelection);
    vtDiffText->setAllColumnsShowFocus(false);
    vtDiffText->setItemDelegate(new GridDelegate(vtDiffText));
    vtDiffText->setTextElideMode(Qt::ElideRight);
    vtDiffText->setHeader(new TElidingHeader(Qt::Horizontal, vtDiffText));
    QHeaderView *header = vtDiffText->header();
    header->setSectionsMovable(true);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(colKind, 30);
    header->resizeSection(colLText, 500);
    header->resizeSection(colRText, 500);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setHighlightSections(false);
    // An address wider than its column loses its middle, not its ends.
    header->setTextElideMode(Qt::ElideMiddle);
    // The text columns share what the others leave, whatever the window's width.
    vtDiffText->viewport()->installEventFilter(this);

    // The shared passages: the two texts side by side, highlighted.
    auto *shared = new QWidget;
    shared->setObjectName(QStringLiteral("tsShared"));
    auto *sharedBox = new QVBoxLayout(shared);
    sharedBox->setContentsMargins(6, 6, 6, 6);
    lbShared = new QLabel;
    lbShared->setObjectName(QStringLiteral("lbShared"));
    lbShared->setWordWrap(true);
    sharedBox->addWidget(lbShared);
    auto *splitter = new QSplitter(Qt::Horizontal);
    for (int side = 0; side < 2; ++side) {
        auto *pane = new QWidget;
        auto *paneBox = new QVBoxLayout(pane);
        paneBox->setContentsMargins(0, 0, 0, 0);
        lbSharedURL[side] = new QLabel;
        lbSharedURL[side]->setTextFormat(Qt::PlainText);
        lbSharedURL[side]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        edShared[side] = new QTextEdit;
        edShared[side]->setObjectName(QStringLiteral("edShared%1").arg(side + 1));
        edShared[side]->setReadOnly(true);
        edShared[side]->setLineWrapMode(QTextEdit::WidgetWidth);
        paneBox->addWidget(lbSharedURL[side]);
        paneBox->addWidget(edShared[side], 1);
        splitter->addWidget(pane);
    }
    sharedBox->addWidget(splitter, 1);

    tcViews = new QTabWidget;
    tcViews->setObjectName(QStringLiteral("tcViews"));
    tcViews->setDocumentMode(true);
    tcViews->addTab(vtDiffText, QString());
    tcViews->addTab(shared, QString());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tcViews);
    resize(1156, 749);
    retranslateUi();
}

TfmDiffText *TfmDiffText::instance(QWidget *parent) {
    return SingleWindow(Instance, parent);
}

void TfmDiffText::Open(const QString &URL1, const QString &URL2, const QString &Text1,
                       const QString &Text2, double Similarity, QWidget *parent,
                       const TShingleOptions &Shingles) {
    TfmDiffText *fm = instance(parent);
    fm->prepare(URL1, URL2, Text1, Text2, Similarity, Shingles);
    fm->exec();
}

void TfmDiffText::retranslateUi() {
    setWindowTitle(
        FormatMsg(N_("Сравнение содержимого двух URL (подобие: %3.2f%%)"), {fSimilarity}));
    emit fModel->headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    tcViews->setTabText(0, _("Построчно"));
    tcViews->setTabText(1, _("Общие фрагменты"));
    lbShared->setText(sharedSummary());
}

QString TfmDiffText::sharedSummary() const {
    const auto share = [this](int side) {
        return fWords[side] > 0 ? double(fSharedWords[side]) / fWords[side] * 100 : 0.0;
    };
    return FormatMsg(N_("Общие фрагменты: %d слов из %d (%3.2f%%) в URL 1, %d слов из %d "
                        "(%3.2f%%) в URL 2"),
                     {fSharedWords[0], fWords[0], share(0), fSharedWords[1], fWords[1], share(1)});
}

void TfmDiffText::showShared(const QString &Text1, const QString &Text2,
                             const TShingleOptions &Shingles) {
    const QString texts[2] = {Text1, Text2};
    const TSharedPassages found =
        FindSharedPassages(Text1, Text2, {}, Shingles.Length, Shingles.SkipStopWords);
    const std::vector<TPassage> *passages[2] = {&found.First, &found.Second};
    QTextCharFormat mark;
    mark.setBackground(SharedPassageColor);
    mark.setForeground(Qt::black);
    for (int side = 0; side < 2; ++side) {
        const std::vector<TTextWord> words = SplitShingleWords(texts[side]);
        fWords[side] = CountShingleWords(texts[side]);
        fSharedWords[side] = 0;
        fShared[side].clear();
        for (const TPassage &p : *passages[side]) {
            fSharedWords[side] += p.WordCount;
            const std::size_t first = std::size_t(p.FirstWord);
            const std::size_t last = std::size_t(p.FirstWord + p.WordCount - 1);
            if (p.WordCount > 0 && last < words.size())
                fShared[side].append({words[first].Begin, words[last].End});
        }
        // The text as the line diff shows it, line by line.
        QString shown = texts[side];
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QTextEdit *edit = edShared[side];
        edit->setPlainText(shown);
        // Offsets were taken in the text with CR LF: every CR before an
        // offset moved it by one.
        QList<qsizetype> crs;
        for (qsizetype i = texts[side].indexOf(u'\r'); i >= 0;
             i = texts[side].indexOf(u'\r', i + 1))
            crs.append(i);
        const auto shownAt = [&crs](qsizetype offset) {
            return offset -
                   qsizetype(std::lower_bound(crs.begin(), crs.end(), offset) - crs.begin());
        };
        QTextCursor cursor(edit->document());
        for (const auto &[begin, end] : fShared[side]) {
            cursor.setPosition(int(shownAt(begin)));
            cursor.setPosition(int(shownAt(end)), QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(mark);
        }
        edit->moveCursor(QTextCursor::Start);
    }
}

void TfmDiffText::prepare(const QString &URL1, const QString &URL2, const QString &Text1,
                          const QString &Text2, double Similarity,
                          const TShingleOptions &Shingles) {
    fSimilarity = Similarity;
    fModel->setURLs(URL1, URL2);
    const QString urls[2] = {URL1, URL2};
    for (int side = 0; side < 2; ++side) {
        lbSharedURL[side]->setText(
            QFontMetrics(lbSharedURL[side]->font()).elidedText(urls[side], Qt::ElideMiddle, 520));
        lbSharedURL[side]->setToolTip(urls[side]);
    }
    showShared(Text1, Text2, Shingles);
    tcViews->setCurrentIndex(0);
    retranslateUi();
    fModel->setRows({});
    // Long texts take a while: the window keeps drawing meanwhile.
    fModel->setRows(BuildDiffRows(Text1, Text2, [] { QCoreApplication::processEvents(); }));
    fitColumns();
    // Nothing selected or focused: either would hide the colour of a changed row.
    vtDiffText->selectionModel()->clear();
    vtDiffText->scrollToTop();
    vtDiffText->setFocus();
}

void TfmDiffText::fitColumns() {
    QHeaderView *header = vtDiffText->header();
    for (int c : {colKind, colLLine, colRLine})
        header->resizeSection(
            c, std::max(c == colKind ? 30 : 0, ColumnContentWidth(vtDiffText, header, c)));
    fitTextColumns();
}

void TfmDiffText::fitTextColumns() {
    QHeaderView *header = vtDiffText->header();
    const int rest = vtDiffText->viewport()->width() - header->sectionSize(colKind) -
                     header->sectionSize(colLLine) - header->sectionSize(colRLine);
    const int left = std::max(MinTextColumnWidth, rest / 2);
    header->resizeSection(colLText, left);
    header->resizeSection(colRText, std::max(MinTextColumnWidth, rest - left));
}

bool TfmDiffText::eventFilter(QObject *watched, QEvent *event) {
    if (watched == vtDiffText->viewport() && event->type() == QEvent::Resize) fitTextColumns();
    return QDialog::eventFilter(watched, event);
}

void TfmDiffText::done(int result) {
    QDialog::done(result);
    // The rows live only while the window is shown.
    fModel->setRows({});
}

bool CheckDiffCandidates(const QList<TDiffCandidate> &Selected, QWidget *parent) {
    if (Selected.size() != 2) {
        dialogs().warning(parent, _("Должно быть выбрано два URL"));
        return false;
    }
    for (const TDiffCandidate &c : Selected) {
        if (c.HasResult && c.ErrorCode != 0) {
            dialogs().error(
                parent, _("Один из выбранных URL вследствие ошибки не имеет текста для сравнения"));
            return false;
        }
        // A URL never checked has no text either: the same advice applies.
        if (c.ExtractedText.isEmpty()) {
            dialogs().error(
                parent,
                _("Один из выбранных URL не имеет содержимого для сравнения - выполните проверку"));
            return false;
        }
    }
    return true;
}

bool CompareTwoURLs(const QList<TDiffCandidate> &Selected, double Similarity, QWidget *parent,
                    const TShingleOptions &Shingles) {
    if (!CheckDiffCandidates(Selected, parent)) return false;
    TfmDiffText::Open(Selected[0].URL, Selected[1].URL, Selected[0].ExtractedText,
                      Selected[1].ExtractedText, Similarity, parent, Shingles);
    return true;
}

} // namespace corvane::ui
