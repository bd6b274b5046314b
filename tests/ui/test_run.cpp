// Running a check from the window against a site on 127.0.0.1.
#include <atomic>
#include <map>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>

#include "common/TestDialogs.h"
#include "common/TestServer.h"
#include "ui/common/dialogs.h"
#include "ui/main/chart.h"
#include "ui/main/newsfetch.h"
#include "ui/uitest.h"

using namespace corvane;
using namespace corvane::ui;
using namespace corvane::test;

namespace {

// Pages with enough significant text for the local extraction: two alike,
// one of its own, and a missing page.
std::string Page(const char *Heading, const char *Sentence) {
    std::string Body =
        "<html><head><title>t</title></head><body><h1>" + std::string(Heading) + "</h1>";
    for (int i = 0; i < 12; ++i)
        Body += "<p>" + std::string(Sentence) + " " + std::to_string(i) + " times over</p>";
    return Body + "</body></html>";
}
const char *AppleH = "Apples and the garden of the old house";
const char *AppleS = "the apple orchard tells a long story about the river and the town";
const char *ZebraH = "Zebras crossing wide savanna plains at dawn";
const char *ZebraS = "striped herds graze quietly while distant lions watch patiently from grass";

struct TSite {
    TSite() {
        Server->Get("/a", [](const httplib::Request &, httplib::Response &R) {
            R.set_content(Page(AppleH, AppleS), "text/html");
        });
        Server->Get("/b", [](const httplib::Request &, httplib::Response &R) {
            R.set_content(Page(AppleH, AppleS), "text/html");
        });
        Server->Get("/c", [](const httplib::Request &, httplib::Response &R) {
            R.set_content(Page(ZebraH, ZebraS), "text/html");
        });
        Server->Get("/slow", [this](const httplib::Request &, httplib::Response &R) {
            ++SlowStarted;
            Gate.Wait(std::chrono::seconds(20));
            R.set_content(Page(ZebraH, AppleS), "text/html");
        });
        Server->set_logger([this](const httplib::Request &Q, const httplib::Response &) {
            std::lock_guard L(M);
            Agents.push_back(Q.get_header_value("User-Agent"));
            ++Requests[Q.path];
        });
        Server.Start();
    }
    ~TSite() {
        Gate.Open();
        Server.Stop(); // before the members its handlers use go
    }
    TTestServer Server;
    TGate Gate;
    std::atomic<int> SlowStarted{0};
    std::mutex M;
    std::vector<std::string> Agents;
    std::map<std::string, int> Requests; // by path
    int RequestsOf(const std::string &Path) {
        std::lock_guard L(M);
        return Requests[Path];
    }
};

// The local extraction, the smallest delay; the list filled as an import would.
TWindow WindowWithTasks(TAppFolder &Folder, const TSite &Site, const QStringList &Paths) {
    Folder.WriteIni("[PARAMS]\nalg-version=2\nreq-predelay=1500\nmax-threads=3\n");
    auto W = OpenWindow(1049);
    for (const QString &P : Paths)
        W->Tasks()->append(new TURLTaskInfo(Site.Server.Url(P.toLatin1().constData()),
                                            std::int32_t(W->Tasks()->size() + 1)));
    W->TaskListChanged();
    return W;
}

struct TButtons {
    bool Run, Abort, Imports, Export, Settings;
};

TButtons Buttons(TfmMain *W) {
    bool Imports = true;
    for (const char *N : {"btInsertURLs4Clip", "btImportURLs4TXT", "btImportURLs4XML",
                          "btImportFiles", "btCrawlSite"})
        Imports = Imports && W->findChild<QPushButton *>(QLatin1String(N))->isEnabled();
    return {W->findChild<QPushButton *>(QStringLiteral("btRunRequests"))->isEnabled(),
            W->findChild<QPushButton *>(QStringLiteral("btAbortRequests"))->isEnabled(), Imports,
            W->findChild<QPushButton *>(QStringLiteral("btExport"))->isEnabled(),
            W->findChild<QGroupBox *>(QStringLiteral("gbOptions"))->isEnabled()};
}

QStringList LogLines(TfmMain *W) {
    auto *Log = W->findChild<QTableWidget *>(QStringLiteral("lvLog"));
    QStringList L;
    for (int i = 0; i < Log->rowCount(); ++i) L << Log->item(i, 1)->text();
    return L;
}

} // namespace

