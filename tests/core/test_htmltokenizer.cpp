#include <QStringList>

#include <gtest/gtest.h>

#include "core/htmltokenizer.h"
#include "core/qstring_print.h"

using namespace corvane;

namespace {

// The reported pieces in one line: text in [ ] (in { } when pre-formatted),
// tags as <name>, </name> and <name/> with the name of their identity, or
// "?" and the written name for an unknown one.
QString pieces(const QString &Html, bool AllTags = true, bool Normalize = true) {
    THtmlTokenizer tok;
    tok.setInput(Html, Normalize);
    if (AllTags) tok.setReportAllTags();
    QString out;
    while (tok.ParseNextPiece()) {
        if (tok.pieceType() == ptText) {
            const bool pre = tok.isPreformatted();
            out += QChar(pre ? u'{' : u'[') + tok.text().toString() + QChar(pre ? u'}' : u']');
            continue;
        }
        EXPECT_EQ(tok.pieceType(), ptHtmlTag);
        const QString name = tok.tag() == htUnknown ? u'?' + tok.tagName().toString()
                                                    : QString(THtmlTokenizer::nameOfTag(tok.tag()));
        switch (tok.tagType()) {
        case ttStartTag:
            out += u'<' + name + u'>';
            break;
        case ttEndTag:
            out += QStringLiteral("</") + name + u'>';
            break;
        case ttEmptyElementTag:
            out += u'<' + name + QStringLiteral("/>");
            break;
        }
    }
    return out;
}

struct Case {
    const char16_t *html;
    const char16_t *expected;
};

template <std::size_t N> void checkAll(const Case (&Cases)[N], bool AllTags = true) {
    for (const Case &c : Cases)
        EXPECT_EQ(pieces(QString::fromUtf16(c.html), AllTags), QString::fromUtf16(c.expected))
            << QString::fromUtf16(c.html).toStdString();
}

} // namespace

TEST(HtmlTokenizer, Pieces) {
    const Case cases[] = {
        // Every tag ends a text piece.
        {u"wo<b>rd</b>", u"[wo]<b>[rd]</b>"},
        {u"<P Class=x>Hi</P >", u"<p>[Hi]</p>"},
        {u"<br/><BR /><hr/><p/>", u"<br/><br/><hr/><p/>"},
        {u"</br/>", u"</br>"},
        {u"<my-widget a=1>x</my-widget>", u"<?my-widget>[x]</?my-widget>"},
        {u"<p-b><o:p><h1.b><Br5><svg:p>", u"<?p-b><?o:p><?h1.b><?Br5><?svg:p>"},
        // "<" starts markup only before "!", "?", a letter or "/" and a letter.
        {u"x < y", u"[x < y]"},
        {u"x <y", u"[x ]<?y>"},
        {u"a<1b</ c<=d</>e<", u"[a<1b</ c<=d</>e<]"},
        {u"a<%b%>c", u"[a][<%b%>c]"},
        {u"<%b%>c", u"[<%b%>c]"},
        // Markup other than tags is passed over but still ends text.
        {u"a<!-- <p>x</p> -->b", u"[a][b]"},
        {u"a<!-->b<!--->c<!-- -- --->d", u"[a][b][c][d]"},
        {u"a<!DOCTYPE html>b<![CDATA[<p>]]>c<!ELEMENT x>d<?xml v?>e<?php x ?>f",
         u"[a][b][c][d][e][f]"},
        // Quoted attribute values may hold ">" and quotes of the other kind.
        {u"<a title=\"1 > 0\" alt='\"<p>'>t</a>", u"<a>[t]</a>"},
        {u"<a b=c>d>e</a>", u"<a>[d>e]</a>"},
        {u"<img src=x/>t", u"<img/>[t]"},
        {u"<a href=/x/ title=\"a/>b\">t", u"<a>[t]"},
        {u"<img src=\"x\"/>t", u"<img/>[t]"},
        // script, style and title contents are one unreported piece each.
        {u"<script>if (a<b) x='</p>';</script>t", u"<script></script>[t]"},
        {u"<SCRIPT>a</scriptx></Script >t", u"<script></script>[t]"},
        {u"<style>p{}</style><title>A &amp; B</title>", u"<style></style><title></title>"},
        {u"<script/>t", u"<script/>[t]"},
        // Unterminated markup runs to the end of the input.
        {u"a<!-- b", u"[a]"},
        {u"a<p title=\"x>b", u"[a]<p>"},
        {u"a<script>b", u"[a]<script>"},
    };
    checkAll(cases);
}

TEST(HtmlTokenizer, ReportedTags) {
    THtmlTokenizer tok;
    tok.setInput(QStringLiteral("<p>a<br>b<br/></br><b>c</b></p><hr><h1 id=x>d</h1>"));
    tok.setReportedTags({htBr, htHr}, {htP, htH1});
    QStringList seen;
    while (tok.ParseNextPiece()) {
        if (tok.pieceType() == ptText)
            seen << tok.text().toString();
        else
            seen << QString(THtmlTokenizer::nameOfTag(tok.tag())) + QString::number(tok.tagType());
    }
    EXPECT_EQ(seen.join(u','), u"p0,a,br0,b,br2,c,p1,hr0,h10,d,h11");
    // Before any choice only text is reported.
    THtmlTokenizer plain;
    plain.setInput(QStringLiteral("<p>a</p><br>b"));
    QStringList texts;
    while (plain.ParseNextPiece()) texts << plain.text().toString();
    EXPECT_EQ(texts.join(u','), u"a,b");
}

