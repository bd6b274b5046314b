#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/qstring_print.h"

using namespace corvane::test;

namespace {

struct TRun {
    int code;
    QByteArray out;
    QString err;
};

TRun extract(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral(CORVANE_CLI), QStringList{QStringLiteral("extract")} + args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

const char *const Page =
    "<html><head><title>Skipped</title></head><body><h1>Заголовок</h1>"
    "<div>menu</div><p>The first paragraph has enough words in it.</p></body></html>";

// A site: /old redirects to /page; /gone is missing.
class CliExtractSources : public ::testing::Test {
protected:
    void SetUp() override {
        site->Get("/old", [](const httplib::Request &, httplib::Response &res) {
            res.set_redirect("/page", 301);
        });
        site->Get("/page", [this](const httplib::Request &req, httplib::Response &res) {
            std::lock_guard lock(mutex);
            referer = req.get_header_value("Referer");
            agent = req.get_header_value("User-Agent");
            res.set_content(Page, "text/html");
        });
        site->Get("/gone", [](const httplib::Request &, httplib::Response &res) {
            res.status = 404;
            res.set_content("<p>Not found, sorry about that my friend</p>", "text/html");
        });
        site.Start();
    }
    std::mutex mutex;
    std::string referer, agent;
    TTestServer site;
};

} // namespace

// extract and a check take a page through the same download: a redirect,
// a 404 and a refused port end the same way, with the same line.
TEST_F(CliExtractSources, SameOutcomeAsACheck) {
    QTemporaryDir dir;
    const QString refused = QStringLiteral("http://127.0.0.1:1/page");
    for (const QString &url : {site.Url("/old"), site.Url("/gone"), refused}) {
        SCOPED_TRACE(url.toStdString());
        const QString list = dir.filePath(QStringLiteral("urls.txt"));
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(url.toUtf8() + "\n");
        f.close();
        QProcess check;
        check.start(QStringLiteral(CORVANE_CLI),
                    {QStringLiteral("check"), QStringLiteral("--urls"), list,
                     QStringLiteral("--alg"), QStringLiteral("2"), QStringLiteral("--lang"),
                     QStringLiteral("ru"), QStringLiteral("--verbose"), QStringLiteral("--report"),
                     QStringLiteral("-")});
        ASSERT_TRUE(check.waitForFinished(30000));
        const QString log = QString::fromUtf8(check.readAllStandardError());
        const QString row = QString::fromUtf8(check.readAllStandardOutput()).section(u'\n', 1, 1);
        const TRun r = extract({QStringLiteral("--alg"), QStringLiteral("2"), url});
        if (url == refused || url.endsWith(u"/gone")) {
            EXPECT_EQ(r.code, 3);
            EXPECT_TRUE(r.err.startsWith(QStringLiteral("URL 1: ОШИБКА"))) << r.err.toStdString();
            EXPECT_TRUE(log.contains(u' ' + r.err + u'\n')) << log.toStdString();
            EXPECT_TRUE(row.contains(url == refused ? u";SEND ERROR;" : u";404;"))
                << row.toStdString();
        } else {
            EXPECT_EQ(r.code, 0);
            EXPECT_TRUE(row.contains(u";200;")) << row.toStdString();
        }
    }
}

TEST_F(CliExtractSources, DownloadsLikeAWorker) {
    TRun r = extract(
        {QStringLiteral("--alg"), QStringLiteral("2"), QStringLiteral("--raw"), site.Url("/old")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out),
              u"Заголовок\r\nThe first paragraph has enough words in it.");
    EXPECT_EQ(QString::fromStdString(referer), site.Url("/old"));
    EXPECT_EQ(agent,
              "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:53.0) Gecko/20100101 Firefox/53.0");

    r = extract({QStringLiteral("--alg"), QStringLiteral("2"), QStringLiteral("--user-agent"),
                 QStringLiteral("Corvane test"), site.Url("/page")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(agent, "Corvane test");

    TSelfSigned cert;
    TTestServer secure(cert.MakeServer());
    secure->Get("/", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(Page, "text/html");
    });
    secure.Start();
    r = extract({QStringLiteral("--alg"), QStringLiteral("2"), QStringLiteral("--raw"),
                 secure.Url("/", "https")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("\xD0\x97")) << r.out.constData();
}

TEST_F(CliExtractSources, NoPageGivesTheWorkersErrorAndExitStatus3) {
    TRun r = extract({QStringLiteral("--alg"), QStringLiteral("2"), site.Url("/gone")});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, u"URL 1: ОШИБКА получения страницы, код ошибки HTML: 404");
    EXPECT_TRUE(r.out.isEmpty());

    TTestServer closed; // bound, released: nothing listens there
    closed.Start();
    const QString url = closed.Url();
    closed.Stop();
    r = extract({url});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, u"URL 1: ОШИБКА отправки запроса: Couldn't connect to server");
}

TEST_F(CliExtractSources, ServiceAlgorithmUsesTheGivenEndpoints) {
    TTestServer service;
    std::string received;
    service->Post("/", [&](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard lock(mutex);
        received = req.get_file_value("text").content;
        res.set_content("\xEF\xBB\xBF\r\n  Text from the service  \r\n\r\n", "text/plain");
    });
    service.Start();
    const TRun r = extract({QStringLiteral("--raw"), QStringLiteral("--endpoint"), service.Url(),
                            QStringLiteral("--endpoint"), service.Url(), site.Url("/page")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "  Text from the service  \r\n");
    EXPECT_EQ(received, Page);
}

TEST_F(CliExtractSources, ServiceAlgorithmDefaultsToTheEmbeddedService) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("page.html"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Page);
    f.close();
    TRun r = extract({QStringLiteral("--raw"), file});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out),
              u"Заголовок\r\nmenu\r\nThe first paragraph has enough words in it.\r\n");
    r = extract({site.Url("/page")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("menu")) << r.out.constData();
}

TEST_F(CliExtractSources, ServiceFailureAndBadArguments) {
    TTestServer failing;
    failing->Post("/", [](const httplib::Request &, httplib::Response &res) { res.status = 502; });
    failing.Start();
    const TRun r = extract({QStringLiteral("--endpoint"), failing.Url(),
                            QStringLiteral("--endpoint"), failing.Url(), site.Url("/page")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(
        r.err,
        u"URL 1: ОШИБКА анализа страницы: -1\n"
        u"ERROR: COULD NOT CALL PLAIN-TEXT WEB SERVICE: the service answered with HTTP status 502");

    for (const QStringList &args :
         {QStringList{QStringLiteral("--endpoint"), failing.Url(), site.Url("/page")},
          QStringList{QStringLiteral("--alg"), QStringLiteral("3"), site.Url("/page")},
          QStringList{QStringLiteral("--alg"), QStringLiteral("2"), QStringLiteral("--endpoint"),
                      failing.Url(), QStringLiteral("--endpoint"), failing.Url(),
                      site.Url("/page")}}) {
        EXPECT_EQ(extract(args).code, 2) << args.join(u' ').toStdString();
    }
}
