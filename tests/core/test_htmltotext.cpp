#include <QStringList>

#include <gtest/gtest.h>

#include "core/htmltokenizer.h"
#include "core/htmltotext.h"
#include "core/qstring_print.h"

using namespace corvane;

namespace {

struct CharsetCase {
    const char *name;
    QByteArray page;
    const char *charset;
    const char *lang;
};

} // namespace

TEST(DetectCharset, MetaElements) {
    const QByteArray filler(1000, 'x');
    const CharsetCase cases[] = {
        {"none", "<html><p>text</p>", "UTF8", "RU"},
        {"content type 1251",
         "<META http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">",
         "WINDOWS-1251", "RU"},
        {"cp1251 lower case",
         "<meta http-equiv=\"content-type\" content=\"text/html; charset=cp1251\">", "WINDOWS-1251",
         "RU"},
        {"1252", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-1252\">",
         "WINDOWS-1252", "RU"},
        {"cp1252", "<meta http-equiv=\"Content-Type\" content=\"text/html;charset=CP1252\">",
         "WINDOWS-1252", "RU"},
        {"html5 charset attribute", "<meta charset=\"windows-1251\">", "UTF8", "RU"},
        {"other charset",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\">", "UTF8", "RU"},
        {"single quotes",
         "<meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>", "UTF8",
         "RU"},
        {"single-quoted content",
         "<meta http-equiv=\"Content-Type\" content='text/html; charset=windows-1251'>", "UTF8",
         "RU"},
        {"parameters after the value",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251; x\">",
         "UTF8", "RU"},
        {"no quote within 20 bytes",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; "
         "charset=windows-1251xxxxxxxxxxx\">",
         "UTF8", "RU"},
        {"space before the quote",
         "<meta http-equiv = \"Content-Type\" content=\"charset=windows-1251\">", "UTF8", "RU"},
        {"language hint", "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">", "UTF8",
         "IE=EDGE"},
        {"language hint of at most 20 bytes",
         "<meta http-equiv=\"Content-Language\" content=\"en-us, abcdefghijklmnop\">", "UTF8",
         "RU"},
        {"later meta overrides",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
         "<meta http-equiv=\"Content-Language\" content=\"en\">",
         "WINDOWS-1252", "EN"},
        {"beyond the first 1024 bytes",
         filler + "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">",
         "UTF8", "RU"},
        {"tag without its end",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"", "UTF8",
         "RU"},
    };
    for (const CharsetCase &c : cases) {
        const TCharsetInfo info = DetectCharset(c.page);
        EXPECT_EQ(info.Charset, QLatin1StringView(c.charset)) << c.name;
        EXPECT_EQ(info.Lang, QLatin1StringView(c.lang)) << c.name;
    }
}

TEST(DecodePage, CodePages) {
    // Every byte of the Windows code pages, the undefined ones included.
    QByteArray all;
    for (int b = 1; b < 256; ++b) all += char(b);
    const QString w1251 = DecodePage(all, QStringLiteral("WINDOWS-1251"));
    const QString w1252 = DecodePage(all, QStringLiteral("WINDOWS-1252"));
    ASSERT_EQ(w1251.size(), 255);
    ASSERT_EQ(w1252.size(), 255);
    EXPECT_EQ(w1251.left(127), QString::fromLatin1(all.left(127)));
    EXPECT_EQ(w1251[0xC0 - 1].unicode(), 0x0410); // А
    EXPECT_EQ(w1251[0xFF - 1].unicode(), 0x044F); // я
    EXPECT_EQ(w1251[0xA8 - 1].unicode(), 0x0401); // Ё
    EXPECT_EQ(w1251[0xB9 - 1].unicode(), 0x2116); // №
    EXPECT_EQ(w1251[0x98 - 1].unicode(), 0x0098); // undefined
    EXPECT_EQ(w1252[0x80 - 1].unicode(), 0x20AC); // €
    EXPECT_EQ(w1252[0x96 - 1].unicode(), 0x2013);
    EXPECT_EQ(w1252[0x9F - 1].unicode(), 0x0178);
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(w1252[b - 1].unicode(), b) << b;
    EXPECT_EQ(w1252.mid(0xA0 - 1), QString::fromLatin1(all.mid(0xA0 - 1)));
}

TEST(DecodePage, StopsAtZeroByteInCodePages) {
    const QByteArray page("ab\0cd", 5);
    EXPECT_EQ(DecodePage(page, QStringLiteral("WINDOWS-1251")), u"ab");
    EXPECT_EQ(DecodePage(page, QStringLiteral("WINDOWS-1252")), u"ab");
    EXPECT_EQ(DecodePage(QByteArray("\0x", 2), QStringLiteral("WINDOWS-1252")), u"");
}

