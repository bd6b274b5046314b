#include <cstring>

#include <gtest/gtest.h>

#include "core/crawlurl.h"
#include "core/pagelinks.h"
#include "core/qstring_print.h"

using namespace corvane;

namespace {

// "ok <url>" or the verdict's name.
QString describe(const TCrawlLink &L) {
    switch (L.Verdict) {
    case lvOk:
        return QStringLiteral("ok ") + L.Url;
    case lvInvalid:
        return QStringLiteral("invalid");
    case lvNotHttp:
        return QStringLiteral("not http");
    case lvTooLong:
        return QStringLiteral("too long");
    }
    return {};
}

} // namespace

TEST(CrawlUrl, ResolveAgainstThePage) {
    const TLinkResolver resolver(
        QUrl(QStringLiteral("http://Example.COM:80/dir/page.html?x=1#top")));
    const QString longPath(2048 - int(std::strlen("http://example.com/")), u'a');
    const struct {
        QString href, expected;
    } cases[] = {
        // Relative forms, dot segments, the root as the floor.
        {"other.html", "ok http://example.com/dir/other.html"},
        {"../../../../up", "ok http://example.com/up"},
        {"/a/./b/../c", "ok http://example.com/a/c"},
        {"/a//b/../c/.", "ok http://example.com/a//c/"}, // an empty segment is a segment
        {"http://example.com/x/%2E%2E/y/%2e", "ok http://example.com/y/"},
        {"\\\\h\\\\\\a\\b", "ok http://h///a/b"},
        {"?q=2", "ok http://example.com/dir/page.html?q=2"},
        {"#frag", "ok http://example.com/dir/page.html?x=1"},
        {"", "ok http://example.com/dir/page.html?x=1"},
        {"//CDN.Example.com:8080/x", "ok http://cdn.example.com:8080/x"},
        {"HTTPS://WWW.Example.COM:443/A?", "ok https://www.example.com/A"},
        {"https://example.com:80/", "ok https://example.com:80/"},
        {"http://example.com", "ok http://example.com/"},
        // Blanks and line breaks as browsers drop them; "\" as "/" before the query.
        {" \t/sp ace\n/x\r\n ", "ok http://example.com/sp%20ace/x"},
        {"\\a\\b?c\\d", "ok http://example.com/a/b?c%5Cd"},
        // Other schemes.
        {"javascript:void(0)", "not http"},
        {" JavaScript:alert(1)", "not http"},
        {"mailto:someone@example.com", "not http"},
        {"data:text/html,<p>x</p>", "not http"},
        {"ftp://example.com/file", "not http"},
        {"tel:+123", "not http"},
        // Addresses without a host, or that QUrl cannot read.
        {"http://", "invalid"},
        {"//", "invalid"},
        {"http://a..b/", "invalid"},
        {"http://exa mple.com/", "invalid"},
        // The length limit counts the canonical form.
        {"/" + longPath, "ok http://example.com/" + longPath},
        {"/" + longPath + "b", "too long"},
        {"/" + QString(700, u'ж'), "too long"}, // 6 characters each once encoded
    };
    for (const auto &c : cases)
        EXPECT_EQ(describe(resolver.resolve(c.href)).toStdString(), c.expected.toStdString())
            << c.href.toStdString();
}

// One page reached by different spellings gives one string.
TEST(CrawlUrl, OneCanonicalForm) {
    const TLinkResolver resolver(QUrl(QStringLiteral("http://xn--e1afmkfd.xn--p1ai/")));
    const QString canonical =
        QStringLiteral("http://xn--e1afmkfd.xn--p1ai/%D0%BF%D1%83%D1%82%D1%8C/~a%2Fb?q=%D1%8F&r");
    for (const char *href :
         {"/путь/~a%2Fb?q=я&r", "http://Пример.РФ/путь/%7Ea%2fb?q=%d1%8f&r#x",
          "HTTP://XN--E1AFMKFD.XN--P1AI:80/%D0%BF%D1%83%D1%82%D1%8C/%7ea%2Fb?q=%D1%8F&r",
          "/путь/x/../%7Ea%2Fb?q=я&r", "//пример.рф./путь/~a%2Fb?q=я&r"})
        EXPECT_EQ(describe(resolver.resolve(QString::fromUtf8(href))).toStdString(),
                  "ok " + canonical.toStdString())
            << href;
}

