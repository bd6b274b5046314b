#include <functional>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "engine/duplicates.h"
#include "engine/sitefixture.h"
#include "engine/uniqueness.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// Words "<stem>0 <stem>1 ...", some of them replaced by words of their own.
QString prose(const char *stem, int count, std::initializer_list<int> changed = {}) {
    QStringList w;
    for (int k = 0; k < count; ++k) w << QStringLiteral("%1%2").arg(QLatin1StringView(stem)).arg(k);
    for (const int k : changed) w[k] = QStringLiteral("changed%1").arg(k);
    return w.join(u' ');
}

void expectGroups(const TURLTaskInfoList &list, const TDuplicateGroups &got, int p) {
    const std::vector<RefGroup> want = referenceGroups(list, p);
    ASSERT_EQ(got.Groups.size(), want.size()) << "P=" << p;
    std::vector<std::int32_t> groupOf(list.size(), 0);
    for (std::size_t g = 0; g < want.size(); ++g) {
        SCOPED_TRACE(testing::Message() << "P=" << p << " group " << g + 1);
        EXPECT_EQ(got.Groups[g].Number, std::int32_t(g + 1));
        EXPECT_EQ(got.Groups[g].Members, want[g].members);
        EXPECT_EQ(got.Groups[g].Representative, want[g].representative);
        EXPECT_EQ(got.Groups[g].RepresentativeSum, want[g].sum);
        for (const std::int32_t m : want[g].members) groupOf[std::size_t(m)] = std::int32_t(g + 1);
    }
    EXPECT_EQ(got.GroupOf, groupOf) << "P=" << p;
}

// Pages 1-4: one text and its variants (4 linked to 1 only through 3);
// 5-6: another text and a variant; 7: alone; 8: failed; 9-10: too short for
// a shingle, and 14 without text: no hash, alike at 100; 11-12: short sets,
// 57 % alike; 13: the first half of page 1 (63 %).
void addSite(TURLTaskInfoList &list) {
    addPage(list, prose("a", 40));
    addPage(list, prose("a", 40, {39})); // the last word is in no shingle: the same set
    addPage(list, prose("a", 40, {20}));
    addPage(list, prose("a", 40, {20, 21}));
    addPage(list, prose("b", 40));
    addPage(list, prose("b", 40, {5}));
    addPage(list, prose("c", 30));
    addPage(list, {}, trHTTPError);
    addPage(list, QStringLiteral("two words"));
    addPage(list, QStringLiteral("only three words"));
    addPage(list, prose("d", 10));
    addPage(list, prose("d", 10, {4}));
    addPage(list, prose("a", 20));
    addPage(list, QString());
}

} // namespace

