#include <clocale>
#include <string>

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "common/TestDialogs.h"
#include "core/format.h"
#include "engine/typeslib.h"
#include "ui/common/dialogs.h"
#include "ui/qt_print.h"

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
    };
    for (const Case &c : cases)
        EXPECT_EQ(corvane::FormatText(QString::fromUtf8(c.format), {c.value}), c.want) << c.format;
    EXPECT_EQ(corvane::PercentText(37.2), dec("37.20"));
    // What is no conversion, or has no argument, stays as written; an
    // argument of another kind than its conversion is written as its text.
    EXPECT_EQ(corvane::FormatText(QStringLiteral("50% %d %"), {}), QStringLiteral("50% %d %"));
    EXPECT_EQ(corvane::FormatText(QStringLiteral("%d of %s, %x"), {QStringLiteral("a"), 2}),
              QStringLiteral("a of 2, %x"));
    EXPECT_EQ(corvane::FormatText(QStringLiteral("URL %d: %s (%3d)"), {7, "x", 5}),
              QStringLiteral("URL 7: x (  5)"));
}

// The C library of a process whose LC_NUMERIC says U+066B writes that
// separator as two UTF-8 bytes. The numbers of the windows and the report
// (the uniqueness text) take their separator from Qt's locale and come out
// whole in every case. The locale is compiled into a temporary folder, so
// that the machine needs none installed.
TEST(Format, SeparatorsOfSeveralBytesComeOutWhole) {
    QTemporaryDir Dir;
    const QString Def = Dir.filePath(QStringLiteral("sep.def"));
    {
        QFile F(Def);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write("LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
                "LC_NUMERIC\ndecimal_point \"<U066B>\"\nthousands_sep \"\"\ngrouping -1\n"
                "END LC_NUMERIC\n");
    }
    QProcess Localedef;
    Localedef.start(QStringLiteral("localedef"),
                    {QStringLiteral("-c"), QStringLiteral("-i"), Def, QStringLiteral("-f"),
                     QStringLiteral("UTF-8"), Dir.filePath(QStringLiteral("xx_SEP.UTF-8"))});
    Localedef.waitForFinished(60000);
    if (!QFile::exists(Dir.filePath(QStringLiteral("xx_SEP.UTF-8/LC_NUMERIC"))))
        GTEST_SKIP() << "localedef could not build a test locale";

    const QByteArray OldPath = qgetenv("LOCPATH");
    const std::string OldNumeric = std::setlocale(LC_NUMERIC, nullptr);
    qputenv("LOCPATH", QFile::encodeName(Dir.path()));
    ASSERT_NE(std::setlocale(LC_NUMERIC, "xx_SEP.UTF-8"), nullptr);
    EXPECT_STREQ(std::localeconv()->decimal_point, "\xD9\xAB");

    struct Case {
        QLocale Locale;
        QString Point;
    } const Cases[] = {
        {QLocale::c(), QStringLiteral(".")},
        {QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral(",")},
        {QLocale(QLocale::Persian, QLocale::Iran), QStringLiteral("\u066B")},
    };
    for (const Case &C : Cases) {
        QLocale::setDefault(C.Locale);
        ASSERT_EQ(QLocale().decimalPoint(), C.Point);
        EXPECT_EQ(corvane::PercentText(87.25),
                  QStringLiteral("87") + C.Point + QStringLiteral("25"));
        EXPECT_EQ(corvane::PercentText(0.125),
                  QStringLiteral("0") + C.Point + QStringLiteral("12"));
        EXPECT_EQ(corvane::FormatMsg("Тексты схожи на: %3.2f%%", {57.1428}),
                  QStringLiteral("Тексты схожи на: 57") + C.Point + QStringLiteral("14%"));
    }

    QLocale::setDefault(QLocale::system());
    std::setlocale(LC_NUMERIC, OldNumeric.c_str());
    if (OldPath.isNull())
        qunsetenv("LOCPATH");
    else
        qputenv("LOCPATH", OldPath);
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
