// corvane-cli check with the store of checks: a check killed in its middle
// and resumed, the history and the comparison with an earlier check, and
// stores that cannot be used.
#include <csignal>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include "common/CliRunner.h"
#include "common/TestServer.h"

using namespace corvane::test;
using namespace std::chrono_literals;

namespace {

// Rows of a query on a store, one line each, fields joined by '|'.
QString Query(const QString &Path, const char *Sql) {
    sqlite3 *db = nullptr;
    QString out;
    if (sqlite3_open_v2(Path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, Sql, -1, &s, nullptr) == SQLITE_OK) {
            while (sqlite3_step(s) == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(s); ++c)
                    out += (c ? QStringLiteral("|") : QString()) +
                           QString::fromUtf8(
                               reinterpret_cast<const char *>(sqlite3_column_text(s, c)));
                out += u'\n';
            }
        } else
            out = QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return out;
}

QByteArray ReadAll(const QString &Path) {
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A site of Count pages that counts the requests of each page. Pages share
// passages in a pattern, so their uniqueness values differ.
class CountingSite {
public:
    explicit CountingSite(int Count, std::chrono::milliseconds Delay = 0ms, int Words = 40)
        : FCount(Count) {
        FServer->Get(R"(/p(\d+))", [this, Delay, Words](const httplib::Request &req,
                                                        httplib::Response &res) {
            const int n = std::stoi(req.matches[1]);
            {
                std::lock_guard lock(FMutex);
                ++FRequests[n];
            }
            Requests.Add();
            std::this_thread::sleep_for(Delay);
            std::string body = "<html><body><p>Page " + std::to_string(n) + " of the catalogue ";
            for (int w = 0; w < Words; ++w) body += "word" + std::to_string(n * 7 + w) + ' ';
            body += "</p><p>";
            for (int w = 0; w < 30; ++w) body += "shared" + std::to_string((n % 4) * 5 + w) + ' ';
            body += "</p></body></html>";
            res.set_content(body, "text/html");
        });
        FServer.Start();
    }
    QByteArray UrlList() const {
        QByteArray out;
        for (int i = 1; i <= FCount; ++i)
            out += FServer.Url(("/p" + std::to_string(i)).c_str()).toUtf8() + '\n';
        return out;
    }
    std::map<int, int> Counts() {
        std::lock_guard lock(FMutex);
        return FRequests;
    }
    void Reset() {
        std::lock_guard lock(FMutex);
        FRequests.clear();
    }
    TCounter Requests;

private:
    int FCount;
    TTestServer FServer;
    std::mutex FMutex;
    std::map<int, int> FRequests;
};

QStringList CheckArgs(const QString &List, const QString &Store, const QString &Json) {
    return {QStringLiteral("check"),
            QStringLiteral("--urls"),
            List,
            QStringLiteral("--alg"),
            QStringLiteral("2"),
            QStringLiteral("--delay"),
            QStringLiteral("0"),
            QStringLiteral("--store"),
            Store,
            QStringLiteral("--json"),
            Json,
            QStringLiteral("--lang"),
            QStringLiteral("ru"),
            QStringLiteral("--threads"),
            QStringLiteral("2")};
}

TEST(CliStore, KilledCheckResumesToTheSameResults) {
    constexpr int pages = 40;
    CountingSite site(pages, 40ms);
    QTemporaryDir dir;
    const QString list = WriteFile(dir, QStringLiteral("urls.txt"), site.UrlList());

    // The reference: one check that is never interrupted.
    const QString refJson = dir.filePath(QStringLiteral("ref.json"));
    const CliRun ref = RunCli(CheckArgs(list, dir.filePath(QStringLiteral("ref.db")), refJson));
    ASSERT_EQ(ref.code, 0) << ref.err.toStdString();
    site.Reset();
    const int asked = site.Requests.Value();

    // The same check, killed once about half of the pages were asked for.
    const QString store = dir.filePath(QStringLiteral("s.db"));
    const QString json = dir.filePath(QStringLiteral("s.json"));
    QProcess p;
    p.start(QStringLiteral(CORVANE_CLI), CheckArgs(list, store, json));
    ASSERT_TRUE(site.Requests.WaitFor(asked + pages / 2, 30s));
    ::kill(pid_t(p.processId()), SIGKILL);
    ASSERT_TRUE(p.waitForFinished(10000));
    const std::map<int, int> before = site.Counts();
    const QStringList stored =
        Query(store, "SELECT num FROM pages WHERE result IS NOT NULL ORDER BY num")
            .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GT(stored.size(), 0);
    ASSERT_LT(stored.size(), pages);
    EXPECT_TRUE(ReadAll(json).isEmpty()); // created before the check, never written

    const CliRun history = RunCli({QStringLiteral("history"), QStringLiteral("--store"), store});
    EXPECT_TRUE(history.out.contains(
        QStringLiteral("\tunfinished\t%1\t%2\t").arg(pages).arg(stored.size())))
        << history.out.toStdString();

    const CliRun resumed = RunCli({QStringLiteral("check"), QStringLiteral("--resume"),
                                   QStringLiteral("--store"), store, QStringLiteral("--json"), json,
                                   QStringLiteral("--lang"), QStringLiteral("ru")});
    ASSERT_EQ(resumed.code, 0) << resumed.err.toStdString();
    EXPECT_EQ(ReadAll(json), ReadAll(refJson));

    // A page stored before the kill is never asked for again; every other
    // page is asked for at most once more than before.
    const std::map<int, int> after = site.Counts();
    for (const QString &num : stored) EXPECT_EQ(after.at(num.toInt()), 1) << "page " << num.toInt();
    for (int n = 1; n <= pages; ++n) {
        const int was = before.count(n) ? before.at(n) : 0;
        EXPECT_EQ(after.at(n), was + (stored.contains(QString::number(n)) ? 0 : 1)) << n;
    }
    EXPECT_EQ(Query(store, "SELECT state FROM checks"), QStringLiteral("1\n"));
    // Nothing is left to resume.
    const CliRun again =
        RunCli({QStringLiteral("check"), QStringLiteral("--resume"), QStringLiteral("--store"),
                store, QStringLiteral("--lang"), QStringLiteral("ru")});
    EXPECT_EQ(again.code, 2);
    EXPECT_TRUE(again.err.contains(QStringLiteral("no unfinished check")));
}

TEST(CliStore, HistoryAndCompareWith) {
    QTemporaryDir dir;
    CountingSite site(6);
    QByteArray urls = site.UrlList();
    const QString first = WriteFile(dir, QStringLiteral("first.txt"), urls);
    // The second check has lost the first page and gained a seventh.
    QByteArray second = urls.mid(urls.indexOf('\n') + 1);
    CountingSite other(7);
    second += other.UrlList().split('\n')[6] + '\n';
    const QString secondList = WriteFile(dir, QStringLiteral("second.txt"), second);
    const QString store = dir.filePath(QStringLiteral("h.db"));

    const QString json1 = dir.filePath(QStringLiteral("1.json"));
    ASSERT_EQ(RunCli(CheckArgs(first, store, json1)).code, 0);
    const QString json2 = dir.filePath(QStringLiteral("2.json"));
    QStringList args = CheckArgs(secondList, store, json2);
    const QString html = dir.filePath(QStringLiteral("2.html"));
    args << QStringLiteral("--html") << html << QStringLiteral("--compare-with")
         << QStringLiteral("1");
    const CliRun run = RunCli(args);
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    // The HTML report shows the earlier uniqueness in a column of its own.
    const QByteArray page = ReadAll(html);
    EXPECT_TRUE(page.contains("<table id=\"list\" class=\"before\">"));
    EXPECT_TRUE(page.contains(QStringLiteral(">Было, %").toUtf8())) << "the column's caption";

    const QJsonObject before = QJsonDocument::fromJson(ReadAll(json1)).object();
    const QJsonObject now = QJsonDocument::fromJson(ReadAll(json2)).object();
    QHash<QString, double> was;
    for (const QJsonValue &t : before[u"tasks"].toArray())
        was.insert(t[u"url"].toString(), t[u"uniqueness"].toDouble());
    const QJsonArray tasks = now[u"tasks"].toArray();
    ASSERT_EQ(tasks.size(), 6);
    for (const QJsonValue &t : tasks) {
        const QString url = t[u"url"].toString();
        if (was.contains(url))
            EXPECT_EQ(t[u"uniquenessBefore"].toDouble(), was[url]) << url.toStdString();
        else
            EXPECT_TRUE(t[u"uniquenessBefore"].isNull()) << url.toStdString();
    }
    EXPECT_EQ(now[u"disappeared"].toArray(),
              QJsonArray{QString::fromUtf8(urls.left(urls.indexOf('\n')))});
    // Without the option the JSON keeps its fields.
    EXPECT_FALSE(before[u"tasks"][0].toObject().contains(u"uniquenessBefore"));

    const CliRun history = RunCli({QStringLiteral("history"), QStringLiteral("--store"), store});
    ASSERT_EQ(history.code, 0);
    const QStringList lines = history.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << history.out.toStdString();
    EXPECT_TRUE(lines[1].startsWith(u"1\t"));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("\tfinished\t6\t6\t0\t")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\t--urls ") + first));
    EXPECT_TRUE(lines[2].startsWith(u"2\t"));

    args.last() = QStringLiteral("9");
    const CliRun missing = RunCli(args);
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("no check 9")));
}

