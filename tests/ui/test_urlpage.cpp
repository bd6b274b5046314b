// The URL page of the real window: a user's whole way from the clipboard to
// the report against a site on 127.0.0.1, and the commands around a check.
#include <atomic>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include "common/TestDialogs.h"
#include "common/TestServer.h"
#include "core/i18n.h"
#include "ui/common/dialogs.h"
#include "ui/compare/textdiff.h"
#include "ui/compare/wndsimil2other.h"
#include "ui/main/urlcommands.h"
#include "ui/main/urllist.h"
#include "ui/uitest.h"

using namespace corvane;
using namespace corvane::ui;
using namespace corvane::test;

namespace {

std::string Page(const char *Heading, const QList<const char *> &Sentences) {
    std::string Body =
        "<html><head><title>t</title></head><body><h1>" + std::string(Heading) + "</h1>";
    for (const char *S : Sentences)
        for (int i = 0; i < 4; ++i)
            Body += "<p>" + std::string(S) + " in part " + std::to_string(i) + " of it</p>";
    return Body + "</body></html>";
}
const char *Garden = "the apple orchard tells a long story about the river and the quiet town";
const char *Plains =
    "striped herds graze quietly while distant lions watch patiently from tall grass";
const char *Harbour =
    "fishing boats return to the harbour before the evening storm reaches the coast";

// /a and /b alike, /c of its own, /d half like /a, /slow held until the gate opens.
struct TSite {
    TSite() {
        auto Serve = [this](const char *Path, std::string Body) {
            Server->Get(Path, [Body](const httplib::Request &, httplib::Response &R) {
                R.set_content(Body, "text/html");
            });
        };
        Serve("/a", Page("Apples", {Garden, Harbour}));
        Serve("/b", Page("Apples", {Garden, Harbour}));
        Serve("/c", Page("Zebras", {Plains}));
        Serve("/d", Page("Boats", {Harbour, Plains}));
        Server->Get("/slow", [this](const httplib::Request &, httplib::Response &R) {
            ++SlowStarted;
            Gate.Wait(std::chrono::seconds(20));
            R.set_content(Page("Slow", {Plains}), "text/html");
        });
        Server.Start();
    }
    ~TSite() {
        Gate.Open();
        Server.Stop();
    }
    TTestServer Server;
    TGate Gate;
    std::atomic<int> SlowStarted{0};
};

// The window's settings with no pause between requests, so the check is quick.
void NoDelay(TfmMain *W) {
    W->RunController()->SetSettingsSource([W] {
        TRunSettings S;
        S.MaxThreads = W->MaxThreads();
        S.Delay = 0;
        S.ShingleLength = W->ShingleLengthSetting();
        S.UserAgent = W->UserAgentText();
        S.AlgVer = W->AlgorithmValue();
        S.IgnoreStopWords = W->IgnoreStopWords();
        return S;
    });
}

// A Russian window with the local extraction and no delay, its list pasted
// from the site's Paths.
TWindow WindowWithList(const TSite &Site, const TAppFolder &Folder, const QStringList &Paths) {
    Folder.WriteIni("[PARAMS]\nalg-version=2\nlang=ru\n");
    auto W = OpenWindow(1049);
    NoDelay(W.get());
    const QString Base = Site.Server.Url("/").chopped(1);
    QString Text;
    for (const QString &P : Paths) Text += Base + P + u'\n';
    QGuiApplication::clipboard()->setText(Text);
    W->URLCommands()->btInsertURLs4ClipClick();
    return W;
}

QByteArray ReadFile(const QString &Path) {
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray("<missing>");
}

struct TLocaleScope {
    explicit TLocaleScope(const QLocale &L) { QLocale::setDefault(L); }
    ~TLocaleScope() {
        QLocale::setDefault(QLocale::system());
        SetCatalogLanguage(QStringLiteral("ru"));
    }
};

} // namespace