TEST(WindowRun, ButtonsSettingsLogAndChartDuringAndAfterACheck) {
    TSite Site;
    TAppFolder Folder;
    auto W = WindowWithTasks(Folder, Site, {"/a", "/b", "/c", "/missing"});
    TButtons B = Buttons(W.get());
    EXPECT_TRUE(B.Run && !B.Abort && B.Imports && !B.Export && B.Settings);
    EXPECT_EQ(W->findChild<QTabWidget *>(QStringLiteral("pcPages"))->tabText(0),
              QStringLiteral(" Список URL (4) "));

    QTest::mouseClick(Find<QPushButton>(W.get(), "btRunRequests"), Qt::LeftButton);
    B = Buttons(W.get());
    EXPECT_TRUE(!B.Run && B.Abort && !B.Imports && !B.Export && !B.Settings);
    EXPECT_EQ(Find<QTabWidget>(W.get(), "pcBottom")->currentWidget()->objectName(),
              QStringLiteral("tsLog"));
    EXPECT_TRUE(Find<QWidget>(W.get(), "pProgress")->isVisible());
    EXPECT_EQ(LogLines(W.get()).value(0), QStringLiteral("Проверка запущена"));

    ASSERT_TRUE(WaitForEnd(W.get()));
    B = Buttons(W.get());
    EXPECT_TRUE(B.Run && !B.Abort && B.Imports && B.Export && B.Settings);
    EXPECT_FALSE(Find<QWidget>(W.get(), "pProgress")->isVisible());
    const QStringList Log = LogLines(W.get());
    EXPECT_TRUE(Log.value(0).startsWith(QStringLiteral("Проверка завершена за ")))
        << Log.value(0).toStdString();
    EXPECT_TRUE(Log.contains(QStringLiteral("URL 3: сравнение содержимого")));
    EXPECT_EQ(Log.last(), QStringLiteral("Запуск программы"));
    EXPECT_LT(Log.indexOf(QStringLiteral("URL 1: сравнение содержимого")),
              Log.indexOf(QStringLiteral("Проверка запущена")));

    // /a and /b are the same page, /c is unique, /missing failed with 404.
    TURLTaskInfoList &L = *W->Tasks();
    ASSERT_TRUE(L[0]->TaskResults && L[2]->TaskResults && L[3]->TaskResults);
    EXPECT_EQ(L[0]->TaskResults->Uniqueness, 0);
    EXPECT_EQ(L[2]->TaskResults->Uniqueness, 100);
    EXPECT_EQ(L[3]->TaskResults->ErrorCode, 404);
    QStringList Legend;
    for (QPieSlice *S : W->Chart()->Series()->slices()) Legend << S->label();
    EXPECT_EQ(Legend, (QStringList{QStringLiteral("Хорошо (33%)"), QStringLiteral("Средне (0%)"),
                                   QStringLiteral("Плохо (67%)")}));
    // The list, sorted by uniqueness: the failed row is painted.
    auto *View = Find<QAbstractItemView>(W.get(), "vtURLs");
    ASSERT_EQ(View->model()->rowCount(), 4);
    EXPECT_EQ(View->model()->index(3, 3).data().toString(),
              QStringLiteral("100,00").replace(u',', QLocale().decimalPoint()));
    // Three rows at 0 in task order, the 404 among them, painted in every cell.
    EXPECT_EQ(View->model()->index(2, 2).data().toString(), QStringLiteral("404"));
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(View->model()->index(2, c).data(Qt::BackgroundRole).value<QColor>(),
                  QColor(245, 165, 165));

    // Every request sent the user agent of the settings page.
    {
        std::lock_guard Lock(Site.M);
        ASSERT_FALSE(Site.Agents.empty());
        for (const std::string &A : Site.Agents)
            EXPECT_EQ(QString::fromStdString(A), W->UserAgentText());
    }
    W->close();
}

