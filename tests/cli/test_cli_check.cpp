// corvane-cli check against a loopback site.
#include <csignal>
#include <mutex>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "common/CliRunner.h"
#include "common/TestServer.h"

using namespace corvane::test;
using namespace std::chrono_literals;

namespace {

const std::string Shared =
    "<p>Our company builds wooden boats for lakes and rivers since the year nineteen ninety.</p>";

class CliCheck : public ::testing::Test {
protected:
    CliCheck() {
        auto html = [this](const char *path, std::string body) {
            site->Get(path, [this, body](const httplib::Request &, httplib::Response &res) {
                res.set_content("<html><body>" + body + "</body></html>", "text/html");
            });
        };
        html("/a",
             Shared + "<p>The first page talks about sails, masts and ropes of every kind.</p>");
        html("/b", Shared + "<p>The second page is about engines, fuel tanks and the service.</p>");
        html("/c", "<p>Something else entirely, with a paragraph of its own words here.</p>");
        site->Get("/moved", [](const httplib::Request &, httplib::Response &res) {
            res.status = 301;
            res.set_header("Location", "/a");
        });
        site->Get("/missing",
                  [](const httplib::Request &, httplib::Response &res) { res.status = 404; });
        site->Get("/stall", [this](const httplib::Request &, httplib::Response &res) {
            stalled.Add();
            gate.Wait(20s);
            res.set_content("late", "text/plain");
        });
        site.Start();
    }
    ~CliCheck() override { gate.Open(); }