// A user's way: five lines on the clipboard, "Вставить из буфера", "Проверить
// URL", the end of the check, "Экспорт..." — in Russian with a decimal comma
// and in English with a decimal point.
TEST(URLPage, ClipboardCheckAndReportInBothLanguages) {
    struct Case {
        const char *Lang;
        QLocale Locale;
        const char *Expected;
        const char *DialogTitle;
    } const Cases[] = {
        {"ru", QLocale(QLocale::Russian, QLocale::Russia), "report-ru.csv",
         "Укажите файл для экспорта"},
        {"en", QLocale(QLocale::English, QLocale::UnitedStates), "report-en.csv",
         "Choose the export file"},
    };
    TSite Site;
    for (const Case &C : Cases) {
        TLocaleScope Locale(C.Locale);
        TAppFolder Folder;
        Folder.WriteIni(QByteArray("[PARAMS]\nalg-version=2\nmax-threads=3\nlang=") + C.Lang +
                        "\n");
        ui::TestDialogs Dialogs;
        auto W = OpenWindow(1049);
        NoDelay(W.get());
        const QString Base = Site.Server.Url("/").chopped(1);
        QGuiApplication::clipboard()->setText(
            QStringLiteral("  %1/a  \n%1/style.css\n%1/b\r\n%1/missing\n%1/d\n").arg(Base));
        QTest::mouseClick(Find<QPushButton>(W.get(), "btInsertURLs4Clip"), Qt::LeftButton);
        ASSERT_EQ(W->Tasks()->size(), 4) << C.Lang;
        // The list's header and menu speak the interface language.
        TURLListView *View = W->URLCommands()->View();
        EXPECT_EQ(View->model()->headerData(2, Qt::Horizontal).toString(),
                  QString::fromUtf8(C.Lang == QByteArrayView("ru") ? "Код ответа" : "Status"));
        EXPECT_EQ(
            W->URLCommands()->Menu()->findChild<QAction *>(QStringLiteral("miDeleteURL"))->text(),
            QString::fromUtf8(C.Lang == QByteArrayView("ru") ? "Удалить" : "Delete"));
        QTest::mouseClick(Find<QPushButton>(W.get(), "btRunRequests"), Qt::LeftButton);
        ASSERT_TRUE(WaitForEnd(W.get())) << C.Lang;
        auto *Export = Find<QPushButton>(W.get(), "btExport");
        ASSERT_TRUE(Export->isEnabled());

        const QString Report = Folder.Dir.filePath(QStringLiteral("report.csv"));
        QFile::remove(Report);
        Dialogs.nextSaveFiles << Folder.Dir.filePath(
            QStringLiteral("report")); // the extension is added
        QTest::mouseClick(Export, Qt::LeftButton);
        ASSERT_EQ(Dialogs.calls.size(), 1) << C.Lang;
        EXPECT_EQ(Dialogs.calls[0].kind, ui::TestDialogs::Kind::SaveFile);
        EXPECT_EQ(Dialogs.calls[0].text, QString::fromUtf8(C.DialogTitle));
        EXPECT_EQ(Dialogs.calls[0].dir, AppDir() + QStringLiteral("unique-report.csv"));
        EXPECT_EQ(Dialogs.calls[0].filter.section(QStringLiteral(";;"), 0, 0),
                  QStringLiteral("Excel (*.csv)"));
        QByteArray Want =
            ReadFile(QStringLiteral(CORVANE_TEST_DATA "/ui/") + QLatin1String(C.Expected));
        Want.replace("{base}", Base.toUtf8());
        EXPECT_EQ(ReadFile(Report), Want) << C.Lang;

        // Failure to create the file.
        Dialogs.nextSaveFiles << Folder.Dir.filePath(QStringLiteral("no/such/folder/r.csv"));
        QTest::mouseClick(Export, Qt::LeftButton);
        EXPECT_EQ(Dialogs.calls.last().kind, ui::TestDialogs::Kind::Message);
        EXPECT_EQ(Dialogs.calls.last().icon, ui::MessageIcon::Error);
        EXPECT_EQ(Dialogs.calls.last().text,
                  QString::fromUtf8(C.Lang == QByteArrayView("ru")
                                        ? "Невозможно создать файл экспорта!"
                                        : "Unable to create the export file!"));
        W->close();
    }
}

