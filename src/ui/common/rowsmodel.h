// A table model over a list of rows, replaced as a whole; the columns and
// the cells are the subclass's.
#pragma once

#include <utility>

#include <QAbstractTableModel>

namespace corvane::ui {

template <typename TRows> class TRowsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(TRows rows) {
        beginResetModel();
        fRows = std::move(rows);
        endResetModel();
    }
    const TRows &rows() const { return fRows; }

    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : int(fRows.size());
    }

protected:
    TRows fRows;
};

} // namespace corvane::ui
