#include <chrono>
#include <functional>
#include <thread>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/qstring_print.h"
#include "engine/urlimport.h"

using namespace corvane;

namespace {

struct ListGuard {
    QStringList urls() const {
        QStringList out;
        for (const TURLTaskInfo *t : list) out << t->URL;
        return out;
    }
    TOwnedTaskList list;
};

class EngineImport : public ::testing::Test {
protected:
    QString file(const char *name, const QByteArray &bytes) {
        const QString path = dir.filePath(QString::fromUtf8(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
    ListGuard g;
};

TEST(EngineURLFilter, IgnoredURLs) {
    struct Case {
        const char *url;
        bool ignored;
    };
    const Case cases[] = {
        {"", true},
        {"ftp://example.com/", true},
        {"htt", true},
        {"HtTpS://example.com/a", false},
        {"httpfoo", false}, // anything that starts with the four letters
        {"https://example.com/logo.PNG", true},
        {"https://example.com/logo.png", true},
        {"https://example.com/app.js?v=2", false},
        {"https://example.com/app.jS", true},
        {"https://example.com/style.css", true},
        {"https://example.com/photo.jpeg", true},
        {"https://example.com", false},             // ending ".com"
        {"https://example.com:8080/x", false},      // ":" after the last dot: no ending
        {"https://example.com/a.b/file.ico", true}, // "/" does not stop the search
        {"https://example.com/a\\b.gif", true},
        {"https://example.com/a.gif\\b", false},
        {" https://example.com/", true}, // not trimmed here
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsIgnoredURL(QString::fromUtf8(c.url)), c.ignored) << c.url;
    // libcurl would stop reading the address at the NUL and fetch another page.
    EXPECT_TRUE(
        IsIgnoredURL(QStringLiteral("https://example.com/a") + QChar(0) + QStringLiteral("b")));
}

TEST_F(EngineImport, ClipboardLinesAreTrimmedAndDeduplicated) {
    const QString text = QStringLiteral(
        " \thttps://example.com/a  \r\nftp://example.com/\rhttps://example.com/i.PNG\n"
        "https://example.com/app.js?v=2\r\nHTTPS://EXAMPLE.COM/A");
    const TImportOutcome o = ImportClipboardText(g.list, text, false);
    EXPECT_EQ(o.Status, isOk);
    EXPECT_EQ(g.urls(), (QStringList{QStringLiteral("https://example.com/a"),
                                     QStringLiteral("https://example.com/app.js?v=2")}));
    EXPECT_EQ(o.LogLine, QStringLiteral("Данные вставлены из буфера обмена"));
    EXPECT_EQ(g.list[1]->Num, 2);
}

TEST_F(EngineImport, TextFileLinesAreTakenAsTheyStand) {
    const QString path =
        file("urls.txt", "\xEF\xBB\xBFhttps://example.com/first\n"
                         " https://example.com/a  \r\nftp://example.com/\r\n"
                         "https://example.com/i.PNG\nhttps://example.com/app.js?v=2\r\n"
                         "HTTPS://EXAMPLE.COM/A  \nhttps://example.com/Путь");
    const TImportOutcome o = ImportTextFile(g.list, path, false);
    EXPECT_EQ(o.Status, isOk);
    // The byte-order mark is not part of the first line; the blank-led line
    // fails the "HTTP" test, so its capitalised twin is no duplicate.
    EXPECT_EQ(g.urls(), (QStringList{QStringLiteral("https://example.com/first"),
                                     QStringLiteral("https://example.com/app.js?v=2"),
                                     QStringLiteral("HTTPS://EXAMPLE.COM/A  "),
                                     QStringLiteral("https://example.com/Путь")}));
    EXPECT_EQ(o.LogLine, QStringLiteral("Данные загружены"));
}

// Lists that gave nothing or something else than their lines: UTF-16 by its
// byte-order mark, old Mac line ends, a NUL inside a line.
TEST_F(EngineImport, TextFileEncodingsLineEndsAndNul) {
    const QString lines = QStringLiteral("https://example.com/a\r\nhttps://example.com/Путь\n"
                                         "https://example.com/b");
    QStringEncoder le(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QStringEncoder be(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
    const QStringList three = {QStringLiteral("https://example.com/a"),
                               QStringLiteral("https://example.com/Путь"),
                               QStringLiteral("https://example.com/b")};
    struct Case {
        const char *name;
        QByteArray bytes;
        QStringList urls;
    };
    const Case cases[] = {
        {"UTF-16LE", le(lines), three},
        {"UTF-16BE", be(lines), three},
        {"CR only",
         "https://example.com/a\rhttps://example.com/\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C\r"
         "https://example.com/b\r",
         three},
        {"CR, LF and CR LF mixed",
         "https://example.com/a\r\r\nhttps://example.com/b\n\r", // empty lines between
         {QStringLiteral("https://example.com/a"), QStringLiteral("https://example.com/b")}},
        {"NUL inside a line",
         QByteArrayLiteral("https://example.com/a\0.png\nhttps://example.com/b\n"),
         {QStringLiteral("https://example.com/b")}},
    };
    for (const Case &c : cases) {
        const TImportOutcome o = ImportTextFile(g.list, file("list.txt", c.bytes), false);
        EXPECT_EQ(o.Status, isOk) << c.name;
        EXPECT_EQ(g.urls(), c.urls) << c.name;
        QStringList candidates = TextFileCandidates(c.bytes);
        candidates.removeIf(IsIgnoredURL);
        EXPECT_EQ(candidates, c.urls) << c.name;
    }
    // The clipboard refuses a NUL inside a line too; at its ends it is trimmed.
    ImportClipboardText(g.list,
                        QStringLiteral("https://example.com/a") + QChar(0) +
                            QStringLiteral("b\nhttps://example.com/c") + QChar(0),
                        false);
    EXPECT_EQ(g.urls(), QStringList{QStringLiteral("https://example.com/c")});
}

// A line of more than 1 Mi characters is passed over as a whole, also when
// it spans blocks of the reader; the lines around it are kept.
TEST_F(EngineImport, OverlongLineIsPassedOver) {
    const QByteArray bytes = "https://example.com/a\r" + QByteArray(3 << 20, 'x') +
                             "https://example.com/hidden\r\nhttps://example.com/b";
    ImportTextFile(g.list, file("long.txt", bytes), false);
    EXPECT_EQ(g.urls(), (QStringList{QStringLiteral("https://example.com/a"),
                                     QStringLiteral("https://example.com/b")}));
}

// A file that gave no address says so; the log line stays, and addresses
// already in the list count as found.
TEST_F(EngineImport, NoticeWhenAFileHoldsNoURL) {
    const QByteArray urlset = "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">";
    struct Case {
        const char *name;
        QByteArray bytes;
        bool sitemap;
        bool notice;
    };
    const Case cases[] = {
        {"empty text file", "", false, true},
        {"only rejected lines",
         "ftp://example.com/\n https://example.com/\nhttps://x.example/a.css\n", false, true},
        {"only a kept address", "HTTPS://KEPT.EXAMPLE/\n", false, false},
        {"one address", "https://example.com/\n", false, false},
        {"empty urlset", urlset + "</urlset>", true, true},
        {"urls without an address",
         urlset + "<url><loc>/relative</loc></url><url><priority>1</priority></url></urlset>", true,
         true},
        {"a kept address", urlset + "<url><loc>https://kept.example/</loc></url></urlset>", true,
         false},
    };
    for (const Case &c : cases) {
        FreeObjects(&g.list);
        ImportClipboardText(g.list, QStringLiteral("https://kept.example/"), false);
        const QString path = file(c.sitemap ? "list.xml" : "list.txt", c.bytes);
        const TImportOutcome o =
            c.sitemap ? ImportSitemap(g.list, path, true) : ImportTextFile(g.list, path, true);
        EXPECT_EQ(o.Status, isOk) << c.name;
        EXPECT_EQ(o.Notice, c.notice ? QStringLiteral("Файл не содержит ни одного URL") : QString())
            << c.name;
        EXPECT_TRUE(o.Message.isEmpty()) << c.name;
        EXPECT_EQ(o.LogLine, QStringLiteral("Данные загружены")) << c.name;
    }
    // Failures carry their own message and no notice.
    const TImportOutcome o = ImportSitemap(g.list, file("index.xml", "<sitemapindex/>"), true);
    EXPECT_EQ(o.Status, isNoUrlset);
    EXPECT_TRUE(o.Notice.isEmpty());
}

TEST_F(EngineImport, KeepOrClearAndNumbering) {
    ImportClipboardText(
        g.list, QStringLiteral("https://a.example/1\nhttps://a.example/2\nhttps://a.example/3"),
        false);
    for (TURLTaskInfo *t : g.list) t->InitResults();
    ImportClipboardText(g.list, QStringLiteral("https://a.example/4\nhttps://a.example/1"), true);
    ASSERT_EQ(g.list.size(), 4);
    EXPECT_EQ(g.list[3]->Num, 4);
    for (TURLTaskInfo *t : g.list) EXPECT_EQ(t->TaskResults, nullptr);
    // Option clear: an empty file empties the list and still logs.
    const TImportOutcome o = ImportTextFile(g.list, file("empty.txt", ""), false);
    EXPECT_EQ(o.Status, isOk);
    EXPECT_TRUE(g.list.isEmpty());
    EXPECT_FALSE(o.LogLine.isEmpty());
    ImportClipboardText(g.list, QStringLiteral("https://a.example/x"), false);
    EXPECT_EQ(g.list[0]->Num, 1);
}

TEST_F(EngineImport, MissingOrUnreadableTextFile) {
    ImportClipboardText(g.list, QStringLiteral("https://a.example/1"), false);
    TImportOutcome o = ImportTextFile(g.list, dir.filePath(QStringLiteral("nope.txt")), false);
    EXPECT_EQ(o.Status, isNotFound);
    EXPECT_EQ(o.Message, QStringLiteral("Файл с данными для импорта не найден!"));
    EXPECT_EQ(g.list.size(), 1); // untouched
    const QString locked = file("locked.txt", "https://a.example/2\n");
    QFile::setPermissions(locked, QFileDevice::Permissions());
    if (QFile f(locked); !f.open(QIODevice::ReadOnly)) { // root can read anyway
        o = ImportTextFile(g.list, locked, false);
        EXPECT_EQ(o.Status, isReadError);
        EXPECT_FALSE(o.Message.isEmpty());
        EXPECT_TRUE(o.LogLine.isEmpty());
    }
}

TEST_F(EngineImport, LimitStopsTheImportOnce) {
    QString text;
    for (int i = 0; i < MaxURLCount - 2; ++i)
        text += QStringLiteral("https://a.example/%1\n").arg(i);
    ImportClipboardText(g.list, text, false);
    ASSERT_EQ(g.list.size(), MaxURLCount - 2);
    const TImportOutcome o = ImportClipboardText(
        g.list,
        QStringLiteral(
            "https://b.example/1\nhttps://b.example/2\nhttps://b.example/3\nhttps://b.example/4"),
        true);
    EXPECT_EQ(o.Added, 2);
    EXPECT_TRUE(o.LimitReached);
    EXPECT_EQ(g.list.size(), MaxURLCount);
    EXPECT_EQ(g.list.back()->Num, MaxURLCount);
    EXPECT_EQ(URLLimitMessage(), QStringLiteral("Ограничение: не более 10 000 URL"));
}

TEST_F(EngineImport, LocalFilesBecomeFileTasks) {
    const QString a = file("a.html", "<p>x</p>"), b = file("b.txt", "y");
    TImportOutcome o = ImportLocalFiles(g.list, {a, b}, true);
    EXPECT_EQ(g.urls(),
              (QStringList{QStringLiteral("file://") + a, QStringLiteral("file://") + b}));
    EXPECT_EQ(o.LogLine, QStringLiteral("Файлы загруженны"));
    for (TURLTaskInfo *t : g.list) t->InitResults();
    o = ImportLocalFiles(g.list, {a, b}, true);
    EXPECT_EQ(o.Added, 0);
    EXPECT_EQ(g.list.size(), 2);
    EXPECT_EQ(g.list[0]->TaskResults, nullptr);
}

TEST_F(EngineImport, Sitemap) {
    const QString path = file("sitemap.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">
  <url><loc>https://example.com/</loc><priority>1.0</priority></url>
  <url><lastmod>2020-01-01</lastmod><loc>https://example.com/a?x=1&amp;y=2</loc></url>
  <url><loc>
    https://example.com/indented</loc></url>
  <url><loc>https://example.com/<!-- c -->b</loc></url>
  <url><loc>https://example.com/pic.png</loc></url>
  <url><priority>0.5</priority></url>
  <other><loc>https://example.com/other</loc></other>
  <url><loc>https://example.com/</loc><loc>https://example.com/second-loc</loc></url>
  <url><loc/></url>
</urlset>)");
    std::vector<std::pair<int, int>> progress;
    const TImportOutcome o = ImportSitemap(
        g.list, path, false, [&](int pos, int max) { progress.emplace_back(pos, max); });
    EXPECT_EQ(o.Status, isOk);
    EXPECT_EQ(g.urls(), (QStringList{QStringLiteral("https://example.com/"),
                                     QStringLiteral("https://example.com/a?x=1&y=2")}));
    EXPECT_EQ(o.LogLine, QStringLiteral("Данные загружены"));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().second, 9);
}

// The sitemap protocol's elements with a namespace prefix, "url" included.
TEST_F(EngineImport, SitemapWithNamespacePrefix) {
    const TImportOutcome o = ImportSitemap(
        g.list,
        file("prefixed.xml",
             "<?xml version=\"1.0\"?>\n"
             "<sm:urlset xmlns:sm=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
             "<sm:url><sm:loc>https://example.com/a</sm:loc></sm:url>\n"
             "<sm:url><sm:lastmod>2024-01-01</sm:lastmod><sm:loc>https://example.com/b</sm:loc>"
             "</sm:url>\n<sm:other><sm:loc>https://example.com/other</sm:loc></sm:other>\n"
             "</sm:urlset>"),
        false);
    EXPECT_EQ(o.Status, isOk);
    EXPECT_EQ(g.urls(), (QStringList{QStringLiteral("https://example.com/a"),
                                     QStringLiteral("https://example.com/b")}));
    EXPECT_TRUE(o.Notice.isEmpty());
}

// Runs Body in a child process with at most Bytes of address space and
// Seconds of time; returns Body's result, or -1 when the child threw,
// crashed or was killed for running too long (Why tells which).
int RunBounded(const std::function<int()> &Body, rlim_t Bytes, int Seconds, std::string &Why) {
    constexpr int Threw = 125;
    const pid_t pid = ::fork();
    if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // A sanitizer's shadow memory does not fit under the limit; its
        // builds keep only the time bound.
        const rlimit limit{Bytes, Bytes};
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        int code = Threw;
        try {
            code = Body();
        } catch (const std::exception &e) {
            fprintf(stderr, "%s\n", e.what());
        } catch (...) {
        }
        ::_exit(code); // never back into the test runner
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            Why = "still running after " + std::to_string(Seconds) + " s";
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFSIGNALED(status))
        Why = "ended by signal " + std::to_string(WTERMSIG(status));
    else if (WEXITSTATUS(status) == Threw)
        Why = "threw an exception";
    else
        return WEXITSTATUS(status);
    return -1;
}

// An entity of 4 000 characters used a great many times: once in one
// element, spread over many small ones, inside the DTD's default attribute
// value; and, without entities, a long default attribute value that every
// element gets. Each ends in the parse error, within 1 GiB and seconds.
TEST_F(EngineImport, SitemapBlowUpsEndInAParseError) {
    const QByteArray e = QByteArray(4000, 'a');
    const QByteArray prolog =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE urlset [<!ENTITY e \"" + e + "\">";
    const QByteArray open = "<urlset><url><loc>https://x.example/</loc>";
    const QByteArray close = "</url></urlset>\n";
    const QString entities =
        QStringLiteral("Файл объявляет сущности XML (<!ENTITY>), недопустимые в sitemap");
    struct Case {
        const char *name;
        QByteArray xml;
        QString reason;
    };
    const Case cases[] = {
        {"one element",
         prolog + "]>" + open + "<lastmod>" + QByteArray("&e;").repeated(200000) + "</lastmod>" +
             close,
         entities},
        {"many elements", prolog + "]>" + open + QByteArray("<p>&e;</p>").repeated(1200000) + close,
         entities},
        {"inside the DTD",
         prolog + "<!ATTLIST url a CDATA \"" + QByteArray("&e;").repeated(150000) + "\">]>" + open +
             close,
         entities},
        {"default attribute",
         "<!DOCTYPE urlset [<!ATTLIST url a CDATA \"" + QByteArray(60000, 'a') + "\">]><urlset>" +
             QByteArray("<url/>").repeated(100000) + "</urlset>",
         QStringLiteral("Файл порождает больше текста, чем допустимо для его размера")},
    };
    ImportClipboardText(g.list, QStringLiteral("https://kept.example/"), false);
    for (const Case &c : cases) {
        const QString path = file("bomb.xml", c.xml);
        std::string why;
        const int code = RunBounded(
            [&] {
                const TImportOutcome o = ImportSitemap(g.list, path, false);
                if (o.Status != isParseError) return 1;
                if (o.Message != QStringLiteral("Ошибка при разборе файла: ") + c.reason) {
                    fprintf(stderr, "%s\n", qPrintable(o.Message));
                    return 2;
                }
                return g.list.size() == 1 ? 0 : 3;
            },
            rlim_t(1) << 30, 20, why);
        EXPECT_EQ(code, 0) << c.name << ": " << why;
    }
}

TEST_F(EngineImport, SitemapFailures) {
    ImportClipboardText(g.list, QStringLiteral("https://a.example/1"), false);
    TImportOutcome o =
        ImportSitemap(g.list, file("bad.xml", "<urlset><url><loc>x</url></urlset>"), false);
    EXPECT_EQ(o.Status, isParseError);
    EXPECT_TRUE(o.Message.startsWith(QStringLiteral("Ошибка при разборе файла: ")))
        << o.Message.toStdString();
    EXPECT_GT(o.Message.size(), 30);
    EXPECT_EQ(g.list.size(), 1);

    // Entity expansion that would reach millions of characters is refused.
    QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE urlset [\n<!ENTITY a "
                      "\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">\n";
    for (int i = 1; i < 8; ++i)
        bomb += QByteArray("<!ENTITY ") + char('a' + i) + " \"" + QByteArray("&") +
                char('a' + i - 1) + ";" + QByteArray("&") + char('a' + i - 1) + ";" + "&" +
                char('a' + i - 1) + ";&" + char('a' + i - 1) + ";&" + char('a' + i - 1) + ";&" +
                char('a' + i - 1) + ";&" + char('a' + i - 1) + ";&" + char('a' + i - 1) + ";&" +
                char('a' + i - 1) + ";&" + char('a' + i - 1) + ";\">\n";
    bomb += "]>\n<urlset><url><loc>https://x.example/&h;</loc></url></urlset>";
    o = ImportSitemap(g.list, file("bomb.xml", bomb), false);
    EXPECT_EQ(o.Status, isParseError);
    EXPECT_EQ(g.list.size(), 1);

    // External entities are not fetched: the loc gives no candidate.
    o = ImportSitemap(
        g.list,
        file("ext.xml",
             "<?xml version=\"1.0\"?><!DOCTYPE urlset [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
             "<urlset><url><loc>&e;</loc></url></urlset>"),
        true);
    EXPECT_EQ(o.Added, 0);
    for (const TURLTaskInfo *t : g.list) EXPECT_FALSE(t->URL.contains(QStringLiteral("root:")));

    QByteArray deep = "<urlset>";
    for (int i = 0; i < 5000; ++i) deep += "<a>";
    o = ImportSitemap(g.list, file("deep.xml", deep), false);
    EXPECT_EQ(o.Status, isParseError);

    o = ImportSitemap(g.list,
                      file("long.xml", "<urlset><url><loc>https://x.example/" +
                                           QByteArray(MaxLocLength, 'a') + "</loc></url></urlset>"),
                      false);
    EXPECT_EQ(o.Status, isParseError);

    // A sitemap index: the list is cleared, the warning given.
    o = ImportSitemap(
        g.list,
        file("index.xml",
             "<sitemapindex><sitemap><loc>https://x.example/s.xml</loc></sitemap></sitemapindex>"),
        false);
    EXPECT_EQ(o.Status, isNoUrlset);
    EXPECT_EQ(o.Message,
              QStringLiteral("Файл данных имеет неприемлимый формат (нет тега \"urlset\")"));
    EXPECT_TRUE(g.list.isEmpty());
    EXPECT_TRUE(o.LogLine.isEmpty());

    // A prefixed root is found by its local name.
    o = ImportSitemap(
        g.list,
        file(
            "prefixed.xml",
            "<s:urlset xmlns:s=\"urn:x\"><url><s:loc>https://x.example/p</s:loc></url></s:urlset>"),
        false);
    EXPECT_EQ(o.Status, isOk);
    EXPECT_EQ(g.urls(), QStringList{QStringLiteral("https://x.example/p")});
}

} // namespace