    QString file(const char *name, const QByteArray &bytes) {
        return WriteFile(dir, QString::fromUtf8(name), bytes);
    }
    QByteArray read(const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray url(const char *path) { return site.Url(path).toUtf8(); }
    // Without --lang the interface language follows the system locale, which
    // is not Russian here; these tests read the Russian texts.
    CliRun cli(QStringList args, const QStringList &env = {}) {
        if (!args.contains(QStringLiteral("--lang")))
            args << QStringLiteral("--lang") << QStringLiteral("ru");
        return RunCli(args, env);
    }

    TTestServer site;
    TGate gate;
    TCounter stalled;
    QTemporaryDir dir;
};

TEST_F(CliCheck, SiteReportAndJson) {
    const QString local =
        file("local.html", "<p>A local page with a paragraph of at least five words.</p>");
    const QString list = file("urls.txt", url("/a") + "\r\n" + url("/b") + "\r\n" + url("/moved") +
                                              "\n" + url("/missing") + "\nftp://x.example/\n" +
                                              url("/c") + "\n" + url("/pic.png") + "\n");
    const QString report = dir.filePath(QStringLiteral("r.csv")),
                  json = dir.filePath(QStringLiteral("r.json"));
    const CliRun r =
        cli({QStringLiteral("check"), QStringLiteral("--urls"), list, QStringLiteral("--alg"),
             QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("0"),
             QStringLiteral("--shingle-length"), QStringLiteral("3"), QStringLiteral("--report"),
             report, QStringLiteral("--json"), json},
            {QStringLiteral("LC_ALL=de_DE.UTF-8")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    // Not a terminal: plain log lines.
    EXPECT_TRUE(r.err.contains(QStringLiteral("Проверка запущена")));
    EXPECT_TRUE(
        r.err.contains(QStringLiteral("URL 4: ОШИБКА получения страницы, код ошибки HTML: 404")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Проверка завершена за ")));

    const QJsonArray tasks =
        QJsonDocument::fromJson(read(json)).object().value(QStringLiteral("tasks")).toArray();
    ASSERT_EQ(tasks.size(), 5);
    const char *results[] = {"trOk", "trOk", "trOk", "trHTTPError", "trOk"};
    // The similar pages: above 0, most similar first.
    const int similarNums[5][2] = {{3, 2}, {1, 3}, {1, 2}, {}, {}};
    for (int i = 0; i < 5; ++i) {
        const QJsonObject t = tasks[i].toObject();
        EXPECT_EQ(t[QStringLiteral("num")].toInt(), i + 1);
        EXPECT_EQ(t[QStringLiteral("result")].toString(), QString::fromLatin1(results[i]));
        const QJsonArray similar = t[QStringLiteral("similar")].toArray();
        ASSERT_EQ(similar.size(), i < 3 ? 2 : 0) << i;
        for (int k = 0; k < similar.size(); ++k)
            EXPECT_EQ(similar[k].toObject()[QStringLiteral("num")].toInt(), similarNums[i][k]);
    }
    EXPECT_EQ(tasks[3].toObject()[QStringLiteral("errorCode")].toInt(), 404);
    EXPECT_EQ(tasks[0].toObject()[QStringLiteral("uniqueness")].toDouble(),
              0); // /moved is a copy of /a
    const double ab = tasks[0]
                          .toObject()[QStringLiteral("similar")]
                          .toArray()[1]
                          .toObject()[QStringLiteral("similarity")]
                          .toDouble();
    EXPECT_GT(ab, 0);
    EXPECT_LT(ab, 100);
    EXPECT_EQ(tasks[1].toObject()[QStringLiteral("uniqueness")].toDouble(), 100 - ab);
    EXPECT_EQ(tasks[4].toObject()[QStringLiteral("uniqueness")].toDouble(), 100);

    const QList<QByteArray> lines = read(report).split('\n');
    ASSERT_EQ(lines.size(), 9);
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(lines[i].endsWith('\r')) << i;
    EXPECT_EQ(lines[0], "№;URL;Код ответа;Уникальность, %;i\r");
    // Ascending uniqueness by whole numbers, ties in task order: 1, 3, 4 (0), 2, 5 (100).
    EXPECT_EQ(lines[1], "1;" + url("/a") + ";200;0,00;i\r");
    EXPECT_EQ(lines[2], "3;" + url("/moved") + ";200;0,00;i\r");
    EXPECT_EQ(lines[3], "4;" + url("/missing") + ";404;;i\r");
    EXPECT_TRUE(lines[4].startsWith("2;" + url("/b") + ";200;"));
    EXPECT_EQ(lines[5], "5;" + url("/c") + ";200;100,00;i\r");
    EXPECT_EQ(lines[6], "\r");
    EXPECT_TRUE(lines[7].startsWith("Отчет сгенерирован при помощи Corvane ( "));
    EXPECT_EQ(lines[8], "");
}

TEST_F(CliCheck, PlainTextServiceEndpoints) {
    TTestServer service;
    service->Post("/", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(req.has_file("text") ? "Text from the service with several words in it\r\n"
                                             : "",
                        "text/plain");
    });
    service.Start();
    const QString list = file("urls.txt", url("/a") + "\n" + url("/b") + "\n");
    const CliRun r =
        cli({QStringLiteral("check"), QStringLiteral("--urls"), list, QStringLiteral("--delay"),
             QStringLiteral("0"), QStringLiteral("--endpoint"), service.Url("/"),
             QStringLiteral("--endpoint"), service.Url("/"), QStringLiteral("--json"),
             QStringLiteral("-")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray tasks =
        QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("tasks")).toArray();
    ASSERT_EQ(tasks.size(), 2);
    for (const auto &t : tasks) {
        EXPECT_EQ(t.toObject()[QStringLiteral("result")].toString(), QStringLiteral("trOk"));
        EXPECT_EQ(t.toObject()[QStringLiteral("uniqueness")].toDouble(), 0); // same text twice
    }
}

TEST_F(CliCheck, EmbeddedServiceByDefault) {
    const QString list =
        file("urls.txt", url("/a") + "\n" + url("/c") + "\n" + url("/missing") + "\n");
    const CliRun r =
        cli({QStringLiteral("check"), QStringLiteral("--urls"), list, QStringLiteral("--delay"),
             QStringLiteral("0"), QStringLiteral("--json"), QStringLiteral("-")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray tasks =
        QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("tasks")).toArray();
    ASSERT_EQ(tasks.size(), 3);
    EXPECT_EQ(tasks[0].toObject()[QStringLiteral("result")].toString(), QStringLiteral("trOk"));
    EXPECT_EQ(tasks[1].toObject()[QStringLiteral("result")].toString(), QStringLiteral("trOk"));
    EXPECT_EQ(tasks[1].toObject()[QStringLiteral("uniqueness")].toDouble(), 100);
    EXPECT_EQ(tasks[2].toObject()[QStringLiteral("errorCode")].toInt(), 404);
}

TEST_F(CliCheck, LanguageOfTheReport) {
    const QString list = file("urls.txt", url("/c") + "\n");
    const QStringList base = {
        QStringLiteral("check"), QStringLiteral("--urls"), list,
        QStringLiteral("--alg"), QStringLiteral("2"),      QStringLiteral("--report"),
        QStringLiteral("-")};
    const CliRun ru = cli(base + QStringList{QStringLiteral("--lang"), QStringLiteral("ru")});
    ASSERT_EQ(ru.code, 0) << ru.err.toStdString();
    EXPECT_TRUE(ru.out.startsWith(QStringLiteral("№;URL;Код ответа;Уникальность, %;i\r\n")));
    // The default follows the system locale, as the window's first start does.
    const CliRun byLocale =
        cli(base, {QStringLiteral("LC_ALL=ru_RU.UTF-8"), QStringLiteral("LANG=ru_RU.UTF-8")});
    EXPECT_EQ(byLocale.out.section(u'\n', 0, 0), ru.out.section(u'\n', 0, 0));
    const QString catalog = QFileInfo(QStringLiteral(CORVANE_CLI)).absolutePath() +
                            QStringLiteral("/locale/en/LC_MESSAGES/Corvane.mo");
    if (!QFileInfo::exists(catalog)) GTEST_SKIP() << "no English catalog beside the program";
    const CliRun en = cli(base + QStringList{QStringLiteral("--lang"), QStringLiteral("en")});
    ASSERT_EQ(en.code, 0);
    EXPECT_FALSE(en.out.contains(QStringLiteral("Код ответа"))) << en.out.toStdString();
    EXPECT_FALSE(en.out.contains(QStringLiteral("Отчет сгенерирован")));
    EXPECT_FALSE(en.err.contains(QStringLiteral("Проверка запущена")));
}

TEST_F(CliCheck, BadArgumentsAndUnreadableLists) {
    const QString ok = file("urls.txt", url("/a"));
    struct Case {
        QStringList args;
        const char *message;
    };
    const Case cases[] = {
        {{QStringLiteral("check")}, "exactly one of"},
        {{QStringLiteral("check"), QStringLiteral("--urls"), ok, QStringLiteral("--sitemap"), ok},
         "exactly one of"},
        {{QStringLiteral("check"), QStringLiteral("--urls"), ok, QStringLiteral("--threads"),
          QStringLiteral("0")},
         "--threads"},
        {{QStringLiteral("check"), QStringLiteral("--urls"), ok, QStringLiteral("--delay"),
          QStringLiteral("100001")},
         "--delay"},
        {{QStringLiteral("check"), QStringLiteral("--urls"), ok, QStringLiteral("--shingle-length"),
          QStringLiteral("2")},
         "--shingle-length"},
        {{QStringLiteral("check"), QStringLiteral("--urls"), ok, QStringLiteral("--alg"),
          QStringLiteral("3")},
         "--alg"},
        {{QStringLiteral("check"), QStringLiteral("--urls"), ok, QStringLiteral("--lang"),
          QStringLiteral("de")},
         "--lang"},
        {{QStringLiteral("check"), QStringLiteral("--urls"), ok, QStringLiteral("--endpoint"),
          QStringLiteral("http://x/")},
         "--endpoint"},
        {{QStringLiteral("check"), QStringLiteral("--urls"),
          dir.filePath(QStringLiteral("none.txt"))},
         "Файл с данными для импорта не найден!"},
        {{QStringLiteral("check"), QStringLiteral("--sitemap"), file("bad.xml", "<urlset><url>")},
         "Ошибка при разборе файла: "},
        {{QStringLiteral("check"), QStringLiteral("--sitemap"),
          file("index.xml", "<sitemapindex/>")},
         "Файл данных имеет неприемлимый формат (нет тега \"urlset\")"},
    };
    for (const Case &c : cases) {
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
    }
}

// Ctrl+C, SIGTERM (a service manager) and SIGHUP (a closed terminal) all
// abort the check; what finished is written, and the exit status says it
// was aborted.
TEST_F(CliCheck, SignalsAbortAndWriteWhatFinished) {
    const QString list =
        file("urls.txt", url("/a") + "\n" + url("/stall") + "\n" + url("/c") + "\n");
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        const QString report = dir.filePath(QStringLiteral("r.csv")),
                      json = dir.filePath(QStringLiteral("r.json"));
        QFile::remove(report);
        QFile::remove(json);
        const int before = stalled.Value();
        QProcess p;
        p.start(QStringLiteral(CORVANE_CLI),
                {QStringLiteral("check"), QStringLiteral("--urls"), list, QStringLiteral("--alg"),
                 QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("0"),
                 QStringLiteral("--threads"), QStringLiteral("1"), QStringLiteral("--report"),
                 report, QStringLiteral("--json"), json, QStringLiteral("--lang"),
                 QStringLiteral("ru")});
        ASSERT_TRUE(p.waitForStarted());
        ASSERT_TRUE(stalled.WaitFor(before + 1, 20s));
        ::kill(pid_t(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 130);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(err.contains(QStringLiteral("Отмена проверки..."))) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("URL 2: задача прервана")));
        const QList<QByteArray> lines = read(report).split('\n');
        ASSERT_EQ(lines.size(), 7);
        // /a finished (unique among the checked), the others have no results.
        EXPECT_TRUE(lines[1].startsWith("1;" + url("/a") + ";200;100"));
        EXPECT_EQ(lines[2], "2;" + url("/stall") + ";;;i\r");
        EXPECT_EQ(lines[3], "3;" + url("/c") + ";;;i\r");
        EXPECT_EQ(QJsonDocument::fromJson(read(json))
                      .object()
                      .value(QStringLiteral("tasks"))
                      .toArray()
                      .size(),
                  3);
    }
}

// Outputs are tried before the check: one that cannot be created stops it
// at once. One that fails while being written is named with the reason, and
// the other output is still written.
TEST_F(CliCheck, OutputsThatCannotBeWritten) {
    const QString list = file("urls.txt", url("/c") + "\n");
    const QStringList base = {
        QStringLiteral("check"), QStringLiteral("--urls"), list,
        QStringLiteral("--alg"), QStringLiteral("2"),      QStringLiteral("--delay"),
        QStringLiteral("0")};
    const QString missingFolder = dir.filePath(QStringLiteral("no/such/folder/r.csv"));
    for (const QStringList &bad :
         {QStringList{QStringLiteral("--report"), missingFolder},
          QStringList{QStringLiteral("--json"), dir.path()},
          QStringList{QStringLiteral("--report"), dir.filePath(QStringLiteral("ok.csv")),
                      QStringLiteral("--json"), missingFolder}}) {
        const CliRun r = cli(base + bad);
        EXPECT_EQ(r.code, 2) << bad.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("cannot create "))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("Проверка запущена"))) << r.err.toStdString();
    }

    // A full disk: the report fails with its name and reason, the JSON is written.
    const QString json = dir.filePath(QStringLiteral("r.json"));
    CliRun r = cli(base + QStringList{QStringLiteral("--report"), QStringLiteral("/dev/full"),
                                      QStringLiteral("--json"), json});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Невозможно создать файл экспорта! /dev/full: ")))
        << r.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(read(json))
                  .object()
                  .value(QStringLiteral("tasks"))
                  .toArray()
                  .size(),
              1);