TEST(HtmlTokenizer, TagIdentities) {
    EXPECT_EQ(THtmlTokenizer::tagFromName(u"BlockQuote"), htBlockquote);
    EXPECT_EQ(THtmlTokenizer::tagFromName(u"h6"), htH6);
    EXPECT_EQ(THtmlTokenizer::tagFromName(u"figcaption"), htFigcaption);
    for (const char16_t *name : {u"", u"h7", u"blockquotes", u"p-x", u"\u0440", u"pp"})
        EXPECT_EQ(THtmlTokenizer::tagFromName(name), htUnknown)
            << QString::fromUtf16(name).toStdString();
    for (int t = 1; t < htTagCount; ++t) {
        const QString name = THtmlTokenizer::nameOfTag(THtmlTag(t));
        EXPECT_EQ(THtmlTokenizer::tagFromName(name), THtmlTag(t)) << name.toStdString();
        EXPECT_EQ(THtmlTokenizer::tagFromName(name.toUpper()), THtmlTag(t)) << name.toStdString();
    }
}

TEST(HtmlTokenizer, WhitespaceAndPre) {
    const Case cases[] = {
        {u"  a \t\r\n b  ", u"[ a b ]"},
        {u"a\u00a0 \u00a0b", u"[a\u00a0 \u00a0b]"},
        {u"a\u0001\u001fb", u"[a b]"},
        {u"<pre>  a\n  b</pre> a\n  b", u"<pre>{  a\n  b}</pre>[ a b]"},
        {u"<pre><pre>x</pre>\n y\n</pre>\n z\n</pre>w",
         u"<pre><pre>{x}</pre>{\n y\n}</pre>[ z ]</pre>[w]"},
        {u"<pre/>a  b", u"<pre/>[a b]"},
        // References that stand for whitespace fold with it.
        {u"a&#32;&#10; &Tab;b&nbsp;c", u"[a b\u00a0c]"},
        {u"a &#32;b a&#32; b a &#10; b", u"[a b a b a b]"},
        {u"<pre>a&#32;&#32;b</pre>", u"<pre>{a  b}</pre>"},
    };
    checkAll(cases);
    EXPECT_EQ(pieces(QStringLiteral("a  \n b"), true, false), u"[a  \n b]");
}

TEST(HtmlTokenizer, CharacterReferences) {
    const Case cases[] = {
        {u"a &lt; b &amp;amp; c", u"[a < b &amp; c]"},
        {u"caf&eacute", u"[caf\u00e9]"},
        {u"&notit;", u"[\u00acit;]"},
        {u"&notin;&not;&NotEqualTilde;&fjlig;", u"[\u2209\u00ac\u2242\u0338fj]"},
        {u"&Afr;", u"[\U0001D504]"},
        {u"&CounterClockwiseContourIntegral;", u"[\u2233]"},
        {u"&ampx &ampx; &amp &AMP;", u"[&x &x; & &]"},
        {u"&unknown; &; & &#; &#x; &#xg;", u"[&unknown; &; & &#; &#x; &#xg;]"},
        {u"&Eacutex &eacuteé", u"[\u00c9x \u00e9\u00e9]"},
        {u"&lta&lt<b>", u"[<a<]<b>"},
        // Numeric references need ";", a space or the end of the input.
        {u"&#65;&#x42;&#X43; &#68 &#x45", u"[ABC D E]"},
        {u"&#65a &#65<b>x", u"[&#65a &#65]<b>[x]"},
        {u"&#150;&#x96;&#129;&#141;&#143;&#144;&#157;&#128;&#159;",
         u"[\u2013\u2013\ufffd\ufffd\ufffd\ufffd\ufffd\u20ac\u0178]"},
        {u"&#0;&#xD800;&#x110000;&#99999999999999999999;&#x1F600;&#xFFFF;",
         u"[\ufffd\ufffd\ufffd\ufffd\U0001F600\uffff]"},
        {u"&#0000065;", u"[A]"},
    };
    checkAll(cases);
}

TEST(HtmlTokenizer, PiecePositionAndRestart) {
    THtmlTokenizer tok;
    tok.setInput(QStringLiteral("ab<p>cd"));
    tok.setReportAllTags();
    ASSERT_TRUE(tok.ParseNextPiece());
    EXPECT_EQ(tok.piecePosition(), 0);
    ASSERT_TRUE(tok.ParseNextPiece());
    EXPECT_EQ(tok.piecePosition(), 2);
    EXPECT_EQ(tok.tagName(), u"p");
    ASSERT_TRUE(tok.ParseNextPiece());
    EXPECT_EQ(tok.piecePosition(), 5);
    EXPECT_EQ(tok.trimmedText(), u"cd");
    EXPECT_FALSE(tok.ParseNextPiece());
    EXPECT_FALSE(tok.ParseNextPiece());
    tok.setInput(QStringLiteral("<pre>x"));
    ASSERT_TRUE(tok.ParseNextPiece());
    ASSERT_TRUE(tok.ParseNextPiece());
    EXPECT_TRUE(tok.isPreformatted());
    tok.setInput(QStringLiteral("y"));
    ASSERT_TRUE(tok.ParseNextPiece());
    EXPECT_FALSE(tok.isPreformatted());
}
