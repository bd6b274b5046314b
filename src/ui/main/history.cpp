#include "ui/main/history.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/format.h"
#include "core/i18n.h"

namespace corvane::ui {

namespace {

QTableWidget *Table(const char *Name, std::initializer_list<const char *> Captions) {
    auto *T = new QTableWidget(0, int(Captions.size()));
    T->setObjectName(QLatin1String(Name));
    QStringList Labels;
    for (const char *C : Captions) Labels << QString::fromUtf8(C);
    T->setHorizontalHeaderLabels(Labels);
    T->setEditTriggers(QAbstractItemView::NoEditTriggers);
    T->setSelectionBehavior(QAbstractItemView::SelectRows);
    T->setSelectionMode(QAbstractItemView::SingleSelection);
    T->verticalHeader()->hide();
    T->verticalHeader()->setDefaultSectionSize(T->fontMetrics().height() + 4);
    T->horizontalHeader()->setStretchLastSection(true);
    T->setFrameShape(QFrame::NoFrame);
    return T;
}

QTableWidgetItem *Cell(const QString &Text, bool Right = false) {
    auto *I = new QTableWidgetItem(Text);
    if (Right) I->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return I;
}

QString Percent(double Value) {
    return Value < 0 ? QString() : PercentText(Value);
}

} // namespace

THistoryPage::THistoryPage(QWidget *Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("tsHistory"));
    auto *Box = new QVBoxLayout(this);
    Box->setContentsMargins(0, 0, 0, 0);
    auto *Buttons = new QHBoxLayout;
    btHistoryOpen = new QPushButton(QString::fromUtf8(N_("Открыть")));
    btHistoryOpen->setObjectName(QStringLiteral("btHistoryOpen"));
    btHistoryCompare = new QPushButton(QString::fromUtf8(N_("Сравнить с...")));
    btHistoryCompare->setObjectName(QStringLiteral("btHistoryCompare"));
    Buttons->addWidget(btHistoryOpen);
    Buttons->addWidget(btHistoryCompare);
    Buttons->addStretch(1);
    Box->addLayout(Buttons);

    auto *Split = new QSplitter(Qt::Horizontal);
    lvHistory = Table("lvHistory", {N_("Дата"), N_("Источник"), N_("Страниц"), N_("Ошибок"),
                                    N_("Хорошо / средне / плохо"), N_("Средняя уникальность")});
    // The URL last: the figures stay in sight beside long addresses.
    lvCompare = Table("lvCompare", {N_("Было"), N_("Стало"), N_("Изменение"), N_("URL")});
    lvCompare->hide();
    Split->addWidget(lvHistory);
    Split->addWidget(lvCompare);
    Box->addWidget(Split, 1);

    connect(btHistoryOpen, &QPushButton::clicked, this, [this] {
        if (const std::int64_t Id = SelectedCheck(); Id && OnOpen) OnOpen(Id);
    });
    connect(btHistoryCompare, &QPushButton::clicked, this, [this] {
        if (const std::int64_t Id = SelectedCheck(); Id && OnCompare) OnCompare(Id);
    });
    connect(lvHistory, &QTableWidget::itemDoubleClicked, btHistoryOpen, &QPushButton::click);
}

void THistoryPage::Refresh() {
    const std::int64_t Selected = SelectedCheck();
    lvHistory->setRowCount(0);
    if (!FStore || !FStore->IsOpen()) return;
    const std::vector<TStoredCheck> Checks = FStore->Checks();
    lvHistory->setRowCount(int(Checks.size()));
    int Row = 0;
    for (auto C = Checks.rbegin(); C != Checks.rend(); ++C, ++Row) {
        const QDateTime Started = QDateTime::fromString(C->Started, Qt::ISODate).toLocalTime();
        auto *Date = Cell(Started.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
        Date->setData(Qt::UserRole, qlonglong(C->Id));
        lvHistory->setItem(Row, 0, Date);
        lvHistory->setItem(Row, 1, Cell(C->Source.isEmpty() ? C->Site : C->Source));
        QString Pages = QString::number(C->Done);
        if (C->Done != C->Pages) Pages += QStringLiteral(" / ") + QString::number(C->Pages);
        lvHistory->setItem(Row, 2, Cell(Pages, true));
        lvHistory->setItem(Row, 3, Cell(QString::number(C->Failed), true));
        lvHistory->setItem(
            Row, 4, Cell(QStringLiteral("%1 / %2 / %3").arg(C->Good).arg(C->Medium).arg(C->Bad)));
        lvHistory->setItem(Row, 5, Cell(Percent(C->MeanUniqueness), true));
        if (C->Id == Selected) lvHistory->selectRow(Row);
    }
    lvHistory->resizeColumnsToContents();
}

std::int64_t THistoryPage::SelectedCheck() const {
    const QList<QTableWidgetItem *> Items = lvHistory->selectedItems();
    if (Items.isEmpty()) return 0;
    const QTableWidgetItem *First = lvHistory->item(Items.front()->row(), 0);
    return First ? First->data(Qt::UserRole).toLongLong() : 0;
}

bool THistoryPage::ShowComparison(const TURLTaskInfoList &Now, std::int64_t Before) {
    TUniquenessByURL Was;
    QStringList WasURLs;
    if (!FStore || !FStore->Uniqueness(Before, Was, &WasURLs)) return false;
    lvCompare->setRowCount(0);
    QSet<QString> Present;
    auto AddRow = [this](const QString &URL, const QString &Before, const QString &After,
                         const QString &Change) {
        const int Row = lvCompare->rowCount();
        lvCompare->insertRow(Row);
        lvCompare->setItem(Row, 0, Cell(Before, true));
        lvCompare->setItem(Row, 1, Cell(After, true));
        lvCompare->setItem(Row, 2, Cell(Change, true));
        lvCompare->setItem(Row, 3, Cell(URL));
    };
    for (const TURLTaskInfo *T : Now) {
        const QString Key = URLKey(T->URL);
        Present.insert(Key);
        const double After = T->TaskResults ? T->TaskResults->Uniqueness : -1;
        const auto It = Was.constFind(Key);
        if (It == Was.cend()) {
            AddRow(T->URL, QString(), Percent(After), _("новая"));
            continue;
        }
        QString Change;
        if (*It >= 0 && After >= 0)
            Change = (After >= *It ? QStringLiteral("+") : QString()) + PercentText(After - *It);
        AddRow(T->URL, Percent(*It), Percent(After), Change);
    }
    for (const QString &URL : WasURLs)
        if (!Present.contains(URLKey(URL)))
            AddRow(URL, Percent(Was.value(URLKey(URL))), QString(), _("исчезла"));
    lvCompare->resizeColumnsToContents();
    lvCompare->show();
    return true;
}

} // namespace corvane::ui