    // Standard output full or closed: said, not lost in silence.
    for (const bool closed : {false, true}) {
        QProcess p;
        if (closed)
            p.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
        else
            p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(CORVANE_CLI),
                base + QStringList{QStringLiteral("--report"), QStringLiteral("-"),
                                   QStringLiteral("--lang"), QStringLiteral("ru")});
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << closed;
        EXPECT_EQ(p.exitCode(), 1) << closed;
        EXPECT_TRUE(
            QString::fromUtf8(p.readAllStandardError())
                .contains(QStringLiteral("Невозможно создать файл экспорта! standard output: ")))
            << closed;
    }
}

// The site analysis in the JSON and, with --report-extra, in the report: /a
// and /moved (a redirect to /a) are one group that no canonical link handles.
TEST_F(CliCheck, GroupsInJsonAndExtraReportColumns) {
    const QString list = file("urls.txt", url("/a") + "\n" + url("/b") + "\n" + url("/moved") +
                                              "\n" + url("/c") + "\n");
    const QString report = dir.filePath(QStringLiteral("r.csv"));
    const CliRun r = cli(
        {QStringLiteral("check"), QStringLiteral("--urls"), list, QStringLiteral("--alg"),
         QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("0"),
         QStringLiteral("--shingle-length"), QStringLiteral("3"), QStringLiteral("--report"),
         report, QStringLiteral("--report-extra"), QStringLiteral("--json"), QStringLiteral("-")},
        {QStringLiteral("LC_ALL=C.UTF-8")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonArray tasks = doc.value(QStringLiteral("tasks")).toArray();
    ASSERT_EQ(tasks.size(), 4);
    const int groups[] = {1, 0, 1, 0};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject t = tasks[i].toObject();
        EXPECT_EQ(t[QStringLiteral("group")].toInt(), groups[i]) << i;
        EXPECT_EQ(t[QStringLiteral("representative")].toInt(), groups[i] ? 1 : 0) << i;
        EXPECT_GT(t[QStringLiteral("words")].toInt(), 5) << i;
        EXPECT_FALSE(t[QStringLiteral("noindex")].toBool());
        EXPECT_EQ(t[QStringLiteral("canonical")].toString(), QString());
    }
    // The shared paragraph is on /a, /b and /moved: three pages of four.
    EXPECT_GT(tasks[1].toObject()[QStringLiteral("templateShare")].toDouble(), 0);
    EXPECT_EQ(tasks[3].toObject()[QStringLiteral("templateShare")].toDouble(), 0);
    const QJsonArray all = doc.value(QStringLiteral("groups")).toArray();
    ASSERT_EQ(all.size(), 1);
    const QJsonObject g = all[0].toObject();
    EXPECT_EQ(g[QStringLiteral("id")].toInt(), 1);
    EXPECT_EQ(g[QStringLiteral("members")].toArray(), (QJsonArray{1, 3}));
    EXPECT_EQ(g[QStringLiteral("representative")].toInt(), 1);
    EXPECT_FALSE(g[QStringLiteral("handled")].toBool());

    const QList<QByteArray> lines = read(report).split('\n');
    ASSERT_GT(lines.size(), 2);
    EXPECT_EQ(lines[0], "№;URL;Код ответа;Уникальность, %;i;Группа;Представитель;Шаблон, %;Слов;"
                        "Canonical;Noindex\r");
    EXPECT_TRUE(lines[1].startsWith("1;" + url("/a") + ";200;0.00;i;1;1;")) << lines[1].data();

    for (const char *bad : {"49", "101", "x"})
        EXPECT_EQ(cli({QStringLiteral("check"), QStringLiteral("--urls"), list,
                       QStringLiteral("--duplicate-threshold"), QString::fromLatin1(bad)})
                      .code,
                  2)
            << bad;
}

// The JSON lists each page's ten most similar pages; --json-pairs all lists
// every page with a similarity above 0.
TEST_F(CliCheck, JsonListsTheMostSimilarPages) {
    QStringList files;
    for (int i = 0; i < 13; ++i)
        files << file(QStringLiteral("p%1.html").arg(i).toUtf8().constData(),
                      "<p>All of these pages share this sentence of several words.</p><p>Page " +
                          QByteArray::number(i) + " number " + QByteArray::number(i * 7) +
                          " only.</p>");
    for (const bool all : {false, true}) {
        QStringList args = {QStringLiteral("check"), QStringLiteral("--files")};
        args << files << QStringLiteral("--alg") << QStringLiteral("2")
             << QStringLiteral("--shingle-length") << QStringLiteral("3")
             << QStringLiteral("--json") << QStringLiteral("-");
        if (all) args << QStringLiteral("--json-pairs") << QStringLiteral("all");
        const CliRun r = cli(args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QJsonArray tasks = QJsonDocument::fromJson(r.out.toUtf8())
                                     .object()
                                     .value(QStringLiteral("tasks"))
                                     .toArray();
        ASSERT_EQ(tasks.size(), 13);
        for (const auto &t : tasks) {
            const QJsonArray similar = t.toObject()[QStringLiteral("similar")].toArray();
            EXPECT_EQ(similar.size(), all ? 12 : 10);
            for (qsizetype k = 1; k < similar.size(); ++k)
                EXPECT_GE(similar[k - 1].toObject()[QStringLiteral("similarity")].toDouble(),
                          similar[k].toObject()[QStringLiteral("similarity")].toDouble());
        }
    }
    EXPECT_EQ(cli({QStringLiteral("check"), QStringLiteral("--files"), files[0],
                   QStringLiteral("--json-pairs"), QStringLiteral("some")})
                  .code,
              2);
}

// The progress bar shows URLs with their control characters escaped, so a
// list cannot drive the terminal.
TEST_F(CliCheck, ProgressBarEscapesControlCharacters) {
    const QString list = file("urls.txt", url("/c") + "?\x1b[2J\x07\n");
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const QByteArray cliPath = CORVANE_CLI, listPath = QFile::encodeName(list);
        ::execl(cliPath.constData(), cliPath.constData(), "check", "--urls", listPath.constData(),
                "--alg", "2", "--delay", "0", "--lang", "ru", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    QByteArray seen;
    char buf[4096];
    for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) seen.append(buf, n);
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << seen.constData();
    EXPECT_TRUE(seen.contains("?\\x1b[2J\\x07")) << seen.toStdString();
    EXPECT_FALSE(seen.contains("\x1b[2J")) << "the raw sequence reached the terminal";
    EXPECT_FALSE(seen.contains('\x07'));
}

// When no worker thread can be started (here: every new thread would need a
// 100 GB stack), each task fails with the reason and the check still ends.
TEST_F(CliCheck, NoThreadForAWorkerFailsItsTask) {
    const QString a = file("a.html", "<p>One two three four five six seven words.</p>");
    const QString b = file("b.html", "<p>Eight nine ten eleven twelve thirteen words.</p>");
    QProcess p;
    p.setChildProcessModifier([] {
        const rlimit huge{100'000'000'000, 100'000'000'000};
        ::setrlimit(RLIMIT_STACK, &huge);
    });
    p.start(QStringLiteral(CORVANE_CLI),
            {QStringLiteral("check"), QStringLiteral("--files"), a, b, QStringLiteral("--alg"),
             QStringLiteral("2"), QStringLiteral("--lang"), QStringLiteral("ru"),
             QStringLiteral("--json"), QStringLiteral("-")});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    for (const char *line :
         {"URL 1: ОШИБКА отправки запроса: cannot start a worker thread",
          "URL 2: ОШИБКА отправки запроса: cannot start a worker thread", "Проверка завершена за "})
        EXPECT_TRUE(err.contains(QString::fromUtf8(line))) << err.toStdString();
    const QJsonArray tasks = QJsonDocument::fromJson(p.readAllStandardOutput())
                                 .object()
                                 .value(QStringLiteral("tasks"))
                                 .toArray();
    ASSERT_EQ(tasks.size(), 2);
    for (const auto &t : tasks)
        EXPECT_EQ(t.toObject()[QStringLiteral("result")].toString(), QStringLiteral("trSendError"));
}

// A wall clock stepped back by an hour in the middle of a check (as an NTP
// correction or the end of daylight saving does) changes nothing: requests
// stay a delay apart and the check ends. libfaketime moves the wall clock of
// the program only, leaving its monotonic clock alone.
TEST_F(CliCheck, PacingIgnoresWallClockSteps) {
    const char *faketime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";
    if (!QFileInfo::exists(QString::fromLatin1(faketime))) GTEST_SKIP() << "no libfaketime";
    const QString clock = file("clock.rc", "+0\n");
    std::mutex m;
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    site->Get(R"(/page/(\d+))", [&](const httplib::Request &, httplib::Response &res) {
        {
            std::lock_guard lock(m);
            arrivals.push_back(std::chrono::steady_clock::now());
            if (arrivals.size() == 2) {
                QFile f(clock);
                if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write("-1h\n");
            }
        }
        res.set_content("<p>Every page of this site holds the very same words.</p>", "text/html");
    });
    QByteArray urls;
    for (int i = 1; i <= 6; ++i) urls += url("/page/") + QByteArray::number(i) + "\n";
    const CliRun r = cli({QStringLiteral("check"), QStringLiteral("--urls"), file("urls.txt", urls),
                          QStringLiteral("--alg"), QStringLiteral("2"), QStringLiteral("--delay"),
                          QStringLiteral("300"), QStringLiteral("--threads"), QStringLiteral("3"),
                          QStringLiteral("--verbose")},
                         {QStringLiteral("LD_PRELOAD=") + QLatin1StringView(faketime),
                          QStringLiteral("FAKETIME_TIMESTAMP_FILE=") + clock,
                          QStringLiteral("FAKETIME_NO_CACHE=1"),
                          QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC=1"),
                          // A sanitizer build wants its runtime first; libfaketime goes before it.
                          QStringLiteral("ASAN_OPTIONS=verify_asan_link_order=0")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    std::lock_guard lock(m);
    ASSERT_EQ(arrivals.size(), 6u) << r.err.toStdString();
    // Still paced: arrivals can bunch up on a busy machine, so the spacing is
    // checked over the whole run.
    EXPECT_GE(arrivals.back() - arrivals.front(), 5 * 280ms);
    // The elapsed time is not thrown off by the step either.
    const QRegularExpressionMatch took =
        QRegularExpression(QStringLiteral("Проверка завершена за (\\d+) сек\\.")).match(r.err);
    ASSERT_TRUE(took.hasMatch()) << r.err.toStdString();
    EXPECT_LT(took.captured(1).toInt(), 60);
}

} // namespace
