#include <QHeaderView>
#include <QLocale>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include "common/TestDialogs.h"
#include "ui/common/dialogs.h"
#include "ui/compare/textdiff.h"
#include "ui/qt_print.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

const QString Url1 = QStringLiteral("https://example.org/one"),
              Url2 = QStringLiteral("https://example.org/two");
const QString Base = QStringLiteral("first line\r\nsecond line\r\nthird line");

// "kind|left number|left text|right number|right text|highlighted" per row.
QStringList shownRows(const QAbstractItemModel *m) {
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c) cells << m->index(r, c).data().toString();
        const QVariant bg = m->index(r, 0).data(Qt::BackgroundRole);
        for (int c = 1; c < 5; ++c) EXPECT_EQ(m->index(r, c).data(Qt::BackgroundRole), bg);
        cells << (bg.isValid()
                      ? (bg.value<QBrush>().color() == QColor(255, 164, 0) ? "orange" : "?")
                      : "");
        out << cells.join(u'|');
    }
    return out;
}

class DiffWindow : public ::testing::Test {
protected:
    void SetUp() override {
        tree = fm.findChild<QTreeView *>(QStringLiteral("vtDiffText"));
        ASSERT_TRUE(tree);
    }
    TestDialogs dialogs;
    TfmDiffText fm;
    QTreeView *tree = nullptr;
};

} // namespace

