#include <gtest/gtest.h>

#include "qt_print.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "ui/common/dialogs.h"
#include "ui/common/format.h"

using namespace corvane::ui;

TEST(Format, FillsFixedConversionsWithTheRegionalSeparator) {
    const QString point = QLocale::system().decimalPoint();
    auto dec = [&](const char *s) { return QString::fromLatin1(s).replace(u'.', point); };
    struct Case {
        const char *format;
        double value;
        QString want;
    };
    const Case cases[] = {
        {"Тексты схожи на: %3.2f%%", 57.142857,
         QStringLiteral("Тексты схожи на: ") + dec("57.14") + u'%'},
        {"%3.2f", 0, dec("0.00")},
        {"%3.2f", 100, dec("100.00")},
        {"%3.2f", 5.555, dec("5.55")},    // the double just below 5.555
        {"%6.1f|", 2.25, dec("   2.2|")}, // ties to even, as the C library rounds
        {"(подобие: %3.2f%%)", 99.999,
         QStringLiteral("(подобие: ") + dec("100.00") + QStringLiteral("%)")},
        // What is not a fixed conversion stays as written.
        {"50% %d %", 1, QStringLiteral("50% %d %")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatFloat(QString::fromUtf8(c.format), c.value), c.want) << c.format;
    EXPECT_EQ(FormatPercentValue(37.2), dec("37.20"));
}

TEST(Dialogs, RealMessageBoxHasOneOkButton) {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = -1;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        icon = box->icon();
        buttons = int(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    dialogs().warning(nullptr, QStringLiteral("Должно быть выбрано два URL"));
    EXPECT_EQ(text, QStringLiteral("Должно быть выбрано два URL"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
}

TEST(Dialogs, TestDialogsRecordAndAnswer) {
    {
        TestDialogs d;
        EXPECT_EQ(&dialogs(), &d);
        d.nextOpenFiles << QStringLiteral("/tmp/a.txt");
        d.nextOpenFileLists << QStringList{QStringLiteral("/tmp/b.html"),
                                           QStringLiteral("/tmp/c.txt")};
        dialogs().error(nullptr, QStringLiteral("error text"));
        EXPECT_EQ(dialogs().openFile(nullptr, QStringLiteral("Open"), QStringLiteral("/tmp"),
                                     QStringLiteral("*.txt")),
                  QStringLiteral("/tmp/a.txt"));
        EXPECT_TRUE(dialogs().openFile(nullptr, {}, {}, {}).isEmpty()); // nothing preset: cancel
        EXPECT_EQ(dialogs().openFiles(nullptr, {}, {}, {}).size(), 2);
        EXPECT_TRUE(dialogs().saveFile(nullptr, {}, {}, {}).isEmpty());
        ASSERT_EQ(d.calls.size(), 5);
        EXPECT_EQ(d.calls[0].icon, MessageIcon::Error);
        EXPECT_EQ(d.calls[1].kind, TestDialogs::Kind::OpenFile);
        EXPECT_EQ(d.calls[1].dir, QStringLiteral("/tmp"));
        EXPECT_EQ(d.messages(), QStringList{QStringLiteral("error text")});
    }
    EXPECT_NE(dynamic_cast<QtDialogs *>(&dialogs()), nullptr);
}