// The two comparison windows open from the list after a check.
TEST(URLPage, ComparisonWindowsFromTheList) {
    TSite Site;
    TAppFolder Folder;
    ui::TestDialogs Dialogs;
    auto W = WindowWithList(Site, Folder,
                            {QStringLiteral("/a"), QStringLiteral("/d"), QStringLiteral("/c")});
    QTest::mouseClick(Find<QPushButton>(W.get(), "btRunRequests"), Qt::LeftButton);
    ASSERT_TRUE(WaitForEnd(W.get()));
    TURLListView *View = W->URLCommands()->View();

    QString Modal;
    auto Watch = [&Modal] {
        auto *Timer = new QTimer;
        QObject::connect(Timer, &QTimer::timeout, [&Modal, Timer] {
            if (QWidget *M = QApplication::activeModalWidget()) {
                Modal = M->windowTitle();
                M->close();
                Timer->stop();
                Timer->deleteLater();
            }
        });
        Timer->start(20);
    };
    // Double click on a row: the similarity window of that row.
    View->SelectTask(W->Tasks()->at(0));
    Watch();
    emit View->RowDoubleClicked();
    EXPECT_EQ(Modal, QStringLiteral("Сходство с содержимым других URL"));
    // Enter in the list: the similarity window, not the window's default button.
    Modal.clear();
    W->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(W.get()));
    View->setFocus();
    Watch();
    QTest::keyClick(View, Qt::Key_Return);
    EXPECT_EQ(Modal, QStringLiteral("Сходство с содержимым других URL"));
    EXPECT_FALSE(W->RunController()->Running());
    // Two rows and Ctrl+D: the diff window.
    Modal.clear();
    View->selectAll();
    View->selectionModel()->select(View->model()->index(2, 0),
                                   QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    Watch();
    W->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(W.get()));
    View->setFocus();
    QTest::keyClick(View, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(Modal.startsWith(QStringLiteral("Сравнение содержимого двух URL (подобие: ")))
        << Modal.toStdString();
    EXPECT_TRUE(Dialogs.messages().isEmpty());
    W->close();
}

// While a check runs: the menu offers no change of the list, Del does nothing;
// a sitemap index empties the list and disables "Проверить URL".
TEST(URLPage, MenuDuringACheckAndTheSitemapIndex) {
    TSite Site;
    TAppFolder Folder;
    ui::TestDialogs Dialogs;
    auto W = WindowWithList(Site, Folder, {QStringLiteral("/slow"), QStringLiteral("/a")});
    QTest::mouseClick(Find<QPushButton>(W.get(), "btRunRequests"), Qt::LeftButton);
    WaitUntil([&] { return Site.SlowStarted != 0; }, 20000);
    ASSERT_TRUE(W->RunController()->Running());
    const TURLPageCommands::TAvailability A = W->URLCommands()->Availability();
    EXPECT_FALSE(A.Paste || A.CheckSelected || A.CheckErrors || A.Delete || A.Simil);
    EXPECT_TRUE(A.Compare && A.Open && A.Copy);
    TURLListView *View = W->URLCommands()->View();
    View->selectAll();
    W->URLCommands()->Menu()->findChild<QAction *>(QStringLiteral("miDeleteURL"))->trigger();
    EXPECT_EQ(W->Tasks()->size(), 2);
    for (const char *B : {"btInsertURLs4Clip", "btImportURLs4TXT", "btImportURLs4XML",
                          "btImportFiles", "btCrawlSite"})
        EXPECT_FALSE(Find<QPushButton>(W.get(), B)->isEnabled()) << B;
    Site.Gate.Open();
    ASSERT_TRUE(WaitForEnd(W.get()));

    QFile Index(Folder.Dir.filePath(QStringLiteral("sitemap.xml")));
    ASSERT_TRUE(Index.open(QIODevice::WriteOnly));
    Index.write("<?xml "
                "version=\"1.0\"?><sitemapindex><sitemap><loc>http://a.example/s.xml</loc></"
                "sitemap></sitemapindex>");
    Index.close();
    Dialogs.nextOpenFiles << Index.fileName();
    QTest::mouseClick(Find<QPushButton>(W.get(), "btImportURLs4XML"), Qt::LeftButton);
    EXPECT_EQ(
        Dialogs.messages(),
        QStringList{QStringLiteral("Файл данных имеет неприемлимый формат (нет тега \"urlset\")")});
    EXPECT_EQ(W->Tasks()->size(), 0);
    EXPECT_EQ(View->model()->rowCount(), 0);
    EXPECT_EQ(Find<QTabWidget>(W.get(), "pcPages")->tabText(0), QStringLiteral(" Список URL "));
    EXPECT_FALSE(Find<QPushButton>(W.get(), "btRunRequests")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(W.get(), "btExport")->isEnabled());
    W->close();
}

