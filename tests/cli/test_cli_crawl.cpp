// corvane-cli check --crawl against a loopback site.
#include <atomic>
#include <map>
#include <string>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/CliRunner.h"
#include "common/TestServer.h"

using namespace corvane::test;

namespace {

class CliCrawl : public ::testing::Test {
protected:
    CliCrawl() {
        site->Get(".*", [this](const httplib::Request &Req, httplib::Response &Res) {
            const auto it = pages.find(Req.path);
            if (Req.path == "/robots.txt") {
                Res.status = robotsStatus;
                Res.set_content(robots, "text/plain");
            } else if (it == pages.end()) {
                Res.status = 404;
            } else {
                Res.set_content("<html><body><p>" + it->second + "</p></body></html>", "text/html");
            }
        });
        site.Start();
    }
    std::string Link(const std::string &Path) { return "<a href=\"" + Path + "\">link</a>"; }
    CliRun Crawl(QStringList Extra) {
        QStringList args = {QStringLiteral("check"), QStringLiteral("--alg"),
                            QStringLiteral("2"),     QStringLiteral("--delay"),
                            QStringLiteral("0"),     QStringLiteral("--lang"),
                            QStringLiteral("ru")};
        return RunCli(args + Extra);
    }
    QJsonArray Tasks(const QString &Path) {
        QFile f(Path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QJsonDocument::fromJson(f.readAll())
            .object()
            .value(QStringLiteral("tasks"))
            .toArray();
    }

    TTestServer site;
    std::map<std::string, std::string> pages;
    std::atomic<int> robotsStatus{200};
    std::string robots = "User-agent: *\nDisallow: /secret\n";
    QTemporaryDir dir;
};

TEST_F(CliCrawl, JsonGivesWhereEachPageWasFound) {
    pages["/"] = "Home page of the site with a few words. " + Link("/a") + Link("b#part") +
                 Link("/secret.html") + Link("/style.css") + Link("http://localhost:1/x");
    pages["/a"] = "Page a has words of its own here. " + Link("/c?utm_source=feed") + Link("/");
    pages["/b"] = "Page b has other words of its own. " + Link("/c");
    pages["/c"] = "Page c is the deepest page of them. ";
    const QString json = dir.filePath(QStringLiteral("crawl.json"));
    const CliRun r = Crawl({QStringLiteral("--crawl"), site.Url("/"), QStringLiteral("--json"),
                            json, QStringLiteral("--drop-params"), QStringLiteral("utm_*")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray tasks = Tasks(json);
    struct Row {
        const char *Path;
        int FoundOn;
    };
    const Row rows[] = {{"/", 0}, {"/a", 1}, {"/b", 1}, {"/c", 2}};
    ASSERT_EQ(tasks.size(), 4) << r.err.toStdString();
    for (int i = 0; i < 4; ++i) {
        const QJsonObject t = tasks[i].toObject();
        EXPECT_EQ(t[QStringLiteral("num")].toInt(), i + 1);
        EXPECT_EQ(t[QStringLiteral("url")].toString(), site.Url(rows[i].Path));
        EXPECT_EQ(t[QStringLiteral("foundOn")].toInt(), rows[i].FoundOn) << i;
        EXPECT_EQ(t[QStringLiteral("result")].toString(), QStringLiteral("trOk"));
    }
    EXPECT_TRUE(r.err.contains(QStringLiteral("Запрещено robots.txt (строка 2: Disallow: "
                                              "/secret): ") +
                               site.Url("/secret.html")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Сканирование: найдено страниц 4 (предел 500), "
                                              "запрещено robots.txt 1, не страниц 0, ссылок на "
                                              "другие сайты 1, ссылок nofollow 0")))
        << r.err.toStdString();

    // The limit, and robots.txt ignored.
    const CliRun limited = Crawl({QStringLiteral("--crawl"), site.Url("/secret.html"),
                                  QStringLiteral("--json"), json, QStringLiteral("--ignore-robots"),
                                  QStringLiteral("--max-pages"), QStringLiteral("1")});
    ASSERT_EQ(limited.code, 0) << limited.err.toStdString();
    ASSERT_EQ(Tasks(json).size(), 1);
    EXPECT_EQ(Tasks(json)[0].toObject()[QStringLiteral("result")].toString(),
              QStringLiteral("trHTTPError"));
}

TEST_F(CliCrawl, SitesThatCannotBeCrawledAndBadArguments) {
    robotsStatus = 503;
    const CliRun unreachable = Crawl({QStringLiteral("--crawl"), site.Url("/")});
    EXPECT_EQ(unreachable.code, 3);
    EXPECT_TRUE(unreachable.err.contains(QStringLiteral("Сайт не сканируется: ") +
                                         site.Url("/robots.txt") +
                                         QStringLiteral(" недоступен (HTTP 503)")))
        << unreachable.err.toStdString();

    struct Case {
        QStringList Args;
        const char *Error;
    };
    const Case cases[] = {
        {{QStringLiteral("--crawl"), QStringLiteral("ftp://example.com/")},
         "Сканировать можно только сайт с адресом http:// или https://: ftp://example.com/"},
        {{QStringLiteral("--crawl"), QStringLiteral("http://x.example/"), QStringLiteral("--urls"),
          QStringLiteral("list.txt")},
         "check needs exactly one of"},
        {{QStringLiteral("--urls"), QStringLiteral("list.txt"), QStringLiteral("--subdomains")},
         "go with --crawl URL"},
        {{QStringLiteral("--crawl"), QStringLiteral("http://x.example/"),
          QStringLiteral("--max-pages"), QStringLiteral("10001")},
         "--max-pages must be a whole number from 1 to 10000"},
    };
    for (const Case &k : cases) {
        const CliRun r = Crawl(k.Args);
        EXPECT_EQ(r.code, 2) << k.Error;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(k.Error))) << r.err.toStdString();
    }
}

} // namespace

// A crawl kept in the store: its pages join the stored check as they come
// back, so the history counts every page it found.
TEST_F(CliCrawl, StoredWithEveryPageItFound) {
    pages["/"] = "Home page of the site with a few words. " + Link("/a") + Link("/b");
    pages["/a"] = "Page a has words of its own here. " + Link("/");
    pages["/b"] = "Page b has other words of its own. ";
    const QString store = dir.filePath(QStringLiteral("checks.db"));
    const CliRun r =
        Crawl({QStringLiteral("--crawl"), site.Url("/"), QStringLiteral("--store"), store});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const CliRun history = RunCli({QStringLiteral("history"), QStringLiteral("--store"), store});
    ASSERT_EQ(history.code, 0) << history.err.toStdString();
    const QStringList lines = history.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << history.out.toStdString();
    const QStringList cells = lines[1].split(u'\t');
    ASSERT_GE(cells.size(), 5);
    EXPECT_EQ(cells[2], QStringLiteral("finished"));
    EXPECT_EQ(cells[3], QStringLiteral("3")) << "pages";
    EXPECT_EQ(cells[4], QStringLiteral("3")) << "done";
}