TEST(WindowRun, AbortDisablesCancelAtOnceAndLeavesExportOff) {
    TSite Site;
    TAppFolder Folder;
    auto W = WindowWithTasks(Folder, Site, {"/slow", "/a", "/b"});
    // Enter presses "Проверить URL", Escape "Отмена".
    W->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(W.get()));
    Find<QWidget>(W.get(), "vtURLs")->setFocus();
    QTest::keyClick(Find<QWidget>(W.get(), "vtURLs"), Qt::Key_Return);
    ASSERT_TRUE(W->RunController()->Running());
    WaitUntil([&] { return Site.SlowStarted != 0; }, 20000);
    QTest::keyClick(Find<QWidget>(W.get(), "vtURLs"), Qt::Key_Escape);
    EXPECT_FALSE(Buttons(W.get()).Abort);
    EXPECT_EQ(LogLines(W.get()).value(0), QStringLiteral("Отмена проверки..."));
    ASSERT_TRUE(WaitForEnd(W.get()));
    const TButtons B = Buttons(W.get());
    EXPECT_TRUE(B.Run && !B.Abort && B.Imports && !B.Export && B.Settings);
    EXPECT_EQ(W->Tasks()->at(0)->TaskResults, nullptr); // aborted: no results
    W->close();
}

TEST(WindowRun, AbortLogCountsTheFinishedPagesAndTheLogOpensFirstFromThenOn) {
    TSite Site;
    TAppFolder Folder;
    {
        // "/a" starts first and finishes; "/slow" starts 1.5 s later and hangs.
        auto W = WindowWithTasks(Folder, Site, {"/a", "/slow"});
        QTest::mouseClick(Find<QPushButton>(W.get(), "btRunRequests"), Qt::LeftButton);
        WaitUntil([&] { return Site.SlowStarted != 0 && W->Tasks()->at(0)->TaskResults; }, 20000);
        ASSERT_EQ(Site.SlowStarted, 1);
        QTest::mouseClick(Find<QPushButton>(W.get(), "btAbortRequests"), Qt::LeftButton);
        ASSERT_TRUE(WaitForEnd(W.get()));
        const QString Last = LogLines(W.get()).value(0);
        EXPECT_TRUE(
            QRegularExpression(
                QStringLiteral("^Проверка отменена через \\d+ сек\\., завершено страниц: 1 из 2$"))
                .match(Last)
                .hasMatch())
            << Last.toStdString();
        EXPECT_TRUE(W->Tasks()->at(0)->TaskResults);
        EXPECT_FALSE(W->Tasks()->at(1)->TaskResults); // the blank row the line accounts for
        W->close();
    }
    EXPECT_TRUE(Folder.ReadIni().contains("log-first=1"));
    auto W = OpenWindow(1049);
    EXPECT_EQ(Find<QTabWidget>(W.get(), "pcBottom")->currentWidget()->objectName(),
              QStringLiteral("tsLog"));
    W->close();
}

TEST(WindowRun, ClosingDuringACheckEndsCleanly) {
    TSite Site;
    TAppFolder Folder;
    auto W = WindowWithTasks(Folder, Site, {"/slow", "/a"});
    QTest::mouseClick(Find<QPushButton>(W.get(), "btRunRequests"), Qt::LeftButton);
    WaitUntil([&] { return Site.SlowStarted != 0; }, 20000);
    ASSERT_EQ(Site.SlowStarted, 1);
    W->close(); // the transfer is still waiting for the server
    EXPECT_EQ(W->Tasks(), nullptr);
    EXPECT_EQ(ActiveTaskCount.load(), 0);
    QCoreApplication::processEvents();
    W.reset();
    QCoreApplication::processEvents();
}

TEST(WindowRun, NoFirstTaskShowsTheInternalErrorBox) {
    TAppFolder Folder;
    ui::TestDialogs Dialogs;
    auto W = OpenWindow(1049);
    EXPECT_FALSE(W->RunController()->Run(rvAll)); // an empty list gives the pool nothing
    EXPECT_EQ(Dialogs.messages(), QStringList{QStringLiteral(
                                      "Не удалось запустить первое задание, внутренняя ошибка")});
    EXPECT_TRUE(Buttons(W.get()).Settings);
    W->close();
}