// "Проверить выбранные URL" (Ctrl+R) on one row: the report shows the other
// rows without code and uniqueness.
TEST(URLPage, CheckSelectedAndTheReportOfUncheckedRows) {
    TSite Site;
    TAppFolder Folder;
    ui::TestDialogs Dialogs;
    auto W = WindowWithList(Site, Folder, {QStringLiteral("/a"), QStringLiteral("/c")});
    const QString Base = Site.Server.Url("/").chopped(1);
    TURLListView *View = W->URLCommands()->View();
    View->SelectTask(W->Tasks()->at(1));
    W->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(W.get()));
    View->setFocus();
    QTest::keyClick(View, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(W->RunController()->Running());
    ASSERT_TRUE(WaitForEnd(W.get()));
    Dialogs.nextSaveFiles << Folder.Dir.filePath(QStringLiteral("r.csv"));
    QTest::mouseClick(Find<QPushButton>(W.get(), "btExport"), Qt::LeftButton);
    const QList<QByteArray> Lines =
        ReadFile(Folder.Dir.filePath(QStringLiteral("r.csv"))).split('\n');
    ASSERT_GE(Lines.size(), 3);
    // Sorted by uniqueness: the unchecked row counts as 100 and stays first (task order).
    EXPECT_EQ(Lines[1], "1;" + Base.toUtf8() + "/a;;;i\r");
    EXPECT_EQ(Lines[2], "2;" + Base.toUtf8() + "/c;200;" +
                            QByteArray("100,00").replace(',', QLocale().decimalPoint().toUtf8()) +
                            ";i\r");
    W->close();
}

