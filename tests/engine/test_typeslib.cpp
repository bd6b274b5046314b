#include <thread>

#include <QLocale>

#include <gtest/gtest.h>

#include "engine/typeslib.h"

using namespace corvane;

namespace {

TEST(EngineTaskModel, FreshResults) {
    TURLTaskInfo t(QStringLiteral("https://a.example/"), 1);
    EXPECT_EQ(t.UniquenessText(), QString());
    EXPECT_EQ(t.UniquenessValue(), 0);
    t.InitResults();
    const TURLTaskResults &r = *t.TaskResults;
    EXPECT_EQ(r.TaskResult, trUndefined);
    EXPECT_EQ(r.Uniqueness, -1.0);
    EXPECT_EQ(r.ErrorText(), QStringLiteral("200"));
    EXPECT_EQ(r.GetSimilarity(1), 0);
    EXPECT_EQ(t.UniquenessText(), QString());
    EXPECT_EQ(t.UniquenessValue(), 0);
}

TEST(EngineTaskModel, ErrorTextByOutcomeThenCode) {
    struct Case {
        TURLTaskResult result;
        std::int32_t code;
        const char *text;
    };
    const Case cases[] = {
        {trSendError, 0, "SEND ERROR"},
        {trSendError, 404, "SEND ERROR"},
        {trUnknownResponse, 0, "UNKNOWN RESPONSE"},
        {trNotHTML, 5, "NOT HTML"},
        {trHTTPError, 404, "404"},
        {trParseError, -1, "0"},
        {trOk, 0, "200"},
        {trAborted, 0, "200"},
        {trHTTPError, 500, "500"},
    };
    for (const Case &c : cases) {
        TURLTaskResults r;
        r.TaskResult = c.result;
        r.ErrorCode = c.code;
        EXPECT_EQ(r.ErrorText(), QString::fromLatin1(c.text)) << int(c.result) << " " << c.code;
    }
    EXPECT_EQ(int(trHTTPError), 7);
    EXPECT_STREQ(TaskResultName(trOk), "trOk");
}

TEST(EngineTaskModel, UniquenessTextAndValue) {
    const QString point = QLocale::system().decimalPoint();
    TURLTaskInfo t(QStringLiteral("u"), 1);
    t.InitResults();
    t.TaskResults->Uniqueness = 0;
    EXPECT_EQ(t.UniquenessText(), QStringLiteral("0") + point + QStringLiteral("00"));
    t.TaskResults->Uniqueness = 100;
    EXPECT_EQ(t.UniquenessText(), QStringLiteral("100") + point + QStringLiteral("00"));
    t.TaskResults->Uniqueness = 87.254;
    EXPECT_EQ(t.UniquenessText(), QStringLiteral("87") + point + QStringLiteral("25"));
    EXPECT_EQ(t.UniquenessValue(), 87.254);
    t.TaskResults->ErrorCode = 404;
    EXPECT_EQ(t.UniquenessText(), QString());
    EXPECT_EQ(t.UniquenessValue(), 0);
}

TEST(EngineTaskModel, CopyCarriesUrlAndNumberOnly) {
    TURLTaskInfo t(QStringLiteral("https://a.example/"), 3);
    t.InitResults();
    t.TaskResults->TaskResult = trOk;
    TURLTaskInfo copy(t);
    EXPECT_EQ(copy.URL, t.URL);
    EXPECT_EQ(copy.Num, 3);
    EXPECT_EQ(copy.TaskResults, nullptr);
}

TEST(EngineTaskModel, ListHelpers) {
    TURLTaskInfoList list;
    list << new TURLTaskInfo(QStringLiteral("https://Example.com/Путь"), 1)
         << new TURLTaskInfo(QStringLiteral("https://b.example/"), 2);
    EXPECT_TRUE(list.URLExists(QStringLiteral("HTTPS://EXAMPLE.COM/Путь")));
    EXPECT_FALSE(list.URLExists(QStringLiteral("https://example.com/ПУТЬ")));
    EXPECT_FALSE(list.URLExists(QString()));
    EXPECT_EQ(list.GetByNum(2), list[1]);
    EXPECT_EQ(list.GetByNum(0), nullptr);
    EXPECT_EQ(list.GetByNum(9), nullptr);
    for (TURLTaskInfo *t : list) t->InitResults();
    list.FreeResults();
    EXPECT_EQ(list[0]->TaskResults, nullptr);
    EXPECT_EQ(list.size(), 2);

    TURLTaskInfoList empty;
    EXPECT_FALSE(empty.URLExists(QString()));
    FreeObjects(&empty);
    FreeObjects(nullptr);
    auto *heap = new TURLTaskInfoList(list);
    list.clear();
    FreeListWithObjects(heap);
    EXPECT_EQ(heap, nullptr);
    EXPECT_TRUE(StrInArray(QStringLiteral(".JS"), {QStringLiteral(".CSS"), QStringLiteral(".JS")}));
    EXPECT_FALSE(StrInArray(QStringLiteral(".js"), {QStringLiteral(".JS")}));
}

TEST(EngineTaskModel, DateTimeMilliseconds) {
    const TDateTime t = NowDateTime();
    EXPECT_GT(t, 40000); // after the year 2009
    EXPECT_EQ(DateTimeToMs(IncMilliSecond(t, 1500)) - DateTimeToMs(t), 1500);
    EXPECT_EQ(DateTimeToMs(MsToDateTime(123456789)), 123456789);
}

TEST(PoolTasks, LastInFirstOutAndClearing) {
    TURLTaskInfoPool pool(0);
    TURLTaskInfo *got = reinterpret_cast<TURLTaskInfo *>(1);
    EXPECT_FALSE(pool.PickTask(got));
    EXPECT_EQ(got, nullptr);
    auto *c = new TURLTaskInfo(QStringLiteral("C"), 3);
    pool.Add(c);
    pool.Add(c); // already present: ignored
    pool.Add(new TURLTaskInfo(QStringLiteral("B"), 2));
    pool.Add(new TURLTaskInfo(QStringLiteral("A"), 1));
    EXPECT_EQ(pool.Count(), 3);
    QStringList order;
    while (pool.PickTask(got)) {
        order << got->URL;
        delete got;
    }
    EXPECT_EQ(order, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
}

TEST(PoolClock, ReservationsAndRegistrations) {
    TURLTaskInfoPool pool(1500);
    TDateTime t = 0;
    const std::int64_t created = DateTimeToMs(NowDateTime());
    ASSERT_TRUE(pool.GetNextRequestTime(t));
    EXPECT_LE(std::abs(DateTimeToMs(t) - created), 50);
    TDateTime second = 42;
    EXPECT_FALSE(pool.GetNextRequestTime(second));
    EXPECT_EQ(second, 42);

    const TDateTime x = MsToDateTime(DateTimeToMs(NowDateTime()) + 10000);
    pool.RegisterLastRequest(x);
    ASSERT_TRUE(pool.GetNextRequestTime(t));
    EXPECT_EQ(DateTimeToMs(t), DateTimeToMs(x) + 1500);

    const std::int64_t before = DateTimeToMs(NowDateTime());
    pool.RegisterLastRequest(0);
    const std::int64_t after = DateTimeToMs(NowDateTime());
    ASSERT_TRUE(pool.GetNextRequestTime(t));
    EXPECT_GE(DateTimeToMs(t), before + 1500);
    EXPECT_LE(DateTimeToMs(t), after + 1500);
}

TEST(PoolClock, CombinedReservationKeepsTheSpacing) {
    TURLTaskInfoPool pool(300);
    const std::int64_t now = SteadyMs();
    // Two reservations before any start: exactly a delay apart, the first
    // no earlier than now.
    const std::int64_t a = pool.ReserveRequestTime();
    const std::int64_t b = pool.ReserveRequestTime();
    EXPECT_GE(a, now);
    EXPECT_EQ(b - a, 300);
    // A start registered now does not pull the clock before b's slot.
    pool.RegisterRequestStart();
    const std::int64_t c = pool.ReserveRequestTime();
    EXPECT_GE(c - b, 300);

    // No delay, no spacing: a reservation never lies in the future.
    TURLTaskInfoPool fast(0);
    fast.ReserveRequestTime();
    fast.RegisterRequestStart();
    EXPECT_LE(fast.ReserveRequestTime(), SteadyMs());
}

TEST(PoolClock, ConcurrentReservationsNeverCollide) {
    TURLTaskInfoPool pool(5);
    std::vector<std::int64_t> times[4];
    std::vector<std::thread> threads;
    for (auto &out : times)
        threads.emplace_back([&pool, &out] {
            for (int i = 0; i < 200; ++i) out.push_back(pool.ReserveRequestTime());
        });
    for (auto &t : threads) t.join();
    std::vector<std::int64_t> all;
    for (auto &out : times) all.insert(all.end(), out.begin(), out.end());
    std::sort(all.begin(), all.end());
    for (std::size_t i = 1; i < all.size(); ++i) ASSERT_GE(all[i] - all[i - 1], 5);
}

} // namespace