TEST(WindowNews, FilledInTheBackgroundAndSilentWhenOffline) {
    TTestServer Server;
    Server->Get("/news", [](const httplib::Request &, httplib::Response &R) {
        R.set_content("<html><body><h2>Версия 1.4</h2><p>Новый график.</p></body></html>",
                      "text/html; charset=utf-8");
    });
    Server.Start();
    ui::TestDialogs Dialogs;
    {
        TAppFolder Folder;
        TWindow W(new TfmMain);
        W->SetSystemLCID(1049);
        W->SetNewsUrl(Server.Url("/news"));
        W->show();
        auto *News = Find<QTextBrowser>(W.get(), "NewsBrowser");
        WaitUntil([&] { return News->toPlainText().contains(QStringLiteral("Новый график")); },
                  20000);
        EXPECT_TRUE(News->toPlainText().contains(QStringLiteral("Версия 1.4")));
        W->close();
    }
    {
        // Nothing listens there: the release notes shipped with the program
        // stay, in the language of the window, and no message comes.
        TTestServer Closed;
        Closed.Start();
        const QString Url = Closed.Url("/news");
        Closed.Stop();
        TAppFolder Folder;
        TWindow W(new TfmMain);
        W->SetSystemLCID(1049);
        W->SetNewsUrl(Url);
        W->show();
        auto *Fetch = W->findChild<TNewsFetch *>();
        ASSERT_NE(Fetch, nullptr);
        WaitUntil([&] { return Fetch->isFinished(); }, 20000);
        QCoreApplication::processEvents();
        auto *News = Find<QTextBrowser>(W.get(), "NewsBrowser");
        EXPECT_TRUE(News->toPlainText().startsWith(QStringLiteral("Corvane 1.4.0.28")))
            << News->toPlainText().toStdString();
        EXPECT_TRUE(News->toPlainText().contains(QStringLiteral("до 10 000 URL")));
        EXPECT_EQ(Find<QTabWidget>(W.get(), "pcBottom")->currentWidget(), News->parentWidget());
        auto *Lang = Find<QComboBox>(W.get(), "cbAppLang");
        Lang->setCurrentIndex(1);
        emit Lang->activated(1);
        EXPECT_TRUE(News->toPlainText().contains(QStringLiteral("up to 10,000 URLs")));
        W->close();
    }
    {
        // Closing while the page is still loading.
        TGate Gate;
        TTestServer Slow;
        Slow->Get("/news", [&Gate](const httplib::Request &, httplib::Response &R) {
            Gate.Wait(std::chrono::seconds(20));
            R.set_content("late", "text/plain");
        });
        Slow.Start();
        TAppFolder Folder;
        TWindow W(new TfmMain);
        W->SetNewsUrl(Slow.Url("/news"));
        W->show();
        QTest::qWait(100);
        W->close();
        W.reset();
        Gate.Open();
    }
    EXPECT_TRUE(Dialogs.calls.isEmpty());
}

TEST(WindowRun, DefaultAlgorithmUsesTheServiceStartedInsideTheProgram) {
    TSite Site;
    TAppFolder Folder;
    Folder.WriteIni("[PARAMS]\nreq-predelay=1500\n"); // first algorithm, no endpoints
    auto W = OpenWindow(1049);
    ASSERT_EQ(W->AlgorithmValue(), 1);
    for (const char *P : {"/a", "/c"})
        W->Tasks()->append(
            new TURLTaskInfo(Site.Server.Url(P), std::int32_t(W->Tasks()->size() + 1)));
    W->TaskListChanged();
    QTest::mouseClick(Find<QPushButton>(W.get(), "btRunRequests"), Qt::LeftButton);
    ASSERT_TRUE(WaitForEnd(W.get()));
    for (const TURLTaskInfo *T : *W->Tasks()) {
        ASSERT_TRUE(T->TaskResults);
        EXPECT_EQ(T->TaskResults->TaskResult, trOk) << T->URL.toStdString();
        EXPECT_EQ(T->TaskResults->Uniqueness, 100) << T->URL.toStdString();
        EXPECT_TRUE(
            T->TaskResults->ExtractedText.Text().contains(QStringLiteral("apple orchard")) ||
            T->TaskResults->ExtractedText.Text().contains(QStringLiteral("striped herds")));
    }
    EXPECT_TRUE(Buttons(W.get()).Export);
    W->close();
}

