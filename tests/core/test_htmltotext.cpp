#include <gtest/gtest.h>

#include "core/htmltotext.h"
#include "qstring_print.h"

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
         "<META http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">", "WINDOWS-1251", "RU"},
        {"cp1251 lower case", "<meta http-equiv=\"content-type\" content=\"text/html; charset=cp1251\">",
         "WINDOWS-1251", "RU"},
        {"1252", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-1252\">", "WINDOWS-1252",
         "RU"},
        {"cp1252", "<meta http-equiv=\"Content-Type\" content=\"text/html;charset=CP1252\">", "WINDOWS-1252", "RU"},
        {"html5 charset attribute", "<meta charset=\"windows-1251\">", "UTF8", "RU"},
        {"other charset", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\">", "UTF8", "RU"},
        {"single quotes", "<meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>", "UTF8",
         "RU"},
        {"single-quoted content", "<meta http-equiv=\"Content-Type\" content='text/html; charset=windows-1251'>",
         "UTF8", "RU"},
        {"parameters after the value", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251; x\">",
         "UTF8", "RU"},
        {"no quote within 20 bytes",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251xxxxxxxxxxx\">", "UTF8", "RU"},
        {"space before the quote", "<meta http-equiv = \"Content-Type\" content=\"charset=windows-1251\">", "UTF8",
         "RU"},
        {"language hint", "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">", "UTF8", "IE=EDGE"},
        {"language hint of at most 20 bytes", "<meta http-equiv=\"Content-Language\" content=\"en-us, abcdefghijklmnop\">",
         "UTF8", "RU"},
        {"later meta overrides",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
         "<meta http-equiv=\"Content-Language\" content=\"en\">",
         "WINDOWS-1252", "EN"},
        {"beyond the first 1024 bytes",
         filler + "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">", "UTF8", "RU"},
        {"tag without its end", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"",
         "UTF8", "RU"},
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
    EXPECT_EQ(DecodePage("\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", QStringLiteral("UTF8")), u"Привет");
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
