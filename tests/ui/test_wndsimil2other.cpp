#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include "common/TestDialogs.h"
#include "core/i18n.h"
#include "ui/common/dialogs.h"
#include "ui/compare/textdiff.h"
#include "ui/compare/wndsimil2other.h"
#include "ui/qt_print.h"

using namespace corvane::ui;

namespace {

QString dec(const char *s) {
    return QString::fromLatin1(s).replace(u'.', QLocale::system().decimalPoint());
}

QString url(int n) {
    return QStringLiteral("https://example.org/page%1").arg(n);
}

TSimilEntry ok(int num, double simil) {
    return {num, simil, true, true, url(num), QStringLiteral("text of %1\r\nshared line").arg(num)};
}

const QString SourceText = QStringLiteral("source text\r\nshared line");

class SimilWindow : public ::testing::Test {
protected:
    void SetUp() override {
        list = fm.findChild<QTableView *>(QStringLiteral("vtSimil"));
        ASSERT_TRUE(list);
    }
    void open(const QList<TSimilEntry> &entries) {
        fm.prepare(QStringLiteral("https://example.org/"), SourceText, entries);
        fm.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&fm));
    }
    // "number url similarity" of every row as shown.
    QStringList shown() const {
        QStringList out;
        const QAbstractItemModel *m = list->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << QStringLiteral("%1 %2").arg(m->index(r, 0).data().toString(),
                                               m->index(r, 2).data().toString());
        return out;
    }
    int selectedNum() const {
        const QModelIndexList rows = list->selectionModel()->selectedRows();
        return rows.size() == 1 ? list->model()->index(rows[0].row(), 0).data().toInt() : -1;
    }
    void clickHeader(int column) {
        QHeaderView *h = list->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
    }

    TestDialogs dialogs;
    TfmSimil2Other fm;
    QTableView *list = nullptr;
};

} // namespace

TEST_F(SimilWindow, ListsCheckedTasksHighestFirst) {
    TSimilEntry failed = ok(4, 90), missing = ok(5, 80), unchecked = ok(7, 95);
    failed.CheckedOk = false;
    missing.Found = false;
    unchecked.CheckedOk = false;
    open({ok(2, 12.5), failed, missing, ok(0, 70), ok(-1, 70), ok(3, 0), ok(6, 45.9), unchecked,
          ok(8, 45.1)});
    EXPECT_EQ(fm.windowTitle(), QStringLiteral("Сходство с содержимым других URL"));
    EXPECT_EQ(fm.findChild<QLabel *>(QStringLiteral("LCpmpareUrl"))->text(),
              QStringLiteral("https://example.org/"));
    EXPECT_EQ(fm.findChild<QLabel *>(QStringLiteral("LCpmpareUrl"))->toolTip(),
              QStringLiteral("https://example.org/"));
    EXPECT_EQ(fm.findChild<QPushButton *>(QStringLiteral("SBCopy"))->text(),
              QStringLiteral("Копировать в буфер обмена"));
    // 45.90 and 45.10 have the same whole part and keep their order.
    EXPECT_EQ(
        shown(),
        (QStringList{QStringLiteral("6 ") + dec("45.90"), QStringLiteral("8 ") + dec("45.10"),
                     QStringLiteral("2 ") + dec("12.50"), QStringLiteral("3 ") + dec("0.00")}));
    EXPECT_EQ(list->model()->index(0, 1).data().toString(), url(6));
    EXPECT_EQ(selectedNum(), 6);
    EXPECT_TRUE(list->hasFocus());
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("№"));
    EXPECT_EQ(list->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("Сходство, %"));
}

