// Column widths of the item views that show numbers beside long texts.
#pragma once

#include <QHeaderView>

class QAbstractItemView;

namespace corvane::ui {

// The width that shows a column's caption (with room for a sort arrow when
// the header shows arrows) and the longest of its cell texts without cutting
// anything.
int ColumnContentWidth(const QAbstractItemView *View, const QHeaderView *Header, int Column);

// A header whose captions are elided to their sections (textElideMode): Qt 6.4
// measures the room before it knows the section's rectangle and so never cuts.
class TElidingHeader : public QHeaderView {
public:
    explicit TElidingHeader(Qt::Orientation Orientation, QWidget *Parent = nullptr);

protected:
    void initStyleOptionForIndex(QStyleOptionHeader *Option, int Logical) const override;
};

} // namespace corvane::ui
