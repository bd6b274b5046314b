#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include "core/Int64List.h"
#include "ui/compare/Diff_ONP.h"

using namespace corvane;

namespace {

std::vector<std::int32_t> ints(const std::string &letters) {
    return std::vector<std::int32_t>(letters.begin(), letters.end());
}

struct Rec {
    TChangeKind kind;
    int i1, i2;
    bool operator==(const Rec &) const = default;
};

void PrintTo(const Rec &r, std::ostream *os) {
    static const char *const names[] = {"None", "Add", "Delete", "Modify"};
    *os << names[r.kind] << "(" << r.i1 << "," << r.i2 << ")";
}

std::vector<Rec> records(const TDiff &diff) {
    std::vector<Rec> out;
    for (int i = 0; i < diff.Count(); ++i) {
        const TCompareRec r = diff.Compares(i);
        out.push_back({r.Kind, r.oldIndex1, r.oldIndex2});
    }
    return out;
}

// Checks a finished script against the two sequences without trusting the
// diff: each element of either sequence named exactly once and in order,
// matches pairing equal elements, modifies pairing different ones, values
// carried as the records say, and counters equal to the records.
template <typename T>
void expectValidScript(const TDiff &diff, const std::vector<T> &a, const std::vector<T> &b) {
    int last1 = -1, last2 = -1;
    TDiffStats counted;
    for (int n = 0; n < diff.Count(); ++n) {
        const TCompareRec r = diff.Compares(n);
        SCOPED_TRACE(n);
        switch (r.Kind) {
        case ckNone:
        case ckModify:
            ASSERT_EQ(r.oldIndex1, last1 + 1);
            ASSERT_EQ(r.oldIndex2, last2 + 1);
            ASSERT_LT(r.oldIndex1, int(a.size()));
            ASSERT_LT(r.oldIndex2, int(b.size()));
            EXPECT_EQ(r.int1, std::int32_t(a[std::size_t(r.oldIndex1)]));
            EXPECT_EQ(r.int2, std::int32_t(b[std::size_t(r.oldIndex2)]));
            if (r.Kind == ckNone) {
                EXPECT_EQ(r.int1, r.int2);
                ++counted.matches;
            } else {
                EXPECT_NE(r.int1, r.int2);
                ++counted.modifies;
            }
            last1 = r.oldIndex1;
            last2 = r.oldIndex2;
            break;
        case ckAdd:
            // An add keeps the cursor's index 1 from when it was written; a
            // delete paired later may have moved past it.
            ASSERT_LE(r.oldIndex1, last1);
            ASSERT_EQ(r.oldIndex2, last2 + 1);
            ASSERT_LT(r.oldIndex2, int(b.size()));
            EXPECT_EQ(r.int1, 0);
            EXPECT_EQ(r.int2, std::int32_t(b[std::size_t(r.oldIndex2)]));
            last2 = r.oldIndex2;
            ++counted.adds;
            break;
        case ckDelete:
            ASSERT_EQ(r.oldIndex1, last1 + 1);
            ASSERT_LE(r.oldIndex2, last2);
            ASSERT_LT(r.oldIndex1, int(a.size()));
            EXPECT_EQ(r.int1, std::int32_t(a[std::size_t(r.oldIndex1)]));
            EXPECT_EQ(r.int2, 0);
            last1 = r.oldIndex1;
            ++counted.deletes;
            break;
        default:
            FAIL() << "unknown kind " << int(r.Kind);
        }
    }
    EXPECT_EQ(last1, int(a.size()) - 1);
    EXPECT_EQ(last2, int(b.size()) - 1);
    const TDiffStats s = diff.DiffStats();
    EXPECT_EQ(s.matches, counted.matches);
    EXPECT_EQ(s.adds, counted.adds);
    EXPECT_EQ(s.deletes, counted.deletes);
    EXPECT_EQ(s.modifies, counted.modifies);
}

} // namespace

