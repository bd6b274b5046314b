#include <gtest/gtest.h>

#include "common/sitecorpus.h"
#include "engine/uniqueness.h"

using namespace corvane;

namespace {

struct ListGuard {
    TOwnedTaskList list;
};

TURLTaskInfo *addTask(TURLTaskInfoList &list, const QString &text, TURLTaskResult result = trOk,
                      std::int32_t code = 0) {
    auto *t = new TURLTaskInfo(QStringLiteral("https://example.com/%1").arg(list.size() + 1),
                               std::int32_t(list.size() + 1));
    t->InitResults();
    t->TaskResults->TaskResult = result;
    t->TaskResults->ErrorCode = code;
    if (result == trOk) {
        QString normalized = text;
        NormalizeText(normalized);
        t->TaskResults->ExtractedText = normalized;
        t->TaskResults->HashTable = BuildShingles(normalized, {}, 3, false);
    }
    list.append(t);
    return t;
}

std::unique_ptr<TShingleHashTable> tableOf(std::initializer_list<std::int64_t> items,
                                           TInt64SortOption mode) {
    auto t = std::make_unique<TShingleHashTable>();
    for (auto x : items) t->Add(x);
    t->SetSortType(mode);
    return t;
}

// Every entry and every uniqueness equals, bit for bit, what the plain
// procedure with ShingleSimilarity gives.
void expectSameAsPairwise(TURLTaskInfoList &list) {
    ComputeUniqueness(list);
    std::vector<double> fast(list.size());
    std::vector<std::vector<TURLSimilRec>> rows(list.size());
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list[i]->TaskResults) {
            fast[i] = list[i]->TaskResults->Uniqueness;
            rows[i] = list[i]->TaskResults->SimilArray.ToVector();
        }
    std::vector<std::vector<TURLSimilRec>> plain;
    ComputeUniquenessPairwise(list, plain);
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (!list[i]->TaskResults) continue;
        ASSERT_EQ(fast[i], list[i]->TaskResults->Uniqueness) << "task " << i + 1;
        if (plain[i].empty()) continue;
        ASSERT_EQ(rows[i].size(), plain[i].size());
        const TURLSimilArray &a = list[i]->TaskResults->SimilArray;
        for (std::size_t j = 0; j < plain[i].size(); ++j) {
            ASSERT_EQ(rows[i][j].Num, plain[i][j].Num) << i << "," << j;
            ASSERT_EQ(rows[i][j].Similarity, plain[i][j].Similarity) << i << "," << j;
            // The single-entry path agrees with the row path.
            ASSERT_EQ(a.Item(std::int32_t(j)).Similarity, plain[i][j].Similarity) << i << "," << j;
        }
    }
}

TEST(EngineUniqueness, IdenticalTextsAreZeroUniqueEachOther) {
    ListGuard g;
    addTask(g.list, QStringLiteral("one two three four five six seven"));
    addTask(g.list, QStringLiteral("one two three four five six seven"));
    ComputeUniqueness(g.list);
    for (int i = 0; i < 2; ++i) {
        const auto &r = *g.list[i]->TaskResults;
        EXPECT_EQ(r.Uniqueness, 0);
        EXPECT_EQ(r.SimilArray.Count(), 2);
        EXPECT_EQ(r.SimilArray[i].Num, 0);
        EXPECT_EQ(r.SimilArray[1 - i].Num, 2 - i);
        EXPECT_EQ(r.SimilArray[1 - i].Similarity, 100);
        EXPECT_EQ(r.GetSimilarity(2 - i), 100);
    }
}

TEST(EngineUniqueness, ThreeTasksTakeTheHighestSimilarity) {
    ListGuard g;
    auto *a = addTask(g.list, QStringLiteral("alpha beta gamma delta epsilon zeta eta theta"));
    auto *b = addTask(g.list, QStringLiteral("alpha beta gamma delta epsilon other words here"));
    auto *c = addTask(g.list, QStringLiteral("nothing in common with the others at all"));
    ComputeUniqueness(g.list);
    const double ab = ShingleSimilarity(*a->TaskResults->HashTable, *b->TaskResults->HashTable);
    ASSERT_GT(ab, 0);
    EXPECT_EQ(a->TaskResults->Uniqueness, 100 - ab);
    EXPECT_EQ(b->TaskResults->Uniqueness, 100 - ab);
    EXPECT_EQ(c->TaskResults->Uniqueness, 100);
    EXPECT_EQ(c->UniquenessText(), PercentText(100));
}

TEST(EngineUniqueness, SingleTaskHasOnlyItsOwnEmptyEntry) {
    ListGuard g;
    addTask(g.list, QStringLiteral("a lonely page with a few words on it"));
    ComputeUniqueness(g.list);
    const auto &r = *g.list[0]->TaskResults;
    ASSERT_EQ(r.SimilArray.Count(), 1);
    EXPECT_EQ(r.SimilArray[0].Num, 0);
    EXPECT_EQ(r.SimilArray[0].Similarity, 0);
    EXPECT_EQ(r.Uniqueness, 100);
}

