#include <map>

#include <gtest/gtest.h>

#include "common/sitecorpus.h"
#include "core/shinglespans.h"
#include "engine/sitefixture.h"
#include "engine/sitetemplate.h"
#include "engine/uniqueness.h"

using namespace corvane;
using namespace corvane::test;

namespace {

const QString Boiler = QStringLiteral("Home Products Services About us Contact Delivery and "
                                      "payment Sign in Cart is empty Search the catalogue");
const QString Section =
    QStringLiteral("Spring sale twenty percent off every garden tool until the end of May");
const QString Own[] = {
    QStringLiteral("Oak garden bench made by hand from solid timber"),
    QStringLiteral("Cast iron kettle for open fires and old stoves"),
    QStringLiteral("Copper watering can with a long brass spout"),
    QStringLiteral("Woven willow basket lined with linen for picnics"),
    QStringLiteral("Stone bird bath carved from a single granite block"),
    QStringLiteral("Lavender seeds harvested from our own fields last summer"),
};
const QString Br = QStringLiteral("\r\n");

// Pages 1-5 carry the boilerplate; 1-3 also the section (3 at its very end,
// where its last word is in no shingle); 6 is the boilerplate alone; 7 and 8
// are too short for a shingle; 9 failed; 10 is page 4's own text alone.
void addSite(TURLTaskInfoList &list) {
    addPage(list, Boiler + Br + Own[0] + Br + Section + Br + Own[5]);
    addPage(list, Boiler + Br + Own[1] + Br + Section + Br + Own[5]);
    addPage(list, Boiler + Br + Own[2] + Br + Section);
    addPage(list, Boiler + Br + Own[3]);
    addPage(list, Boiler + Br + Own[4]);
    addPage(list, Boiler);
    addPage(list, QStringLiteral("Just two"));
    addPage(list, QStringLiteral("Only three words"));
    addPage(list, {}, trHTTPError);
    addPage(list, Own[3] + QStringLiteral(" and more"));
}

} // namespace

TEST(SiteTemplate, TemplateHashesAndShares) {
    ListGuard g;
    addSite(g.list);
    EXPECT_EQ(FindSiteTemplate(g.list).ContentPages, 7); // pages 1-6 and 10

    for (const int percent : {1, 10, 40, 43, 50, 58, 71, 72, 86, 100}) {
        SCOPED_TRACE(testing::Message() << "T=" << percent);
        const TSiteTemplate t = FindSiteTemplate(g.list, percent);
        const std::set<std::int64_t> want = referenceTemplate(g.list, percent);
        EXPECT_EQ(std::set<std::int64_t>(t.Hashes.begin(), t.Hashes.end()), want);
        EXPECT_TRUE(std::is_sorted(t.Hashes.begin(), t.Hashes.end(), std::greater<>()));
        std::int32_t richest = -1, most = 0;
        for (std::int32_t i = 0; i < std::int32_t(g.list.size()); ++i) {
            int count = 0, size = 0;
            if (g.list[i]->TaskResults->TaskResult == trOk)
                for (const std::int64_t h : setOf(g.list[i])) {
                    ++size;
                    count += want.count(h) > 0;
                }
            EXPECT_EQ(t.TemplateHashes[std::size_t(i)], count) << "page " << i + 1;
            EXPECT_EQ(t.Share[std::size_t(i)], size ? 100.0 * count / size : 0) << "page " << i + 1;
            if (count > most) {
                most = count;
                richest = i;
            }
        }
        EXPECT_EQ(t.RichestPage, richest);
    }
    // By hand: at 50 % a hash needs 4 of the 7 pages: the boilerplate's
    // shingles (15 of them) are the template, the section's (on 3 pages) are
    // not; at 40 % 3 pages will do.
    const TSiteTemplate at50 = FindSiteTemplate(g.list, 50);
    EXPECT_EQ(at50.MinPages, 4);
    EXPECT_EQ(at50.Hashes.size(), 15u);
    EXPECT_EQ(at50.TemplateHashes[3], 15);
    EXPECT_EQ(at50.Share[5], 100); // the boilerplate alone
    EXPECT_EQ(FindSiteTemplate(g.list, 40).MinPages, 3);
    // However few the pages, three at least.
    ListGuard two;
    addPage(two.list, Boiler);
    addPage(two.list, Boiler);
    EXPECT_EQ(FindSiteTemplate(two.list, 50).MinPages, 3);
    EXPECT_TRUE(FindSiteTemplate(two.list, 50).Hashes.empty());
}

