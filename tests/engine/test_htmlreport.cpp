// The HTML report as a file: escaping, the link rule, the groups to fix and
// the shared text of a pair cut at its limit. How it behaves in a browser is
// tested in tests/cli/test_cli_html.cpp.
#include <string_view>

#include <QRegularExpression>

#include <gtest/gtest.h>

#include "engine/htmlreport.h"
#include "engine/siteanalysis.h"
#include "engine/sitefixture.h"
#include "engine/uniqueness.h"

using namespace corvane;
using namespace corvane::test;

namespace {

TEST(HtmlReport, EscapingAndLinks) {
    using namespace std::string_view_literals;
    const struct {
        std::u16string_view Text;
        std::u16string_view Escaped;
    } escapes[] = {
        {u"<script>alert(1)</script>", u"&lt;script&gt;alert(1)&lt;/script&gt;"},
        {u"a\"onmouseover='x'&b", u"a&quot;onmouseover=&#39;x&#39;&amp;b"},
        {u"</textarea>", u"&lt;/textarea&gt;"},
        // Control characters HTML does not allow; tab and line breaks stay.
        {u"a\u0000b\u0007c\u0085d\te\nf"sv, u"a\uFFFDb\uFFFDc\uFFFDd\te\nf"sv},
    };
    for (const auto &c : escapes)
        EXPECT_EQ(HtmlEscaped(QStringView(c.Text.data(), qsizetype(c.Text.size()))),
                  QStringView(c.Escaped.data(), qsizetype(c.Escaped.size())).toString());

    const struct {
        const char *URL;
        bool Link;
    } links[] = {
        {"https://shop.example/a?b=1&c=2", true},
        {"HTTP://shop.example/", true},
        {"javascript:alert(1)", false},
        {" javascript:alert(1)", false},
        {"JavaScript://shop.example/%0aalert(1)", false},
        {"data:text/html,<script>alert(1)</script>", false},
        {"file:///etc/passwd", false},
        {"http://", false},
        {"shop.example/page", false},
    };
    for (const auto &c : links) EXPECT_EQ(IsReportLink(QString::fromUtf8(c.URL)), c.Link) << c.URL;
}

QString sentence(int i) {
    return QStringLiteral(
               "the quiet harbour number %1 keeps its wooden boats safe all winter long ")
        .arg(i);
}

TEST(HtmlReport, GroupsToFixAndSharedTextCut) {
    ListGuard g;
    QString common;
    for (int i = 0; i < 40; ++i) common += sentence(i); // far more than a pair's limit
    addPage(g.list, common + QStringLiteral("first ending"));
    addPage(g.list, common + QStringLiteral("second ending"));
    addPage(g.list, QStringLiteral("a page of its own about harbours and nothing else"));
    addPage(g.list, {}, trHTTPError);
    ComputeUniqueness(g.list);
    TSiteAnalysis analysis;
    analysis.Begin(g.list);
    TAnalysisSettings settings;
    settings.ShingleLength = N;
    settings.SkipStopWords = false;
    ASSERT_TRUE(analysis.Apply(g.list, settings));
    ASSERT_EQ(analysis.Groups().Groups.size(), 1u);

    THtmlReport report;
    report.List = &g.list;
    report.Rows = {g.list[3], g.list[2], g.list[1], g.list[0]};
    report.Analysis = &analysis;
    const QString html = QString::fromUtf8(HtmlReportBytes(report));

    // The group, unhandled, with its representative and its other member.
    const QString fix = html.section(QStringLiteral("<section id=\"fix\">"), 1)
                            .section(QStringLiteral("</section>"), 0, 0);
    EXPECT_TRUE(fix.contains(QStringLiteral("<div class=\"group\" id=\"g1\">")));
    EXPECT_TRUE(fix.contains(QStringLiteral("https://shop.example/p1")));
    EXPECT_TRUE(fix.contains(QStringLiteral("https://shop.example/p2")));
    EXPECT_FALSE(fix.contains(QStringLiteral("https://shop.example/p3")));

    // The table keeps the order given; a failed page is marked as such.
    const QString table = html.section(QStringLiteral("<table id=\"list\">"), 1)
                              .section(QStringLiteral("</table>"), 0, 0);
    const QRegularExpression rowNum(QStringLiteral("<tr[^>]*><td>(\\d+)<td>"));
    QStringList order;
    for (const auto &m : rowNum.globalMatch(table)) order << m.captured(1);
    EXPECT_EQ(order, (QStringList{"4", "3", "2", "1"}));
    EXPECT_TRUE(table.contains(QStringLiteral("<tr class=\"f\" data-g=\"f\"><td>4<td>")));

    // Each member shows what it shares with the other, marked and cut.
    const QString details = html.section(QStringLiteral("<section id=\"details\">"), 1);
    EXPECT_EQ(details.count(QStringLiteral("<div class=\"shared\">")), 2);
    EXPECT_EQ(details.count(QStringLiteral("Текст сокращен: показаны первые 600 знаков")), 2);
    const QString firstShared = details.section(QStringLiteral("<div class=\"shared\">"), 1)
                                    .section(QStringLiteral("</div>"), 0, 0);
    QString marked;
    for (const auto &m :
         QRegularExpression(QStringLiteral("<mark>([^<]*)</mark>")).globalMatch(firstShared))
        marked += m.captured(1);
    EXPECT_EQ(marked.size(), HtmlPairTextLimit);
    EXPECT_TRUE(common.startsWith(marked));

    // Without the analysis (or after the list changed) there are no groups.
    report.Analysis = nullptr;
    const QString plain = QString::fromUtf8(HtmlReportBytes(report));
    EXPECT_TRUE(plain.contains(QStringLiteral("Необработанных групп дубликатов нет.")));
    EXPECT_FALSE(plain.contains(QStringLiteral("<div class=\"shared\">")));
}

} // namespace
