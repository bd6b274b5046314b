#include <QStringList>

#include <gtest/gtest.h>

#include "core/pagelinks.h"
#include "core/qstring_print.h"

using namespace corvane;

namespace {

// The links as "href" or "href (nofollow)", "area:" in front of area links.
QStringList linksOf(const TPageLinks &Page) {
    QStringList out;
    for (const TPageLink &l : Page.Links)
        out << (l.Tag == htArea ? QStringLiteral("area:") : QString()) + l.Href +
                   (l.NoFollow ? QStringLiteral(" (nofollow)") : QString());
    return out;
}

} // namespace

TEST(PageLinks, LinksInDocumentOrder) {
    const TPageLinks page = extractPageLinks(QStringLiteral(R"(<!DOCTYPE html>
<html><head><title><a href="/in-title">no</a></title>
<base target="_blank"><base href="/first-base/"><base href="/second-base/">
<script>document.write('<a href="/in-script">')</script>
<style>a[href="/in-style"] {}</style>
</head><body>
<!-- <a href="/in-comment"> -->
<a href="/one?a=1&amp;b=2">one</a>
<A HREF='/two' REL="external NoFollow">two</A>
<a rel="nofollowing" href=/three/>three</a>
<a name="anchor-only">no href</a>
<a href="">the page itself</a>
<map><area href="/four" rel=nofollow shape=rect><area nohref></map>
<a href="  /five#frag
">five</a>
</body></html>)"));
    EXPECT_EQ(linksOf(page), QStringList({"/one?a=1&b=2", "/two (nofollow)", "/three/", "",
                                          "area:/four (nofollow)", "  /five#frag\n"}));
    EXPECT_EQ(page.BaseHref, QStringLiteral("/first-base/"));
    EXPECT_TRUE(page.Indexing.Canonical.isNull());
    EXPECT_FALSE(page.Indexing.NoIndex);
    EXPECT_FALSE(page.Indexing.NoFollow);
    EXPECT_TRUE(extractPageLinks(QStringLiteral("<a>x</a>")).BaseHref.isNull());
}

TEST(PageLinks, IndexingSignals) {
    const struct {
        const char *html;
        const char *canonical; // nullptr: none
        bool noIndex, noFollow;
    } cases[] = {
        {R"(<link rel="canonical" href="https://e.com/a?x=1&amp;y=2">)", "https://e.com/a?x=1&y=2",
         false, false},
        {R"(<link rel="stylesheet" href="/s.css"><LINK REL="Alternate Canonical" HREF="/c1"><link rel=canonical href=/c2>)",
         "/c1", false, false},
        {R"(<link rel="canonical">)", nullptr, false, false}, // no href: no canonical
        {R"(<meta name="robots" content="noindex">)", nullptr, true, false},
        {R"(<META NAME=" Robots " CONTENT="NOFOLLOW,NOARCHIVE">)", nullptr, false, true},
        {R"(<meta name="robots" content="index, follow">)", nullptr, false, false},
        {R"(<meta name="robots" content="none">)", nullptr, true, true},
        {R"(<meta name="robots" content="noindex,nofollow">)", nullptr, true, true},
        {R"(<meta name="robots" content="noindexing">)", nullptr, false, false},
        {R"(<meta name="googlebot" content="noindex"><meta content="noindex">)", nullptr, false,
         false},
        {R"(<meta name="description" content="noindex nofollow">)", nullptr, false, false},
        {R"(<!-- <meta name="robots" content="noindex"> -->)", nullptr, false, false},
        // Several robots elements add up.
        {R"(<meta name="robots" content="noindex"><meta name="robots" content="nofollow">)",
         nullptr, true, true},
    };
    for (const auto &c : cases) {
        const TPageLinks page = extractPageLinks(QString::fromUtf8(c.html));
        EXPECT_EQ(page.Indexing.Canonical, c.canonical ? QString::fromUtf8(c.canonical) : QString())
            << c.html;
        EXPECT_EQ(page.Indexing.Canonical.isNull(), c.canonical == nullptr) << c.html;
        EXPECT_EQ(page.Indexing.NoIndex, c.noIndex) << c.html;
        EXPECT_EQ(page.Indexing.NoFollow, c.noFollow) << c.html;
    }
}

// A page of 100 000 links and one with nothing but broken markup.
TEST(PageLinks, LargeAndBrokenPages) {
    QString html = QStringLiteral("<html><body>");
    for (int i = 0; i < 100000; ++i)
        html += QStringLiteral("<p><a href=\"/p/%1?s=1&amp;t=2\">page %1</a>\n").arg(i);
    const TPageLinks page = extractPageLinks(html);
    ASSERT_EQ(page.Links.size(), 100000u);
    EXPECT_EQ(page.Links.front().Href, QStringLiteral("/p/0?s=1&t=2"));
    EXPECT_EQ(page.Links.back().Href, QStringLiteral("/p/99999?s=1&t=2"));

    const TPageLinks broken =
        extractPageLinks(QStringLiteral("<a href='/x' <a href=\"/y\"><a href=<a <<a href=/z"));
    EXPECT_EQ(linksOf(broken), QStringList({"/x", "<a"})); // a repeated href: the first counts
}
