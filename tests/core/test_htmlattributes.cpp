// Tag attributes from the tokenizer: how they are cut out of a tag and how
// their values are decoded.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "core/htmltokenizer.h"
#include "core/qstring_print.h"

using namespace corvane;

namespace {

// The attributes of the first tag in Html: name=[decoded value] or a bare name.
QString attributesOfFirstTag(const QString &Html) {
    THtmlTokenizer tok;
    tok.setInput(Html);
    tok.setReportAllTags();
    while (tok.ParseNextPiece()) {
        if (tok.pieceType() != ptHtmlTag) continue;
        QStringList out;
        for (const THtmlAttribute &a : tok.attributes())
            out << (a.HasValue ? a.Name.toString() + QStringLiteral("=[") +
                                     THtmlTokenizer::decodeAttributeValue(a.Value) + u']'
                               : a.Name.toString());
        return out.join(u' ');
    }
    return QStringLiteral("(no tag)");
}

} // namespace

TEST(HtmlAttributes, CutFromTheTag) {
    const struct {
        const char16_t *html, *expected;
    } cases[] = {
        {u"<a href=\"x\" TITLE='y' checked data-x=z>", u"href=[x] TITLE=[y] checked data-x=[z]"},
        {u"<a href = \"a>b\" title='it\"s'>", u"href=[a>b] title=[it\"s]"},
        {u"<a title=\" a  b\n\">", u"title=[ a  b\n]"}, // whitespace kept
        {u"<a href=/dir/>x</a>", u"href=[/dir/]"},      // the "/" is the value's
        {u"<a href=\"/dir/\"/>", u"href=[/dir/]"},
        {u"<a/href=x>", u"href=[x]"},
        {u"<a href=1 href=2>", u"href=[1] href=[2]"},
        {u"<a href=>", u"href=[]"},
        {u"<a href=\"unterminated", u"href=[unterminated]"},
        {u"<a href", u"href"},
        {u"</a href=x>", u"href=[x]"}, // end tags may carry them too
        {u"<p>", u""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(attributesOfFirstTag(QString::fromUtf16(c.html)), QString::fromUtf16(c.expected))
            << QString::fromUtf16(c.html).toStdString();
}

TEST(HtmlAttributes, ValueDecoding) {
    const struct {
        const char16_t *raw, *expected;
    } cases[] = {
        {u"/a?x=1&amp;y=2", u"/a?x=1&y=2"},
        {u"&lt;&#38;&#x26;&AMP;&amp", u"<&&&&"},
        {u"&notin;&copy x&copy", u"\u2209\u00a9 x\u00a9"},
        // A name without ";" that "=" or a letter or digit follows stays.
        {u"?a=1&copy=2&para=3&region=eu&notify", u"?a=1&copy=2&para=3&region=eu&notify"},
        {u"?a=1&param=2&current=3", u"?a=1&param=2&current=3"},
        {u"&copy;=&amp;=", u"\u00a9=&="},
        // Numeric references follow the text rules; no whitespace folding.
        {u"&#150;&#129;&#97a &#x20;&#32", u"\u2013\ufffd&#97a   "},
        {u"a & b &; &#; &#x;", u"a & b &; &#; &#x;"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(THtmlTokenizer::decodeAttributeValue(QString::fromUtf16(c.raw)),
                  QString::fromUtf16(c.expected))
            << QString::fromUtf16(c.raw).toStdString();

    THtmlTokenizer tok;
    tok.setInput(QStringLiteral("<INPUT Disabled VALUE='a&amp;b'>"));
    tok.setReportAllTags();
    ASSERT_TRUE(tok.ParseNextPiece());
    EXPECT_EQ(tok.attribute(QLatin1StringView("value")), QStringLiteral("a&b"));
    EXPECT_FALSE(tok.attribute(QLatin1StringView("disabled")).isNull());
    EXPECT_TRUE(tok.attribute(QLatin1StringView("disabled")).isEmpty());
    EXPECT_TRUE(tok.attribute(QLatin1StringView("name")).isNull());
}

// Asking for attributes changes nothing of what the tokenizer reads next, and
// every piece that is not a tag has none.
TEST(HtmlAttributes, ReadingThemLeavesThePiecesAlone) {
    const QString html =
        QStringLiteral("<p a='x>y' b=\"</p>\">one<script k=v>if(a<b)</script>"
                       "<pre c=1>t  t</pre><br/ d=e>two &amp; <a href=/x/>three</a>");
    auto pieces = [&](bool ReadAttributes) {
        THtmlTokenizer tok;
        tok.setInput(html);
        tok.setReportAllTags();
        QStringList out;
        while (tok.ParseNextPiece()) {
            if (ReadAttributes) {
                (void)tok.attribute(QLatin1StringView("b"));
                if (tok.pieceType() != ptHtmlTag) {
                    EXPECT_TRUE(tok.attributes().empty());
                }
            }
            out << (tok.pieceType() == ptText
                        ? tok.text().toString()
                        : tok.tagName().toString() + QString::number(tok.tagType()));
        }
        return out;
    };
    EXPECT_EQ(pieces(true), pieces(false));
}

// The tests of the html5lib tokenizer suite that put a character reference
// into an attribute value. The tokenizer gives names as written; HTML5
// lower-cases them.
TEST(HtmlAttributes, Html5libReferencesInValues) {
    const QString dir = QStringLiteral(CORVANE_SHARED_DIR "/peer-tests/html5lib-tests/tokenizer/");
    if (!QFileInfo::exists(dir)) GTEST_SKIP() << "no html5lib tests in " << dir.toStdString();
    int compared = 0;
    for (const char *file : {"entities.test", "namedEntities.test", "numericEntities.test",
                             "test1.test", "test2.test", "test3.test", "test4.test"}) {
        QFile f(dir + QString::fromLatin1(file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << file;
        const QJsonArray tests =
            QJsonDocument::fromJson(f.readAll()).object().value(u"tests").toArray();
        for (qsizetype i = 0; i < tests.size(); ++i) {
            const QJsonObject t = tests[i].toObject();
            const QJsonArray states = t.value(u"initialStates").toArray();
            if (!states.isEmpty() && !(states.size() == 1 && states[0].toString() == u"Data state"))
                continue;
            const QString input = t.value(u"input").toString();
            if (!input.contains(u'&')) continue;
            std::vector<QJsonObject> expected;
            for (const QJsonValue o : t.value(u"output").toArray())
                if (o[0].toString() == u"StartTag" && !o[2].toObject().isEmpty())
                    expected.push_back(o[2].toObject());
            if (expected.empty()) continue;
            SCOPED_TRACE(std::string(file) + " #" + std::to_string(i) + ": " + input.toStdString());

            THtmlTokenizer tok;
            tok.setInput(input);
            tok.setReportAllTags();
            std::size_t tag = 0;
            while (tok.ParseNextPiece() && tag < expected.size()) {
                if (tok.pieceType() != ptHtmlTag || tok.tagType() == ttEndTag) continue;
                QJsonObject got;
                for (const THtmlAttribute &a : tok.attributes())
                    got.insert(a.Name.toString().toLower(),
                               THtmlTokenizer::decodeAttributeValue(a.Value));
                if (got.isEmpty()) continue;
                EXPECT_EQ(QJsonDocument(got).toJson(), QJsonDocument(expected[tag]).toJson());
                ++tag;
                ++compared;
            }
            EXPECT_EQ(tag, expected.size());
        }
    }
    EXPECT_GT(compared, 0);
}
