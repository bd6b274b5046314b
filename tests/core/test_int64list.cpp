#include <algorithm>
#include <random>

#include <QBuffer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/Int64List.h"

using namespace corvane;

namespace {

std::vector<std::int64_t> items(const TInt64List &l) {
    return std::vector<std::int64_t>(l.List(), l.List() + l.Count());
}

void fill(TInt64List &l, std::initializer_list<std::int64_t> v) {
    for (auto x : v) l.Add(x);
}

template <typename F> std::string errorOf(F f) {
    try {
        f();
    } catch (const EListError &e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(Int64List, AddByModeAndDuplicates) {
    TInt64List noDup;
    fill(noDup, {5, -1, 9});
    noDup.SetSortType(Int64SortDownNoDup);
    EXPECT_EQ(noDup.Add(5), -1);
    EXPECT_EQ(noDup.Count(), 3);

    TInt64List withDup;
    fill(withDup, {5, -1, 9});
    withDup.SetSortType(Int64SortDownWithDup);
    EXPECT_EQ(withDup.IndexOf(5), 1);
    EXPECT_EQ(withDup.Add(5), 1);
    EXPECT_EQ(items(withDup), (std::vector<std::int64_t>{9, 5, 5, -1}));

    TInt64List up;
    up.SetSortType(Int64SortUpNoDup);
    fill(up, {7, -3, 0, 7, std::numeric_limits<std::int64_t>::min()});
    EXPECT_EQ(items(up), (std::vector<std::int64_t>{INT64_MIN, -3, 0, 7}));
    EXPECT_EQ(up.IndexOf(-3), 1);
    EXPECT_EQ(up.IndexOf(8), -1);
}

TEST(Int64List, SortModeTransitions) {
    struct Case {
        TInt64SortOption from, to;
        std::vector<std::int64_t> before, after;
    };
    const Case cases[] = {
        {Int64SortNone, Int64SortDownNoDup, {5, -1, 5, 9}, {9, 5, -1}},
        {Int64SortNone, Int64SortUpNoDup, {5, -1, 5, 9}, {-1, 5, 9}},
        {Int64SortNone, Int64SortUpWithDup, {5, -1, 5, 9}, {-1, 5, 5, 9}},
        // from a sorted mode with duplicates to the same order without: no re-sort
        {Int64SortUpWithDup, Int64SortUpNoDup, {-1, 5, 5, 9}, {-1, 5, 9}},
        {Int64SortDownWithDup, Int64SortDownNoDup, {9, 9, 9, 1, 1}, {9, 1}},
        // to none: order kept
        {Int64SortDownNoDup, Int64SortNone, {9, 5, -1}, {9, 5, -1}},
    };
    for (const Case &c : cases) {
        TInt64List l;
        for (auto v : c.before) l.Add(v);
        l.SetSortType(c.from); // the before lists are already in that order
        l.SetSortType(c.to);
        EXPECT_EQ(items(l), c.after);
        EXPECT_EQ(l.SortType(), c.to);
    }

    TInt64List l;
    fill(l, {3, 1, 2});
    l.SetSortType(Int64SortDownNoDup);
    l.SortUp();
    EXPECT_EQ(items(l), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(l.SortType(), Int64SortNone);
}

TEST(Int64List, LargeSortsMatchAComparisonSort) {
    std::mt19937_64 rng(3);
    for (int n : {255, 256, 5000}) {
        std::vector<std::int64_t> v;
        for (int i = 0; i < n; ++i) {
            const std::int64_t pick[] = {
                INT64_MIN, INT64_MAX, -1, 0, std::int64_t(rng()), std::int64_t(rng() % 1000) - 500};
            v.push_back(pick[rng() % 6]);
        }
        for (TInt64SortOption mode : {Int64SortUpWithDup, Int64SortDownNoDup}) {
            TInt64List l;
            for (auto x : v) l.Add(x);
            l.SetSortType(mode);
            std::vector<std::int64_t> want = v;
            if (mode == Int64SortUpWithDup) {
                std::sort(want.begin(), want.end());
            } else {
                std::sort(want.begin(), want.end(), std::greater<>());
                want.erase(std::unique(want.begin(), want.end()), want.end());
            }
            EXPECT_EQ(items(l), want) << n;
        }
    }
}

TEST(Int64List, CapacityGrowthAndRules) {
    TInt64List l;
    std::vector<std::int32_t> seen;
    for (int i = 0; i < 120; ++i) {
        l.Add(i);
        if (seen.empty() || seen.back() != l.Capacity()) seen.push_back(l.Capacity());
    }
    EXPECT_EQ(seen, (std::vector<std::int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147}));

    EXPECT_EQ(errorOf([&] { l.SetCapacity(5); }), "List capacity out of bounds (5)");
    EXPECT_EQ(errorOf([&] { l.SetCount(-1); }), "List count out of bounds (-1)");
    EXPECT_EQ(errorOf([&] { l.SetCount(0x10000000); }), "List count out of bounds (268435456)");

    TInt64List z;
    z.Add(7);
    z.SetCount(3);              // grows exactly, new items zero
    EXPECT_EQ(z.Capacity(), 4); // Add grew to 4 first
    z.SetCount(10);
    EXPECT_EQ(z.Capacity(), 10);
    EXPECT_EQ(items(z), (std::vector<std::int64_t>{7, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    z.Clear();
    EXPECT_EQ(z.Capacity(), 0);
    EXPECT_EQ(z.List(), nullptr);
}

TEST(Int64List, ErrorsLeaveListUnchanged) {
    TInt64List sorted;
    fill(sorted, {1, 2});
    sorted.SetSortType(Int64SortUpNoDup);
    TInt64List plain;
    fill(plain, {10, 20, 30});
    TInt64List empty;

    struct Case {
        const char *what;
        std::function<void()> call;
        const char *message;
    };
    const Case cases[] = {
        // the sort-mode check comes before the index checks
        {"Insert sorted", [&] { sorted.Insert(99, 1); }, "Invalid method call (sorted list)!"},
        {"Exchange sorted", [&] { sorted.Exchange(0, 1); }, "Invalid method call (sorted list)!"},
        {"Move sorted", [&] { sorted.Move(0, 1); }, "Invalid method call (sorted list)!"},
        {"Insert past end", [&] { plain.Insert(4, 1); }, "List index out of bounds (4)"},
        {"Get", [&] { plain.Get(3); }, "List index out of bounds (3)"},
        {"Put", [&] { plain.Put(-1, 0); }, "List index out of bounds (-1)"},
        {"Delete", [&] { plain.Delete(3); }, "List index out of bounds (3)"},
        {"Exchange second", [&] { plain.Exchange(0, 5); }, "List index out of bounds (5)"},
        {"Move new", [&] { plain.Move(7, 5); }, "List index out of bounds (5)"},
        {"Move cur", [&] { plain.Move(7, 1); }, "List index out of bounds (7)"},
        {"First empty", [&] { empty.First(); }, "List index out of bounds (0)"},
        {"Last empty", [&] { empty.Last(); }, "List index out of bounds (-1)"},
        {"Minimum empty", [&] { empty.Minimum(); }, "Invalid method call (empty list)!"},
        {"Maximum empty", [&] { empty.Maximum(); }, "Invalid method call (empty list)!"},
        {"Range empty", [&] { empty.Range(); }, "Invalid method call (empty list)!"},
        {"Average empty", [&] { empty.Average(); }, "Invalid method call (empty list)!"},
    };
    for (const Case &c : cases) EXPECT_EQ(errorOf(c.call), c.message) << c.what;
    EXPECT_EQ(items(sorted), (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(items(plain), (std::vector<std::int64_t>{10, 20, 30}));
}

TEST(Int64List, EditingOperations) {
    TInt64List l;
    fill(l, {10, 20, 30});
    l.Insert(3, 40); // Count appends
    l.Insert(0, 5);
    l.Move(0, 4);
    EXPECT_EQ(items(l), (std::vector<std::int64_t>{10, 20, 30, 40, 5}));
    l.Exchange(0, 4);
    EXPECT_EQ(l.Remove(20), 1);
    EXPECT_EQ(l.Remove(99), -1);
    EXPECT_EQ(items(l), (std::vector<std::int64_t>{5, 30, 40, 10}));
    EXPECT_EQ(l.LifoPop(-1), 10);
    EXPECT_EQ(l.FifoPop(-1), 5);
    l.Add(30);
    l.Pack(30);
    EXPECT_EQ(items(l), (std::vector<std::int64_t>{40}));
    l.Clear();
    EXPECT_EQ(l.LifoPop(-7), -7);

    TInt64List s;
    fill(s, {INT64_MAX, -1, INT64_MIN, 4});
    EXPECT_EQ(s.Minimum(), INT64_MIN);
    EXPECT_EQ(s.Maximum(), INT64_MAX);
    EXPECT_EQ(s.Range(), -1); // wraps
    EXPECT_EQ(s.Sum(), (long double)INT64_MAX - 1 + (long double)INT64_MIN + 4);
    TInt64List avg;
    fill(avg, {1, 2, 4});
    EXPECT_DOUBLE_EQ(double(avg.Average()), 7.0 / 3);
    EXPECT_EQ(avg.SumSqr(), 21);

    // Sort with a comparison: by absolute value, sort mode untouched
    TInt64List c;
    fill(c, {-5, 3, -1, 4});
    c.Sort([](std::int64_t a, std::int64_t b) {
        return std::abs(a) < std::abs(b) ? -1 : std::abs(a) > std::abs(b);
    });
    EXPECT_EQ(items(c), (std::vector<std::int64_t>{-1, 3, 4, -5}));

    QStringList lines{QStringLiteral("old")};
    c.ShowList(&lines, {}, true);
    EXPECT_EQ(lines.front(), QStringLiteral("Items[0] = -1"));
    c.ShowList(
        &lines, [](std::int32_t i, std::int64_t v) { return QString::number(i * 100 + v); }, false);
    EXPECT_EQ(lines.size(), 8);
    EXPECT_EQ(lines.back(), QStringLiteral("295"));
}

TEST(Int64List, StreamFormat) {
    TInt64List l;
    fill(l, {1, -1});
    l.SetSortType(Int64SortDownNoDup);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    l.SaveToStream(buf);
    EXPECT_EQ(
        bytes.toHex(' '),
        QByteArray("02 00 00 00 04 00 00 00 01 00 00 00 00 00 00 00 ff ff ff ff ff ff ff ff"));

    // KeepCurrentSortType false: the stored mode is taken, unchecked.
    QByteArray unordered = QByteArray::fromHex("020000000400000001000000000000000500000000000000");
    QBuffer in(&unordered);
    in.open(QIODevice::ReadOnly);
    TInt64List a;
    a.LoadFromStream(in, false);
    EXPECT_EQ(items(a), (std::vector<std::int64_t>{1, 5}));
    EXPECT_EQ(a.SortType(), Int64SortDownNoDup);

    // KeepCurrentSortType true: the loaded items are put into the list's own mode.
    in.seek(0);
    TInt64List b;
    b.SetSortType(Int64SortUpNoDup);
    b.LoadFromStream(in, true);
    EXPECT_EQ(items(b), (std::vector<std::int64_t>{1, 5}));
    EXPECT_EQ(b.SortType(), Int64SortUpNoDup);
}

TEST(Int64List, DamagedStreamsAreRefusedAndLeaveTheListEmpty) {
    const QByteArray cases[] = {
        QByteArray::fromHex("03000000000000000100000000000000"), // three announced, one there
        QByteArray::fromHex("0100000000"),                       // header cut short
        QByteArray::fromHex("ffffffff00000000"),                 // negative count
        QByteArray::fromHex("0000000009000000"),                 // unknown sort mode
    };
    for (QByteArray data : cases) {
        QBuffer in(&data);
        in.open(QIODevice::ReadOnly);
        TInt64List l;
        fill(l, {42, 43});
        EXPECT_THROW(l.LoadFromStream(in, false), EListError) << data.toHex().constData();
        EXPECT_EQ(l.Count(), 0);
        EXPECT_EQ(l.SortType(), Int64SortNone);
    }
}

TEST(Int64List, FilesAndCopies) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.bin"));
    TInt64List l;
    fill(l, {3, 1, 2});
    l.SaveToFile(path);
    TInt64List back;
    back.LoadFromFile(path, false);
    EXPECT_EQ(items(back), (std::vector<std::int64_t>{3, 1, 2}));
    EXPECT_THROW(back.LoadFromFile(dir.filePath(QStringLiteral("missing")), false), EFileError);
    EXPECT_THROW(l.SaveToFile(dir.filePath(QStringLiteral("no/such/dir/x"))), EFileError);

    TInt64List dst;
    dst.SetSortType(Int64SortDownWithDup);
    l.CopyTo(dst, true);
    EXPECT_EQ(items(dst), (std::vector<std::int64_t>{3, 2, 1}));
    dst.CopyFrom(l, false);
    EXPECT_EQ(items(dst), (std::vector<std::int64_t>{3, 1, 2}));
    EXPECT_EQ(dst.SortType(), Int64SortNone);
}
