// The main window: start-up, log, languages, single instance.
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLockFile>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include "common/TestDialogs.h"
#include "core/i18n.h"
#include "ui/common/dialogs.h"
#include "ui/main/chart.h"
#include "ui/main/instance.h"
#include "ui/main/linklabel.h"
#include "ui/main/urllist.h"
#include "ui/uitest.h"

using namespace corvane;
using namespace corvane::ui;
using namespace corvane::test;

namespace {

QString LogText(TfmMain *W, int Row) {
    auto *Log = W->findChild<QTableWidget *>(QStringLiteral("lvLog"));
    return Log->item(Row, 1)->text();
}

QString UrlPageCaption(TfmMain *W) {
    auto *Pages = W->findChild<QTabWidget *>(QStringLiteral("pcPages"));
    return Pages->tabText(0);
}

QStringList LegendLabels(TfmMain *W) {
    QStringList L;
    for (QPieSlice *S : W->Chart()->Series()->slices()) L << S->label();
    EXPECT_EQ(L, W->Chart()->LegendTexts());
    return L;
}

void PickLanguage(TfmMain *W, int Index) {
    auto *Lang = W->findChild<QComboBox *>(QStringLiteral("cbAppLang"));
    Lang->setCurrentIndex(Index);
    emit Lang->activated(Index);
}

} // namespace

TEST(WindowStart, ShowsTheStartLineTheLayoutAndTheVersion) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    auto *Log = Find<QTableWidget>(W.get(), "lvLog");
    ASSERT_EQ(Log->rowCount(), 1);
    EXPECT_EQ(LogText(W.get(), 0), QStringLiteral("Запуск программы"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                    .match(Log->item(0, 0)->text())
                    .hasMatch());
    EXPECT_EQ(Find<QLabel>(W.get(), "lbVersion")->text(), QStringLiteral("Version: 1.4.0.28"));
    EXPECT_EQ(W->windowTitle(), QStringLiteral("Corvane"));
    EXPECT_EQ(UrlPageCaption(W.get()), QStringLiteral(" Список URL "));

    // The button column as the window defines it; run buttons off with an empty list.
    struct Btn {
        const char *Name;
        const char *Text;
        int Top;
        bool Enabled;
    };
    const Btn Buttons[] = {
        {"btInsertURLs4Clip", "Вставить из буфера", 3, true},
        {"btImportURLs4TXT", "Импорт URL из txt...", 34, true},
        {"btImportURLs4XML", "Импорт URL из xml...", 65, true},
        {"btImportFiles", "Импорт из файлов...", 96, true},
        {"btCrawlSite", "Сканировать сайт...", 127, true},
        {"btRunRequests", "Проверить URL", 169, false},
        {"btAbortRequests", "Отмена", 200, false},
        {"btExport", "Экспорт...", 241, false},
    };
    for (const Btn &B : Buttons) {
        auto *P = Find<QPushButton>(W.get(), B.Name);
        ASSERT_NE(P, nullptr);
        EXPECT_EQ(P->text(), QString::fromUtf8(B.Text));
        EXPECT_EQ(P->geometry(), QRect(10, B.Top, 158, 25)) << B.Name;
        EXPECT_EQ(P->isEnabled(), B.Enabled) << B.Name;
    }
    EXPECT_TRUE(Find<QPushButton>(W.get(), "btRunRequests")->isDefault());
    EXPECT_EQ(W->Chart()->geometry(), QRect(10, 285, 158, 255));
    EXPECT_EQ(Find<QTabWidget>(W.get(), "pcBottom")->currentWidget()->objectName(),
              QStringLiteral("tsNews"));
    EXPECT_FALSE(Find<QWidget>(W.get(), "pProgress")->isVisible());
}

TEST(WindowLog, NewestLineOnTopAndNoLimit) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    const QDateTime T0(QDate(2024, 1, 2), QTime(9, 5, 7));
    for (int i = 1; i <= 10000; ++i)
        W->AddToLog(QStringLiteral("line %1").arg(i), T0.addSecs(i - 1));
    auto *Log = Find<QTableWidget>(W.get(), "lvLog");
    EXPECT_EQ(Log->rowCount(), 10001);
    EXPECT_EQ(Log->item(0, 1)->text(), QStringLiteral("line 10000"));
    EXPECT_EQ(Log->item(9999, 0)->text(), QStringLiteral("09:05:07"));
    EXPECT_EQ(Log->item(10000, 1)->text(), QStringLiteral("Запуск программы"));
}

