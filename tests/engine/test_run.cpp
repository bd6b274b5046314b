// Checks of a small loopback site through the real controller, pool, workers
// and uniqueness step.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/TestServer.h"
#include "core/shingles.h"
#include "engine/localpage.h"
#include "engine/runcontroller.h"
#include "engine/worker.h"
#include "net/CurlEasy.h"

using namespace corvane;
using namespace corvane::test;
using namespace std::chrono_literals;

namespace {

TCurlGlobal CurlGlobal;

const std::string SharedPara =
    "<p>Our company builds wooden boats for lakes and rivers since the year nineteen ninety.</p>"
    "<p>Every boat is made by hand from oak and pine in the small workshop near the harbour.</p>";

std::string page(const std::string &body) {
    return "<html><head><title>t</title></head><body>" + body + "</body></html>";
}

// The site: two pages sharing a paragraph, a redirect to a copy of the first,
// a 404, a Windows-1251 page, a slow page, a page failing once.
class TSite {
public:
    TSite() {
        auto ok = [this](const char *path, std::string body,
                         const char *type = "text/html; charset=utf-8") {
            fServer->Get(path,
                         [this, body, type](const httplib::Request &req, httplib::Response &res) {
                             Record(req);
                             res.set_content(body, type);
                         });
        };
        ok("/a",
           page(SharedPara +
                "<p>The first page talks about sails, masts and ropes of every kind we sell.</p>"));
        ok("/b",
           page(SharedPara +
                "<p>The second page is about engines, fuel tanks and the service we offer.</p>"));
        ok("/copy",
           page(SharedPara +
                "<p>The first page talks about sails, masts and ropes of every kind we sell.</p>"));
        fServer->Get("/moved", [this](const httplib::Request &req, httplib::Response &res) {
            Record(req);
            res.status = 301;
            res.set_header("Location", "/copy");
        });
        fServer->Get("/missing", [this](const httplib::Request &req, httplib::Response &res) {
            Record(req);
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        // "Наша компания строит лодки..." in Windows-1251.
        const std::string cp1251 =
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=windows-1251\"></head><body><p>"
            "\xcd\xe0\xf8\xe0 \xea\xee\xec\xef\xe0\xed\xe8\xff \xf1\xf2\xf0\xee\xe8\xf2 "
            "\xeb\xee\xe4\xea\xe8 \xe4\xeb\xff \xee\xe7\xe5\xf0 \xe8 \xf0\xe5\xea "
            "\xea\xe0\xe6\xe4\xfb\xe9 \xe3\xee\xe4</p></body></html>";
        ok("/cp1251", cp1251, "text/html");
        fServer->Get("/flaky", [this](const httplib::Request &req, httplib::Response &res) {
            Record(req);
            if (fFlakyHits.fetch_add(1) == 0) {
                res.status = 500;
                return;
            }
            res.set_content(
                page("<p>The flaky page works now and shows a proper paragraph of text.</p>"),
                "text/html");
        });
        fServer->Get(R"(/slow/(\d+))", [this](const httplib::Request &req, httplib::Response &res) {
            Record(req);
            const int now = ++fInFlight;
            for (int seen = fMaxInFlight.load();
                 now > seen && !fMaxInFlight.compare_exchange_weak(seen, now);) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(fSlowMs.load()));
            --fInFlight;
            res.set_content(page("<p>Slow page number " + req.matches[1].str() +
                                 " has five words or more.</p>"),
                            "text/html");
        });
        fServer->Get(R"(/stall/(\d+))",
                     [this](const httplib::Request &req, httplib::Response &res) {
                         Record(req);
                         fStalled.Add();
                         fGate.Wait(20s);
                         res.set_content(page("<p>late</p>"), "text/html");
                     });
        fServer.Start();
    }
    ~TSite() {
        fGate.Open();
        fServer.Stop();
    }
    QString Url(const char *path) const { return fServer.Url(path); }
    int Hits(const std::string &path) {
        std::lock_guard lock(fMutex);
        return fHits[path];
    }
    std::vector<std::chrono::steady_clock::time_point> Arrivals() {
        std::lock_guard lock(fMutex);
        return fArrivals;
    }
    std::string LastUserAgent() {
        std::lock_guard lock(fMutex);
        return fUserAgent;
    }

    std::atomic<int> fSlowMs{100};
    std::atomic<int> fInFlight{0}, fMaxInFlight{0}, fFlakyHits{0};
    TCounter fStalled;
    TGate fGate;

private:
    void Record(const httplib::Request &req) {
        std::lock_guard lock(fMutex);
        ++fHits[req.path];
        fArrivals.push_back(std::chrono::steady_clock::now());
        fUserAgent = req.get_header_value("User-Agent");
    }
    TTestServer fServer;
    std::mutex fMutex;
    std::map<std::string, int> fHits;
    std::vector<std::chrono::steady_clock::time_point> fArrivals;
    std::string fUserAgent;
};

// Records everything the controller reports.
class TRecorder : public TRunObserver {
public:
    void LogLine(const QString &Text, TDateTime) override {
        Lines << Text;
        if (Text.contains(QStringLiteral(": задача начата"))) {
            // A worker starts only after another began its download or ended.
            ++Started;
            EXPECT_LE(Started, 1 + Downloads + HandedBack) << Text.toStdString();
        }
        if (Text.contains(QStringLiteral(": получение страницы"))) ++Downloads;
        if (Text.startsWith(QStringLiteral("Проверка завершена за ")) ||
            Text.startsWith(QStringLiteral("Проверка отменена через ")))
            Done = true;
    }
    void RunFinished(bool aborted) override {
        Finished = true;
        Aborted = aborted;
    }
    void ButtonStatesChanged(const TButtonStates &s) override {
        States << s;
        MaxActive = std::max(MaxActive, ActiveTaskCount.load());
    }
    void TaskHandedBack(const TURLTaskInfo &, TURLTaskInfo *) override {
        ++HandedBack;
        MaxActive = std::max(MaxActive, ActiveTaskCount.load());
    }
    void ErrorMessage(const QString &Text) override { Errors << Text; }
    QStringList LinesOf(int num) const {
        QStringList out;
        const QString prefix = QStringLiteral("URL %1: ").arg(num);
        for (const QString &l : Lines)
            if (l.startsWith(prefix)) out << l.mid(prefix.size());
        return out;
    }