TEST(DecodePage, Utf8) {
    EXPECT_EQ(
        DecodePage("\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", QStringLiteral("UTF8")),
        u"Привет");
    EXPECT_EQ(DecodePage("\xf0\x9f\x98\x80", QStringLiteral("UTF8")), u"\U0001F600");
    // Malformed sequences: a lone continuation byte, a truncated sequence,
    // an overlong form and a byte that never occurs.
    for (const char *bad : {"a\x80z", "a\xd0z", "a\xc0\xafz", "a\xffz"}) {
        const QString s = DecodePage(bad, QStringLiteral("UTF8"));
        EXPECT_TRUE(s.startsWith(u'a') && s.endsWith(u'z') && s.contains(QChar(0xFFFD))) << bad;
        EXPECT_FALSE(s.contains(u'/')) << bad;
    }
    // Any other charset name is UTF-8 too.
    EXPECT_EQ(DecodePage("\xc3\xa9", QStringLiteral("KOI8-R")), u"é");
}

namespace {

struct ExtractCase {
    const char *html; // UTF-8
    const char *text;
};

} // namespace

TEST(ExtractSignificantText, Paragraphs) {
    const ExtractCase cases[] = {
        {"<p>one two three four</p>", ""},
        {"<p>one two three four five</p>", "one two three four five"},
        {"<p>one two three four five</p><p>six seven eight nine ten</p>",
         "one two three four five\r\nsix seven eight nine ten"},
        // A line break tag starts a new line, which is filtered on its own.
        {"<p>one two three four five<br>six</p>", "one two three four five"},
        {"<p>one two<br/>three four five six seven</p>", "three four five six seven"},
        // Pieces are joined with spaces, runs of spaces become one.
        {"<p>wo<b>rd</b> a b c d</p>", "wo rd a b c d"},
        {"<li>one&nbsp;two&nbsp;&nbsp;three four five</li>", "one two three four five"},
        // Word separators; "..." is no word, the full stop separates nothing.
        {"<p>one-two/three(four)five</p>", "one-two/three(four)five"},
        {"<p>one two three four ...</p>", ""},
        {"<p>a - b - c - d</p>", ""},
        {"<p>one.two.three four five six</p>", ""},
        // Text outside the elements is dropped; so are short lines inside.
        {"<p>a b c d e</p>x y z w v u<p>f g h i j</p>", "a b c d e\r\nf g h i j"},
        {"<pre>one two three\nfour five six seven eight</pre>", "four five six seven eight"},
        {"<pre>  one   two three four five  </pre>", "one two three four five"},
    };
    for (const ExtractCase &c : cases) {
        const TExtractResult r = ExtractSignificantText(c.html);
        EXPECT_EQ(r.Code, 0);
        EXPECT_EQ(r.Text, QString::fromUtf8(c.text)) << c.html;
        EXPECT_EQ(r.Lang, u"RU");
    }
}

TEST(ExtractSignificantText, HeadingsAndSeparators) {
    const ExtractCase cases[] = {
        {"<h1>Word</h1>", "Word"},
        {"<h1>Title</h1><p>one two three four five</p><h2>Next</h2>",
         "Title\r\none two three four five\r\nNext"},
        {"<h2>Note .</h2>", "Note."},
        {"<h3>Why ? Yes !</h3>", "Why? Yes!"},
        // Step 1 and step 4 of the text rule each add a space.
        {"<h1>wo<b>rd</b></h1>", "wo  rd"},
        // Replace-all in one pass: two spaces before a full stop leave one.
        {"<h1>a<b> .</b></h1>", "a ."},
        {"<h1>  </h1><h1>x</h1>", "x"},
        {"<h1>a<br>b</h1>", "a\r\nb"},
        // <hr> starts collecting until the next end tag; <hr/> ends it.
        {"<hr>one two three four five six</p>", "one two three four five six"},
        {"<hr/>one two three four five six</p>", ""},
        {"<p/>one two three four five six</p>", ""},
        // An unclosed last element is appended raw, with what stands before it.
        {"<p>one two", " one two"},
        {"<h1>Title</h1><p>one two", "Title\r\none two"},
        {"<p>a b c d e</p><p>tail", "a b c d e\r\ntail"},
        // Text only in div, td or span leaves the blanks of step 1.
        {"<div>one two three four five six</div>", ""},
        {"<div>one</div><div>two</div><span>three</span>", "  "},
        {"<table><tr><td>a b c d e f</td><td>g</td></tr></table>", " "},
        // Script contents are never text.
        {"<p>one two three <script>if (a<b) x='</p>';</script>four five</p>",
         "one two three four five"},
        // Blank pieces go into the buffer only after text, inside.
        {"<p>one<b>\xc2\xa0</b>two three four five</p>", "one two three four five"},
    };
    for (const ExtractCase &c : cases)
        EXPECT_EQ(ExtractSignificantText(c.html).Text, QString::fromUtf8(c.text)) << c.html;
}