TEST_F(DiffWindow, CaptionAndHeaders) {
    const QString point = QLocale::system().decimalPoint();
    fm.prepare(Url1, Url2, Base, Base, 0);
    EXPECT_EQ(fm.windowTitle(), QStringLiteral("Сравнение содержимого двух URL (подобие: 0") +
                                    point + QStringLiteral("00%)"));
    fm.prepare(Url1, Url2, Base, Base, 57.1428);
    EXPECT_EQ(fm.windowTitle(), QStringLiteral("Сравнение содержимого двух URL (подобие: 57") +
                                    point + QStringLiteral("14%)"));
    const QAbstractItemModel *m = tree->model();
    const QStringList want{QStringLiteral("?"), QStringLiteral("Строка"), Url1,
                           QStringLiteral("Строка"), Url2};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(m->headerData(c, Qt::Horizontal).toString(), want[c]);
    EXPECT_EQ(tree->header()->sectionSize(0), 30);
    EXPECT_TRUE(tree->header()->sectionsMovable());
    EXPECT_FALSE(tree->isSortingEnabled());
    EXPECT_EQ(tree->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(fm.size(), QSize(1156, 749));
}

TEST_F(DiffWindow, RowsAndHighlight) {
    struct Case {
        const char *name;
        QString text2;
        QStringList rows;
    };
    const Case cases[] = {
        {"identical",
         Base,
         {QStringLiteral("=|1|first line|1|first line|"),
          QStringLiteral("=|2|second line|2|second line|"),
          QStringLiteral("=|3|third line|3|third line|")}},
        {"inserted line",
         QStringLiteral("first line\r\nnew\r\nsecond line\r\nthird line"),
         {QStringLiteral("=|1|first line|1|first line|"), QStringLiteral("+|||2|new|orange"),
          QStringLiteral("=|2|second line|3|second line|"),
          QStringLiteral("=|3|third line|4|third line|")}},
        {"case only",
         QStringLiteral("first line\r\nSecond  LINE\r\nthird line"),
         {QStringLiteral("=|1|first line|1|first line|"),
          QStringLiteral("=|2|second line|2|Second  LINE|"),
          QStringLiteral("=|3|third line|3|third line|")}},
        {"changed line",
         QStringLiteral("first line\r\nother\r\nthird line"),
         {QStringLiteral("=|1|first line|1|first line|"),
          QStringLiteral("<>|2|second line|2|other|orange"),
          QStringLiteral("=|3|third line|3|third line|")}},
        {"deleted line",
         QStringLiteral("first line\r\nthird line"),
         {QStringLiteral("=|1|first line|1|first line|"),
          QStringLiteral("-|2|second line|||orange"),
          QStringLiteral("=|3|third line|2|third line|")}},
        {"three lines more",
         Base + QStringLiteral("\r\nfour\r\nfive\r\nsix"),
         {QStringLiteral("=|1|first line|1|first line|"),
          QStringLiteral("=|2|second line|2|second line|"),
          QStringLiteral("=|3|third line|3|third line|"), QStringLiteral("+|||4|four|orange"),
          QStringLiteral("+|||5|five|orange"), QStringLiteral("+|||6|six|orange")}},
    };
    for (const Case &c : cases) {
        fm.prepare(Url1, Url2, Base, c.text2, 10);
        EXPECT_EQ(shownRows(tree->model()), c.rows) << c.name;
    }
}

TEST_F(DiffWindow, TooltipsAndAlignment) {
    const QString longLine = QString(300, u'x') + QStringLiteral(" end");
    fm.prepare(Url1, Url2, QStringLiteral("a\r\n") + longLine, QStringLiteral("a\r\nb"), 0);
    const QAbstractItemModel *m = tree->model();
    EXPECT_EQ(m->index(1, 2).data(Qt::ToolTipRole).toString(), longLine);
    EXPECT_EQ(m->index(1, 4).data(Qt::ToolTipRole).toString(), QStringLiteral("b"));
    for (int c : {0, 1, 3}) EXPECT_FALSE(m->index(1, c).data(Qt::ToolTipRole).isValid()) << c;
    EXPECT_EQ(m->index(0, 0).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    EXPECT_TRUE(m->index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    EXPECT_TRUE(m->index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);
}

TEST_F(DiffWindow, AtTheOpeningSizeEveryColumnShowsItsTextAndChangedRowsTheirColour) {
    // 1 200 lines: four-digit line numbers; the first line changed.
    QString text1, text2;
    for (int i = 1; i <= 1200; ++i) {
        text1 += QStringLiteral("line %1\r\n").arg(i);
        text2 += i == 1 ? QStringLiteral("another first line\r\n")
                        : QStringLiteral("line %1\r\n").arg(i);
    }
    const QString longUrl =
        QStringLiteral("https://example.org/catalog/chairs/office/ergonomic-mesh-back-swivel-chair-"
                       "with-adjustable-lumbar-support-and-headrest");
    fm.prepare(Url1, longUrl, text1, text2, 10);
    fm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fm));
    const QAbstractItemModel *m = tree->model();
    QHeaderView *header = tree->header();
    const int margin = 2 * fm.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    int total = 0;
    for (int c = 0; c < 5; ++c) {
        total += header->sectionSize(c);
        for (int r : {0, m->rowCount() - 1})
            EXPECT_GE(header->sectionSize(c), tree->sizeHintForIndex(m->index(r, c)).width())
                << "column " << c << " row " << r;
    }
    for (int c : {0, 1, 3})
        EXPECT_GE(header->sectionSize(c), header->fontMetrics().horizontalAdvance(
                                              m->headerData(c, Qt::Horizontal).toString()) +
                                              margin)
            << "caption " << c;
    // The two texts share the rest; nothing reaches past the edge.
    EXPECT_LE(std::abs(header->sectionSize(2) - header->sectionSize(4)), 1);
    EXPECT_EQ(total, tree->viewport()->width());
    EXPECT_FALSE(tree->horizontalScrollBar()->isVisible());
    EXPECT_EQ(m->headerData(4, Qt::Horizontal, Qt::ToolTipRole).toString(), longUrl);

    // Nothing selected: the changed first row shows its orange.
    EXPECT_TRUE(tree->selectionModel()->selectedIndexes().isEmpty());
    const QImage shown = tree->viewport()->grab().toImage();
    const QRect cell = tree->visualRect(m->index(0, 4));
    EXPECT_EQ(QColor(shown.pixel(cell.right() - 4, cell.center().y())), QColor(255, 164, 0));
}

TEST(DiffCommand, ChecksTheSelection) {
    const TDiffCandidate ok{Url1, true, 0, Base};
    const TDiffCandidate ok2{Url2, true, 0, QStringLiteral("other")};
    const TDiffCandidate failed{Url2, true, 404, QString()};
    const TDiffCandidate noText{Url2, true, 0, QString()};
    const TDiffCandidate unchecked{Url2, false, 0, QString()};
    const QString wrongCount = QStringLiteral("Должно быть выбрано два URL");
    const QString error =
        QStringLiteral("Один из выбранных URL вследствие ошибки не имеет текста для сравнения");
    const QString check = QStringLiteral(
        "Один из выбранных URL не имеет содержимого для сравнения - выполните проверку");
    struct Case {
        QList<TDiffCandidate> selected;
        QString message; // empty: the checks pass
        MessageIcon icon;
    };
    const Case cases[] = {
        {{ok}, wrongCount, MessageIcon::Warning},
        {{ok, ok2, ok}, wrongCount, MessageIcon::Warning},
        {{}, wrongCount, MessageIcon::Warning},
        {{ok, failed}, error, MessageIcon::Error},
        // The first URL is examined first; the second is not looked at then.
        {{noText, failed}, check, MessageIcon::Error},
        {{failed, noText}, error, MessageIcon::Error},
        {{ok, unchecked}, check, MessageIcon::Error},
        {{ok, ok2}, QString(), MessageIcon::Error},
    };
    for (const Case &c : cases) {
        TestDialogs d;
        EXPECT_EQ(CheckDiffCandidates(c.selected, nullptr), c.message.isEmpty());
        if (c.message.isEmpty()) {
            EXPECT_TRUE(d.calls.isEmpty());
            continue;
        }
        ASSERT_EQ(d.calls.size(), 1) << c.message.toStdString();
        EXPECT_EQ(d.calls[0].text, c.message);
        EXPECT_EQ(d.calls[0].icon, c.icon);
    }
}

TEST(DiffCommand, OpensModallyAndEscapeCloses) {
    TestDialogs d;
    QWidget mainWindow;
    QStringList header;
    int rowsWhileShown = -1;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        TfmDiffText *fm = TfmDiffText::instance();
        modal = fm->isVisible() && fm->isModal();
        auto *tree = fm->findChild<QTreeView *>(QStringLiteral("vtDiffText"));
        rowsWhileShown = tree->model()->rowCount();
        for (int c = 0; c < 5; ++c)
            header << tree->model()->headerData(c, Qt::Horizontal).toString();
        QTest::keyClick(tree, Qt::Key_Escape);
    });
    EXPECT_TRUE(CompareTwoURLs(
        {{Url1, true, 0, Base}, {Url2, true, 0, Base + QStringLiteral("\nx")}}, 12.5, &mainWindow));
    EXPECT_TRUE(modal);
    EXPECT_EQ(rowsWhileShown, 4);
    EXPECT_EQ(header.value(2), Url1);
    EXPECT_EQ(header.value(4), Url2);
    TfmDiffText *fm = TfmDiffText::instance();
    EXPECT_FALSE(fm->isVisible());
    EXPECT_EQ(fm->model()->rowCount(), 0); // rows freed on close
    EXPECT_TRUE(d.calls.isEmpty());
}