TEST(EngineUniqueness, FailedAndUncheckedTasks) {
    ListGuard g;
    for (int i = 0; i < 10; ++i) {
        if (i == 2)
            addTask(g.list, {}, trHTTPError, 404);
        else if (i == 5)
            addTask(g.list, {}, trSendError);
        else if (i == 7)
            addTask(g.list, {}, trParseError, -1);
        else
            addTask(g.list,
                    QStringLiteral("shared words for every page number %1 of the site").arg(i % 3));
    }
    // A task without results and a successful page whose text is empty.
    g.list.append(new TURLTaskInfo(QStringLiteral("https://example.com/unchecked"), 11));
    addTask(g.list, QString());
    ComputeUniqueness(g.list);
    for (int i : {2, 5, 7}) {
        EXPECT_EQ(g.list[i]->TaskResults->Uniqueness, 0);
        EXPECT_TRUE(g.list[i]->TaskResults->SimilArray.IsEmpty());
    }
    EXPECT_EQ(g.list[5]->UniquenessText(), PercentText(0)); // send error keeps code 0
    EXPECT_EQ(g.list[2]->UniquenessText(), QString());
    EXPECT_EQ(g.list[11]->TaskResults->Uniqueness, 0);
    EXPECT_TRUE(g.list[11]->TaskResults->SimilArray.IsEmpty());
    const auto &first = *g.list[0]->TaskResults;
    ASSERT_EQ(first.SimilArray.Count(), 12);
    for (int i : {2, 5, 7}) {
        EXPECT_EQ(first.SimilArray[i].Num, i + 1);
        EXPECT_EQ(first.SimilArray[i].Similarity, 0);
    }
    EXPECT_EQ(first.SimilArray[10].Num, 0);  // unchecked
    EXPECT_EQ(first.SimilArray[11].Num, 12); // empty text still listed
    expectSameAsPairwise(g.list);
}

TEST(EngineUniqueness, EmptySetsAreAlikeAndUnlikeTheRest) {
    ListGuard g;
    addTask(g.list, QStringLiteral("two words")); // fewer words than a shingle: empty set
    addTask(g.list, QStringLiteral("three words"));
    addTask(g.list, QStringLiteral("a page with enough words to make shingles"));
    ComputeUniqueness(g.list);
    EXPECT_EQ(g.list[0]->TaskResults->Uniqueness, 0);
    EXPECT_EQ(g.list[1]->TaskResults->Uniqueness, 0);
    EXPECT_EQ(g.list[2]->TaskResults->Uniqueness, 100);
    expectSameAsPairwise(g.list);
}

TEST(EngineUniqueness, TablesWithRepeatsOrAscendingOrderMatchShingleSimilarity) {
    ListGuard g;
    for (int i = 0; i < 4; ++i) addTask(g.list, QStringLiteral("x"));
    g.list[0]->TaskResults->HashTable = tableOf({1, 2, 3, 3, 5}, Int64SortUpWithDup);
    g.list[1]->TaskResults->HashTable = tableOf({5, 3, 2, 9}, Int64SortUpNoDup);
    g.list[2]->TaskResults->HashTable = tableOf({3, 9, 2, 7}, Int64SortNone);
    g.list[3]->TaskResults->HashTable = tableOf({2, 3, 4, 5}, Int64SortDownNoDup);
    expectSameAsPairwise(g.list);
}

TEST(EngineUniqueness, SyntheticSiteMatchesThePairwiseProcedureBitForBit) {
    ListGuard g;
    TSiteCorpusShape shape;
    shape.Pages = 600;
    shape.HashesPerPage = 300;
    shape.Boilerplate = 60;
    shape.Sections = 5;
    shape.HashesPerBlock = 10;
    shape.NearDuplicateShare = 0.4;
    MakeSiteCorpus(g.list, shape);
    // Some irregular members too: a page without results and a failed one.
    g.list[17]->FreeResults();
    g.list[42]->TaskResults->HashTable.reset();
    g.list[42]->TaskResults->ExtractedText.clear();
    g.list[42]->TaskResults->TaskResult = trHTTPError;
    expectSameAsPairwise(g.list);
}

TEST(EngineUniqueness, RealTextsMatchThePairwiseProcedure) {
    ListGuard g;
    const QString words[] = {QStringLiteral("слово"), QStringLiteral("word"),
                             QStringLiteral("text"),  QStringLiteral("страница"),
                             QStringLiteral("site"),  QStringLiteral("page")};
    for (int p = 0; p < 40; ++p) {
        QString text = QStringLiteral("Header menu home about contact news. ");
        for (int k = 0; k < 60; ++k) text += words[(k * (p % 7 + 1) + p / 5) % 6] + u' ';
        addTask(g.list, text);
    }
    expectSameAsPairwise(g.list);
}

TEST(EngineUniqueness, ProgressAndLogOncePerTaskInListOrder) {
    ListGuard g;
    addTask(g.list, QStringLiteral("one two three four five"));
    g.list.append(new TURLTaskInfo(QStringLiteral("https://example.com/x"), 2));
    addTask(g.list, {}, trSendError);
    std::vector<int> logged, progress;
    ComputeUniqueness(g.list, {[&](std::int32_t num) { logged.push_back(num); },
                               [&](std::int32_t done) { progress.push_back(done); }});
    EXPECT_EQ(logged, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3}));
}

} // namespace