TEST(DuplicateGroups, GroupsOfASmallSite) {
    ListGuard g;
    addSite(g.list);
    // At 90 %, worked out by hand: 37 shingles a page, a changed word
    // changes three of them, 34 / 37 = 91.9 %, 33 / 37 = 89.2 %.
    const TDuplicateGroups at90 = FindDuplicateGroups(g.list, 90, {});
    ASSERT_EQ(at90.Groups.size(), 3u);
    EXPECT_EQ(at90.Groups[0].Members, (std::vector<std::int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(at90.Groups[0].Representative, 0); // ties with page 2, the lower number
    EXPECT_EQ(at90.Groups[1].Members, (std::vector<std::int32_t>{8, 9, 13}));
    EXPECT_EQ(at90.Groups[2].Members, (std::vector<std::int32_t>{4, 5}));
    EXPECT_EQ(at90.GroupOf, (std::vector<std::int32_t>{1, 1, 1, 1, 3, 3, 0, 0, 2, 2, 0, 0, 0, 2}));

    // Every threshold against brute force over all pairs; the similarities
    // come from ShingleSimilarity before the end-of-check step and from its
    // matrix after it, the same values either way.
    const int thresholds[] = {50, 57, 58, 63, 64, 80, 89, 90, 92, 100};
    for (const int p : thresholds) expectGroups(g.list, FindDuplicateGroups(g.list, p, {}), p);
    ComputeUniqueness(g.list);
    for (const int p : thresholds) expectGroups(g.list, FindDuplicateGroups(g.list, p, {}), p);
    // Out of range: clamped.
    expectGroups(g.list, FindDuplicateGroups(g.list, 10, {}), 50);
    expectGroups(g.list, FindDuplicateGroups(g.list, 120, {}), 100);
}

TEST(DuplicateGroups, HandledByCanonicalOrNoindex) {
    ListGuard g;
    addSite(g.list);
    ComputeUniqueness(g.list);
    const QString rep = g.list[0]->URL; // representative of group 1
    std::vector<TPageSignals> indexing(6);
    indexing[1].Canonical = rep; // page 2 names the representative
    indexing[2].NoIndex = true;  // page 3 is noindex
    indexing[3].Canonical =
        QStringLiteral("HTTPS://shop.example/p1/"); // page 4, in another spelling
    indexing[5].Canonical = g.list[5]->URL;         // page 6 names itself
    // Pages 10 and 14 (group 2) have no signals at all.
    const TURLNormalizer lowerNoSlash = [](const QString &u) {
        QString s = u.toLower();
        if (s.endsWith(u'/')) s.chop(1);
        return s;
    };
    struct Case {
        const char *what;
        TURLNormalizer normalize;
        std::vector<std::int32_t> unhandled1;
    };
    const Case cases[] = {
        {"exact", {}, {3}},
        {"normalised", lowerNoSlash, {}},
    };
    for (const Case &c : cases) {
        const TDuplicateGroups d = FindDuplicateGroups(g.list, 90, indexing, c.normalize);
        ASSERT_EQ(d.Groups.size(), 3u);
        EXPECT_EQ(d.Groups[0].Unhandled, c.unhandled1) << c.what;
        EXPECT_EQ(d.Groups[0].Handled(), c.unhandled1.empty()) << c.what;
        EXPECT_EQ(d.Groups[1].Unhandled, (std::vector<std::int32_t>{9, 13})) << c.what;
        EXPECT_EQ(d.Groups[2].Unhandled, std::vector<std::int32_t>{5}) << c.what;
        EXPECT_FALSE(d.Groups[2].Handled());
    }
    // Noindex on the representative itself changes nothing; on every other
    // member it handles the group.
    indexing.assign(g.list.size(), {});
    indexing[4].NoIndex = true;
    EXPECT_FALSE(FindDuplicateGroups(g.list, 90, indexing).Groups[2].Handled());
    indexing[5].NoIndex = true;
    EXPECT_TRUE(FindDuplicateGroups(g.list, 90, indexing).Groups[2].Handled());
}

TEST(DuplicateGroups, RandomSetsAgainstBruteForce) {
    // Sets around the thresholds: bases, variants with a few hashes swapped,
    // a block that half the pages share (hashes many pages hold), pairs whose
    // similarity is exactly a threshold, and empty sets.
    std::mt19937_64 rng(99);
    ListGuard g;
    std::vector<std::int64_t> block;
    for (int k = 0; k < 6; ++k) block.push_back(std::int64_t(rng()));
    auto fresh = [&](int count) {
        std::vector<std::int64_t> v;
        for (int k = 0; k < count; ++k) v.push_back(std::int64_t(rng()));
        return v;
    };
    for (int base = 0; base < 50; ++base) {
        std::vector<std::int64_t> b = fresh(int(rng() % 60) + 1);
        if (rng() % 2) b.insert(b.end(), block.begin(), block.end());
        addSet(g.list, b);
        for (int v = int(rng() % 4); v > 0; --v) {
            std::vector<std::int64_t> x = b;
            std::shuffle(x.begin(), x.end(), rng);
            x.resize(x.size() - std::min<std::size_t>(x.size(), rng() % 6));
            const std::vector<std::int64_t> more = fresh(int(rng() % 6));
            x.insert(x.end(), more.begin(), more.end());
            addSet(g.list, x);
        }
    }
    const auto exact = [&](int common, int onlyA, int onlyB) {
        const std::vector<std::int64_t> c = fresh(common), a = fresh(onlyA), b = fresh(onlyB);
        std::vector<std::int64_t> x = c, y = c;
        x.insert(x.end(), a.begin(), a.end());
        y.insert(y.end(), b.begin(), b.end());
        addSet(g.list, x);
        addSet(g.list, y);
    };
    exact(9, 1, 1);  // 90 %
    exact(19, 1, 1); // 95 %
    exact(1, 2, 0);  // 50 %
    exact(2, 1, 1);  // 66.7 %
    exact(3, 1, 1);  // 75 %
    exact(40, 0, 0); // 100 %
    addSet(g.list, {});
    addSet(g.list, {});
    // Measured pair by pair, then read from the matrix.
    const int thresholds[] = {50, 60, 67, 75, 80, 90, 95, 100};
    for (const int p : thresholds) expectGroups(g.list, FindDuplicateGroups(g.list, p), p);
    ComputeUniqueness(g.list);
    for (const int p : thresholds) expectGroups(g.list, FindDuplicateGroups(g.list, p), p);
}
