// corvane-cli check --urls / --sitemap: which addresses a list becomes, seen
// in the tasks the program reports and the requests the site gets; what it
// prints for a file without addresses; a hostile sitemap under a memory bound.
#include <mutex>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/CliRunner.h"
#include "common/TestServer.h"
#include "core/qstring_print.h"

using namespace corvane::test;

namespace {

class CliImport : public ::testing::Test {
protected:
    CliImport() {
        site->Get(R"(/.*)", [this](const httplib::Request &req, httplib::Response &res) {
            {
                std::lock_guard lock(mutex);
                fetched << QString::fromStdString(req.path);
            }
            res.set_content("<p>A page of the site with a paragraph of several words.</p>",
                            "text/html");
        });
        site.Start();
    }

    // Runs a check of the list (local extraction, no pause) and returns the
    // addresses of its tasks in order.
    QStringList check(const QString &option, const QString &path, CliRun &run) {
        run = RunCli({QStringLiteral("check"), option, path, QStringLiteral("--alg"),
                      QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("0"),
                      QStringLiteral("--json"), QStringLiteral("-"), QStringLiteral("--lang"),
                      QStringLiteral("ru")});
        QStringList urls;
        const QJsonArray tasks = QJsonDocument::fromJson(run.out.toUtf8())
                                     .object()
                                     .value(QStringLiteral("tasks"))
                                     .toArray();
        for (const auto &t : tasks) urls << t.toObject()[QStringLiteral("url")].toString();
        return urls;
    }
    QStringList fetchedPaths() {
        std::lock_guard lock(mutex);
        QStringList out = std::exchange(fetched, {});
        out.sort();
        return out;
    }

    TTestServer site;
    std::mutex mutex;
    QStringList fetched;
    QTemporaryDir dir;
};

// UTF-16 lists and old Mac line ends gave no task; a NUL inside a line made
// the program fetch "/a" while it reported the whole line as the task.
TEST_F(CliImport, ListsBecomeTheTasksTheyName) {
    const QString a = site.Url("/a"), b = site.Url("/b");
    const QString crlf = a + QStringLiteral("\r\n") + b + QStringLiteral("\r\n");
    QStringEncoder le(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QStringEncoder be(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
    struct Case {
        const char *name;
        QByteArray bytes;
        QStringList urls;
    };
    const Case cases[] = {
        {"UTF-16LE", le(crlf), {a, b}},
        {"UTF-16BE", be(crlf), {a, b}},
        {"CR only", (a + u'\r' + b + u'\r').toUtf8(), {a, b}},
        {"NUL inside a line", a.toUtf8() + QByteArray("\0/other\n", 8) + b.toUtf8() + '\n', {b}},
    };
    for (const Case &c : cases) {
        CliRun run;
        const QStringList urls = check(QStringLiteral("--urls"),
                                       WriteFile(dir, QStringLiteral("urls.txt"), c.bytes), run);
        EXPECT_EQ(run.code, 0) << c.name << ": " << run.err.toStdString();
        EXPECT_EQ(urls, c.urls) << c.name;
        QStringList paths;
        for (const QString &u : c.urls) paths << u.mid(site.Url("").size());
        EXPECT_EQ(fetchedPaths(), paths) << c.name;
    }
}

TEST_F(CliImport, SaysWhenAFileHoldsNoURL) {
    struct Case {
        const char *option;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"--urls", "ftp://x.example/\n/relative\n"},
        {"--urls", ""},
        {"--sitemap", "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\"/>"},
    };
    for (const Case &c : cases) {
        CliRun run;
        const QStringList urls = check(QString::fromLatin1(c.option),
                                       WriteFile(dir, QStringLiteral("list"), c.bytes), run);
        EXPECT_EQ(run.code, 0) << c.option << ": " << run.err.toStdString();
        EXPECT_TRUE(urls.isEmpty());
        EXPECT_TRUE(run.err.contains(QStringLiteral("Файл не содержит ни одного URL")))
            << c.option << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("Данные загружены")));
    }
    CliRun run;
    check(QStringLiteral("--urls"),
          WriteFile(dir, QStringLiteral("one.txt"), site.Url("/a").toUtf8()), run);
    EXPECT_FALSE(run.err.contains(QStringLiteral("Файл не содержит ни одного URL")));
}

// 200 000 uses of a 4 000-character entity in a 600 KB file took 1.6 GB.
// Under 1 GiB of address space and 20 s, the program refuses the file.
TEST_F(CliImport, EntityBombIsRefusedWithinBounds) {
    const QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE urlset [<!ENTITY e \"" +
                           QByteArray(4000, 'a') +
                           "\">]>\n<urlset><url><loc>https://x.example/</loc><lastmod>" +
                           QByteArray("&e;").repeated(200000) + "</lastmod></url></urlset>\n";
    const QString path = WriteFile(dir, QStringLiteral("sitemap.xml"), xml);
    QProcess p;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const char *limit = ""; // a sanitizer's shadow memory does not fit under it
#else
    const char *limit = "ulimit -v 1048576 && ";
#endif
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QString::fromLatin1(limit) + QStringLiteral("exec \"$0\" \"$@\""),
             QStringLiteral(CORVANE_CLI), QStringLiteral("check"), QStringLiteral("--sitemap"),
             path, QStringLiteral("--lang"), QStringLiteral("ru")});
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        FAIL() << "still running after 20 s";
    }
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 2) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Ошибка при разборе файла: Файл объявляет сущности XML "
                                            "(<!ENTITY>), недопустимые в sitemap")))
        << err.toStdString();
    EXPECT_TRUE(fetchedPaths().isEmpty());
}

} // namespace
