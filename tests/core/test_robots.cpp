#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "core/qstring_print.h"
#include "core/robots.h"

using namespace corvane;

namespace {

const QString PeerDir = QStringLiteral(CORVANE_SHARED_DIR "/peer-tests/robotstxt/");

QJsonArray readPeerFile(const QString &Name) {
    QFile f(PeerDir + Name);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(f.readAll()).array();
}

// A case's bytes: "robots"/"input" as UTF-8, or "robots_hex"/"input_hex".
QByteArray bytesOf(const QJsonObject &Case, const QString &Key) {
    if (Case.contains(Key + QStringLiteral("_hex")))
        return QByteArray::fromHex(Case.value(Key + QStringLiteral("_hex")).toString().toLatin1());
    return Case.value(Key).toString().toUtf8();
}

} // namespace

// Every allow/disallow decision of the peer suite that RFC 9309 covers, with
// the URL as given (the wire form). Through a QUrl, the URL is brought into
// RFC 3986 normal form first; three cases then come out otherwise, on purpose.
TEST(RobotsPeer, Decisions) {
    const QJsonArray cases = readPeerFile(QStringLiteral("cases.json"));
    if (cases.isEmpty()) GTEST_SKIP() << "no peer cases in " << PeerDir.toStdString();
    // 419, 430: a raw "ツ" in the URL is percent-encoded by QUrl, so it meets
    // the rule "/foo/bar/ツ" (or its escaped spelling). 441: "%62%61%7A" in a
    // rule is "baz" in normal form, which is the path /foo/bar/baz.
    const QSet<int> normalFormDiffers = {419, 430, 441};
    int checked = 0;
    for (const QJsonValue &v : cases) {
        const QJsonObject c = v.toObject();
        if (c.value(QStringLiteral("google_only")).toBool()) continue;
        const int line = c.value(QStringLiteral("line")).toInt();
        const QByteArray robots = bytesOf(c, QStringLiteral("robots"));
        const QString agent = c.value(QStringLiteral("agent")).toString();
        const QString url = c.value(QStringLiteral("url")).toString();
        const bool expected = c.value(QStringLiteral("allowed")).toBool();
        SCOPED_TRACE("robots_test.cc line " + std::to_string(line));

        const TRobotsRules rules = TRobotsTxt::parse(robots).rulesFor(robotsProductToken(agent));
        EXPECT_EQ(rules.isAllowedPath(robotsPathOf(url.toUtf8())), expected);
        EXPECT_EQ(rules.isAllowed(QUrl(url)),
                  normalFormDiffers.contains(line) ? !expected : expected);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST(RobotsPeer, Helpers) {
    const QJsonArray cases = readPeerFile(QStringLiteral("other_cases.json"));
    if (cases.isEmpty()) GTEST_SKIP() << "no peer cases in " << PeerDir.toStdString();
    for (const QJsonValue &v : cases) {
        const QJsonObject c = v.toObject();
        if (c.value(QStringLiteral("google_only")).toBool()) continue;
        const QString function = c.value(QStringLiteral("function")).toString();
        const QByteArray input = bytesOf(c, QStringLiteral("input"));
        const QJsonValue expected = c.value(QStringLiteral("expected"));
        SCOPED_TRACE("robots_test.cc line " +
                     std::to_string(c.value(QStringLiteral("line")).toInt()) + ", " +
                     function.toStdString() + "(" + input.toStdString() + ")");
        if (function == u"IsValidUserAgentToObey") {
            EXPECT_EQ(isValidRobotsProductToken(QString::fromUtf8(input)), expected.toBool());
        } else if (function == u"GetPathParamsQuery") {
            EXPECT_EQ(robotsPathOf(input), expected.toString().toUtf8());
        } else if (function == u"MaybeEscapePattern") {
            EXPECT_EQ(escapeRobotsPattern(input), expected.toString().toUtf8());
        } else if (function == u"ParseRobotsTxt") {
            const TRobotsTxt txt = TRobotsTxt::parse(input);
            const QString measure = c.value(QStringLiteral("measure")).toString();
            if (measure == u"valid_directives")
                EXPECT_EQ(txt.stats().ValidDirectives, expected.toInt());
            else if (measure == u"unknown_directives")
                EXPECT_EQ(txt.stats().UnknownDirectives, expected.toInt());
            else if (measure == u"last_line_seen")
                EXPECT_EQ(txt.stats().LastDirectiveLine, expected.toInt());
            else if (measure == u"sitemap")
                EXPECT_EQ(txt.sitemaps().join(QString()), expected.toString());
            else
                ADD_FAILURE() << "unknown measure " << measure.toStdString();
        } else {
            ADD_FAILURE() << "unknown function";
        }
    }
}

TEST(Robots, ProductTokenOfUserAgent) {
    const struct {
        const char *userAgent;
        const char *token;
    } cases[] = {
        // Our own and other tools' plain product strings.
        {"Corvane/2.1; +https://example.com/bot", "Corvane"},
        {"curl/7.88.1", "curl"},
        {"  Foo_Bar-Baz/1 extra", "Foo_Bar-Baz"},
        {"Foobot", "Foobot"},
        {"", ""},
        {"/1.0", ""},
        // Crawlers written as browsers name themselves after "compatible;".
        {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "Googlebot"},
        {"Mozilla/5.0 (compatible; Googlebot-Image/1.0; +http://www.google.com/bot.html)",
         "Googlebot-Image"},
        {"Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", "YandexBot"},
        {"Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", "bingbot"},
        {"Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)",
         "Slurp"},
        {"Mozilla/5.0 (Linux; Android 6.0.1; Nexus 5X Build/MMB29P) AppleWebKit/537.36 (KHTML, "
         "like "
         "Gecko) Chrome/120.0 Mobile Safari/537.36 (compatible; Googlebot/2.1; "
         "+http://www.google.com/bot.html)",
         "Googlebot"},
        // Old Internet Explorer strings name MSIE there: no site has a group for it.
        {"Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; Trident/6.0)", "MSIE"},
        // Browsers are no crawler: only the "*" groups apply.
        {"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:53.0) Gecko/20100101 Firefox/53.0", ""},
        {"Mozilla/5.0 (Windows NT 5.1) AppleWebKit/535.1 (KHTML, like Gecko) Chrome/14.0.815.0 "
         "Safari/535.1",
         ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(robotsProductToken(QString::fromUtf8(c.userAgent)), QString::fromUtf8(c.token))
            << c.userAgent;
        if (*c.token) {
            EXPECT_TRUE(isValidRobotsProductToken(QString::fromUtf8(c.token)));
        }
    }
}

TEST(Robots, FetchStatusRule) {
    const std::pair<int, TRobotsFetchRule> cases[] = {
        {200, rfUseBody},     {204, rfUseBody},     {301, rfAllowAll},    {400, rfAllowAll},
        {401, rfAllowAll},    {403, rfAllowAll},    {404, rfAllowAll},    {410, rfAllowAll},
        {429, rfDisallowAll}, {500, rfDisallowAll}, {503, rfDisallowAll}, {0, rfDisallowAll},
        {100, rfDisallowAll}, {600, rfDisallowAll},
    };
    for (const auto &[status, rule] : cases) EXPECT_EQ(robotsFetchRule(status), rule) << status;
}

TEST(Robots, GroupsForAnAgent) {
    const QByteArray robots = "User-agent: *\n"
                              "Disallow: /star/\n"
                              "\n"
                              "User-agent: FooBot\n"
                              "Disallow: /one/\n"
                              "User-agent: barbot\n"
                              "Disallow: /bar/\n"
                              "# FooBot again: merged with the first FooBot group\n"
                              "user-agent: FOOBOT\n"
                              "Disallow: /two/\n";
    const TRobotsTxt txt = TRobotsTxt::parse(robots);
    const TRobotsRules foo = txt.rulesFor(u"foobot");
    EXPECT_FALSE(foo.isAllowed(QUrl("http://a.b/one/x")));
    EXPECT_FALSE(foo.isAllowed(QUrl("http://a.b/two/x")));
    EXPECT_TRUE(foo.isAllowed(QUrl("http://a.b/star/x"))); // a named group replaces "*"
    EXPECT_TRUE(foo.isAllowed(QUrl("http://a.b/bar/x")));
    // No group of its own, or no token at all: the "*" group.
    for (const QString &token : {QStringLiteral("QuxBot"), QString()}) {
        const TRobotsRules other = txt.rulesFor(token);
        EXPECT_FALSE(other.isAllowed(QUrl("http://a.b/star/x")));
        EXPECT_TRUE(other.isAllowed(QUrl("http://a.b/one/x")));
    }
    // A token with characters outside the token set names no group.
    EXPECT_TRUE(txt.rulesFor(u"FooBot/2.1").isAllowed(QUrl("http://a.b/one/")));
    // No "*" group: nothing applies.
    EXPECT_TRUE(TRobotsTxt::parse("User-agent: a\nDisallow: /\n").rulesFor(u"b").rules().empty());
}

TEST(Robots, Precedence) {
    const struct {
        const char *rules;
        const char *path;
        bool allowed;
    } cases[] = {
        // The longest matching pattern decides; Allow wins a tie.
        {"Allow: /a/\nDisallow: /a/b", "/a/b/c", false},
        {"Disallow: /a/\nAllow: /a/b", "/a/b/c", true},
        {"Disallow: /a\nAllow: /a", "/a", true},
        {"Disallow: /*.pdf\nAllow: /docs/x", "/docs/x.pdf", true}, // 8 octets against 6
        {"Disallow: /*.pdf\nAllow: /docs/", "/docs/x.pdf", true},  // 6 against 6: Allow
        {"Disallow: /*.pdf\nAllow: /doc/", "/doc/x.pdf", false},   // 5 against 6
        // "$" ends a pattern only at its end; "*" matches any run, also none.
        {"Disallow: /*.php$", "/x.php", false},
        {"Disallow: /*.php$", "/x.php?a=1", true},
        {"Disallow: /a$b", "/a$bc", false},
        {"Disallow: /a*b*c", "/abc", false},
        {"Disallow: /a*b*c", "/a-c-b", true},
        {"Disallow: /a*b*c$", "/abcbc", false},
        {"Disallow: /a*b*c$", "/abcb", true},
        {"Disallow: ***", "/anything", false},
        {"Disallow: /*$", "/anything", false},
        // Queries are part of the path; a pattern without "/" means one.
        {"Disallow: /*?sort=", "/list?sort=asc", false},
        {"Disallow: /*?sort=", "/list?page=2&sort=asc", true},
        {"Disallow: private", "/private/x", false},
        // Empty values are no rules; /robots.txt is always allowed.
        {"Disallow:\nAllow:", "/x", true},
        {"Disallow: /", "/robots.txt", true},
        {"Disallow: /", "/robots.txt?x", false},
        {"Disallow: /$", "/", false},
        {"Disallow: /$", "/a", true},
    };
    for (const auto &c : cases) {
        const TRobotsRules rules =
            TRobotsTxt::parse(QByteArray("User-agent: *\n") + c.rules).rulesFor(u"x");
        const QByteArray path(c.path);
        EXPECT_EQ(rules.isAllowed(QUrl("http://h.example" + QString::fromUtf8(path))), c.allowed)
            << c.rules << " | " << c.path;
        EXPECT_EQ(rules.isAllowedPath(path), c.allowed) << c.rules << " | " << c.path;
    }
}

// Through a QUrl, URL and patterns meet in RFC 3986 normal form; the wire
// form compares octets as written.
TEST(Robots, PercentEncoding) {
    const TRobotsRules rules = TRobotsTxt::parse("User-agent: *\n"
                                                 "Disallow: /%7Ejoe/\n"
                                                 "Disallow: /путь\n"
                                                 "Disallow: /a%2fb\n"
                                                 "Disallow: /q?x=%e2%82%ac\n"
                                                 "Disallow: /sp ace\n")
                                   .rulesFor(u"x");
    const struct {
        const char *url;
        bool allowed;
    } cases[] = {
        {"http://h/~joe/x", false},
        {"http://h/%7ejoe/x", false},
        {"http://h/путь/1", false},
        {"http://h/%D0%BF%D1%83%D1%82%D1%8C", false},
        {"http://h/%d0%bf%d1%83%d1%82%d1%8c", false},
        {"http://h/a%2Fb", false},
        {"http://h/a/b", true}, // an escaped "/" is not a separator
        {"http://h/q?x=€", false},
        {"http://h/sp%20ace", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rules.isAllowed(QUrl(QString::fromUtf8(c.url))), c.allowed) << c.url;
    EXPECT_FALSE(rules.isAllowedPath("/%7ejoe/x"));
    EXPECT_TRUE(rules.isAllowedPath("/~joe/x"));
    EXPECT_FALSE(rules.isAllowedPath("/%d0%bf%d1%83%d1%82%d1%8c"));

    EXPECT_EQ(normalizeRobotsPath("/%7e%41%2f%zz /ä\"{}"),
              QByteArray("/~A%2F%25zz%20/%C3%A4%22%7B%7D"));
    EXPECT_EQ(robotsPathOf(QUrl("http://H/a b?q=ä#frag")), QByteArray("/a%20b?q=%C3%A4"));
    EXPECT_EQ(robotsPathOf(QUrl("http://h")), QByteArray("/"));
}

TEST(Robots, ReadingTolerance) {
    // CR, LF and CR LF; blanks around keys; missing colons; comments; junk.
    const QByteArray robots = QByteArray("\xEF\xBB\xBF"
                                         "user-agent FooBot\r"
                                         "  DISALLOW  :  /a  # trailing comment\r\n"
                                         "\x01\x02\xFF\xFE garbage without meaning\n"
                                         "disallow /b\n") +
                              QByteArray("Disallow: /c\0d\n", 15) +
                              "Allow /a/ok\n"
                              "#Disallow: /commented\n"
                              "lonelyword\n";
    const TRobotsTxt txt = TRobotsTxt::parse(robots);
    const TRobotsRules rules = txt.rulesFor(u"FooBot");
    EXPECT_FALSE(rules.isAllowedPath("/a/x"));
    EXPECT_TRUE(rules.isAllowedPath("/a/ok"));
    EXPECT_FALSE(rules.isAllowedPath("/b"));
    EXPECT_FALSE(rules.isAllowedPath(QByteArray("/c\0d", 4)));
    EXPECT_TRUE(rules.isAllowedPath("/commented"));
    EXPECT_EQ(txt.stats().Lines, 8);
    EXPECT_EQ(txt.stats().ValidDirectives, 5);
    ASSERT_NE(rules.decidingRule(QUrl("http://h/b")), nullptr);
    EXPECT_EQ(rules.decidingRule(QUrl("http://h/b"))->Line, 4);
    EXPECT_FALSE(txt.stats().Truncated);
}

TEST(Robots, CrawlDelayAndSitemaps) {
    const TRobotsTxt txt = TRobotsTxt::parse("Sitemap: https://h.example/s1.xml\n"
                                             "User-agent: *\n"
                                             "Crawl-delay: 0.5\n"
                                             "User-agent: foo\n"
                                             "Crawl-delay: 2,5\n"
                                             "Sitemap: https://h.example/s2.xml # second\n"
                                             "User-agent: bar\n"
                                             "Crawl-delay: soon\n"
                                             "Crawl-delay: -3\n"
                                             "User-agent: foo\n"
                                             "Crawl-delay: 1\n"
                                             "Sitemap: https://h.example/s1.xml\n");
    EXPECT_EQ(txt.rulesFor(u"other").crawlDelay(), 0.5);
    EXPECT_EQ(txt.rulesFor(u"foo").crawlDelay(), 2.5); // merged groups: the largest
    EXPECT_EQ(txt.rulesFor(u"bar").crawlDelay(), std::nullopt);
    EXPECT_EQ(txt.sitemaps(),
              QStringList({"https://h.example/s1.xml", "https://h.example/s2.xml"}));
    // A Crawl-delay line ends the user-agent lines of its group.
    EXPECT_TRUE(TRobotsTxt::parse("User-agent: a\nCrawl-delay: 4\nUser-agent: b\nDisallow: /\n")
                    .rulesFor(u"a")
                    .isAllowedPath("/x"));
}

TEST(Robots, AllowAllAndDisallowAll) {
    EXPECT_TRUE(TRobotsRules::allowAll().isAllowed(QUrl("http://h/x")));
    const TRobotsRules none = TRobotsRules::disallowAll();
    EXPECT_TRUE(none.disallowsEverything());
    EXPECT_FALSE(none.isAllowed(QUrl("http://h/")));
    EXPECT_FALSE(none.isAllowed(QUrl("http://h/x?y")));
    EXPECT_TRUE(none.isAllowed(QUrl("http://h/robots.txt")));
}

// Hostile files: more than the read limit, a rule cut by it, thousands of
// wildcards in one pattern and long lines. These run in linear time; a
// backtracking matcher would not finish.
TEST(Robots, HostileInput) {
    QByteArray big = "User-agent: *\nDisallow: /early\n";
    while (big.size() < MaxRobotsTxtBytes - 8) big += "# padding padding padding padding\n";
    big.truncate(MaxRobotsTxtBytes - 14);
    big += "\nDisallow: /cutrule\nDisallow: /late\n"; // the limit cuts it to "Disallow: /cu"
    const TRobotsTxt txt = TRobotsTxt::parse(big);
    EXPECT_TRUE(txt.stats().Truncated);
    const TRobotsRules rules = txt.rulesFor(u"x");
    EXPECT_FALSE(rules.isAllowedPath("/early"));
    EXPECT_TRUE(rules.isAllowedPath("/cu"));
    EXPECT_TRUE(rules.isAllowedPath("/late"));

    QByteArray stars = "User-agent: *\nDisallow: /";
    for (int i = 0; i < 10000; ++i) stars += "*a";
    stars += "$\nDisallow: /";
    for (int i = 0; i < 10000; ++i) stars += "*a";
    stars += "*b\n";
    const TRobotsRules wild = TRobotsTxt::parse(stars).rulesFor(u"x");
    const QByteArray manyA = '/' + QByteArray(50000, 'a');
    EXPECT_FALSE(wild.isAllowedPath(manyA));        // ends with "a": the first rule
    EXPECT_TRUE(wild.isAllowedPath(manyA + 'c'));   // no final "a", no "b"
    EXPECT_FALSE(wild.isAllowedPath(manyA + "bc")); // "b" after 10 000 a's
    EXPECT_TRUE(wild.isAllowedPath("/" + QByteArray(9999, 'a') + "b")); // one "a" short

    // One line of 400 KiB, and a file of nothing but line breaks and junk.
    const QByteArray longLine = "User-agent: *\nDisallow: /" + QByteArray(400 * 1024, 'x') + "\n";
    EXPECT_TRUE(TRobotsTxt::parse(longLine).rulesFor(u"x").isAllowedPath("/xxx"));
    QByteArray junk;
    for (int i = 0; i < 300000; ++i) junk += char((i * 7919) & 0xFF);
    const TRobotsTxt junkTxt = TRobotsTxt::parse(junk);
    EXPECT_TRUE(junkTxt.rulesFor(u"x").isAllowedPath("/x"));
}