// A window closed in the middle of a check: the next start offers to continue
// it, and continuing downloads only the pages without a result.
TEST(WindowRun, ACheckCutShortIsContinuedAtTheNextStart) {
    TSite Site;
    TAppFolder Folder;
    TestDialogs Dialogs;
    {
        auto W = WindowWithTasks(Folder, Site, {"/a", "/b", "/c", "/slow"});
        QTest::mouseClick(Find<QPushButton>(W.get(), "btRunRequests"), Qt::LeftButton);
        TCheckStore *Store = W->CheckStore();
        ASSERT_TRUE(Store && Store->IsOpen());
        auto Done = [&] {
            const auto C = Store->Check(W->RunController()->CheckId());
            return C ? C->Done : -1;
        };
        ASSERT_TRUE(WaitUntil([&] { return Site.SlowStarted >= 1 && Done() == 3; }, 20000));
        ASSERT_TRUE(W->RunController()->Running());
    } // closed by mistake
    Site.Gate.Open();
    EXPECT_TRUE(Dialogs.calls.isEmpty());

    Dialogs.nextAnswers = {true};
    auto W = OpenWindow(1049);
    ASSERT_TRUE(WaitUntil([&] { return !Dialogs.calls.isEmpty(); }, 5000));
    EXPECT_EQ(Dialogs.calls[0].kind, TestDialogs::Kind::Question);
    EXPECT_EQ(Dialogs.calls[0].text,
              QStringLiteral("Последняя проверка не завершилась (3 из 4 страниц). Продолжить её?"));
    ASSERT_EQ(W->Tasks()->size(), 4);
    ASSERT_TRUE(WaitForEnd(W.get()));
    for (const char *Path : {"/a", "/b", "/c"}) EXPECT_EQ(Site.RequestsOf(Path), 1) << Path;
    EXPECT_EQ(Site.RequestsOf("/slow"), 2);
    for (const TURLTaskInfo *T : *W->Tasks()) {
        ASSERT_TRUE(T->TaskResults) << T->URL.toStdString();
        EXPECT_GE(T->TaskResults->Uniqueness, 0);
    }
    // /a and /b are the same page.
    EXPECT_EQ(W->Tasks()->at(0)->TaskResults->Uniqueness, 0);
    EXPECT_EQ(W->CheckStore()->Checks().back().State, csFinished);
    EXPECT_EQ(Dialogs.calls.size(), 1);
    W.reset();

    // Nothing left to continue: no question.
    auto Again = OpenWindow(1049);
    QCoreApplication::processEvents();
    EXPECT_EQ(Dialogs.calls.size(), 1);
}