// A store that cannot be used: the check runs in memory and says so, and
// what the file held before is as it was.
TEST(CliStore, BadStoresLeaveTheCheckInMemory) {
    // Pages large enough that a check writes well past the size of the file.
    CountingSite site(5, 0ms, 3000);
    enum class Fault { Garbage, Newer, Locked, ReadOnly, FullDisk };
    struct Case {
        Fault fault;
        const char *reason;
    };
    // clang-format off
    const Case cases[] = {
        {Fault::Garbage,  "файл повреждён или не является хранилищем проверок"},
        {Fault::Newer,    "файл записан более новой версией Corvane"},
        {Fault::Locked,   "файл занят другой программой"},
        {Fault::ReadOnly, "файл доступен только для чтения"},
        {Fault::FullDisk, "на диске нет места"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reason);
        QTemporaryDir dir;
        // Others (the unprivileged user of the read-only case) may enter.
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
        const QString list = WriteFile(dir, QStringLiteral("urls.txt"), site.UrlList());
        const QString store = dir.filePath(QStringLiteral("c.db"));
        // An earlier check in the store.
        ASSERT_EQ(RunCli(CheckArgs(list, store, QStringLiteral("-"))).code, 0);
        const char *pagesSql = "SELECT check_id, num, url, result, uniqueness FROM pages";
        const QString pagesBefore = Query(store, pagesSql);
        ASSERT_FALSE(pagesBefore.isEmpty());

        sqlite3 *holder = nullptr;
        rlim_t sizeLimit = RLIM_INFINITY;
        bool dropPrivileges = false;
        switch (c.fault) {
        case Fault::Garbage:
            WriteFile(dir, QStringLiteral("c.db"), QByteArray(8192, 'x'));
            break;
        case Fault::Newer:
            sqlite3_open(store.toUtf8().constData(), &holder);
            sqlite3_exec(holder, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
            sqlite3_close(holder);
            holder = nullptr;
            break;
        case Fault::Locked:
            sqlite3_open(store.toUtf8().constData(), &holder);
            ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
                      SQLITE_OK);
            break;
        case Fault::ReadOnly:
            QFile::setPermissions(store, QFile::ReadOwner | QFile::ReadOther);
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther);
            dropPrivileges = ::geteuid() == 0; // root writes whatever the mode says
            break;
        case Fault::FullDisk:
            // No file may grow beyond the size of the store: writing the
            // check's pages fails in its middle.
            sizeLimit = rlim_t(QFileInfo(store).size());
            break;
        }
        const QByteArray fileBefore = ReadAll(store);

        QProcess p;
        p.setChildProcessModifier([sizeLimit, dropPrivileges] {
            const rlimit limit{sizeLimit, sizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            if (dropPrivileges && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
        });
        p.start(QStringLiteral(CORVANE_CLI), CheckArgs(list, store, QStringLiteral("-")));
        if (dropPrivileges && !p.waitForStarted(60000)) {
            // The build folder is closed to other users (a fresh checkout
            // under a private folder): the unprivileged user cannot run the
            // program, so this case cannot be tried here.
            std::printf("[   NOTE   ] read-only store not tried: %s cannot be run as uid 65534\n",
                        CORVANE_CLI);
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            continue;
        }
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.reason))) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("Проверка идёт в памяти"))) << err.toStdString();
        const QJsonArray tasks =
            QJsonDocument::fromJson(p.readAllStandardOutput()).object()[u"tasks"].toArray();
        ASSERT_EQ(tasks.size(), 5);
        for (const QJsonValue &t : tasks) EXPECT_EQ(t[u"result"].toString(), u"trOk");

        if (holder) sqlite3_close(holder);
        if (c.fault == Fault::Garbage || c.fault == Fault::Newer || c.fault == Fault::ReadOnly) {
            EXPECT_EQ(ReadAll(store), fileBefore);
        } else {
            EXPECT_EQ(Query(store, "PRAGMA integrity_check"), QStringLiteral("ok\n"));
            EXPECT_TRUE(Query(store, pagesSql).startsWith(pagesBefore));
        }
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

} // namespace