    QStringList Lines, Errors;
    QList<TButtonStates> States;
    int Started = 0, Downloads = 0, HandedBack = 0, MaxActive = 0;
    bool Finished = false, Aborted = false, Done = false;
};

class ControllerRun : public ::testing::Test {
protected:
    ~ControllerRun() override {
        // Worker thread objects delete themselves through the event loop.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void add(const QString &url) {
        list.append(new TURLTaskInfo(url, std::int32_t(list.size() + 1)));
    }
    TURLTaskInfo &task(int num) { return *list.GetByNum(num); }
    // Runs the event loop until Done holds or the time is up.
    bool waitFor(const std::function<bool()> &Done, int TimeoutMs = 10000) {
        QElapsedTimer t;
        t.start();
        while (!Done() && t.elapsed() < TimeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return Done();
    }
    // Runs the event loop until the end-of-run log line has arrived.
    bool runToEnd(int timeoutMs = 30000) {
        return waitFor([this] { return rec.Done; }, timeoutMs);
    }
    TRunSettings settings(int threads = 5, int delay = 0) {
        TRunSettings s;
        s.MaxThreads = threads;
        s.Delay = delay;
        s.ShingleLength = 3;
        s.AlgVer = 2;
        s.IgnoreStopWords = false;
        return s;
    }

    TSite site;
    TOwnedTaskList list;
    TRecorder rec;
    QTemporaryDir dir;
};

TEST_F(ControllerRun, SmallSiteGivesEveryOutcome) {
    const QString localPath = dir.filePath(QStringLiteral("local.html"));
    {
        QFile f(localPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xEF\xBB\xBF<html><body><p>A local page with a paragraph of at least five "
                "words.</p></body></html>");
    }
    add(site.Url("/a"));                        // 1
    add(site.Url("/b"));                        // 2
    add(site.Url("/moved"));                    // 3: 301 to a copy of /a
    add(site.Url("/missing"));                  // 4
    add(site.Url("/cp1251"));                   // 5
    add(QStringLiteral("FILE://") + localPath); // 6
    add(QStringLiteral("file://") + dir.filePath(QStringLiteral("nope.html"))); // 7
    add(QStringLiteral("http://127.0.0.1:1/refused"));                          // 8
    add(QStringLiteral("file://") + dir.path()); // 9: a folder is no page
    TRunController c(list, &rec);
    c.SetSettings(settings(3));
    ASSERT_TRUE(c.Run(rvAll));
    EXPECT_TRUE(c.Running());
    EXPECT_EQ(c.ButtonStates(), (TButtonStates{false, true, false, false}));
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(rec.Finished);
    EXPECT_FALSE(rec.Aborted);
    EXPECT_EQ(ActiveTaskCount.load(), 0);
    EXPECT_EQ(TaskPool, nullptr);
    EXPECT_EQ(c.ButtonStates(), (TButtonStates{true, false, true, true}));

    struct Expect {
        TURLTaskResult result;
        int code;
        QStringList lines;
    };
    const QString started = QStringLiteral("задача начата"),
                  getting = QStringLiteral("получение страницы"),
                  loaded = QStringLiteral("страница загружена, идет анализ"),
                  analysed = QStringLiteral("анализ завершен"),
                  comparing = QStringLiteral("сравнение содержимого");
    const Expect expect[] = {
        {trOk, 0, {started, getting, loaded, analysed, comparing}},
        {trOk, 0, {started, getting, loaded, analysed, comparing}},
        {trOk, 0, {started, getting, loaded, analysed, comparing}},
        {trHTTPError,
         404,
         {started, getting, QStringLiteral("ОШИБКА получения страницы, код ошибки HTML: 404"),
          comparing}},
        {trOk, 0, {started, getting, loaded, analysed, comparing}},
        {trOk, 0, {started, analysed, comparing}},
        {trHTTPError, 404, {started, comparing}},
        {trOk, 0, {}}, // 8: below
        {trHTTPError, 404, {started, comparing}},
    };
    for (int i : {0, 1, 2, 3, 4, 5, 6, 8}) {
        SCOPED_TRACE(i + 1);
        ASSERT_NE(task(i + 1).TaskResults, nullptr);
        EXPECT_EQ(task(i + 1).TaskResults->TaskResult, expect[i].result);
        EXPECT_EQ(task(i + 1).TaskResults->ErrorCode, expect[i].code);
        EXPECT_EQ(rec.LinesOf(i + 1), expect[i].lines);
    }
    const QStringList refused = rec.LinesOf(8);
    ASSERT_EQ(refused.size(), 4);
    EXPECT_TRUE(refused[2].startsWith(QStringLiteral("ОШИБКА отправки запроса: ")))
        << refused[2].toStdString();
    EXPECT_EQ(task(8).TaskResults->TaskResult, trSendError);
    EXPECT_EQ(task(8).TaskResults->ErrorCode, 0);

    // Uniqueness: /a and its redirected copy are identical; /b shares a paragraph.
    EXPECT_EQ(task(1).TaskResults->Uniqueness, 0);
    EXPECT_EQ(task(3).TaskResults->Uniqueness, 0);
    EXPECT_EQ(task(1).TaskResults->GetSimilarity(3), 100);
    const double ab =
        ShingleSimilarity(*task(1).TaskResults->HashTable, *task(2).TaskResults->HashTable);
    EXPECT_GT(ab, 20);
    EXPECT_LT(ab, 100);
    EXPECT_EQ(task(2).TaskResults->Uniqueness, 100 - ab);
    EXPECT_EQ(task(5).TaskResults->Uniqueness, 100);
    EXPECT_TRUE(task(5).TaskResults->ExtractedText.Text().contains(
        QStringLiteral("Наша компания строит лодки")))
        << task(5).TaskResults->ExtractedText.Text().toStdString();
    EXPECT_TRUE(
        task(6).TaskResults->ExtractedText.Text().startsWith(QStringLiteral("A local page")));
    for (int failed : {4, 7, 8, 9}) EXPECT_EQ(task(failed).TaskResults->Uniqueness, 0);
    EXPECT_EQ(task(4).UniquenessText(), QString());
    EXPECT_EQ(task(8).UniquenessText(), PercentText(0));

    // The run's own lines: started first, the end last.
    EXPECT_EQ(rec.Lines.front(), QStringLiteral("Проверка запущена"));
    EXPECT_TRUE(rec.Lines.back().startsWith(QStringLiteral("Проверка завершена за ")));
    EXPECT_TRUE(rec.Lines.back().endsWith(QStringLiteral(" сек.")));
    EXPECT_LE(rec.MaxActive, 3);
    EXPECT_EQ(site.LastUserAgent(), DefaultUserAgent);

    // Sorted by uniqueness with whole-number comparison, stable.
    QList<TURLTaskInfo *> rows(list.begin(), list.end());
    TRunController::SortByUniqueness(rows);
    EXPECT_EQ(rows.back()->Num, 6); // 100 comes last; 5 and 6 keep their order
    EXPECT_EQ(rows[rows.size() - 2]->Num, 5);
}

TEST_F(ControllerRun, ThreadLimitAndSpacing) {
    for (int i = 0; i < 12; ++i)
        add(site.Url(QStringLiteral("/slow/%1").arg(i).toUtf8().constData()));
    TRunController c(list, &rec);
    TRunSettings s = settings(3);
    s.UserAgent = QStringLiteral("CorvaneTest/1.0");
    c.SetSettings(s);
    ASSERT_TRUE(c.Run(rvAll));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(site.fMaxInFlight.load(), 3);
    EXPECT_LE(rec.MaxActive, 3);
    EXPECT_EQ(site.LastUserAgent(), "CorvaneTest/1.0");
    for (const TURLTaskInfo *t : list) EXPECT_EQ(t->TaskResults->TaskResult, trOk);

    // The delay spaces request starts, also while several workers wait.
    FreeObjects(&list);
    for (int i = 0; i < 5; ++i)
        add(site.Url(QStringLiteral("/slow/%1").arg(i).toUtf8().constData()));
    site.fSlowMs = 10;
    rec = TRecorder();
    const size_t before = site.Arrivals().size();
    s.Delay = 300;
    s.MaxThreads = 5;
    c.SetSettings(s);
    ASSERT_TRUE(c.Run(rvAll));
    ASSERT_TRUE(runToEnd());
    const auto arrivals = site.Arrivals();
    ASSERT_EQ(arrivals.size(), before + 5);
    // Arrivals can bunch up on a busy machine: the spacing is checked over
    // the whole run, where four delays must lie between the first and last.
    EXPECT_GE(arrivals.back() - arrivals[before], 4 * 280ms);
}

TEST_F(ControllerRun, ThreadLimitIsReadEachTime) {
    for (int i = 0; i < 8; ++i)
        add(site.Url(QStringLiteral("/slow/%1").arg(i).toUtf8().constData()));
    TRunController c(list, &rec);
    int limit = 1;
    c.SetSettingsSource([&] {
        TRunSettings s = settings(limit);
        return s;
    });
    ASSERT_TRUE(c.Run(rvAll));
    limit = 4;
    ASSERT_TRUE(runToEnd());
    EXPECT_GT(site.fMaxInFlight.load(), 1);
    EXPECT_LE(site.fMaxInFlight.load(), 4);
}

TEST_F(ControllerRun, AbortCancelsTransfersAndKeepsNothing) {
    for (int i = 0; i < 6; ++i)
        add(site.Url(QStringLiteral("/stall/%1").arg(i).toUtf8().constData()));
    TRunController c(list, &rec);
    c.SetSettings(settings(2));
    ASSERT_TRUE(c.Run(rvAll));
    // Wait until both workers hang in their transfers.
    ASSERT_TRUE(waitFor([&] { return site.fStalled.Value() >= 2; }));
    ASSERT_EQ(site.fStalled.Value(), 2);
    c.Abort();
    EXPECT_FALSE(c.ButtonStates().Abort);
    EXPECT_EQ(rec.Lines.back(), QStringLiteral("Отмена проверки..."));
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(runToEnd(10000));
    EXPECT_LT(t.elapsed(), 5000); // not held by the stalled server
    EXPECT_TRUE(rec.Aborted);
    EXPECT_FALSE(c.ButtonStates().Export);
    EXPECT_FALSE(AbortRequested.load());
    for (const TURLTaskInfo *task : list)
        EXPECT_EQ(task->TaskResults, nullptr); // aborted or never started
    EXPECT_EQ(rec.LinesOf(1).mid(0, 3),
              (QStringList{QStringLiteral("задача начата"), QStringLiteral("получение страницы"),
                           QStringLiteral("задача прервана")}));
    EXPECT_EQ(rec.HandedBack, 2);
    site.fGate.Open();
}

TEST_F(ControllerRun, ErrorVariantRechecksOnlyFailedTasks) {
    add(site.Url("/a"));
    add(site.Url("/flaky"));
    add(site.Url("/copy"));
    TRunController c(list, &rec);
    c.SetSettings(settings(2));
    EXPECT_FALSE(c.Run(rvErrors)); // nothing checked yet: nothing to do
    EXPECT_TRUE(rec.Lines.isEmpty());
    ASSERT_TRUE(c.Run(rvAll));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(task(2).TaskResults->TaskResult, trHTTPError);
    EXPECT_EQ(TRunController::ErrorNums(list), QList<std::int32_t>{2});
    const TURLTaskResults *kept = task(1).TaskResults.get();

    rec = TRecorder();
    ASSERT_TRUE(c.Run(rvErrors));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(site.Hits("/a"), 1);
    EXPECT_EQ(site.Hits("/flaky"), 2);
    EXPECT_EQ(task(1).TaskResults.get(), kept);
    EXPECT_EQ(task(2).TaskResults->TaskResult, trOk);
    EXPECT_EQ(rec.LinesOf(2).front(), QStringLiteral("задача начата"));
    EXPECT_TRUE(rec.LinesOf(1) == QStringList{QStringLiteral("сравнение содержимого")});
    // Everyone's uniqueness was recomputed against the new page.
    const double s12 =
        ShingleSimilarity(*task(1).TaskResults->HashTable, *task(2).TaskResults->HashTable);
    EXPECT_EQ(task(1).TaskResults->GetSimilarity(2), s12);
    EXPECT_EQ(task(2).TaskResults->Uniqueness, 100 - s12);
    EXPECT_FALSE(c.Run(rvErrors)); // all fine now

    // The selected variant leaves every other task without results.
    rec = TRecorder();
    ASSERT_TRUE(c.Run(rvSelected, {1, 3}));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(task(2).TaskResults, nullptr);
    EXPECT_EQ(task(1).TaskResults->Uniqueness, 0);
    EXPECT_FALSE(c.Run(rvSelected, {}));
}

TEST_F(ControllerRun, PlainTextServiceAlgorithm) {
    TTestServer service;
    std::atomic<int> posts{0};
    service->Post("/", [&](const httplib::Request &req, httplib::Response &res) {
        ++posts;
        const bool hasText = req.has_file("text");
        res.set_content(hasText ? "Plain text of the page with enough words for shingles\r\n" : "",
                        "text/plain");
    });
    service.Start();
    add(site.Url("/a"));
    add(site.Url("/missing"));
    TRunController c(list, &rec);
    TRunSettings s = settings(2);
    s.AlgVer = 1;
    s.Endpoints = {service.Url("/"), service.Url("/")};
    c.SetSettings(s);
    ASSERT_TRUE(c.Run(rvAll));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(posts.load(), 1);
    EXPECT_EQ(task(1).TaskResults->TaskResult, trOk);
    EXPECT_EQ(task(1).TaskResults->ExtractedText,
              QStringLiteral("Plain text of the page with enough words for shingles"));

    // A service that never answers well: a parse error with the client's code.
    FreeObjects(&list);
    add(site.Url("/b"));
    rec = TRecorder();
    s.Endpoints = {QStringLiteral("http://127.0.0.1:1/"), QStringLiteral("http://127.0.0.1:1/")};
    c.SetSettings(s);
    ASSERT_TRUE(c.Run(rvAll));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(task(1).TaskResults->TaskResult, trParseError);
    EXPECT_EQ(task(1).TaskResults->ErrorCode, -1);
    EXPECT_EQ(rec.LinesOf(1).at(3),
              QStringLiteral("ОШИБКА анализа страницы: -1 (http://127.0.0.1:1/: Couldn't connect "
                             "to server; http://127.0.0.1:1/: Couldn't connect to server; "
                             "http://127.0.0.1:1/: Couldn't connect to server)"));
}

TEST_F(ControllerRun, ControllerGoneDuringARunLeavesNoWorkerBehind) {
    for (int i = 0; i < 4; ++i)
        add(site.Url(QStringLiteral("/stall/%1").arg(i).toUtf8().constData()));
    {
        TRunController c(list, &rec);
        c.SetSettings(settings(2));
        ASSERT_TRUE(c.Run(rvAll));
        waitFor([&] { return site.fStalled.Value() >= 1; });
    }
    EXPECT_EQ(ActiveTaskCount.load(), 0);
    EXPECT_EQ(TaskPool, nullptr);
    EXPECT_FALSE(AbortRequested.load());
    site.fGate.Open();
}

// Local files are read like downloads: bounded in size, and an abort ends a
// read that would otherwise wait for ever.
TEST_F(ControllerRun, LocalFilesThatNeverEnd) {
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    add(QStringLiteral("file://") + QString::fromLocal8Bit(fifo)); // 1: no writer: an empty page
    add(QStringLiteral("file:///dev/zero"));                       // 2: never ends
    TRunController c(list, &rec);
    c.SetSettings(settings(2));
    ASSERT_TRUE(c.Run(rvAll));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(task(1).TaskResults->TaskResult, trOk);
    EXPECT_EQ(task(1).TaskResults->ExtractedText, QString());
    EXPECT_EQ(task(2).TaskResults->TaskResult, trSendError);
    EXPECT_EQ(rec.LinesOf(2).value(1),
              QStringLiteral("ОШИБКА отправки запроса: the file is larger than 67108864 bytes"));

    // A writer that holds the FIFO open and says nothing: Cancel still ends the check.
    const int writer = ::open(fifo.constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    FreeObjects(&list);
    add(QStringLiteral("file://") + QString::fromLocal8Bit(fifo));
    rec = TRecorder();
    ASSERT_TRUE(c.Run(rvAll));
    waitFor([&] { return !rec.LinesOf(1).isEmpty(); });
    c.Abort();
    ASSERT_TRUE(runToEnd(10000));
    EXPECT_TRUE(rec.Aborted);
    EXPECT_EQ(rec.LinesOf(1).value(1), QStringLiteral("задача прервана"));
    ::close(writer);
}

TEST(WorkerLocalFile, PageBytes) {
    EXPECT_EQ(LocalFilePage(""), QByteArray());
    EXPECT_EQ(LocalFilePage("a\nb\rc\r\nd"), QByteArray("a\r\nb\r\nc\r\nd\r\n"));
    EXPECT_EQ(LocalFilePage("\xEF\xBB\xBFx\n"), QByteArray("x\r\n"));
    EXPECT_EQ(LocalFilePage(QByteArray("\xFF\xFEh\0i\0\n\0", 8)), QByteArray("hi\r\n"));
    EXPECT_EQ(LocalFilePage(QByteArray("\xFE\xFF\0h\0i", 6)), QByteArray("hi\r\n"));
    EXPECT_EQ(LocalFilePage("\xcf\xf0\xe8"),
              QByteArray("\xcf\xf0\xe8\r\n")); // no mark: bytes as they are
    EXPECT_EQ(FormatMsg("URL %d: %s, 100%%", {QStringLiteral("3"), QStringLiteral("x")}),
              QStringLiteral("URL 3: x, 100%"));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