TEST(ExtractSignificantText, CharsetsAndLanguage) {
    // "Привет мир это пятое слово" in Windows-1251.
    const QByteArray cyr = "\xcf\xf0\xe8\xe2\xe5\xf2 \xec\xe8\xf0 \xfd\xf2\xee "
                           "\xef\xff\xf2\xee\xe5 \xf1\xeb\xee\xe2\xee";
    const QString expected = QStringLiteral("Привет мир это пятое слово");
    const QByteArray declared = "<html><head><meta http-equiv=\"Content-Type\" "
                                "content=\"text/html; charset=windows-1251\"></head><body><p>" +
                                cyr + "</p>";
    EXPECT_EQ(ExtractSignificantText(declared).Text, expected);
    const TExtractResult html5 =
        ExtractSignificantText("<meta charset=\"windows-1251\"><p>" + cyr + "</p>");
    EXPECT_EQ(html5.Text.count(QChar(0xFFFD)), expected.size() - 4);
    EXPECT_EQ(ExtractSignificantText("<p>" + expected.toUtf8() + "</p>").Text, expected);
    const TExtractResult ua = ExtractSignificantText(
        "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\"><h1>x</h1>");
    EXPECT_EQ(ua.Lang, u"IE=EDGE");
    EXPECT_EQ(ua.Text, u"x");
}

TEST(ExtractSignificantText, LinearOnDegenerateInput) {
    // These finish quickly (the test's time-out is the guard) and yield no text.
    const qsizetype mb = 1 << 20;
    const QByteArray inputs[] = {
        QByteArray(mb, '<'),
        QByteArray(mb, '&'),
        "<p>" + QByteArray(mb / 2, '&') + "</p>",
        "<p><!--" + QByteArray(mb, '-'),
        "<p><!--" + QByteArray(mb, 'x'),
        QByteArray("<p>").repeated(mb / 3),
        "<script>" + QByteArray("</scrip <").repeated(mb / 9),
        "<p title=\"" + QByteArray(mb, '>'),
        "<p " + QByteArray("a=").repeated(mb / 2),
        QByteArray("&#").repeated(mb / 2),
        QByteArray("&amp").repeated(mb / 4),
        QByteArray("</").repeated(mb / 2),
        QByteArray("<!").repeated(mb / 2),
        "<![CDATA[" + QByteArray(mb, ']'),
        // One paragraph or heading of many pieces, never closed or closed.
        "<p>" + QByteArray("a<b>b</b> ").repeated(mb / 10),
        "<h1>" + QByteArray("a<b>b</b> ").repeated(mb / 10) + "</h1>",
        "<pre>" + QByteArray("a b c d e f\n").repeated(mb / 12) + "</pre>",
    };
    for (const QByteArray &in : inputs) {
        const TExtractResult r = ExtractSignificantText(in);
        EXPECT_EQ(r.Code, 0);
        EXPECT_LE(r.Text.size(), 2 * in.size());
    }
    // A page of 1 MB of paragraphs of five words each is taken whole.
    const QByteArray para = "<p>one two three four five</p>";
    const TExtractResult r = ExtractSignificantText(para.repeated(mb / para.size()));
    EXPECT_EQ(r.Text.count(u'\n'), mb / para.size() - 1);
}

