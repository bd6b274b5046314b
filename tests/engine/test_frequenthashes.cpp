#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <unordered_map>

#include <gtest/gtest.h>

#include "engine/frequenthashes.h"

using namespace corvane;

namespace {

// Sets of distinct hashes, descending: 60 % drawn fresh, the rest from a pool
// with very uneven odds, so that the counts run from 1 to every set and the
// common hashes come early in some sets and late in others.
std::vector<std::vector<std::int64_t>> makeSets(std::size_t count, std::size_t size,
                                                std::size_t poolSize) {
    std::mt19937_64 rng(count);
    std::vector<std::int64_t> pool(poolSize);
    for (auto &h : pool) h = std::int64_t(rng());
    pool[17] = 0; // a hash of 0 is a hash like any other
    std::uniform_real_distribution<double> coin(0, 1);
    std::vector<std::vector<std::int64_t>> sets;
    while (sets.size() < count) {
        std::set<std::int64_t> s;
        while (s.size() < size) {
            const double u = coin(rng);
            s.insert(u < 0.6
                         ? std::int64_t(rng())
                         : pool[std::size_t(std::pow((u - 0.6) / 0.4, 4) * double(poolSize - 1))]);
        }
        sets.emplace_back(s.rbegin(), s.rend());
    }
    return sets;
}

} // namespace

TEST(FrequentHashes, ExactlyTheHashesManySetsHold) {
    // 100 000 hashes: candidates from slot counters whatever the minimum;
    // 1.1 million: every hash counted when the minimum is small.
    struct Corpus {
        std::size_t sets, size, pool;
        std::vector<std::int32_t> minimums;
    };
    const Corpus corpora[] = {
        {400, 250, 5000, {0, 2, 3, 4, 5, 17, 100, 250, 399, 400, 401}},
        {1100, 1000, 200000, {2, 3, 16, 17, 600}},
    };
    for (const Corpus &c : corpora) {
        const auto sets = makeSets(c.sets, c.size, c.pool);
        std::unordered_map<std::int64_t, std::int32_t> count;
        for (const auto &s : sets)
            for (const std::int64_t h : s) ++count[h];
        const std::vector<std::span<const std::int64_t>> spans(sets.begin(), sets.end());
        for (const std::int32_t minPages : c.minimums) {
            SCOPED_TRACE(testing::Message() << c.sets << " sets, MinPages=" << minPages);
            std::unordered_map<std::int64_t, std::int32_t> want;
            for (const auto &[h, n] : count)
                if (n >= std::max(minPages, 2)) want[h] = n;
            std::unordered_map<std::int64_t, std::int32_t> got;
            std::vector<std::int32_t> held;
            for (const TSharedHash &s : HashesHeldBy(spans, minPages, &held))
                EXPECT_TRUE(got.emplace(s.Hash, s.Pages).second) << "reported twice";
            EXPECT_EQ(got, want);
            std::vector<std::int32_t> wantHeld;
            for (const auto &set : sets)
                wantHeld.push_back(std::int32_t(std::count_if(
                    set.begin(), set.end(), [&](std::int64_t h) { return want.count(h) > 0; })));
            EXPECT_EQ(held, wantHeld);
        }
    }
    std::vector<std::int32_t> held{1, 2};
    EXPECT_TRUE(HashesHeldBy({}, 3, &held).empty());
    EXPECT_TRUE(held.empty());
}