namespace {

// Every similarity and uniqueness of the result against the sets less the
// template, measured pair by pair; pages left with nothing drop out.
void expectTemplateFree(const TURLTaskInfoList &list, const TSiteTemplate &t,
                        const TTemplateFreeUniqueness &u) {
    const std::set<std::int64_t> tpl(t.Hashes.begin(), t.Hashes.end());
    const std::int32_t n = std::int32_t(list.size());
    std::vector<std::set<std::int64_t>> sets(static_cast<std::size_t>(n));
    std::vector<bool> hasSet(static_cast<std::size_t>(n), false);
    std::vector<std::int32_t> emptied;
    for (std::int32_t i = 0; i < n; ++i) {
        if (list[i]->TaskResults->TaskResult != trOk) continue;
        const std::set<std::int64_t> all = setOf(list[i]);
        for (const std::int64_t h : all)
            if (!tpl.count(h)) sets[std::size_t(i)].insert(h);
        hasSet[std::size_t(i)] = !sets[std::size_t(i)].empty() || all.empty();
        if (!all.empty() && sets[std::size_t(i)].empty()) emptied.push_back(i);
    }
    EXPECT_EQ(u.Emptied, emptied);
    for (std::int32_t i = 0; i < n; ++i) {
        const TURLTaskResults &r = *list[i]->TaskResults;
        if (r.ExtractedText.isEmpty()) {
            EXPECT_EQ(u.Uniqueness[std::size_t(i)], 0) << "page " << i + 1;
            continue;
        }
        double best = 0;
        const std::vector<TURLSimilRec> row = u.SimilArrays[std::size_t(i)].ToVector();
        ASSERT_EQ(row.size(), std::size_t(n));
        for (std::int32_t j = 0; j < n; ++j) {
            if (j == i) continue;
            const double s = hasSet[std::size_t(i)] && hasSet[std::size_t(j)]
                                 ? dice(sets[std::size_t(i)], sets[std::size_t(j)])
                                 : 0;
            ASSERT_EQ(row[std::size_t(j)].Num, j + 1);
            ASSERT_EQ(row[std::size_t(j)].Similarity, s) << "pages " << i + 1 << ", " << j + 1;
            best = std::max(best, s);
        }
        EXPECT_EQ(u.Uniqueness[std::size_t(i)], 100 - best) << "page " << i + 1;
    }
}

// Whether the result can come from the matrix of the end-of-check step.
bool fromMatrix(const TURLTaskInfoList &list, const TSiteTemplate &t) {
    std::vector<bool> content;
    for (const TURLTaskInfo *p : list)
        content.push_back(p->TaskResults->TaskResult == trOk &&
                          p->TaskResults->HashTable->Count() > 0);
    TFilteredUniqueness ignored;
    return ComputeUniquenessWithout(list, content, t.MinPages, ignored);
}

} // namespace

