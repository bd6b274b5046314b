// corvane-cli check --html: the report of a loopback site, read as a file
// and used in headless Chromium (tests/browser/check_report.mjs).
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/CliRunner.h"
#include "common/TestServer.h"

using namespace corvane::test;

namespace {

const std::string Boats =
    "<p>Our yard builds wooden boats for lakes and rivers since the year nineteen ninety, "
    "every hull planked by hand from larch and oak that we season for three winters.</p>"
    "<p>Each boat is fitted with brass hardware, linen sails and a mast of spruce, and is "
    "tested on the lake before it is handed to its owner.</p>";
// Text that would act if it reached the report unescaped.
const std::string Hostile =
    "<p>Sample code: &lt;script&gt;alert(1)&lt;/script&gt; and &lt;/textarea&gt;&lt;img src=x "
    "onerror=alert(3)&gt; then a link &lt;a href=\"javascript:alert(4)\"&gt;here&lt;/a&gt; "
    "written out as plain text on a page about hostile snippets.</p>";

class CliHtml : public ::testing::Test {
protected:
    CliHtml() {
        auto html = [this](const std::string &pattern, std::string head, std::string body) {
            site->Get(pattern, [head, body](const httplib::Request &, httplib::Response &res) {
                res.set_content("<html><head>" + head + "</head><body>" + body + "</body></html>",
                                "text/html");
            });
        };
        html("/boat-a", "", Boats + "<p>Model A.</p>");
        html("/boat-b", "", Boats + "<p>Model B.</p>");
        html("/boat-c", "<link rel=\"canonical\" href=\"/boat-a\">", Boats + "<p>Model C.</p>");
        html("/about", "",
             "<p>A page about the people of the yard, who they are and where they learnt the "
             "trade of building boats.</p>");
        html("/snippets", "<link rel=\"canonical\" href=\"javascript:alert(5)\">", Hostile);
        html("/snippets-copy", "", Hostile);
        html(R"(/q.*)", "", "<p>An address with a quote in it, and a short text of its own.</p>");
        site->Get("/missing",
                  [](const httplib::Request &, httplib::Response &res) { res.status = 404; });
        site.Start();
    }

    QByteArray url(const char *path) { return site.Url(path).toUtf8(); }

    // Runs the check with --html and returns the report's path.
    QString check(const QString &lang) {
        const QString list =
            WriteFile(dir, QStringLiteral("urls.txt"),
                      url("/boat-a") + "\n" + url("/boat-b") + "\n" + url("/boat-c") + "\n" +
                          url("/about") + "\n" + url("/snippets") + "\n" + url("/snippets-copy") +
                          "\n" + url("/q\"onmouseover=alert(2)") + "\n" + url("/missing") + "\n");
        const QString html = dir.filePath(QStringLiteral("report-%1.html").arg(lang));
        const CliRun r =
            RunCli({QStringLiteral("check"), QStringLiteral("--urls"), list,
                    QStringLiteral("--alg"), QStringLiteral("2"), QStringLiteral("--delay"),
                    QStringLiteral("0"), QStringLiteral("--shingle-length"), QStringLiteral("3"),
                    QStringLiteral("--lang"), lang, QStringLiteral("--html"), html});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return html;
    }