TEST(WindowLanguage, StartLanguageFromTheFileOrTheLocale) {
    struct Case {
        const char *Ini; // nullptr: no settings file
        unsigned Lcid;
        const char *Caption;
    };
    const Case Cases[] = {
        {nullptr, 1049, " Список URL "},               // Russian system
        {nullptr, 1033, " URL list "},                 // any other system
        {"[PARAMS]\nlang=RU\n", 1033, " Список URL "}, // stored code, any letter case
        {"[PARAMS]\nlang=en\n", 1049, " URL list "},
        {"[PARAMS]\nlang=de\n", 1049, " Список URL "}, // unknown code: the locale rule
        {"[PARAMS]\nlang=de\n", 1033, " URL list "},
    };
    for (const Case &C : Cases) {
        TAppFolder Folder;
        if (C.Ini) Folder.WriteIni(C.Ini);
        auto W = OpenWindow(C.Lcid);
        EXPECT_EQ(UrlPageCaption(W.get()), QString::fromUtf8(C.Caption))
            << (C.Ini ? C.Ini : "no file") << " lcid " << C.Lcid;
        W->close();
    }
}

TEST(WindowLanguage, SwitchToEnglishChangesWhatTheWindowHoldsNotWhatCodeWrote) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    auto *Pages = Find<QTabWidget>(W.get(), "pcPages");
    const QStringList RussianLegend = LegendLabels(W.get());
    ASSERT_EQ(RussianLegend,
              (QStringList{QStringLiteral("Хорошо (0%)"), QStringLiteral("Средне (0%)"),
                           QStringLiteral("Плохо (0%)")}));

    Pages->setCurrentIndex(1);
    PickLanguage(W.get(), 1);
    // The window is translated at once, the URL page caption included.
    EXPECT_EQ(UrlPageCaption(W.get()), QStringLiteral(" URL list "));
    EXPECT_EQ(Find<QGroupBox>(W.get(), "gbOptions")->title(), QStringLiteral(" Settings "));
    EXPECT_EQ(Find<QPushButton>(W.get(), "btRunRequests")->text(), QStringLiteral("Check URLs"));
    // Not translated: earlier log lines, user-agent names, language names, version.
    EXPECT_EQ(LogText(W.get(), 0), QStringLiteral("Запуск программы"));
    auto *Agents = Find<QComboBox>(W.get(), "edUserAgent");
    EXPECT_EQ(Agents->itemText(16), QStringLiteral("Персональные настройки"));
    EXPECT_EQ(Find<QComboBox>(W.get(), "cbAppLang")->itemText(0), QStringLiteral("Русский"));
    EXPECT_EQ(Find<QLabel>(W.get(), "lbVersion")->text(), QStringLiteral("Version: 1.4.0.28"));
    // The chart follows when the URL page is shown again.
    EXPECT_EQ(LegendLabels(W.get()), RussianLegend);
    Pages->setCurrentIndex(0);
    EXPECT_EQ(LegendLabels(W.get()),
              (QStringList{QStringLiteral("Good (0%)"), QStringLiteral("Medium (0%)"),
                           QStringLiteral("Poor (0%)")}));
    EXPECT_EQ(W->Chart()->TitleText(), QStringLiteral("Uniqueness\ndistribution"));

    // And back: the remembered source texts are translated again.
    Pages->setCurrentIndex(1);
    PickLanguage(W.get(), 0);
    EXPECT_EQ(UrlPageCaption(W.get()), QStringLiteral(" Список URL "));
    EXPECT_EQ(Find<QPushButton>(W.get(), "btRunRequests")->text(), QStringLiteral("Проверить URL"));

    // Only the language and the user-agent choice were touched: those two are written.
    PickLanguage(W.get(), 1);
    W->close();
    EXPECT_EQ(Folder.ReadIni(), QByteArray("[PARAMS]\r\nuser-agent=0\r\nlang=en\r\n"));
}

