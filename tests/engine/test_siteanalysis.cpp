// The site analysis of a real check: a loopback site with a template on every
// page, two groups of duplicates (one handled by canonical links and noindex,
// one not) and unique pages; every value is measured here again from the
// pages' shingle sets and the definitions.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/qstring_print.h"
#include "engine/loopbackcheck.h"
#include "engine/runcontroller.h"
#include "engine/sitefixture.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// Words "<stem>0 <stem>1 ...", the word at Changed (if any) replaced.
std::string prose(const char *stem, int count, int changed = -1) {
    std::string s;
    for (int k = 0; k < count; ++k) {
        if (k) s += ' ';
        s += k == changed ? "other" + std::to_string(k) : stem + std::to_string(k);
    }
    return s;
}

struct LogLines : TRunObserver {
    QStringList lines;
    void LogLine(const QString &Text, TDateTime) override { lines << Text; }
};

void settle(int ms = 50) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The template-free uniqueness of every checked page, from the definitions:
// 100 less the highest Dice coefficient of its set without the template with
// another checked page's; 100 for a page left with no hash.
std::vector<double> referenceFreeUniqueness(const TURLTaskInfoList &list,
                                            const std::set<std::int64_t> &tmpl) {
    std::vector<std::set<std::int64_t>> sets(std::size_t(list.size()));
    std::vector<bool> checked(std::size_t(list.size()), false);
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i]->TaskResults->TaskResult != trOk) continue;
        checked[std::size_t(i)] = true;
        for (const std::int64_t h : setOf(list[i]))
            if (!tmpl.count(h)) sets[std::size_t(i)].insert(h);
    }
    std::vector<double> out(std::size_t(list.size()), -1);
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (!checked[i]) continue;
        if (sets[i].empty()) {
            out[i] = 100;
            continue;
        }
        double highest = 0;
        for (std::size_t j = 0; j < sets.size(); ++j)
            if (j != i && checked[j]) highest = std::max(highest, dice(sets[i], sets[j]));
        out[i] = 100 - highest;
    }
    return out;
}