TEST(SiteTemplate, UniquenessWithoutTheTemplate) {
    // Before the end-of-check step (the step on filtered copies), after it
    // (derived from its matrix), and after the list changed (copies again).
    ListGuard g;
    addSite(g.list);
    for (const char *phase : {"before the step", "after the step", "list changed"}) {
        if (phase[0] == 'a') ComputeUniqueness(g.list);
        if (phase[0] == 'l') addPage(g.list, Own[2] + QStringLiteral(" once more"));
        for (const int percent : {40, 50, 100}) {
            SCOPED_TRACE(testing::Message() << phase << ", T=" << percent);
            const TSiteTemplate t = FindSiteTemplate(g.list, percent);
            EXPECT_EQ(fromMatrix(g.list, t), phase[0] == 'a');
            expectTemplateFree(g.list, t, ComputeTemplateFreeUniqueness(g.list, t));
        }
    }
    // By hand, at 50 %: the boilerplate alone is emptied (uniqueness 100).
    const TSiteTemplate t = FindSiteTemplate(g.list, 50);
    const TTemplateFreeUniqueness u = ComputeTemplateFreeUniqueness(g.list, t);
    EXPECT_EQ(u.Emptied, std::vector<std::int32_t>{5});
    EXPECT_EQ(u.Uniqueness[5], 100);
    EXPECT_EQ(u.Uniqueness[6], 0); // two texts too short for a shingle: alike, as always
    EXPECT_EQ(u.Uniqueness[8], 0); // failed: no text, uniqueness 0 as always
    // The list itself is untouched.
    EXPECT_EQ(g.list[5]->TaskResults->HashTable->Count(), 14);
}

TEST(SiteTemplate, UniquenessWithoutTheTemplateOfALargerSite) {
    // 300 generated pages: site-wide boilerplate (part of it missing on a few
    // pages), section blocks, near-duplicate pairs. At 100 % the boilerplate
    // the few pages lack stays, in a group large enough for the vector path.
    TSiteCorpusShape shape;
    shape.Pages = 300;
    shape.HashesPerPage = 200;
    shape.Boilerplate = 40;
    shape.Sections = 6;
    shape.HashesPerBlock = 8;
    ListGuard g;
    MakeSiteCorpus(g.list, shape);
    ComputeUniqueness(g.list);
    for (const int percent : {5, 50, 99, 100}) {
        SCOPED_TRACE(testing::Message() << "T=" << percent);
        const TSiteTemplate t = FindSiteTemplate(g.list, percent);
        ASSERT_FALSE(t.Hashes.empty());
        ASSERT_TRUE(fromMatrix(g.list, t));
        expectTemplateFree(g.list, t, ComputeTemplateFreeUniqueness(g.list, t));
    }
}

TEST(SiteTemplate, TheTemplateAsText) {
    ListGuard g;
    addSite(g.list);
    // At 50 % the template is the boilerplate; pages 1-5 hold all of it,
    // page 1 has the lowest number.
    const TTemplateText at50 = TemplatePassages(g.list, FindSiteTemplate(g.list, 50), N, false);
    EXPECT_EQ(at50.Page, 0);
    ASSERT_EQ(at50.Passages.size(), 1u);
    EXPECT_EQ(at50.Passages[0].FirstWord, 0);
    EXPECT_EQ(at50.Passages[0].WordCount, 17);
    EXPECT_EQ(at50.Passages[0].Text, Boiler);
    // At 40 % the section joins it, less its last word (page 3 ends with it,
    // so "end of May" is on two pages only).
    const TTemplateText at40 = TemplatePassages(g.list, FindSiteTemplate(g.list, 40), N, false);
    EXPECT_EQ(at40.Page, 0);
    ASSERT_EQ(at40.Passages.size(), 2u);
    EXPECT_EQ(at40.Passages[0].Text, Boiler);
    const std::int32_t sectionStart = 17 + CountShingleWords(Own[0]);
    EXPECT_EQ(at40.Passages[1].FirstWord, sectionStart);
    EXPECT_EQ(at40.Passages[1].WordCount, 12);
    EXPECT_EQ(at40.Passages[1].Text, Section.left(Section.lastIndexOf(u' ')));
    // No template, no page.
    ListGuard none;
    addPage(none.list, Own[0]);
    EXPECT_EQ(TemplatePassages(none.list, FindSiteTemplate(none.list, 50), N, false).Page, -1);
}