TEST(WindowInstance, SecondCopyIsRefusedAndStaleLocksAreTakenOver) {
    QTemporaryDir Tmp;
    {
        TInstanceGuard First(Tmp.path()), Second(Tmp.path());
        EXPECT_TRUE(First.Acquire());
        EXPECT_FALSE(Second.Acquire());
    }
    // A lock left behind by a process that no longer runs.
    QFile Stale(Tmp.filePath(QStringLiteral("CORVANE_INSTANCE.lock")));
    ASSERT_TRUE(Stale.open(QIODevice::WriteOnly));
    Stale.write("999999999\nCorvane\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    Stale.close();
    TInstanceGuard Again(Tmp.path());
    EXPECT_TRUE(Again.Acquire());
}

TEST(WindowInstance, SecondCopyBoxSpeaksTheStoredLanguage) {
    struct Case {
        const char *Ini;
        bool Russian;
    };
    const Case Cases[] = {
        {nullptr, true},                     // no file
        {"[PARAMS]\nmax-threads=3\n", true}, // no key
        {"[PARAMS]\nlang=ru\n", true},
        {"[PARAMS]\nlang=RU\n", false}, // exact "ru" only, unlike the window
        {"[PARAMS]\nlang=en\n", false},
    };
    for (const Case &C : Cases) {
        QTemporaryDir Tmp;
        const QString Ini = Tmp.filePath(QStringLiteral("Corvane.ini"));
        if (C.Ini) {
            QFile F(Ini);
            ASSERT_TRUE(F.open(QIODevice::WriteOnly));
            F.write(C.Ini);
        }
        const TSecondCopyBox Box = SecondCopyBox(Ini);
        if (C.Russian) {
            EXPECT_EQ(Box.Title, QStringLiteral("Предупреждение"));
            EXPECT_EQ(Box.Text, QStringLiteral("Программа уже запущена"));
        } else {
            EXPECT_EQ(Box.Title, QStringLiteral("Warning"));
            EXPECT_EQ(Box.Text, QStringLiteral("Program already started!"));
        }
    }
}

TEST(WindowLog, EngineTimesShowTheirWallClockTime) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    // Day counts start in 1899, when many zones kept local mean time (India
    // +5:53:28 then, +5:30 now): the line shows the recorded wall-clock time.
    const TDateTime T = MsToDateTime(DateTimeToMs(45306.0) + (9 * 3600 + 5 * 60 + 7) * 1000LL);
    W->LogLine(QStringLiteral("x"), T);
    EXPECT_EQ(Find<QTableWidget>(W.get(), "lvLog")->item(0, 0)->text(), QStringLiteral("09:05:07"));
    W->close();
}

TEST(WindowLayout, TheURLColumnTakesTheWidthAndNothingIsCutAtTheSmallestSize) {
    TAppFolder Folder;
    auto W = OpenWindow(1033);
    auto *List = Find<ui::TURLListView>(W.get(), "vtURLs");
    auto Sections = [List] {
        int Sum = 0;
        for (int C = 0; C < ui::ucCount; ++C)
            if (!List->isColumnHidden(C)) Sum += List->horizontalHeader()->sectionSize(C);
        return Sum;
    };
    for (const QSize Size : {QSize(985, 750), QSize(1280, 800)}) {
        W->resize(Size);
        QCoreApplication::processEvents();
        EXPECT_EQ(Sections(), List->viewport()->width()) << Size.width(); // no empty strip
    }
    // No smaller than what shows the buttons and the whole chart on the URL
    // page, and every control of the settings page.
    W->resize(600, 400);
    QCoreApplication::processEvents();
    EXPECT_GT(W->width(), 600);
    EXPECT_GT(W->height(), 400);
    EXPECT_EQ(W->Chart()->visibleRegion().boundingRect(), W->Chart()->rect());
    // The first five columns fit whole; the analysis columns scroll, unless
    // they are hidden.
    EXPECT_GE(List->columnWidth(ui::ucURL), 120);
    EXPECT_LE(List->horizontalHeader()->sectionViewportPosition(ui::ucInfo) +
                  List->columnWidth(ui::ucInfo),
              List->viewport()->width());
    List->SetHiddenColumns({ui::ucGroup, ui::ucTemplate, ui::ucWords, ui::ucCanonical});
    QCoreApplication::processEvents();
    EXPECT_EQ(Sections(), List->viewport()->width());
    List->SetHiddenColumns({});
    Find<QTabWidget>(W.get(), "pcPages")->setCurrentIndex(1);
    QCoreApplication::processEvents();
    for (const char *Name :
         {"edUserAgentText", "cbAppLang", "PngBitBtn1", "LinkLabel1", "Label11"}) {
        QWidget *C = Find<QWidget>(W.get(), Name);
        EXPECT_EQ(C->visibleRegion().boundingRect(), C->rect()) << Name;
    }
    W->close();
}

TEST(WindowLinks, WithoutABrowserTheLinkSaysSo) {
    QTemporaryDir EmptyBin;
    const QByteArray Path = qgetenv("PATH"), Browser = qgetenv("BROWSER");
    qputenv("PATH", QFile::encodeName(EmptyBin.path()));
    qunsetenv("BROWSER");
    TAppFolder Folder;
    ui::TestDialogs Dialogs;
    auto W = OpenWindow(1049);
    emit Find<TLinkLabel>(W.get(), "LinkLabel1")->LinkClick();
    qputenv("PATH", Path);
    if (!Browser.isNull()) qputenv("BROWSER", Browser);
    ASSERT_EQ(Dialogs.messages().size(), 1);
    EXPECT_TRUE(Dialogs.messages()[0].startsWith(QStringLiteral("Не удалось открыть ") +
                                                 ProductHomeUrl(true)))
        << Dialogs.messages()[0].toStdString();
    W->close();
}
