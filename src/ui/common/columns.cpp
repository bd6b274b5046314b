#include "ui/common/columns.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableView>

namespace corvane::ui {

int ColumnContentWidth(const QAbstractItemView *View, const QHeaderView *Header, int Column) {
    const QAbstractItemModel *M = View->model();
    if (!M) return 0;
    // The caption as the header measures its sections, arrow room included.
    QStyleOptionHeader Caption;
    Caption.initFrom(Header);
    Caption.section = Column;
    Caption.text = M->headerData(Column, Qt::Horizontal).toString();
    if (Header->isSortIndicatorShown()) Caption.sortIndicator = QStyleOptionHeader::SortDown;
    int Width = Header->style()
                    ->sizeFromContents(QStyle::CT_HeaderSection, &Caption, QSize(), Header)
                    .width();
    // Measuring every cell of a long list costs; the longest texts are the
    // widest ones in a column of numbers, which is what this is for.
    const int Rows = M->rowCount();
    qsizetype Longest = -1;
    QList<int> Candidates;
    for (int R = 0; R < Rows; ++R) {
        const qsizetype N = M->index(R, Column).data().toString().size();
        if (N > Longest) {
            Longest = N;
            Candidates = {R};
        } else if (N == Longest && Candidates.size() < 32) {
            Candidates << R;
        }
    }
    // A table draws its grid line inside the cell.
    const auto *Table = qobject_cast<const QTableView *>(View);
    const int Grid = Table && Table->showGrid() ? 1 : 0;
    for (int R : Candidates)
        Width = std::max(Width, View->sizeHintForIndex(M->index(R, Column)).width() + Grid);
    // A little air, so that a caption does not touch the section's edges.
    return Width + 6;
}

TElidingHeader::TElidingHeader(Qt::Orientation Orientation, QWidget *Parent)
    : QHeaderView(Orientation, Parent) {}

void TElidingHeader::initStyleOptionForIndex(QStyleOptionHeader *Option, int Logical) const {
    QHeaderView::initStyleOptionForIndex(Option, Logical);
    if (textElideMode() == Qt::ElideNone || !model()) return;
    const QRect Whole = Option->rect;
    Option->rect = orientation() == Qt::Horizontal
                       ? QRect(sectionViewportPosition(Logical), 0, sectionSize(Logical), height())
                       : QRect(0, sectionViewportPosition(Logical), width(), sectionSize(Logical));
    // The label's rectangle already leaves the margins out.
    const QRect Text = style()->subElementRect(QStyle::SE_HeaderLabel, Option, this);
    Option->text = Option->fontMetrics.elidedText(
        model()->headerData(Logical, orientation()).toString(), textElideMode(), Text.width());
    Option->rect = Whole;
}

} // namespace corvane::ui