TEST(Diff, ScriptsOfTheReferenceCases) {
    struct Case {
        const char *a, *b;
        std::vector<Rec> want;
        TDiffStats stats; // matches, adds, deletes, modifies
    };
    const Case cases[] = {
        // Nothing, or nothing to change.
        {"", "", {}, {0, 0, 0, 0}},
        {"abc", "abc", {{ckNone, 0, 0}, {ckNone, 1, 1}, {ckNone, 2, 2}}, {3, 0, 0, 0}},
        // One side empty: adds keep index 1 at -1, deletes index 2.
        {"", "abc", {{ckAdd, -1, 0}, {ckAdd, -1, 1}, {ckAdd, -1, 2}}, {0, 3, 0, 0}},
        {"abc", "", {{ckDelete, 0, -1}, {ckDelete, 1, -1}, {ckDelete, 2, -1}}, {0, 0, 3, 0}},
        // Deletes and adds of one block pair up into modifies, the surplus after them.
        {"abc", "axc", {{ckNone, 0, 0}, {ckModify, 1, 1}, {ckNone, 2, 2}}, {2, 0, 0, 1}},
        {"abcd",
         "xyz",
         {{ckModify, 0, 0}, {ckModify, 1, 1}, {ckModify, 2, 2}, {ckDelete, 3, 2}},
         {0, 0, 1, 3}},
        {"ab", "ba", {{ckAdd, -1, 0}, {ckNone, 0, 1}, {ckDelete, 1, 1}}, {1, 1, 1, 0}},
        // The meeting of the two sweeps splits at (2,2): no match although a is common.
        {"abb",
         "ccca",
         {{ckModify, 0, 0}, {ckModify, 1, 1}, {ckModify, 2, 2}, {ckAdd, 2, 3}},
         {0, 1, 0, 3}},
        // Common head and tail around an insertion and a deletion.
        {"abcd",
         "abXcd",
         {{ckNone, 0, 0}, {ckNone, 1, 1}, {ckAdd, 1, 2}, {ckNone, 2, 3}, {ckNone, 3, 4}},
         {4, 1, 0, 0}},
        {"abXcd",
         "abcd",
         {{ckNone, 0, 0}, {ckNone, 1, 1}, {ckDelete, 2, 1}, {ckNone, 3, 2}, {ckNone, 4, 3}},
         {4, 0, 1, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        const auto a = ints(c.a), b = ints(c.b);
        TDiff diff;
        ASSERT_TRUE(diff.Execute(a.data(), b.data(), int(a.size()), int(b.size())));
        EXPECT_EQ(records(diff), c.want);
        expectValidScript(diff, a, b);
        const TDiffStats s = diff.DiffStats();
        EXPECT_EQ(s.matches, c.stats.matches);
        EXPECT_EQ(s.adds, c.stats.adds);
        EXPECT_EQ(s.deletes, c.stats.deletes);
        EXPECT_EQ(s.modifies, c.stats.modifies);

        // The character overload gives the same script.
        const std::u16string ca(c.a, c.a + a.size()), cb(c.b, c.b + b.size());
        TDiff chars;
        ASSERT_TRUE(chars.Execute(ca.data(), cb.data(), int(ca.size()), int(cb.size())));
        EXPECT_EQ(records(chars), c.want);
        for (int i = 0; i < chars.Count(); ++i) {
            EXPECT_EQ(chars.Compares(i).chr1(), char16_t(diff.Compares(i).int1));
            EXPECT_EQ(chars.Compares(i).chr2(), char16_t(diff.Compares(i).int2));
        }
    }
}

TEST(Diff, ModifyValuesAndIndexErrors) {
    const auto a = ints("abc"), b = ints("axc");
    TDiff diff;
    ASSERT_TRUE(diff.Execute(a.data(), b.data(), 3, 3));
    const TCompareRec m = diff.Compares(1);
    EXPECT_EQ(m.int1, 'b');
    EXPECT_EQ(m.int2, 'x');
    EXPECT_THROW(diff.Compares(3), EListError);
    EXPECT_THROW(diff.GetCompare(-1), EListError);

    // A new run replaces the result; Clear drops it.
    ASSERT_TRUE(diff.Execute(a.data(), a.data(), 3, 3));
    EXPECT_EQ(diff.Count(), 3);
    EXPECT_EQ(diff.DiffStats().matches, 3);
    diff.Clear();
    EXPECT_EQ(diff.Count(), 0);
    EXPECT_EQ(diff.DiffStats().matches, 0);
}

// Thousands of random pairs over small alphabets, so that elements repeat and
// the sweeps meet in every way; a few long ones pass the event checkpoints.
TEST(Diff, RandomPairsGiveValidScripts) {
    std::mt19937 rng(20261210);
    TDiff diff;
    for (int round = 0; round < 6000; ++round) {
        const int alphabet = 1 + int(rng() % 6);
        const int maxLen = round % 100 == 0 ? 3000 : 40;
        std::vector<std::int32_t> a(rng() % (maxLen + 1)), b;
        for (auto &x : a) x = std::int32_t(rng() % alphabet) - 2;
        if (rng() % 2) {
            b.resize(rng() % (maxLen + 1));
            for (auto &x : b) x = std::int32_t(rng() % alphabet) - 2;
        } else {
            // A near copy: a few elements changed, inserted or dropped.
            b = a;
            const int edits = int(rng() % 6);
            for (int e = 0; e < edits; ++e) {
                const std::size_t at = b.empty() ? 0 : rng() % b.size();
                switch (rng() % 3) {
                case 0:
                    if (!b.empty()) b[at] = std::int32_t(rng() % alphabet) + 100;
                    break;
                case 1:
                    b.insert(b.begin() + std::ptrdiff_t(at), std::int32_t(rng() % 7) - 2);
                    break;
                default:
                    if (!b.empty()) b.erase(b.begin() + std::ptrdiff_t(at));
                }
            }
        }
        SCOPED_TRACE(round);
        ASSERT_TRUE(diff.Execute(a.data(), b.data(), int(a.size()), int(b.size())));
        expectValidScript(diff, a, b);
        if (HasFailure()) break;
    }
}

TEST(Diff, CancelFromAnEventEmptiesTheResult) {
    // Two sequences with nothing in common keep one range searching for well
    // over 1 024 iterations, so events are processed during the run.
    std::vector<std::int32_t> a(6000), b(6000);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = std::int32_t(i);
        b[i] = -1 - std::int32_t(i);
    }
    TDiff diff;
    diff.SetCheckpoint([] { QCoreApplication::processEvents(); });
    bool nestedResult = true;
    int countDuringRun = -1;
    QTimer::singleShot(0, [&] {
        // A nested run is refused and a Clear leaves the run alone.
        nestedResult = diff.Execute(a.data(), b.data(), 3, 3);
        diff.Clear();
        countDuringRun = diff.Count();
        diff.Cancel();
    });
    EXPECT_FALSE(diff.Execute(a.data(), b.data(), int(a.size()), int(b.size())));
    EXPECT_FALSE(nestedResult);
    EXPECT_GE(countDuringRun, 0);
    EXPECT_TRUE(diff.Cancelled());
    EXPECT_EQ(diff.Count(), 0);
    EXPECT_EQ(diff.DiffStats().modifies, 0);
    EXPECT_FALSE(diff.Executing());

    // The next run clears the flag and, uncancelled, passes the checkpoints.
    EXPECT_TRUE(diff.Execute(a.data(), b.data(), int(a.size()), int(b.size())));
    EXPECT_FALSE(diff.Cancelled());
    EXPECT_EQ(diff.DiffStats().modifies, 6000);
    expectValidScript(diff, a, b);
}
