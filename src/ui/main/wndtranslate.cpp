#include "ui/main/wndtranslate.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVariant>
#include <QWidget>

#include "core/i18n.h"

namespace corvane::ui {

namespace {

// Source texts live in dynamic properties of the widget they belong to.
QString Source(QObject *O, const char *Name, const QString &Current) {
    const QVariant V = O->property(Name);
    if (V.isValid()) return V.toString();
    O->setProperty(Name, Current);
    return Current;
}

QString Tr(const QString &Source) {
    if (Source.trimmed().isEmpty()) return Source;
    return _(Source.toUtf8().constData());
}

void TranslateOne(QWidget *W) {
    if (W->isWindow() && !W->windowTitle().isEmpty())
        W->setWindowTitle(Tr(Source(W, "srcWindowTitle", W->windowTitle())));
    if (!W->toolTip().isEmpty()) W->setToolTip(Tr(Source(W, "srcToolTip", W->toolTip())));

    if (auto *B = qobject_cast<QAbstractButton *>(W)) {
        B->setText(Tr(Source(B, "srcText", B->text())));
    } else if (auto *L = qobject_cast<QLabel *>(W)) {
        if (!L->text().isEmpty() || L->property("srcText").isValid())
            L->setText(Tr(Source(L, "srcText", L->text())));
    } else if (auto *G = qobject_cast<QGroupBox *>(W)) {
        G->setTitle(Tr(Source(G, "srcTitle", G->title())));
    } else if (auto *T = qobject_cast<QTabWidget *>(W)) {
        for (int i = 0; i < T->count(); ++i) {
            const QByteArray Name = "srcTab" + QByteArray::number(i);
            T->setTabText(i, Tr(Source(T, Name.constData(), T->tabText(i))));
        }
    } else if (auto *C = qobject_cast<QComboBox *>(W)) {
        for (int i = 0; i < C->count(); ++i) {
            const QByteArray Name = "srcItem" + QByteArray::number(i);
            C->setItemText(i, Tr(Source(C, Name.constData(), C->itemText(i))));
        }
    } else if (auto *M = qobject_cast<QMenu *>(W)) {
        for (QAction *A : M->actions())
            if (!A->isSeparator()) A->setText(Tr(Source(A, "srcText", A->text())));
    } else if (auto *E = qobject_cast<QLineEdit *>(W)) {
        if (!E->placeholderText().isEmpty())
            E->setPlaceholderText(Tr(Source(E, "srcPlaceholder", E->placeholderText())));
    }
    if (auto *Tree = qobject_cast<QTreeWidget *>(W)) {
        QTreeWidgetItem *H = Tree->headerItem();
        for (int i = 0; H && i < H->columnCount(); ++i) {
            const QByteArray Name = "srcHeader" + QByteArray::number(i);
            H->setText(i, Tr(Source(Tree, Name.constData(), H->text(i))));
        }
    } else if (auto *Table = qobject_cast<QTableWidget *>(W)) {
        for (int i = 0; i < Table->columnCount(); ++i) {
            QTableWidgetItem *H = Table->horizontalHeaderItem(i);
            if (!H) continue;
            const QByteArray Name = "srcHeader" + QByteArray::number(i);
            H->setText(Tr(Source(Table, Name.constData(), H->text())));
        }
    }
}

void Walk(QWidget *W) {
    if (W->property(NoTranslateProperty).toBool()) return;
    TranslateOne(W);
    for (QObject *C : W->children())
        if (auto *Child = qobject_cast<QWidget *>(C)) Walk(Child);
}

} // namespace

void MarkNoTranslate(QWidget *W) {
    W->setProperty(NoTranslateProperty, true);
}

void TranslateWindow(QWidget *Root) {
    Walk(Root);
}

} // namespace corvane::ui