TEST(SiteAnalysis, LoopbackSiteAgainstTheDefinitions) {
    const std::string tmpl = prose("menu", 40);
    TTestServer site;
    auto page = [&](const char *path, const std::string &body, const std::string &head = {}) {
        site->Get(path, [=](const httplib::Request &, httplib::Response &res) {
            std::string html = "<html><head>" + head + "</head><body><p>" + tmpl + "</p>";
            if (!body.empty()) html += "<p>" + body + "</p>";
            res.set_content(html + "</body></html>", "text/html");
        });
    };
    page("/u1", prose("first", 100));
    page("/a1", prose("alpha", 100));
    page("/b1", prose("beta", 100));
    page("/a2", prose("alpha", 100), "<link rel=\"canonical\" href=\"/a1#top\">");
    page("/u2", prose("second", 100));
    page("/a3", prose("alpha", 100, 50), "<meta name=\"robots\" content=\"noindex\">");
    page("/b2", prose("beta", 100));
    page("/t", "");
    page("/u3", prose("third", 100));
    site.Start();

    TOwnedTaskList list;
    addPaths(list, site, {"/u1", "/a1", "/b1", "/a2", "/u2", "/a3", "/b2", "/t", "/gone", "/u3"});
    LogLines log;
    TRunController c(list, &log);
    ASSERT_TRUE(checkToEnd(c));
    ASSERT_EQ(list[8]->TaskResults->TaskResult, trHTTPError);

    // The template is the menu on every page, nothing else.
    const std::set<std::int64_t> tmplHashes = referenceTemplate(list, DefaultTemplatePercent);
    ASSERT_FALSE(tmplHashes.empty());
    for (const std::int64_t h : setOf(list[7]))
        EXPECT_TRUE(tmplHashes.count(h)) << "the page with nothing but the menu";
    std::vector<double> baseUniqueness;
    for (qsizetype i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(list[i]->URL.toStdString());
        const TURLTaskResults &r = *list[i]->TaskResults;
        baseUniqueness.push_back(r.Uniqueness);
        if (r.TaskResult != trOk) {
            EXPECT_EQ(r.TemplateShare, -1);
            EXPECT_EQ(r.Group, 0);
            continue;
        }
        const std::set<std::int64_t> own = setOf(list[i]);
        std::size_t inTemplate = 0;
        for (const std::int64_t h : own) inTemplate += tmplHashes.count(h);
        EXPECT_DOUBLE_EQ(r.TemplateShare, double(inTemplate) / double(own.size()) * 100);
        const QString text = r.ExtractedText;
        EXPECT_EQ(
            r.Signals.WordCount,
            text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size());
        EXPECT_EQ(r.Signals.WordCount, i == 7 ? 40 : 140);
    }

    // Groups at each threshold and with the template left out, against the
    // reference; the pages' own fields follow the groups.
    auto expectGroups = [&](int threshold,
                            const std::set<std::int64_t> &leftOut) -> std::vector<RefGroup> {
        const std::vector<RefGroup> want = referenceGroups(list, threshold, leftOut);
        const TDuplicateGroups &got = c.Analysis().Groups();
        EXPECT_EQ(got.Groups.size(), want.size());
        if (got.Groups.size() != want.size()) return want;
        std::vector<std::int32_t> groupOf(std::size_t(list.size()), 0), repOf(groupOf);
        for (std::size_t g = 0; g < want.size(); ++g) {
            EXPECT_EQ(got.Groups[g].Members, want[g].members);
            EXPECT_EQ(got.Groups[g].Representative, want[g].representative);
            for (const std::int32_t m : want[g].members) {
                groupOf[std::size_t(m)] = std::int32_t(g + 1);
                repOf[std::size_t(m)] = list[want[g].representative]->Num;
            }
        }
        for (qsizetype i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i]->TaskResults->Group, groupOf[std::size_t(i)]) << i;
            EXPECT_EQ(list[i]->TaskResults->Representative, repOf[std::size_t(i)]) << i;
        }
        return want;
    };

    // 90 %: a1, a2 (canonical to a1) and a3 (noindex) — handled; b1 and b2 — not.
    std::vector<RefGroup> want = expectGroups(DefaultDuplicateThreshold, {});
    ASSERT_EQ(want.size(), 2u);
    EXPECT_EQ(want[0].members, (std::vector<std::int32_t>{1, 3, 5}));
    EXPECT_EQ(want[1].members, (std::vector<std::int32_t>{2, 6}));
    EXPECT_TRUE(list[3]->TaskResults->GroupHandled);
    EXPECT_FALSE(list[6]->TaskResults->GroupHandled);
    EXPECT_EQ(list[1]->TaskResults->Representative, 2);

    // 100 %: a3 leaves its group; two groups of two, by their lowest number.
    LogLines &lines = log;
    ASSERT_TRUE(c.Reanalyse({100, DefaultTemplatePercent, false}));
    want = expectGroups(100, {});
    ASSERT_EQ(want.size(), 2u);
    EXPECT_EQ(want[0].members, (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(list[5]->TaskResults->Group, 0);
    for (qsizetype i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i]->TaskResults->Uniqueness, baseUniqueness[std::size_t(i)]);

    // The template left out: uniqueness and groups on the sets without it;
    // the menu-only page is left with nothing and says so.
    lines.lines.clear();
    ASSERT_TRUE(c.Reanalyse({DefaultDuplicateThreshold, DefaultTemplatePercent, true}));
    settle();
    const std::vector<double> free = referenceFreeUniqueness(list, tmplHashes);
    for (qsizetype i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(list[i]->URL.toStdString());
        if (list[i]->TaskResults->TaskResult != trOk) continue;
        EXPECT_NEAR(list[i]->TaskResults->Uniqueness, free[std::size_t(i)], 1e-9);
    }
    EXPECT_EQ(list[7]->TaskResults->Uniqueness, 100);
    EXPECT_GT(list[0]->TaskResults->Uniqueness, baseUniqueness[0] + 20)
        << "the menu no longer counts";
    expectGroups(DefaultDuplicateThreshold, tmplHashes);
    EXPECT_TRUE(lines.lines.contains(QStringLiteral(
        "URL 8: без шаблона сайта на странице не осталось текста, уникальность 100")))
        << lines.lines.join(u'\n').toStdString();

    // And back: the check's own values, exactly.
    ASSERT_TRUE(c.Reanalyse({DefaultDuplicateThreshold, DefaultTemplatePercent, false}));
    for (qsizetype i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i]->TaskResults->Uniqueness, baseUniqueness[std::size_t(i)]);
}

} // namespace
