#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include "common/TestDialogs.h"
#include "core/shingles.h"
#include "ui/common/dialogs.h"
#include "ui/compare/wndtextsimil.h"
#include "ui/qt_print.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

QString result(const QString &number) {
    return QStringLiteral("Тексты схожи на: %1%").arg(number);
}

QString decimal(const char *number) {
    return QString::fromLatin1(number).replace(u'.', QLocale::system().decimalPoint());
}

// The batch measure over two pane texts, as corvane-cli compare computes it.
double measure(QString a, QString b, int n, bool skip) {
    a.replace(u'\n', QStringLiteral("\r\n"));
    b.replace(u'\n', QStringLiteral("\r\n"));
    NormalizeText(a);
    NormalizeText(b);
    return ShingleSimilarity(*BuildShingles(a, {}, n, skip), *BuildShingles(b, {}, n, skip));
}

const QString Prose1 =
    QStringLiteral("The quick brown fox jumps over the lazy dog near the river bank.\n"
                   "Every morning the fox runs along the river to find something to eat.\n"
                   "Лиса бежит вдоль реки каждое утро, чтобы найти что-нибудь поесть.");
const QString Prose2 =
    QStringLiteral("The quick brown fox jumps over the lazy dog near the old mill.\n"
                   "Every morning the fox runs along the river to find something to eat.\n"
                   "Лиса бежит вдоль реки каждый вечер, чтобы найти что-нибудь поесть.");

class TextSimilWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fm.prepare(6, true);
        fm.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&fm));
        ed1 = fm.findChild<QTextEdit *>(QStringLiteral("edText1"));
        ed2 = fm.findChild<QTextEdit *>(QStringLiteral("edText2"));
        bt = fm.findChild<QPushButton *>(QStringLiteral("btCalcSimil"));
        value = fm.findChild<QLineEdit *>(QStringLiteral("edSimilValue"));
        ASSERT_TRUE(ed1 && ed2 && bt && value);
    }

    QString compare(const QString &a, const QString &b) {
        ed1->setPlainText(a);
        ed2->setPlainText(b);
        QTest::mouseClick(bt, Qt::LeftButton);
        return value->text();
    }

    TestDialogs dialogs;
    TfmShowTextSimil fm;
    QTextEdit *ed1 = nullptr, *ed2 = nullptr;
    QPushButton *bt = nullptr;
    QLineEdit *value = nullptr;
};

} // namespace

TEST_F(TextSimilWindow, OpensShowingZero) {
    EXPECT_EQ(fm.windowTitle(), QStringLiteral("Сравнение текстов на схожесть"));
    EXPECT_EQ(bt->text(), QStringLiteral("Сравнить"));
    EXPECT_TRUE(value->isReadOnly());
    EXPECT_TRUE(fm.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(fm.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(fm.findChild<QGroupBox *>(QStringLiteral("gbText1"))->title(),
              QStringLiteral(" Текст #1 "));
    EXPECT_EQ(fm.findChild<QGroupBox *>(QStringLiteral("gbText2"))->title(),
              QStringLiteral(" Текст #2 "));
    EXPECT_EQ(value->text(), result(decimal("0.00")));

    // A later opening shows 0 again, whatever the last result was, and the
    // panes keep their text.
    EXPECT_EQ(compare(Prose1, Prose1), result(decimal("100.00")));
    fm.prepare(6, true);
    EXPECT_EQ(value->text(), result(decimal("0.00")));
    EXPECT_EQ(ed1->toPlainText(), Prose1);
}

TEST_F(TextSimilWindow, WarnsAboutAPaneWithoutContent) {
    struct Case {
        QString a, b, warning;
    };
    const QString blank = QStringLiteral("  \t\n \n«—» (...) !?");
    const Case cases[] = {
        // Pane 1 is examined first; pane 2 is not looked at then.
        {QString(), Prose1, QStringLiteral("Текст #1 не имеет содержимого для сравнения")},
        {blank, blank, QStringLiteral("Текст #1 не имеет содержимого для сравнения")},
        {Prose1, blank, QStringLiteral("Текст #2 не имеет содержимого для сравнения")},
    };
    for (const Case &c : cases) {
        dialogs.calls.clear();
        EXPECT_TRUE(compare(c.a, c.b).isEmpty()) << c.warning.toStdString();
        ASSERT_EQ(dialogs.calls.size(), 1);
        EXPECT_EQ(dialogs.calls[0].kind, TestDialogs::Kind::Message);
        EXPECT_EQ(dialogs.calls[0].icon, MessageIcon::Warning);
        EXPECT_EQ(dialogs.calls[0].text, c.warning);
        EXPECT_EQ(dialogs.calls[0].parent, &fm);
        // The panes are not changed by the comparison.
        EXPECT_EQ(ed1->toPlainText(), c.a);
    }
}

TEST_F(TextSimilWindow, Results) {
    struct Case {
        const char *name;
        QString a, b;
        const char *want;
    };
    const Case cases[] = {
        {"identical", Prose1, Prose1, "100.00"},
        {"case, blanks and punctuation only", Prose1,
         Prose1.toUpper().replace(u' ', QStringLiteral(" \t ")).replace(u'.', QStringLiteral("!!")),
         "100.00"},
        {"both too short for a shingle", QStringLiteral("one two"), QStringLiteral("three"),
         "100.00"},
        {"one too short for a shingle", QStringLiteral("one two"), Prose1, "0.00"},
        {"nothing in common", Prose1,
         QStringLiteral("entirely different words make up this other text"), "0.00"},
    };
    for (const Case &c : cases) EXPECT_EQ(compare(c.a, c.b), result(decimal(c.want))) << c.name;
    EXPECT_TRUE(dialogs.calls.isEmpty());

    // Partly similar texts give the batch measure with the captured settings.
    for (const auto &[n, skip] : {std::pair{6, true}, std::pair{3, false}, std::pair{10, true}}) {
        fm.prepare(n, skip);
        const double want = measure(Prose1, Prose2, n, skip);
        ASSERT_GT(want, 0);
        ASSERT_LT(want, 100);
        EXPECT_EQ(compare(Prose1, Prose2),
                  result(decimal(QString::asprintf("%3.2f", want).toLatin1().constData())))
            << n;
    }
}

TEST_F(TextSimilWindow, TypedTextAndKeyboard) {
    ed1->clear();
    ed2->clear();
    QTest::keyClicks(ed1, QStringLiteral("alpha beta gamma delta"));
    QTest::keyClick(ed1, Qt::Key_Return);
    QTest::keyClicks(ed1, QStringLiteral("epsilon zeta eta theta"));
    QTest::keyClicks(ed2, QStringLiteral("ALPHA beta gamma delta epsilon zeta eta theta"));
    bt->setFocus();
    QTest::keyClick(bt, Qt::Key_Space);
    // A line break between words is a word break, as in the batch check.
    EXPECT_EQ(value->text(), result(decimal("100.00")));
}

TEST_F(TextSimilWindow, LongLinesWrapAndBothPanesOpenAtTheirStart) {
    // A page pasted as one long line per paragraph, and many lines in pane 2.
    QString paragraph;
    for (int i = 0; i < 60; ++i) paragraph += QStringLiteral("word%1 ").arg(i);
    QString many;
    for (int i = 0; i < 300; ++i) many += QStringLiteral("line %1\n").arg(i);
    ed1->setPlainText(paragraph + u'\n' + paragraph);
    ed2->setPlainText(many);
    ed2->moveCursor(QTextCursor::End); // where typing or pasting leaves it
    QCoreApplication::processEvents();
    EXPECT_FALSE(ed1->horizontalScrollBar()->isVisible());
    EXPECT_GT(ed1->document()->size().height(), 2 * ed1->fontMetrics().height() * 2);
    ASSERT_GT(ed2->verticalScrollBar()->value(), 0);

    fm.hide();
    fm.prepare(6, true);
    fm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fm));
    for (QTextEdit *ed : {ed1, ed2}) {
        EXPECT_EQ(ed->verticalScrollBar()->value(), 0) << ed->objectName().toStdString();
        EXPECT_EQ(ed->textCursor().position(), 0) << ed->objectName().toStdString();
    }
    EXPECT_EQ(ed2->toPlainText(), many); // the text itself stays
}

