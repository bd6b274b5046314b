// The "History" tab: the checks of the store, newest first, with the
// commands that open one as the window's list and compare the list shown
// with one of them.
#pragma once

#include <cstdint>
#include <functional>

#include <QWidget>

#include "engine/store.h"
#include "engine/typeslib.h"

class QPushButton;
class QTableWidget;

namespace corvane::ui {

class THistoryPage : public QWidget {
public:
    explicit THistoryPage(QWidget *Parent = nullptr);

    void SetStore(TCheckStore *Store) { FStore = Store; }
    // The checks again from the store.
    void Refresh();
    // The check of the selected row (0: none).
    std::int64_t SelectedCheck() const;
    // Each page of Now beside its uniqueness in the check Before: the
    // change, "новая" for a page Before did not have, and the pages of
    // Before that Now lacks as "исчезла". False when the store fails.
    bool ShowComparison(const TURLTaskInfoList &Now, std::int64_t Before);
    void Retranslate();

    // "Открыть" and "Сравнить с..." with the selected check.
    std::function<void(std::int64_t)> OnOpen;
    std::function<void(std::int64_t)> OnCompare;

private:
    TCheckStore *FStore = nullptr;
    QTableWidget *lvHistory = nullptr;
    QTableWidget *lvCompare = nullptr;
    QPushButton *btHistoryOpen = nullptr;
    QPushButton *btHistoryCompare = nullptr;
};

} // namespace corvane::ui