TEST_F(SimilWindow, AtTheOpeningSizeEveryColumnShowsItsTextAndALongSourceIsElided) {
    const QString source = QStringLiteral(
        "https://example.org/catalog/chairs/office/ergonomic-mesh-back-swivel-chair-with-"
        "adjustable-lumbar-support-and-headrest?colour=graphite&size=large");
    corvane::BindCatalogDir(QStringLiteral(CORVANE_APPDIR "/locale"));
    for (const char *lang : {"ru", "en"}) {
        corvane::SetCatalogLanguage(QString::fromLatin1(lang));
        fm.prepare(source, SourceText, {ok(9999, 100), ok(10000, 15.5), ok(3, 4.25)});
        fm.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&fm));
        QCoreApplication::processEvents();
        EXPECT_EQ(fm.size(), QSize(862, 345)) << lang;
        auto *label = fm.findChild<QLabel *>(QStringLiteral("LCpmpareUrl"));
        EXPECT_NE(label->text(), source) << lang;
        EXPECT_TRUE(label->text().contains(QStringLiteral("…"))) << lang;
        EXPECT_EQ(label->toolTip(), source);
        EXPECT_LE(label->geometry().right(),
                  fm.findChild<QPushButton *>(QStringLiteral("SBCopy"))->geometry().left());

        const QAbstractItemModel *m = list->model();
        QHeaderView *header = list->horizontalHeader();
        QStyle *style = header->style();
        // A caption needs its text, its margins and the sort arrow.
        const int captionExtra = 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) +
                                 style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
        int total = 0;
        for (int c = 0; c < 3; ++c) {
            total += header->sectionSize(c);
            for (int r = 0; r < m->rowCount(); ++r)
                EXPECT_GE(header->sectionSize(c), list->sizeHintForIndex(m->index(r, c)).width())
                    << lang << " column " << c << " row " << r;
            EXPECT_GE(header->sectionSize(c), header->fontMetrics().horizontalAdvance(
                                                  m->headerData(c, Qt::Horizontal).toString()) +
                                                  captionExtra)
                << lang << " caption " << c;
        }
        EXPECT_EQ(total, list->viewport()->width()) << lang;
        EXPECT_FALSE(list->horizontalScrollBar()->isVisible()) << lang;
        fm.hide();
    }
    corvane::SetCatalogLanguage(QStringLiteral("ru"));
}

TEST_F(SimilWindow, PreselectsTheFirstMaximum) {
    struct Case {
        QList<TSimilEntry> entries;
        int selected; // -1: none
    };
    const Case cases[] = {
        {{ok(1, 10), ok(2, 50.5), ok(3, 50.5), ok(4, 50.7)}, 4},
        {{ok(1, 10), ok(2, 50.5), ok(3, 50.5)}, 2},
        {{ok(3, 50.5), ok(2, 50.5), ok(1, 10)}, 3},
        {{ok(1, 0), ok(2, 0)}, -1},
        {{}, -1},
    };
    for (const Case &c : cases) {
        open(c.entries);
        EXPECT_EQ(selectedNum(), c.selected);
    }
}

TEST_F(SimilWindow, HeaderClicksReverseTheStoredDirection) {
    open({ok(1, 37.2), ok(2, 36.99), ok(3, 37.8), ok(4, 37.0), ok(10, 5)});
    const QStringList descending{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("4"),
                                 QStringLiteral("2"), QStringLiteral("10")};
    auto nums = [&] {
        QStringList out;
        for (const QString &s : shown()) out << s.section(u' ', 0, 0);
        return out;
    };
    EXPECT_EQ(nums(), descending);
    for (int click = 0; click < 2; ++click) {
        const bool ascending = !TfmSimil2Other::sortAscending();
        clickHeader(2);
        EXPECT_EQ(TfmSimil2Other::sortAscending(), ascending);
        // 37.20, 37.80 and 37.00 are equal by whole percents; 36.99 is below them.
        const QStringList ascendingOrder{QStringLiteral("10"), QStringLiteral("2"),
                                         QStringLiteral("1"), QStringLiteral("3"),
                                         QStringLiteral("4")};
        EXPECT_EQ(nums(), ascending ? ascendingOrder : descending);
        EXPECT_EQ(list->horizontalHeader()->sortIndicatorSection(), 2);
    }
    // The selection follows its row.
    EXPECT_EQ(selectedNum(), 3);

    const bool ascending = !TfmSimil2Other::sortAscending();
    clickHeader(0);
    EXPECT_EQ(nums(), ascending ? (QStringList{"1", "2", "3", "4", "10"})
                                : (QStringList{"10", "4", "3", "2", "1"}));

    // The direction persists over the next opening, which sorts highest first.
    open({ok(1, 1), ok(2, 2)});
    EXPECT_EQ(TfmSimil2Other::sortAscending(), ascending);
    EXPECT_EQ(nums(), (QStringList{"2", "1"}));
}