// After a check: the group, template, words and canonical columns, the sort
// by group, the header's column menu, the analysis settings applied at once
// and kept, and the export with the extra columns. /a and /b are one group
// with no canonical link; the harbour passage is on three pages of four: the
// site's template.
TEST(URLPage, SiteAnalysisInTheList) {
    TSite Site;
    TAppFolder Folder;
    ui::TestDialogs Dialogs;
    auto W = WindowWithList(
        Site, Folder,
        {QStringLiteral("/c"), QStringLiteral("/a"), QStringLiteral("/d"), QStringLiteral("/b")});
    QTest::mouseClick(Find<QPushButton>(W.get(), "btRunRequests"), Qt::LeftButton);
    ASSERT_TRUE(WaitForEnd(W.get()));
    TURLListView *View = W->URLCommands()->View();
    TURLListModel *M = View->ListModel();
    EXPECT_TRUE(View->isColumnHidden(ucCanonical)) << "shown only on request";
    EXPECT_FALSE(View->isColumnHidden(ucGroup));

    auto Cell = [M](int Row, int Column, int Role = Qt::DisplayRole) {
        return M->data(M->index(Row, Column), Role);
    };
    auto ShownNums = [M] {
        QList<int> Nums;
        for (const TURLTaskInfo *T : M->Rows()) Nums << T->Num;
        return Nums;
    };
    // By group: the group first, its representative (the lower of two equal
    // pages) leading, marked bold; the group is not handled.
    View->vtURLsSortBy(ucGroup, Qt::AscendingOrder);
    EXPECT_EQ(ShownNums(), (QList<int>{2, 4, 1, 3}));
    EXPECT_EQ(Cell(0, ucGroup).toString(), QStringLiteral("1"));
    EXPECT_EQ(Cell(1, ucGroup).toString(), QStringLiteral("1"));
    EXPECT_EQ(Cell(2, ucGroup).toString(), QString());
    EXPECT_TRUE(Cell(0, ucGroup, Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(Cell(1, ucGroup, Qt::FontRole).value<QFont>().bold());
    EXPECT_TRUE(Cell(1, ucGroup, Qt::DecorationRole).isValid()) << "not handled";
    EXPECT_FALSE(Cell(2, ucGroup, Qt::DecorationRole).isValid());
    EXPECT_EQ(Cell(2, ucTemplate).toString(), QStringLiteral("0.00")) << "/c: no harbour";
    EXPECT_GT(Cell(0, ucTemplate).toString().toDouble(), 30);
    EXPECT_GT(Cell(0, ucWords).toInt(), 50);

    // The template left out at once: /d keeps only its plains, which /c holds.
    const TURLTaskInfo *D = M->Rows()[3];
    ASSERT_EQ(D->URL.right(2), QStringLiteral("/d"));
    const double Before = D->TaskResults->Uniqueness;
    Find<QTabWidget>(W.get(), "pcPages")->setCurrentIndex(1);
    Find<QCheckBox>(W.get(), "cbIgnoreTemplate")->click();
    EXPECT_LT(D->TaskResults->Uniqueness, Before);
    Find<QCheckBox>(W.get(), "cbIgnoreTemplate")->click();
    EXPECT_EQ(D->TaskResults->Uniqueness, Before);
    Find<QSpinBox>(W.get(), "edDupThreshold")->setValue(95);
    Find<QTabWidget>(W.get(), "pcPages")->setCurrentIndex(0);

    // The header's menu hides the word count.
    QTimer::singleShot(0, [] {
        auto *Menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_TRUE(Menu);
        for (QAction *A : Menu->actions())
            if (A->text() == QStringLiteral("Слов")) A->trigger();
        Menu->close();
    });
    View->ShowColumnsMenu(View->mapToGlobal(QPoint(10, 10)));
    EXPECT_TRUE(View->isColumnHidden(ucWords));

    // The export with the extra columns.
    const QString Report = Folder.Dir.filePath(QStringLiteral("extra.csv"));
    Dialogs.nextSaveFiles << Report;
    Dialogs.nextSaveFilters << QString::fromUtf8("Excel, с дополнительными столбцами (*.csv)");
    QTest::mouseClick(Find<QPushButton>(W.get(), "btExport"), Qt::LeftButton);
    const QList<QByteArray> Lines = ReadFile(Report).split('\n');
    ASSERT_GT(Lines.size(), 2);
    EXPECT_TRUE(Lines[0].contains("Группа;Представитель;Шаблон, %;Слов;Canonical;Noindex"))
        << Lines[0].toStdString();
    EXPECT_TRUE(Lines[1].startsWith("2;")) << "rows in the order shown";

    // Kept in the settings file, and read back by the next window.
    W->close();
    W.reset();
    const QByteArray Ini = Folder.ReadIni();
    EXPECT_TRUE(Ini.contains("hidden-columns=7,8")) << Ini.toStdString();
    EXPECT_TRUE(Ini.contains("duplicate-threshold=95")) << Ini.toStdString();
    EXPECT_TRUE(Ini.contains("ignore-template=0")) << Ini.toStdString();
    auto Again = OpenWindow(1049);
    EXPECT_TRUE(Again->URLCommands()->View()->isColumnHidden(ucWords));
    EXPECT_FALSE(Again->URLCommands()->View()->isColumnHidden(ucGroup));
    EXPECT_EQ(Find<QSpinBox>(Again.get(), "edDupThreshold")->value(), 95);
    Again->close();
}