// Two paragraphs swapped, each with one word changed: no line is equal, so
// the line view shows nothing but changes, while the shared passages find
// both paragraphs on each side, around the changed words.
TEST_F(DiffWindow, SharedPassagesOfReorderedParagraphs) {
    const QString p1 = QStringLiteral(
        "the orchard by the river gives apples every autumn to the whole quiet town");
    const QString p2 = QStringLiteral(
        "fishing boats come back to the harbour before the evening storm reaches the coast");
    QString p1x = p1, p2x = p2;
    p1x.replace(QStringLiteral("apples"), QStringLiteral("pears"));
    p2x.replace(QStringLiteral("evening"), QStringLiteral("night"));
    const QString text1 = p1 + QStringLiteral("\r\n") + p2;
    const QString text2 = p2x + QStringLiteral("\r\n") + p1x;
    fm.prepare(Url1, Url2, text1, text2, 10, {3, false});

    const QStringList rows = shownRows(fm.model());
    for (const QString &row : rows)
        EXPECT_TRUE(row.endsWith(QStringLiteral("orange"))) << row.toStdString();

    // Each side: the passages around its two changed words, in its own
    // order. A text's last word is in no shingle ("coast" ends text 1, "town"
    // text 2), so the shingles that end with those words are in one text only.
    const auto passages = [&](int side, const QString &text) {
        QStringList out;
        for (const auto &[begin, end] : fm.sharedRanges(side)) out << text.mid(begin, end - begin);
        return out;
    };
    EXPECT_EQ(passages(0, text1),
              (QStringList{QStringLiteral("the orchard by the river gives"),
                           QStringLiteral("every autumn to the whole quiet"),
                           QStringLiteral("fishing boats come back to the harbour before the"),
                           QStringLiteral("storm reaches the")}));
    EXPECT_EQ(passages(1, text2),
              (QStringList{QStringLiteral("fishing boats come back to the harbour before the"),
                           QStringLiteral("storm reaches the"),
                           QStringLiteral("the orchard by the river gives"),
                           QStringLiteral("every autumn to the whole quiet")}));
    // Shown highlighted in the texts as the window shows them (line breaks as LF).
    QTextCursor at(fm.sharedText(1)->document());
    at.setPosition(int(text2.indexOf(QStringLiteral("orchard"))) - 1 + 1);
    EXPECT_TRUE(at.charFormat().background().style() != Qt::NoBrush);
    QTextCursor night(fm.sharedText(1)->document());
    night.setPosition(int(text2.indexOf(QStringLiteral("night"))) + 2);
    EXPECT_EQ(night.charFormat().background().style(), Qt::NoBrush);
    EXPECT_TRUE(fm.sharedSummary().startsWith(QStringLiteral("Общие фрагменты: 24 слов из 28")))
        << fm.sharedSummary().toStdString();
}
