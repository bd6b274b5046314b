// Site crawls through the real controller, pool, workers and robots.txt
// fetches, against a loopback site served under several host names
// ("localhost", "www.localhost", "sub.localhost" and "127.0.0.1" all reach
// the same server).
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/qstring_print.h"
#include "engine/crawl.h"
#include "engine/runcontroller.h"
#include "engine/urlimport.h"
#include "engine/worker.h"

using namespace corvane;
using namespace corvane::test;
using namespace std::chrono_literals;

namespace {

std::string Page(const std::string &Title, const std::string &Body,
                 const std::string &Head = "<meta charset=\"utf-8\">") {
    return "<html><head>" + Head + "<title>" + Title + "</title></head><body><h1>" + Title +
           "</h1><p>The page called " + Title +
           " tells its own story in a sentence of some length.</p>" + Body + "</body></html>";
}

struct TAnswer {
    TAnswer(int S = 200, std::string B = {}, std::string T = "text/html; charset=utf-8",
            std::vector<std::pair<std::string, std::string>> H = {})
        : Status(S), Body(std::move(B)), Type(std::move(T)), Headers(std::move(H)) {}
    int Status;
    std::string Body;
    std::string Type;
    std::vector<std::pair<std::string, std::string>> Headers;
};

// A task as (address relative to the site, result, foundOn).
struct TRow {
    std::string Url;
    TURLTaskResult Result;
    int FoundOn;
    bool operator==(const TRow &) const = default;
};

void PrintTo(const TRow &R, std::ostream *os) {
    *os << '{' << R.Url << ", " << TaskResultName(R.Result) << ", " << R.FoundOn << '}';
}

// The loopback site. Pages are looked up by host name (without the port)
// and by path with query; every request is recorded.
class TCrawlSite {
public:
    TCrawlSite() {
        fServer->Get(".*", [this](const httplib::Request &Req, httplib::Response &Res) {
            std::string host = Req.get_header_value("Host");
            host = host.substr(0, host.find(':'));
            std::string target =
                QUrl::fromPercentEncoding(QByteArray::fromStdString(Req.path)).toStdString();
            if (!Req.params.empty()) {
                std::string query;
                for (const auto &[k, v] : Req.params)
                    query += (query.empty() ? "?" : "&") + k + "=" + v;
                target += query;
            }
            TAnswer a = Answer(host, target);
            {
                std::lock_guard lock(fMutex);
                fHits.push_back({std::chrono::steady_clock::now(), host, target});
            }
            Res.status = a.Status;
            for (const auto &[k, v] : a.Headers) Res.set_header(k, v);
            if (!a.Body.empty() || a.Status == 200) Res.set_content(a.Body, a.Type);
        });
        fServer.Start();
    }
    int Port() const { return fServer.Port(); }
    std::string Base(const std::string &Host = "localhost") const {
        return "http://" + Host + ":" + std::to_string(Port());
    }
    QString Url(const std::string &Host, const std::string &Path) const {
        return QString::fromStdString(Base(Host) + Path);
    }
    void Set(const std::string &Host, const std::string &Target, TAnswer A) {
        std::lock_guard lock(fMutex);
        fPages[Host + Target] = std::move(A);
    }
    int Hits(const std::string &Host, const std::string &Target) {
        std::lock_guard lock(fMutex);
        int n = 0;
        for (const THit &h : fHits) n += h.Host == Host && h.Target == Target;
        return n;
    }
    struct THit {
        std::chrono::steady_clock::time_point At;
        std::string Host, Target;
    };
    std::vector<THit> HitsNow() {
        std::lock_guard lock(fMutex);
        return fHits;
    }

private:
    TAnswer Answer(const std::string &Host, const std::string &Target) {
        // An endless calendar: every month links to the next.
        if (Target.rfind("/calendar?month=", 0) == 0) {
            const int month = std::stoi(Target.substr(16));
            return {200, Page("Month " + std::to_string(month),
                              "<a href=\"?month=" + std::to_string(month + 1) + "\">next</a>")};
        }
        std::lock_guard lock(fMutex);
        auto it = fPages.find(Host + Target);
        // A page takes any query it is not listed with.
        if (it == fPages.end()) it = fPages.find(Host + Target.substr(0, Target.find('?')));
        if (it == fPages.end()) return {404, "not here", "text/plain"};
        TAnswer a = it->second;
        // The busy page asks to come back once.
        if (Target == "/busy.html" && ++fBusyHits == 1)
            return {429, "slow down", "text/plain", {{"Retry-After", "1"}}};
        return a;
    }