TEST(SimilRows, UrlOrderIgnoresLatinCaseOnly) {
    auto cmp = [](const char *a, const char *b) {
        return CompareSimilRows({1, QString::fromUtf8(a), 0, 0}, {1, QString::fromUtf8(b), 0, 1},
                                1);
    };
    EXPECT_EQ(cmp("HTTP://A.org", "http://a.org"), 0);
    EXPECT_LT(cmp("http://A", "http://b"), 0);
    EXPECT_LT(cmp("http://a", "http://ab"), 0);
    EXPECT_LT(cmp("http://[", "http://A"), 0); // A is compared as a, after [
    EXPECT_NE(cmp("http://Я", "http://я"), 0); // no folding beyond A-Z
    EXPECT_LT(cmp("http://Я", "http://а"), 0); // by code: U+042F before U+0430
    EXPECT_EQ(CompareSimilRows({5, {}, 0, 0}, {7, {}, 0, 1}, 0), -1);
    EXPECT_EQ(CompareSimilRows({5, {}, 1, 0}, {7, {}, 99, 1}, -1), 0);
}

TEST_F(SimilWindow, CopiesTheListAsShown) {
    open({ok(2, 12.5), ok(11, 45.25)});
    fm.findChild<QPushButton *>(QStringLiteral("SBCopy"))->click();
    const QString want = QStringLiteral("№\tURL\tСходство, %\r\n\r\n11\t") + url(11) + u'\t' +
                         dec("45.25") + QStringLiteral("\r\n2\t") + url(2) + u'\t' + dec("12.50");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), want);

    // Dragging a column does not change the order of the copied fields.
    list->horizontalHeader()->moveSection(2, 0);
    EXPECT_EQ(fm.clipboardText(), want);

    open({});
    EXPECT_EQ(fm.clipboardText(), QStringLiteral("№\tURL\tСходство, %\r\n"));
}

TEST_F(SimilWindow, EnterAndDoubleClickOpenTheDiff) {
    open({ok(2, 12.5), ok(3, 60), ok(2, 99)});
    for (int way = 0; way < 2; ++way) {
        QString title, url2;
        int rows = -1;
        QTimer::singleShot(0, [&] {
            TfmDiffText *diff = TfmDiffText::instance();
            title = diff->windowTitle();
            url2 = diff->model()->headerData(4, Qt::Horizontal).toString();
            rows = diff->model()->rowCount();
            EXPECT_EQ(diff->parentWidget(), &fm);
            QTest::keyClick(diff->findChild<QTreeView *>(QStringLiteral("vtDiffText")),
                            Qt::Key_Escape);
        });
        // The first row is the second entry of task 2 (99.00).
        const QModelIndex row0 = list->model()->index(0, 1);
        list->setCurrentIndex(list->model()->index(2, 1));
        if (way == 0) {
            list->setCurrentIndex(row0);
            QTest::keyClick(list, Qt::Key_Return);
        } else {
            const QPoint at = list->visualRect(row0).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        }
        EXPECT_EQ(url2, url(2)) << way;
        EXPECT_EQ(rows, 2);
        // The similarity the source holds for task 2 is that of its first entry.
        EXPECT_TRUE(title.contains(dec("12.50"))) << title.toStdString();
        EXPECT_TRUE(fm.isVisible());
    }
    EXPECT_TRUE(dialogs.calls.isEmpty());

    // Escape in the list closes the window.
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(fm.isVisible());
}