TEST_F(TextSimilWindow, ResizeRule) {
    auto *bar = fm.findChild<QWidget *>(QStringLiteral("bottomBar"));
    auto *splitter = fm.findChild<QSplitter *>();
    ASSERT_TRUE(bar && splitter);
    for (const QSize size : {QSize(1145, 658), QSize(901, 500), QSize(1400, 700)}) {
        fm.resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->height(), 38);
        EXPECT_EQ(bar->width(), fm.width());
        EXPECT_EQ(bt->geometry(), QRect(bar->width() - 241 - 5, 6, 241, 25)) << size.width();
        EXPECT_EQ(value->geometry(), QRect(bar->width() / 2 - 391 / 2, 6, 391, 25));
        EXPECT_EQ(splitter->sizes().value(0), fm.frameGeometry().width() / 2) << size.width();
        EXPECT_EQ(splitter->handleWidth(), 5);
        // Moving the border by hand lasts until the next resize.
        splitter->setSizes({200, splitter->width() - 205});
        EXPECT_EQ(splitter->sizes().value(0), 200);
    }
}

TEST(TextSimilOpen, IsModalAndKeepsOneWindow) {
    TestDialogs dialogs;
    QWidget mainWindow;
    bool wasModal = false;
    QString shown;
    QTimer::singleShot(0, [&] {
        TfmShowTextSimil *fm = TfmShowTextSimil::instance();
        wasModal = fm->isModal() && fm->isVisible();
        fm->findChild<QTextEdit *>(QStringLiteral("edText1"))->setPlainText(Prose1);
        fm->findChild<QTextEdit *>(QStringLiteral("edText2"))->setPlainText(Prose2);
        QTest::mouseClick(fm->findChild<QPushButton *>(QStringLiteral("btCalcSimil")),
                          Qt::LeftButton);
        shown = fm->findChild<QLineEdit *>(QStringLiteral("edSimilValue"))->text();
        QTest::keyClick(fm, Qt::Key_Escape);
    });
    TfmShowTextSimil::Open(3, false, &mainWindow);
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(
        shown,
        result(decimal(
            QString::asprintf("%3.2f", measure(Prose1, Prose2, 3, false)).toLatin1().constData())));
    TfmShowTextSimil *fm = TfmShowTextSimil::instance();
    EXPECT_FALSE(fm->isVisible());
    // The same window again, its panes as they were.
    EXPECT_EQ(fm->parentWidget(), &mainWindow);
    EXPECT_EQ(fm->findChild<QTextEdit *>(QStringLiteral("edText1"))->toPlainText(), Prose1);
}