namespace {

// A literal transcription of the extraction rules with plain QString
// operations, to check the bulk-copying implementation against.
QString trimLow(const QString &S) {
    qsizetype b = 0, e = S.size();
    while (b < e && S[b].unicode() <= 0x20) ++b;
    while (e > b && S[e - 1].unicode() <= 0x20) --e;
    return S.mid(b, e - b);
}

int referenceWords(const QString &Line) {
    QString s = Line;
    for (QChar c : QStringLiteral(",:;&~@$^*+|/\\()[]{}-")) s.replace(c, u' ');
    int n = 0;
    for (const QString &part : s.split(u' '))
        if (!part.isEmpty() && part != u"..." && part != u"/") ++n;
    return n;
}

QString referenceExtract(const QByteArray &Page) {
    THtmlTokenizer tok;
    tok.setInput(QString::fromUtf8(Page));
    tok.setReportedTags({htBr, htHr}, {htH1, htH2, htH3, htH4, htH5, htH6, htP, htPre, htLi});
    QString output, buffer;
    int sep = 0;
    bool inside = false;
    auto add = [&](const QString &line) {
        if (!output.isEmpty()) output += QStringLiteral("\r\n");
        output += line;
    };
    while (tok.ParseNextPiece()) {
        if (tok.pieceType() == ptHtmlTag) {
            const bool start = tok.tagType() == ttStartTag;
            if (tok.tag() == htBr) {
                if (sep == 1 || sep == 2) sep = 3;
                continue;
            }
            const bool heading = tok.tag() >= htH1 && tok.tag() <= htH6;
            if (sep >= 1 && sep <= 3) sep = heading ? 5 : 4;
            inside = start;
            if (start) continue;
            if (heading) {
                if (!trimLow(buffer).isEmpty()) add(trimLow(buffer));
                buffer.clear();
                continue;
            }
            QString text = trimLow(buffer);
            if (text.isEmpty()) continue;
            text.replace(QChar(0xA0), u' ');
            while (text.contains(QStringLiteral("  ")))
                text.replace(QStringLiteral("  "), QStringLiteral(" "));
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
            for (const QString &line : text.split(u'\n'))
                if (referenceWords(trimLow(line)) >= 5) add(trimLow(line));
            buffer.clear();
            continue;
        }
        const QString piece = tok.text().toString();
        bool blank = true;
        for (QChar c : piece) blank = blank && (c.unicode() <= 0x20 || c.unicode() == 0xA0);
        if (blank) {
            if (sep == 1 && inside) buffer += piece;
            continue;
        }
        bool due = false;
        if (sep == 1 || sep == 2)
            buffer += u' ';
        else if (sep >= 3)
            due = true;
        const QString text = tok.isPreformatted() ? piece : trimLow(piece);
        sep = tok.isPreformatted() || piece.back().unicode() > 0x20 ? 1 : 2;
        if (!text.isEmpty() && inside)
            buffer += (due ? QStringLiteral("\r\n") : QStringLiteral(" ")) + text;
    }
    output += buffer;
    return output.replace(QStringLiteral(" ."), QStringLiteral("."))
        .replace(QStringLiteral(" !"), QStringLiteral("!"))
        .replace(QStringLiteral(" ?"), QStringLiteral("?"));
}

} // namespace

TEST(ExtractSignificantText, AgreesWithTheRulesOnRandomPages) {
    static const char *const pieces[] = {
        "<p>",    "</p>",  "<li>",  "</li>", "<pre>", "</pre>", "<h1>", "</h1>", "<h3>",
        "</h3>",  "<br>",  "<br/>", "<hr>",  "<hr/>", "<b>",    "</b>", "<div>", "</div>",
        "word",   "abc",   "x",     "...",   "-",     "/",      ".",    "!",     "?",
        " ",      " ",     " ",     "  ",    "\t",    "\n",     "\r\n", "\r",    "\xc2\xa0",
        "&nbsp;", "&#32;", "&#10;", "&amp;", " .",    " !",     " ?",   "a,b",
    };
    std::uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int round = 0; round < 3000; ++round) {
        QByteArray page;
        const int n = 1 + int(next() % 80);
        for (int i = 0; i < n; ++i) page += pieces[next() % std::size(pieces)];
        ASSERT_EQ(ExtractSignificantText(page).Text, referenceExtract(page)) << page.constData();
    }
}

TEST(HtmlTokenizerFolding, AgreesWithPlainFoldingOnRandomText) {
    static const char16_t alphabet[] = u"ab  \t\n\r\u00a0.!?\u0001\u0430";
    std::uint32_t seed = 777;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int round = 0; round < 5000; ++round) {
        QString text;
        const int n = 1 + int(next() % 40);
        for (int i = 0; i < n; ++i) text += QChar(alphabet[next() % (std::size(alphabet) - 1)]);
        QString folded;
        for (QChar c : text) {
            if (c.unicode() > 0x20)
                folded += c;
            else if (!folded.endsWith(u' '))
                folded += u' ';
        }
        THtmlTokenizer tok;
        tok.setInput(text);
        ASSERT_TRUE(tok.ParseNextPiece());
        ASSERT_EQ(tok.text().toString(), folded) << text.toStdString();
    }
}
