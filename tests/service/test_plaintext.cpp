#include <random>

#include <QStringList>

#include <gtest/gtest.h>

#include "core/qstring_print.h"
#include "service/plaintext.h"

using namespace corvane;

TEST(ServiceConversion, VisibleTextOneLinePerBlock) {
    struct {
        const char *name;
        const char16_t *html;
        const char16_t *text;
    } const cases[] = {
        // What is never shown.
        {"head",
         u"<html><head><title>T</title><meta charset=utf-8><style>p{}</style><script>var "
         u"a=1</script>"
         u"</head><body><p>Hello</p></body></html>",
         u"Hello\n"},
        {"template, noscript",
         u"<p>a<template><p>hidden</p></template>b</p><noscript><p>no js</p></noscript>c",
         u"ab\nc\n"},
        {"script in body", u"<div>x<script>if (a < b) document.write('<p>y</p>')</script>z</div>",
         u"xz\n"},
        // Blocks end a line, inline elements join without spaces.
        {"blocks", u"<div>one</div><div>two<p>three</div><h1>T</h1>text<br>more<hr>end",
         u"one\ntwo\nthree\nT\ntext\nmore\nend\n"},
        {"lists", u"<ul><li>x</li><li>y <b>bold</b></li></ul>", u"x\ny bold\n"},
        {"inline", u"wo<b>rd</b> <i>next</i><span>joined</span>", u"word nextjoined\n"},
        {"table", u"<table><tr><th>a</th><td>b</td></tr><tr><td>c</td></tr></table>", u"a b\nc\n"},
        // References, whitespace, trimming, empty lines.
        {"references", u"&lt;tag&gt; &amp; &copy; &#1055;&#x440;&eacute",
         u"<tag> & \u00A9 \u041F\u0440\u00E9\n"},
        {"whitespace", u"<p>   padded \n\t  out   </p><p> </p><div>\n\n</div>a&nbsp;&nbsp;b",
         u"padded out\na b\n"},
        {"pre", u"<pre>line 1\n  line 2\n\n\tline 3  </pre>", u"line 1\nline 2\nline 3\n"},
        {"text", u"plain text, no tags", u"plain text, no tags\n"},
        {"Cyrillic", u"<p>\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440</p>",
         u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440\n"},
        // Heads that do not end properly.
        {"unclosed head", u"<head><title>t</title><div>body text</div>", u"body text\n"},
        {"text ends head", u"<head><meta charset=utf-8>stray</head><p>x", u"stray\nx\n"},
        // No text: the single line 1.
        {"empty", u"", u"1\n"},
        {"no visible text",
         u"<html><head><title>x</title></head><body><img src=a> \n </body></html>", u"1\n"},
        // Malformed markup still gives text.
        {"stray <", u"a < b <> c", u"a < b <> c\n"},
        {"unclosed tag", u"<p>x</p><div", u"x\n"},
        {"unclosed comment", u"<p>x</p><!-- never closed <p>y</p>", u"x\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HtmlToPlainText(QString::fromUtf16(c.html)), QString::fromUtf16(c.text));
    }
}

TEST(ServiceConversion, RandomMarkupNeverBreaksIt) {
    const char16_t *const pieces[] = {
        u"<p>",       u"</p>",   u"<div",       u">",           u"<!--", u"-->", u"<script>",
        u"</script>", u"<head>", u"<template>", u"</noscript>", u"&amp", u"&#",  u"x",
        u" ",         u"\n",     u"<pre>",      u"</pre>",      u"<",    u"/",   u"\"",
        u"'",         u"=",      u"\uFFFD",     u"\u0001"};
    std::mt19937 rng(4);
    for (int round = 0; round < 500; ++round) {
        QString html;
        const int n = int(rng() % 200);
        for (int i = 0; i < n; ++i) html += QString::fromUtf16(pieces[rng() % std::size(pieces)]);
        const QString text = HtmlToPlainText(html);
        ASSERT_TRUE(text.endsWith(u'\n'));
        for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts))
            ASSERT_EQ(line, line.trimmed()) << html.toStdString();
    }
}