    TTestServer site;
    QTemporaryDir dir;
};

QString readText(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Why the report cannot be opened in a browser here, or nothing.
std::string browserMissing() {
    const QString chromium =
        qEnvironmentVariable("CORVANE_CHROMIUM", QStringLiteral(CORVANE_CHROMIUM));
    if (!QFileInfo(chromium).isExecutable())
        return "chromium is not installed at " + chromium.toStdString() +
               " (scripts/setup-deps installs it): the report is not opened in a browser";
    if (!QFileInfo::exists(QStringLiteral(CORVANE_BROWSER_DIR "/node_modules/puppeteer-core")))
        return "puppeteer-core is not in " CORVANE_BROWSER_DIR
               "/node_modules (scripts/setup-deps could not install it from the npm registry): "
               "the report is not opened in a browser";
    return {};
}

TEST_F(CliHtml, OneFileInTheLanguageAskedFor) {
    const QString ru = readText(check(QStringLiteral("ru")));
    const QString en = readText(check(QStringLiteral("en")));
    ASSERT_FALSE(ru.isEmpty());
    EXPECT_TRUE(ru.contains(QStringLiteral("<html lang=\"ru\">")));
    EXPECT_TRUE(ru.contains(QStringLiteral("Что исправить в первую очередь")));
    EXPECT_TRUE(en.contains(QStringLiteral("<html lang=\"en\">")));
    EXPECT_TRUE(en.contains(QStringLiteral("What to fix first")));
    EXPECT_FALSE(en.contains(QStringLiteral("Что исправить")));
    for (const QString &page : {ru, en}) {
        // Nothing is fetched: no external style, script, image or font.
        for (const char *fetch : {" src=\"", "@import", "url(", "<link", "<iframe"})
            EXPECT_FALSE(page.contains(QLatin1String(fetch))) << fetch;
        // The hostile texts are there, escaped.
        EXPECT_FALSE(page.contains(QStringLiteral("<script>alert")));
        EXPECT_FALSE(page.contains(QStringLiteral("<img")));
        EXPECT_TRUE(page.contains(QStringLiteral("&lt;script&gt;alert")));
        EXPECT_FALSE(page.contains(QStringLiteral("href=\"javascript")));
        EXPECT_EQ(page.count(QStringLiteral("<script>")), 1);
    }
}

TEST_F(CliHtml, OutputThatCannotBeCreatedStopsBeforeTheCheck) {
    const QString list = WriteFile(dir, QStringLiteral("urls.txt"), url("/about") + "\n");
    const CliRun r =
        RunCli({QStringLiteral("check"), QStringLiteral("--urls"), list, QStringLiteral("--lang"),
                QStringLiteral("en"), QStringLiteral("--html"),
                dir.filePath(QStringLiteral("no/such.html"))});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot create"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("Check started")));
}

// The reader's side: sorting, filtering, details, no script of a page running
// and every table there without JavaScript.
TEST_F(CliHtml, UsedInChromium) {
    if (const std::string missing = browserMissing(); !missing.empty()) GTEST_SKIP() << missing;
    const QString report = check(QStringLiteral("en"));
    const QJsonObject expect{
        {QStringLiteral("rows"), 8},
        {QStringLiteral("failed"), 1},
        {QStringLiteral("filter"), QStringLiteral("boat")},
        {QStringLiteral("filtered"), 3},
        {QStringLiteral("hostileUrl"), QString::fromUtf8(url("/q\"onmouseover=alert(2)"))},
        // As the page's text holds it: punctuation became spaces, the tags stayed.
        {QStringLiteral("hostileText"),
         QJsonArray{QStringLiteral("<script>alert"), QStringLiteral("</script>"),
                    QStringLiteral("</textarea>")}},
        {QStringLiteral("hostilePage"), QString::fromUtf8(url("/snippets"))},
        {QStringLiteral("groupPage"), QString::fromUtf8(url("/boat-b"))},
    };
    QProcess node;
    node.setProcessChannelMode(QProcess::MergedChannels);
    node.start(QStringLiteral("node"),
               {QStringLiteral(CORVANE_BROWSER_DIR "/check_report.mjs"), report,
                QString::fromUtf8(QJsonDocument(expect).toJson(QJsonDocument::Compact))});
    ASSERT_TRUE(node.waitForStarted(10000)) << "node is not installed (scripts/setup-deps)";
    ASSERT_TRUE(node.waitForFinished(120000));
    const QString out = QString::fromUtf8(node.readAll());
    EXPECT_EQ(node.exitCode(), 0) << out.toStdString();
}

// More rows than one part of the table holds: sorting moves rows across the
// parts and keeps each once.
TEST_F(CliHtml, ManyRowsInChromium) {
    if (const std::string missing = browserMissing(); !missing.empty()) GTEST_SKIP() << missing;
    constexpr int pages = 600;
    QStringList args{QStringLiteral("check"),
                     QStringLiteral("--alg"),
                     QStringLiteral("2"),
                     QStringLiteral("--delay"),
                     QStringLiteral("0"),
                     QStringLiteral("--lang"),
                     QStringLiteral("en"),
                     QStringLiteral("--html"),
                     dir.filePath(QStringLiteral("many.html")),
                     QStringLiteral("--files")};
    for (int i = 1; i <= pages; ++i)
        args << WriteFile(dir, QStringLiteral("page-%1.html").arg(i),
                          QStringLiteral("<p>Page %1 tells of item number %1 in its own words.</p>")
                              .arg(i)
                              .toUtf8());
    const CliRun r = RunCli(args);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QProcess node;
    node.setProcessChannelMode(QProcess::MergedChannels);
    node.start(QStringLiteral("node"),
               {QStringLiteral(CORVANE_BROWSER_DIR "/check_parts.mjs"),
                dir.filePath(QStringLiteral("many.html")), QString::number(pages)});
    ASSERT_TRUE(node.waitForStarted(10000)) << "node is not installed (scripts/setup-deps)";
    ASSERT_TRUE(node.waitForFinished(120000));
    EXPECT_EQ(node.exitCode(), 0) << node.readAll().toStdString();
}

} // namespace