TEST(CrawlUrl, BaseHref) {
    const QUrl page(QStringLiteral("http://example.com/a/b.html"));
    const struct {
        const char *base, *expected;
    } cases[] = {
        {"/base/", "ok http://example.com/base/x"},
        {"sub/", "ok http://example.com/a/sub/x"},
        {"http://Other.org/root/", "ok http://other.org/root/x"},
        {"  /spaced/\n", "ok http://example.com/spaced/x"},
        // Not an http(s) base: the page's own address.
        {"javascript:alert(1)", "ok http://example.com/a/x"},
        {"data:text/html,", "ok http://example.com/a/x"},
        {"http://", "ok http://example.com/a/x"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(describe(TLinkResolver(page, QString::fromUtf8(c.base)).resolve(u"x")),
                  QString::fromUtf8(c.expected))
            << c.base;
}

TEST(CrawlUrl, QueryFilter) {
    const TQueryFilter filter({"utm_*", "sessionid", "*_ref", " "});
    const struct {
        const char *query, *expected;
    } cases[] = {
        {"a=1&utm_source=x&b=2&UTM_Medium=y", "a=1&b=2"},
        {"utm_source=x", ""},
        {"sessionid=1&sessionidx=2&SESSIONID", "sessionidx=2"},
        {"utm%5Fsource=x&c", "c"}, // names compare decoded
        {"a&&b&", "a&b"},
        {"x_ref=1&ref=2&_ref", "ref=2"},
        {"q=utm_x&z=sessionid", "q=utm_x&z=sessionid"}, // values are not names
    };
    for (const auto &c : cases)
        EXPECT_EQ(filter.apply(QString::fromUtf8(c.query)), QString::fromUtf8(c.expected))
            << c.query;
    EXPECT_TRUE(TQueryFilter({"*"}).dropsName(u"anything"));
    EXPECT_TRUE(TQueryFilter({"a*b*c"}).dropsName(u"aXbYbZc"));
    EXPECT_FALSE(TQueryFilter({"a*b*c"}).dropsName(u"aXcYb"));
    EXPECT_TRUE(TQueryFilter().isEmpty());

    const TLinkResolver resolver(QUrl(QStringLiteral("https://example.com/")), QString(), filter);
    EXPECT_EQ(describe(resolver.resolve(u"/p?utm_source=a&utm_medium=b#f")),
              "ok https://example.com/p");
    EXPECT_EQ(describe(resolver.resolve(u"/p?id=7&sessionid=ab&lang=ru")),
              "ok https://example.com/p?id=7&lang=ru");
    // Without a filter the query stays as written (but encoded).
    EXPECT_EQ(describe(TLinkResolver(QUrl("https://example.com/")).resolve(u"/p?b=2&a=1&&utm_x=ü")),
              "ok https://example.com/p?b=2&a=1&&utm_x=%C3%BC");
}

TEST(CrawlUrl, SameSite) {
    const struct {
        const char *url;
        bool site, withSubdomains;
    } cases[] = {
        {"http://example.com/x", true, true},
        {"https://WWW.EXAMPLE.COM./y", true, true},
        {"https://example.com:443/", true, true},
        {"https://blog.example.com/", false, true},
        {"https://a.b.example.com/", false, true},
        {"https://www.www.example.com/", false, true},
        {"https://notexample.com/", false, false},
        {"https://example.com.evil.org/", false, false},
        {"https://example.com:8443/", false, false},
        {"ftp://example.com/", false, false},
        {"mailto:x@example.com", false, false},
    };
    const TSiteScope site(QUrl(QStringLiteral("https://www.example.com/start")));
    const TSiteScope wide(QUrl(QStringLiteral("https://www.example.com/start")), true);
    for (const auto &c : cases) {
        EXPECT_EQ(site.contains(QUrl(QString::fromUtf8(c.url))), c.site) << c.url;
        EXPECT_EQ(wide.contains(QUrl(QString::fromUtf8(c.url))), c.withSubdomains) << c.url;
    }

    const TSiteScope local(QUrl(QStringLiteral("http://127.0.0.1:8080/")), true);
    EXPECT_TRUE(local.contains(QUrl("http://127.0.0.1:8080/x")));
    EXPECT_FALSE(local.contains(QUrl("http://127.0.0.1:9090/x")));
    EXPECT_FALSE(local.contains(QUrl("http://127.0.0.1/x")));
    EXPECT_FALSE(local.contains(QUrl("http://1.127.0.0.1:8080/x")));

    const TSiteScope idn(QUrl(QString::fromUtf8("http://пример.рф/")));
    EXPECT_TRUE(idn.contains(QUrl("http://xn--e1afmkfd.xn--p1ai/x")));
    EXPECT_TRUE(idn.contains(QUrl(QString::fromUtf8("https://www.ПРИМЕР.рф/"))));
}

TEST(CrawlUrl, PageContentType) {
    const std::pair<const char *, bool> cases[] = {
        {"text/html", true},
        {"Text/HTML; charset=windows-1251", true},
        {"application/xhtml+xml", true},
        {" text/plain ;charset=utf-8", true},
        {"", true},
        {"  ", true},
        {"text/css", false},
        {"image/png", false},
        {"application/json", false},
        {"text/htmlx", false},
        {"application/octet-stream", false},
    };
    for (const auto &[type, page] : cases) EXPECT_EQ(isPageContentType(type), page) << type;
}

// From a page's markup to the addresses a crawl would queue.
TEST(CrawlUrl, LinksOfAPage) {
    const TPageLinks page = extractPageLinks(QStringLiteral(R"(
<a href="list?page=2&amp;utm_source=mail">next</a>
<base href="https://example.com/shop/">
<a href="item?id=1&amp;sessionid=xyz#reviews">item</a>
<a href="mailto:shop@example.com">mail</a>
<a href="../about/">about</a>)"));
    const TLinkResolver resolver(QUrl(QStringLiteral("https://example.com/")), page.BaseHref,
                                 TQueryFilter({"utm_*", "sessionid"}));
    QStringList got;
    for (const TPageLink &l : page.Links) got << describe(resolver.resolve(l.Href));
    EXPECT_EQ(got, QStringList({"ok https://example.com/shop/list?page=2",
                                "ok https://example.com/shop/item?id=1", "not http",
                                "ok https://example.com/about/"}));
}