// Two checks of the same site in the History tab: one compared with the
// list shown, then opened again as the list with its similarities.
TEST(WindowRun, HistoryListsComparesAndOpensStoredChecks) {
    TSite Site;
    TAppFolder Folder;
    TestDialogs Dialogs;
    auto W = WindowWithTasks(Folder, Site, {"/a", "/b", "/c"});
    W->RunCheck(rvAll, {});
    ASSERT_TRUE(WaitForEnd(W.get()));
    QHash<QString, double> First;
    for (const TURLTaskInfo *T : *W->Tasks()) First.insert(T->URL, T->TaskResults->Uniqueness);

    FreeObjects(W->Tasks());
    for (const char *P : {"/a", "/c", "/missing"})
        W->Tasks()->append(
            new TURLTaskInfo(Site.Server.Url(P), std::int32_t(W->Tasks()->size() + 1)));
    W->TaskListChanged();
    W->RunCheck(rvAll, {});
    ASSERT_TRUE(WaitForEnd(W.get()));

    auto *History = Find<QTableWidget>(W.get(), "lvHistory");
    ASSERT_EQ(History->rowCount(), 2);
    EXPECT_EQ(History->item(0, 2)->text(), QStringLiteral("3")); // newest first
    EXPECT_EQ(History->item(0, 3)->text(), QStringLiteral("1"));
    EXPECT_EQ(History->item(1, 4)->text(), QStringLiteral("1 / 0 / 2"));

    History->selectRow(1);
    QTest::mouseClick(Find<QPushButton>(W.get(), "btHistoryCompare"), Qt::LeftButton);
    auto *Compare = Find<QTableWidget>(W.get(), "lvCompare");
    ASSERT_EQ(Compare->rowCount(), 4);
    QHash<QString, QStringList> Rows;
    for (int R = 0; R < Compare->rowCount(); ++R)
        Rows.insert(Compare->item(R, 3)->text(),
                    {Compare->item(R, 0)->text(), Compare->item(R, 1)->text(),
                     Compare->item(R, 2)->text()});
    // /a lost its twin /b: from 0 to the uniqueness it has beside /c.
    const QStringList A = Rows.value(Site.Server.Url("/a"));
    ASSERT_EQ(A.size(), 3);
    EXPECT_EQ(A[0], PercentText(0));
    EXPECT_TRUE(A[2].startsWith(u'+')) << A[2].toStdString();
    EXPECT_EQ(Rows.value(Site.Server.Url("/missing")).value(2), QStringLiteral("новая"));
    EXPECT_EQ(Rows.value(Site.Server.Url("/b")).value(2), QStringLiteral("исчезла"));

    QTest::mouseClick(Find<QPushButton>(W.get(), "btHistoryOpen"), Qt::LeftButton);
    ASSERT_EQ(W->Tasks()->size(), 3);
    for (const TURLTaskInfo *T : *W->Tasks()) {
        ASSERT_TRUE(T->TaskResults);
        EXPECT_EQ(T->TaskResults->Uniqueness, First.value(T->URL)) << T->URL.toStdString();
    }
    // The similarities are back for the windows: /a and /b are the same page.
    const TURLTaskInfo *PageA = W->Tasks()->at(0);
    EXPECT_EQ(PageA->TaskResults->GetSimilarity(2), 100);
    EXPECT_FALSE(PageA->TaskResults->ExtractedText.isEmpty());
    EXPECT_TRUE(Find<QPushButton>(W.get(), "btExport")->isEnabled());
    // Opening changed nothing in the store.
    EXPECT_EQ(W->CheckStore()->Checks().size(), 2u);
    EXPECT_TRUE(Dialogs.calls.isEmpty());
}

// Declining the offer leaves the list alone and the check in the history as
// aborted; it is not offered again.
TEST(WindowRun, DecliningToContinueIsAskedOnce) {
    TAppFolder Folder;
    {
        TCheckStore Store;
        ASSERT_TRUE(Store.Open(Folder.Dir.filePath(QStringLiteral("Corvane.db"))));
        TOwnedTaskList List;
        List.append(new TURLTaskInfo(QStringLiteral("https://a.example/1"), 1));
        List.append(new TURLTaskInfo(QStringLiteral("https://a.example/2"), 2));
        ASSERT_GT(Store.BeginCheck(List, {}, QStringLiteral("a.example"), QStringLiteral("{}")), 0);
    }
    TestDialogs Dialogs;
    Dialogs.nextAnswers = {false};
    {
        auto W = OpenWindow(1049);
        ASSERT_TRUE(WaitUntil([&] { return !Dialogs.calls.isEmpty(); }, 5000));
        EXPECT_EQ(Dialogs.calls[0].text,
                  QStringLiteral("Последняя проверка не завершилась (0 из 2 страниц). "
                                 "Продолжить её?"));
        EXPECT_TRUE(W->Tasks()->isEmpty());
        EXPECT_FALSE(W->RunController()->Running());
        EXPECT_EQ(W->CheckStore()->Checks().at(0).State, csAborted);
    }
    auto W = OpenWindow(1049);
    QCoreApplication::processEvents();
    EXPECT_EQ(Dialogs.calls.size(), 1);
}