    TTestServer fServer;
    std::mutex fMutex;
    std::map<std::string, TAnswer> fPages;
    std::vector<THit> fHits;
    int fBusyHits = 0;
};

class TRecorder : public TRunObserver {
public:
    void LogLine(const QString &Text, TDateTime) override {
        Lines << Text;
        if (Text.startsWith(QStringLiteral("Проверка завершена за ")) ||
            Text.startsWith(QStringLiteral("Проверка отменена через ")))
            Done = true;
    }
    void RunFinished(bool aborted) override { Aborted = aborted; }
    void ErrorMessage(const QString &Text) override { Errors << Text; }
    void TasksAdded(qsizetype First, qsizetype Count) override {
        EXPECT_EQ(First, Added);
        Added += Count;
    }
    void CrawlProgress(const TCrawlProgress &P) override { Progress = P; }
    QStringList Matching(const QString &Part) const {
        QStringList out;
        for (const QString &l : Lines)
            if (l.contains(Part)) out << l;
        return out;
    }

    QStringList Lines, Errors;
    qsizetype Added = 0;
    TCrawlProgress Progress;
    bool Done = false, Aborted = false;
};

class Crawl : public ::testing::Test {
protected:
    ~Crawl() override {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    bool RunToEnd(int TimeoutMs = 30000) {
        QElapsedTimer t;
        t.start();
        while (!rec.Done && t.elapsed() < TimeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return rec.Done;
    }
    TRunSettings Settings(int Threads = 4) {
        TRunSettings s;
        s.MaxThreads = Threads;
        s.Delay = 0;
        s.ShingleLength = 3;
        s.AlgVer = 2;
        s.IgnoreStopWords = false;
        s.UserAgent = QStringLiteral("Corvane/2.1; +https://www.corvane.example/");
        return s;
    }
    TCrawlOptions Options(const std::string &Start, int MaxPages) {
        TCrawlOptions o;
        o.StartURL = QString::fromStdString(Start);
        o.MaxPages = MaxPages;
        return o;
    }
    // The list as rows relative to the site.
    std::vector<TRow> Rows() {
        std::vector<TRow> out;
        for (const TURLTaskInfo *t : list) {
            std::string url = t->URL.toStdString();
            for (const std::string host : {"localhost", "www.localhost", "sub.localhost"}) {
                const std::string base = site.Base(host);
                if (url.rfind(base + "/", 0) == 0)
                    url = (host == "localhost" ? "" : host) + url.substr(base.size());
            }
            out.push_back(
                {url, t->TaskResults ? t->TaskResults->TaskResult : trUndefined, t->FoundOn});
        }
        return out;
    }

    TCrawlSite site;
    TOwnedTaskList list;
    TRecorder rec;
};

// The site of the first two tests: every kind of link, redirect, answer and
// robots.txt rule a crawl meets.
void BuildSite(TCrawlSite &Site) {
    const std::string p = std::to_string(Site.Port());
    Site.Set("localhost", "/robots.txt",
             {200,
              "User-agent: otherbot\nDisallow: /\n\n"
              "User-agent: *\nDisallow: /private/\nAllow: /private/open.html\n"
              "Disallow: /*.cgi$\nCrawl-delay: 0.05\n",
              "text/plain"});
    Site.Set(
        "localhost", "/",
        {200, Page("Home", "<a href=\"a.html\">relative</a>"
                           "<a href=\"http://localhost:" +
                               p +
                               "/b.html#top\">absolute, fragment</a>"
                               "<a href=\"/a.html#again\">the same page again</a>"
                               "<a href=\"http://www.localhost:" +
                               p +
                               "/c.html\">www. is the site</a>"
                               "<a href=\"http://127.0.0.1:" +
                               p +
                               "/other.html\">another host</a>"
                               "<a href=\"http://sub.localhost:" +
                               p +
                               "/sub.html\">a subdomain</a>"
                               "<a href=\"/nofollow.html\" rel=\"external nofollow\">nofollow</a>"
                               "<a href=\"/moved\">redirect inside</a>"
                               "<a href=\"/away\">redirect to another host</a>"
                               "<a href=\"/missing.html\">404</a>"
                               "<a href=\"/doc.pdf\">PDF</a>"
                               "<a href=\"/logo.png\">image</a>"
                               "<a href=\"/private/secret.html\">disallowed</a>"
                               "<a href=\"/private/open.html\">allowed</a>"
                               "<a href=\"/run.cgi\">disallowed by a wildcard</a>"
                               "<a href=\"/run.cgi?x=1\">allowed: $ ends the pattern</a>"
                               "<a href=\"/calendar?month=1\">calendar</a>"
                               "<a href=\"/busy.html\">429 once</a>"
                               "<a href=\"mailto:editor@localhost\">mail</a>"
                               "<map><area href=\"/loop1.html\"></map>")});
    // Windows-1251 page: its Cyrillic link is read in its own encoding.
    Site.Set(
        "localhost", "/a.html",
        {200,
         Page("A",
              "<a href=\"../../../b.html#x\">up past the root</a>"
              "<a href=\"/\xF1\xF2\xF0\xE0\xED\xE8\xF6\xE0.html\">cp1251</a>",
              "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"),
         "text/html"});
    Site.Set("localhost", "/страница.html", {200, Page("Stranitsa", "")});
    Site.Set("localhost", "/b.html",
             {200, Page("B", "<a href=\"e.html\">in the base folder</a><a href=\"/\">home</a>",
                        "<base href=\"/dir/\">")});
    Site.Set("localhost", "/dir/e.html", {200, Page("E", "<a href=\"../a.html\">A</a>")});
    Site.Set("www.localhost", "/c.html",
             {200, Page("C", "<a href=\"http://localhost:" + p + "/\">home</a>")});
    Site.Set("localhost", "/moved", {301, "", "text/plain", {{"Location", "/target.html"}}});
    Site.Set("localhost", "/target.html", {200, Page("Target", "<a href=\"/a.html\">A</a>")});
    Site.Set("localhost", "/away",
             {302, "", "text/plain", {{"Location", "http://127.0.0.1:" + p + "/other.html"}}});
    Site.Set("127.0.0.1", "/other.html",
             {200, Page("Other", "<a href=\"/elsewhere.html\">its own link</a>")});
    Site.Set("localhost", "/doc.pdf", {200, "%PDF-1.4 not a page", "application/pdf"});
    Site.Set("localhost", "/private/open.html", {200, Page("Open", "")});
    Site.Set("localhost", "/private/secret.html", {200, Page("Secret", "")});
    Site.Set("localhost", "/run.cgi", {200, Page("Cgi", "")});
    Site.Set("localhost", "/run.cgi?x=1", {200, Page("Cgi with x", "")});
    Site.Set("localhost", "/busy.html", {200, Page("Busy", "<a href=\"/target.html\">T</a>")});
    Site.Set("localhost", "/loop1.html", {200, Page("Loop 1", "<a href=\"loop2.html\">2</a>")});
    Site.Set("localhost", "/loop2.html", {200, Page("Loop 2", "<a href=\"loop1.html\">1</a>")});
    Site.Set("localhost", "/nofollow.html", {200, Page("Nofollow", "")});
    Site.Set("sub.localhost", "/robots.txt",
             {200, "User-agent: *\nDisallow: /hidden\n", "text/plain"});
    Site.Set("sub.localhost", "/sub.html",
             {200, Page("Sub", "<a href=\"/hidden.html\">h</a><a href=\"/shown.html\">s</a>")});
    Site.Set("sub.localhost", "/shown.html", {200, Page("Shown", "")});
}

TEST_F(Crawl, TasksOrderAndFoundOnFollowTheRules) {
    BuildSite(site);
    TRunController c(list, &rec);
    c.SetSettings(Settings());
    ASSERT_TRUE(c.RunCrawl(Options(site.Base() + "/", 21)));
    ASSERT_TRUE(RunToEnd());
    EXPECT_FALSE(rec.Aborted);
    EXPECT_TRUE(rec.Errors.isEmpty()) << rec.Errors.join(u'\n').toStdString();

    // Breadth first; each page's links in document order; a link seen before
    // is no new page, whichever page it comes from.
    const std::vector<TRow> expected = {
        {"/", trOk, 0},
        {"/a.html", trOk, 1},
        {"/b.html", trOk, 1},
        {"www.localhost/c.html", trOk, 1}, // www. is the same site (its robots.txt: 404)
        {"/moved", trOk, 1},               // checked as its target
        {"/away", trOk, 1},                // checked, but its links are the other site's
        {"/missing.html", trHTTPError, 1},
        {"/doc.pdf", trNotHTML, 1},
        {"/private/open.html", trOk, 1}, // Allow wins over the shorter Disallow
        {"/run.cgi?x=1", trOk, 1},       // "/*.cgi$" ends at the path's end
        {"/calendar?month=1", trOk, 1},
        {"/busy.html", trOk, 1},  // after its 429 and one second
        {"/loop1.html", trOk, 1}, // an <area> link
        {"/%D1%81%D1%82%D1%80%D0%B0%D0%BD%D0%B8%D1%86%D0%B0.html", trOk, 2},
        {"/dir/e.html", trOk, 3}, // <base href="/dir/">
        {"/calendar?month=2", trOk, 11},
        {"/loop2.html", trOk, 13},
        {"/calendar?month=3", trOk, 16},
        {"/calendar?month=4", trOk, 18},
        {"/calendar?month=5", trOk, 19},
        {"/calendar?month=6", trOk, 20}, // the limit ends the calendar
    };
    EXPECT_EQ(Rows(), expected);
    for (int i = 0; i < list.size(); ++i) EXPECT_EQ(list[i]->Num, i + 1);

    // Fetched once each, never what robots.txt forbids or the filters drop.
    EXPECT_EQ(site.Hits("localhost", "/robots.txt"), 1);
    EXPECT_EQ(site.Hits("www.localhost", "/robots.txt"), 1);
    EXPECT_EQ(site.Hits("sub.localhost", "/robots.txt"), 0);
    EXPECT_EQ(site.Hits("localhost", "/a.html"), 1);
    EXPECT_EQ(site.Hits("localhost", "/target.html"), 1); // through /moved only
    EXPECT_EQ(site.Hits("localhost", "/busy.html"), 2);
    for (const char *never :
         {"/private/secret.html", "/run.cgi", "/nofollow.html", "/logo.png", "/calendar?month=7"})
        EXPECT_EQ(site.Hits("localhost", never), 0) << never;
    EXPECT_EQ(site.Hits("127.0.0.1", "/elsewhere.html"), 0);

    // What the log says about them.
    EXPECT_EQ(
        rec.Matching(QStringLiteral("Запрещено robots.txt")),
        (QStringList{QStringLiteral("Запрещено robots.txt (строка 5: Disallow: /private/): ") +
                         site.Url("localhost", "/private/secret.html"),
                     QStringLiteral("Запрещено robots.txt (строка 7: Disallow: /*.cgi$): ") +
                         site.Url("localhost", "/run.cgi")}));
    EXPECT_EQ(rec.Matching(QStringLiteral("URL 12: сервер ответил")),
              QStringList{QStringLiteral(
                  "URL 12: сервер ответил 429 и просит подождать, повтор через 1 сек.")});
    EXPECT_EQ(rec.Matching(QStringLiteral("URL 8: не страница")),
              QStringList{QStringLiteral("URL 8: не страница (Content-Type: application/pdf), в "
                                         "сравнении не участвует")});
    EXPECT_EQ(rec.Matching(QStringLiteral("URL 6: переадресация на другой сайт")).size(), 1);
    EXPECT_EQ(rec.Matching(QStringLiteral("Crawl-delay 0.05 с")).size(), 1);
    EXPECT_EQ(rec.Matching(QStringLiteral("Достигнут предел сканирования: 21 страниц")).size(), 1);
    EXPECT_EQ(rec.Matching(QStringLiteral("Сканирование: найдено страниц 21 (предел 21), "
                                          "запрещено robots.txt 2, не страниц 1"))
                  .size(),
              1);
    EXPECT_EQ(rec.Added, 21);
    EXPECT_EQ(rec.Progress.Found, 21);
    EXPECT_EQ(rec.Progress.Checked, 21);

    // The Crawl-delay spaces the requests to the site after its robots.txt
    // (a redirect is followed at once, within its request). The server sees
    // arrivals, which a busy machine can bunch up, so the spacing is checked
    // over the whole run: its span holds every paced gap.
    const auto hits = site.HitsNow();
    int paced = 0;
    for (size_t i = 2; i < hits.size(); ++i)
        paced += hits[i - 1].Target != "/moved" && hits[i - 1].Target != "/away";
    ASSERT_GT(hits.size(), 2u);
    EXPECT_GE(hits.back().At - hits[1].At, paced * 30ms) << paced << " paced requests";

    // One check: uniqueness of every page, the PDF left out.
    const TURLTaskInfo &pdf = *list[7];
    EXPECT_EQ(pdf.UniquenessText(), QString());
    EXPECT_EQ(pdf.TaskResults->ErrorText(), QStringLiteral("NOT HTML"));
    EXPECT_GE(list[0]->TaskResults->Uniqueness, 0);
    EXPECT_EQ(list[4]->TaskResults->GetSimilarity(8), 0);
}

TEST_F(Crawl, OptionsWidenAndNarrowTheCrawl) {
    BuildSite(site);
    TRunController c(list, &rec);
    c.SetSettings(Settings());
    TCrawlOptions o = Options(site.Base() + "/", 13);
    o.IncludeSubdomains = true;
    o.FollowNoFollow = true;
    ASSERT_TRUE(c.RunCrawl(o));
    ASSERT_TRUE(RunToEnd());
    std::vector<TRow> got = Rows();
    ASSERT_EQ(got.size(), 13u);
    EXPECT_EQ(got[4], (TRow{"sub.localhost/sub.html", trOk, 1}));
    EXPECT_EQ(got[5], (TRow{"/nofollow.html", trOk, 1}));
    EXPECT_EQ(site.Hits("sub.localhost", "/robots.txt"), 1);

    // Query strings are kept, but the parameters named are dropped.
    site.Set("localhost", "/tracked.html",
             {200, Page("Tracked", "<a href=\"?utm_source=news\">1</a>"
                                   "<a href=\"?utm_source=mail&amp;id=2\">2</a>"
                                   "<a href=\"?id=2&amp;SessionID=abc\">3</a>"
                                   "<a href=\"?id=3\">4</a>")});
    for (const char *drop : {"", "utm_*, sessionid"}) {
        SCOPED_TRACE(drop);
        FreeObjects(&list);
        rec = TRecorder();
        o = Options(site.Base() + "/tracked.html", 10);
        o.DropParams = ParseDropParams(QString::fromUtf8(drop));
        ASSERT_TRUE(c.RunCrawl(o));
        ASSERT_TRUE(RunToEnd());
        const std::vector<TRow> kept = {{"/tracked.html", trOk, 0},
                                        {"/tracked.html?utm_source=news", trOk, 1},
                                        {"/tracked.html?utm_source=mail&id=2", trOk, 1},
                                        {"/tracked.html?id=2&SessionID=abc", trOk, 1},
                                        {"/tracked.html?id=3", trOk, 1}};
        const std::vector<TRow> dropped = {{"/tracked.html", trOk, 0},
                                           {"/tracked.html?id=2", trOk, 1},
                                           {"/tracked.html?id=3", trOk, 1}};
        EXPECT_EQ(Rows(), *drop ? dropped : kept);
    }

    // Without robots.txt, what it forbids is crawled, and it is not even fetched.
    FreeObjects(&list);
    rec = TRecorder();
    o = Options(site.Base() + "/private/secret.html", 1);
    o.IgnoreRobots = true;
    const int robots = site.Hits("localhost", "/robots.txt");
    ASSERT_TRUE(c.RunCrawl(o));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Rows(), (std::vector<TRow>{{"/private/secret.html", trOk, 0}}));
    EXPECT_EQ(site.Hits("localhost", "/robots.txt"), robots);
}

TEST_F(Crawl, SitemapsOfRobotsTxtSeedTheCrawl) {
    const std::string p = std::to_string(site.Port());
    site.Set("localhost", "/robots.txt",
             {200, "Sitemap: http://localhost:" + p + "/sitemap-index.xml\nUser-agent: *\n",
              "text/plain"});
    site.Set("localhost", "/sitemap-index.xml",
             {200,
              "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\"><sitemap><loc>"
              "http://localhost:" +
                  p + "/sitemap.xml</loc></sitemap></sitemapindex>",
              "application/xml"});
    site.Set("localhost", "/sitemap.xml",
             {200,
              "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">"
              "<url><loc>http://localhost:" +
                  p +
                  "/orphan.html</loc></url>"
                  "<url><loc> http://localhost:" +
                  p +
                  "/ </loc></url>"
                  "<url><loc>http://127.0.0.1:" +
                  p + "/other.html</loc></url></urlset>",
              "application/xml"});
    site.Set("localhost", "/", {200, Page("Home", "<a href=\"/linked.html\">l</a>")});
    site.Set("localhost", "/orphan.html", {200, Page("Orphan", "")});
    site.Set("localhost", "/linked.html", {200, Page("Linked", "")});
    TRunController c(list, &rec);
    c.SetSettings(Settings());
    TCrawlOptions o = Options(site.Base() + "/", 10);
    o.UseSitemaps = true;
    ASSERT_TRUE(c.RunCrawl(o));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Rows(), (std::vector<TRow>{
                          {"/", trOk, 0}, {"/orphan.html", trOk, 0}, {"/linked.html", trOk, 1}}));
}

// A start address that is no site's, a site whose robots.txt cannot be had
// or forbids everything: a clear message, no page fetched.
TEST_F(Crawl, SitesThatCannotBeCrawled) {
    TRunController c(list, &rec);
    c.SetSettings(Settings());
    EXPECT_FALSE(c.RunCrawl(Options("ftp://localhost/", 10)));
    EXPECT_FALSE(c.RunCrawl(Options("  ", 10)));
    EXPECT_FALSE(c.RunCrawl(Options("http://", 10)));
    EXPECT_EQ(rec.Errors,
              (QStringList{QStringLiteral("Сканировать можно только сайт с адресом http:// или "
                                          "https://: ftp://localhost/"),
                           QStringLiteral("Укажите адрес сайта"),
                           QStringLiteral("Не удалось разобрать адрес сайта: http://")}));
    EXPECT_FALSE(c.Running());

    struct Case {
        const char *Name;
        TAnswer Robots;
        const char *Message;
    };
    const Case cases[] = {
        {"503",
         {503, "busy", "text/plain"},
         "Сайт не сканируется: %1/robots.txt недоступен (HTTP 503)"},
        {"disallow all",
         {200, "User-agent: *\nDisallow: /\n", "text/plain"},
         "Сайт не сканируется: robots.txt запрещает %1/ (строка 2: Disallow: /)"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.Name);
        site.Set("localhost", "/robots.txt", k.Robots);
        site.Set("localhost", "/", {200, Page("Home", "")});
        rec = TRecorder();
        ASSERT_TRUE(c.RunCrawl(Options(site.Base(), 10)));
        ASSERT_TRUE(RunToEnd());
        EXPECT_TRUE(list.isEmpty());
        EXPECT_EQ(rec.Errors, QStringList{QString::fromUtf8(k.Message).arg(
                                  QString::fromStdString(site.Base()))});
        EXPECT_EQ(c.Crawl()->Failure(), rec.Errors.value(0));
    }
    EXPECT_EQ(site.Hits("localhost", "/"), 0);

    // A host that does not answer at all.
    rec = TRecorder();
    ASSERT_TRUE(c.RunCrawl(Options("http://127.0.0.1:1/", 10)));
    ASSERT_TRUE(RunToEnd());
    ASSERT_EQ(rec.Errors.size(), 1);
    EXPECT_TRUE(rec.Errors[0].startsWith(
        QStringLiteral("Сайт не сканируется: http://127.0.0.1:1/robots.txt недоступен (")))
        << rec.Errors[0].toStdString();
}

// robots.txt that is huge, binary or malformed, and a page of 100 000 links.
TEST_F(Crawl, HostileRobotsTxtAndPages) {
    std::string huge = "User-agent: *\nDisallow: /no\n";
    while (huge.size() < 600 * 1024) huge += "# filler line of a robots.txt far too long\n";
    huge += "Disallow: /\n"; // beyond 500 KiB: not read
    std::string links;
    for (int i = 0; i < 100000; ++i) links += "<a href=\"/p" + std::to_string(i) + ".html\">x</a>";
    site.Set("localhost", "/", {200, Page("Many", links + "<a href=\"/no.html\">no</a>")});
    for (int i = 0; i < 30; ++i)
        site.Set("localhost", "/p" + std::to_string(i) + ".html", {200, Page("P", "")});

    static const char Binary[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe Disallow: /";
    struct Case {
        const char *Name;
        std::string Robots;
    };
    const Case cases[] = {
        {"huge", huge},
        {"binary", std::string(Binary, sizeof Binary - 1)},
        {"malformed", "Disallow /p1.html\nUser-agent *\n\n:::\nAllow\nDisallow: \n<html>"},
    };
    TRunController c(list, &rec);
    c.SetSettings(Settings());
    for (const Case &k : cases) {
        SCOPED_TRACE(k.Name);
        site.Set("localhost", "/robots.txt", {200, k.Robots, "text/plain"});
        FreeObjects(&list);
        rec = TRecorder();
        ASSERT_TRUE(c.RunCrawl(Options(site.Base() + "/", 25)));
        ASSERT_TRUE(RunToEnd(60000));
        ASSERT_EQ(list.size(), 25);
        EXPECT_EQ(list[24]->URL, site.Url("localhost", "/p23.html"));
        EXPECT_EQ(list[24]->FoundOn, 1);
        for (const TURLTaskInfo *t : list) EXPECT_EQ(t->TaskResults->TaskResult, trOk);
    }
    EXPECT_EQ(rec.Matching(QStringLiteral("Запрещено robots.txt")).size(), 0);
    FreeObjects(&list);
    rec = TRecorder();
    site.Set("localhost", "/robots.txt", {200, huge, "text/plain"});
    ASSERT_TRUE(c.RunCrawl(Options(site.Base() + "/no.html", 25)));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(rec.Matching(QStringLiteral("длиннее 500 КиБ: прочитано только начало")).size(), 1);
    EXPECT_EQ(rec.Errors.size(), 1); // /no.html is forbidden by the head of the file
}

// An abort keeps every page checked so far, with its uniqueness.
TEST_F(Crawl, AbortKeepsTheCheckedPages) {
    site.Set("localhost", "/robots.txt", {404, "", "text/plain"});
    TRunController c(list, &rec);
    c.SetSettings(Settings(2));
    TCrawlOptions o = Options(site.Base() + "/calendar?month=1", 1000);
    ASSERT_TRUE(c.RunCrawl(o));
    QElapsedTimer t;
    t.start();
    while (rec.Progress.Checked < 5 && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    c.Abort();
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(rec.Aborted);
    int checked = 0;
    for (const TURLTaskInfo *task : list)
        if (task->TaskResults) {
            ++checked;
            EXPECT_EQ(task->TaskResults->TaskResult, trOk);
            EXPECT_GE(task->TaskResults->Uniqueness, 0);
        }
    EXPECT_GE(checked, 5);
    EXPECT_LT(list.size(), 1000);
    EXPECT_EQ(ActiveTaskCount.load(), 0);
    EXPECT_EQ(TaskPool, nullptr);
}

// An ordinary check waits for a 429's Retry-After too (capped), abortably.
TEST_F(Crawl, RetryAfterInAnyCheck) {
    site.Set("localhost", "/busy.html", {200, Page("Busy", "")});
    site.Set("localhost", "/later.html",
             {503, "", "text/plain", {{"Retry-After", "Wed, 21 Oct 2065 07:28:00 GMT"}}});
    list.append(new TURLTaskInfo(site.Url("localhost", "/busy.html"), 1));
    list.append(new TURLTaskInfo(site.Url("localhost", "/later.html"), 2));
    TRunController c(list, &rec);
    c.SetSettings(Settings());
    ASSERT_TRUE(c.Run(rvAll));
    QElapsedTimer t;
    t.start();
    while (rec.Matching(QStringLiteral("URL 2: сервер ответил")).isEmpty() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(rec.Matching(QStringLiteral("URL 2: сервер ответил")),
              QStringList{QStringLiteral(
                  "URL 2: сервер ответил 503 и просит подождать, повтор через 300 сек.")});
    // Task 1 ends after its second try, task 2 waits five minutes: abort it.
    while (rec.Matching(QStringLiteral("URL 1: анализ завершен")).isEmpty() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(site.Hits("localhost", "/busy.html"), 2);
    c.Abort();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(list[0]->TaskResults->TaskResult, trOk);
    EXPECT_EQ(list[1]->TaskResults, nullptr);
    EXPECT_LT(t.elapsed(), 8000);
    EXPECT_EQ(site.Hits("localhost", "/later.html"), 1);
}

TEST(CrawlStart, AddressesTheCrawlTakes) {
    struct Case {
        const char *Given;
        const char *Url; // empty: refused
    };
    const Case cases[] = {
        {"example.com", "http://example.com/"},
        {"  HTTPS://Example.COM:443/a/../b#top ", "https://example.com/b"},
        {"localhost:8080/x", "http://localhost:8080/x"},
        {"//example.com/?utm_source=x&id=2", "http://example.com/?id=2"},
        {"пример.рф", "http://xn--e1afmkfd.xn--p1ai/"},
        {"mailto:editor@example.com", ""},
        {"javascript:alert(1)", ""},
        {"file:///etc/passwd", ""},
        {"", ""},
    };
    for (const Case &k : cases) {
        const TCrawlStart s = CrawlStartURL(QString::fromUtf8(k.Given), {QStringLiteral("utm_*")});
        EXPECT_EQ(s.Url.toStdString(), k.Url) << k.Given;
        EXPECT_EQ(s.Error.isEmpty(), *k.Url != 0) << k.Given;
    }
    EXPECT_EQ(
        ParseDropParams(QStringLiteral(" utm_*,sessionid ;  ref ")),
        (QStringList{QStringLiteral("utm_*"), QStringLiteral("sessionid"), QStringLiteral("ref")}));
}

} // namespace
