#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "core/crc.h"
#include "core/shingles.h"

using namespace corvane;

namespace {

// The definitions written out step by step, as slowly as they read.
QString referenceNormalize(QString t) {
    t.replace(QStringLiteral("\r\n\r\n"), QStringLiteral("\r\n"));
    for (QChar c : QStringLiteral("\t\u00A0'\"\u00AB\u00BB-\u2015\u2014_:.,|!?&()"))
        t.replace(c, u' ');
    while (t.contains(QStringLiteral("  "))) t.replace(QStringLiteral("  "), QStringLiteral(" "));
    qsizetype b = 0, e = t.size();
    while (b < e && t[b].unicode() <= 0x20) ++b;
    while (e > b && t[e - 1].unicode() <= 0x20) --e;
    return t.mid(b, e - b);
}

std::vector<std::int64_t> referenceShingles(QString t, const QString &lang, int n, bool skip) {
    for (QChar &c : t) c = QChar(char16_t(QChar::toLower(c.unicode())));
    t.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    while (t.contains(QStringLiteral("  "))) t.replace(QStringLiteral("  "), QStringLiteral(" "));
    QStringList w;
    if (!t.isEmpty()) {
        QString cur;
        for (QChar c : t) {
            if (c == u'.' || c == u',' || c == u' ') {
                w << cur;
                cur.clear();
            } else {
                cur += c;
            }
        }
        w << cur;
    }
    const qsizetype m = w.size();
    std::vector<std::int64_t> out;
    for (qsizetype i = 0; i <= m - n - 1; ++i) {
        if (skip && IsStopWord(w[i], lang)) continue;
        QString sh = w[i];
        int count = 1;
        for (qsizetype j = 1; count < n && i + j <= m - 2; ++j) {
            if (skip && IsStopWord(w[i + j], lang)) continue;
            sh += u' ' + w[i + j];
            ++count;
        }
        if (count == n) out.push_back(ShingleHash(sh.constData(), std::size_t(sh.size())));
    }
    std::sort(out.begin(), out.end(), std::greater<>());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<std::int64_t> items(const TInt64List &l) {
    return std::vector<std::int64_t>(l.List(), l.List() + l.Count());
}

std::vector<std::int64_t> build(const QString &text, int n, bool skip, const QString &lang = {}) {
    auto t = BuildShingles(text, lang, n, skip);
    EXPECT_EQ(t->SortType(), Int64SortDownNoDup);
    return items(*t);
}

std::int64_t hashOf(const char *shingle) {
    const QString s = QString::fromUtf8(shingle);
    return ShingleHash(s.constData(), std::size_t(s.size()));
}

std::unique_ptr<TShingleHashTable> tableOf(std::initializer_list<std::int64_t> v) {
    auto t = std::make_unique<TShingleHashTable>();
    for (auto x : v) t->Add(x);
    t->SetSortType(Int64SortDownNoDup);
    return t;
}

// Random text from a vocabulary heavy in stop words, separators and line breaks.
QString randomText(std::mt19937 &rng, int words) {
    static const char *const vocab[] = {
        "the",    "cat",    "And",  "dog",  "ran", "home",    "и",      "И",
        "в",      "кот",    "Ёлка", "елка", "шёл", "co",      "i'm",    "a's",
        "Однако", "within", "WORD", "x",    "",    "ünïcödé", "Straße", "İstanbul",
    };
    static const char *const seps[] = {" ",        " ",  " ",  ", ", ". ", "  ",  "\r\n",
                                       "\r\n\r\n", "\r", "\n", "\t", ",,", " - ", "«",
                                       "»",        "—",  "!",  "(",  ")",  ";"};
    QString s;
    for (int i = 0; i < words; ++i) {
        if (rng() % 97 == 0)
            s += QString(int(rng() % 1500) + 1, QChar(u'q')); // longer than the shift table
        else
            s += QString::fromUtf8(vocab[rng() % std::size(vocab)]);
        s += QString::fromUtf8(seps[rng() % std::size(seps)]);
    }
    return s;
}

} // namespace

TEST(Shingles, ExamplesFromTheDefinition) {
    const QString seven = QStringLiteral("the cat and the dog ran home");
    auto expect = [](std::initializer_list<const char *> shingles) {
        std::vector<std::int64_t> v;
        for (auto s : shingles) v.push_back(hashOf(s));
        std::sort(v.begin(), v.end(), std::greater<>());
        v.erase(std::unique(v.begin(), v.end()), v.end());
        return v;
    };
    EXPECT_EQ(build(seven, 3, false),
              expect({"the cat and", "cat and the", "and the dog", "the dog ran"}));
    EXPECT_EQ(build(seven, 3, true), expect({"cat dog ran"}));
    // exactly N words: nothing; N + 1: the first N
    EXPECT_TRUE(build(QStringLiteral("one two three"), 3, false).empty());
    EXPECT_EQ(build(QStringLiteral("one two three four"), 3, false), expect({"one two three"}));
    // repeats are held once: seven shingles, three distinct
    EXPECT_EQ(build(QStringLiteral("a b c a b c a b c a"), 3, false).size(), 3u);
    // case does not matter, ё and е differ
    EXPECT_EQ(build(QStringLiteral("Мы ШЛИ Домой Через Лес Вчера"), 3, false),
              build(QStringLiteral("мы шли домой через лес вчера"), 3, false));
    EXPECT_NE(build(QStringLiteral("ёлка стоит в лесу одна"), 3, false),
              build(QStringLiteral("елка стоит в лесу одна"), 3, false));
    // a capital И is lower-cased before the stop-word test
    EXPECT_EQ(build(QStringLiteral("кот И пёс и мышь жили вместе"), 3, true),
              expect({"кот пёс мышь", "пёс мышь жили"}));
    // empty words: part of the shingle without skipping, passed over with it
    EXPECT_EQ(build(QStringLiteral("x,,y z w"), 3, false), expect({"x  y", " y z"}));
    EXPECT_EQ(build(QStringLiteral("x,,y z w"), 2, true), expect({"x y", "y z"}));
    // only CR LF joins words; a lone LF stays inside the word
    EXPECT_EQ(build(QStringLiteral("a\r\nb c"), 2, false), expect({"a b"}));
    EXPECT_EQ(build(QStringLiteral("a\nb c d"), 2, false), expect({"a\nb c"}));
    EXPECT_TRUE(build(QString(), 1, false).empty());
}

TEST(Shingles, StopWords) {
    struct Case {
        const char *word, *lang;
        bool stop;
    };
    const Case cases[] = {
        {"и", "", true},     {"И", "", false},     {"и", "ru", true},    {"и", "en", false},
        {"the", "", true},   {"the", "en", true},  {"the", "ru", false}, {"the", "RU", false},
        {"", "de", true},    {"и", "de", false},   {"ее", "", true},     {"её", "", false},
        {"co.", "en", true}, {"within", "", true}, {"однако", "", true}, {"withi", "", false},
        {"чья", "ru", true}, {"you", "", true},    {"youth", "", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsStopWord(QString::fromUtf8(c.word), QString::fromUtf8(c.lang)), c.stop)
            << c.word << " / " << c.lang;
}

TEST(Shingles, Normalize) {
    struct Case {
        const char *in, *out;
    };
    const Case cases[] = {
        {"«Да»—нет!", "Да нет"},
        {"a - b", "a b"},
        {"«»—!?.,:_|&()'\"\t", ""},
        {"a\r\n\r\n\r\nb", "a\r\n\r\nb"},
        {"a\r\n\r\n\r\n\r\nb", "a\r\n\r\nb"},
        {"  \x01 x;y/[z]\u2013\u201C\u2026 \r\n", "x;y/[z]\u2013\u201C\u2026"},
        {"a \u00A0 \t b", "a b"},
    };
    for (const Case &c : cases) {
        QString t = QString::fromUtf8(c.in);
        NormalizeText(t);
        EXPECT_EQ(t, QString::fromUtf8(c.out)) << c.in;
    }
}

TEST(Shingles, FastPathsAgreeWithTheDefinitionsOnRandomText) {
    std::mt19937 rng(2024);
    const QString langs[] = {QString(), QStringLiteral("ru"), QStringLiteral("en"),
                             QStringLiteral("de")};
    for (int round = 0; round < 400; ++round) {
        const QString text = randomText(rng, int(rng() % 60));
        QString normalized = text;
        NormalizeText(normalized);
        ASSERT_EQ(normalized, referenceNormalize(text));
        const int n = int(rng() % 10) + 1;
        const bool skip = rng() % 2;
        const QString &lang = langs[rng() % 4];
        for (const QString &t : {text, normalized})
            ASSERT_EQ(build(t, n, skip, lang), referenceShingles(t, lang, n, skip))
                << "n=" << n << " skip=" << skip << " text=" << t.toStdString();
    }
}

TEST(Shingles, Similarity) {
    const TShingleHashTable empty, empty2;
    const auto one = tableOf({1});
    const auto a = tableOf({1, 2, 3}), b = tableOf({2, 3, 4, 5});
    EXPECT_EQ(ShingleSimilarity(empty, empty2), 100);
    EXPECT_EQ(ShingleSimilarity(empty, *one), 0);
    EXPECT_EQ(ShingleSimilarity(*a, *b), 2.0 * 2 / 7 * 100);
    EXPECT_EQ(ShingleSimilarity(*b, *a), ShingleSimilarity(*a, *b));

    // Mixed sort modes fall back to the search per item and give the same count.
    std::mt19937_64 rng(5);
    for (int round = 0; round < 50; ++round) {
        TInt64List x, y;
        for (int i = 0; i < 300; ++i) x.Add(std::int64_t(rng() % 500) - 250);
        for (int i = 0; i < 200; ++i) y.Add(std::int64_t(rng() % 500) - 250);
        x.SetSortType(Int64SortDownNoDup);
        const auto modes = {Int64SortNone, Int64SortUpNoDup, Int64SortDownWithDup,
                            Int64SortDownNoDup};
        for (TInt64SortOption m : modes) {
            TInt64List yy;
            yy.CopyFrom(y, false);
            yy.SetSortType(m);
            std::int64_t common = 0;
            for (std::int32_t i = 0; i < x.Count(); ++i) common += yy.IndexOf(x.Get(i)) >= 0;
            const double want = DiceFromCounts(common, x.Count(), yy.Count());
            EXPECT_EQ(ShingleSimilarity(x, yy), want);
            if (m == Int64SortUpNoDup) {
                TInt64List xu;
                xu.CopyFrom(x, false);
                xu.SetSortType(Int64SortUpNoDup);
                EXPECT_EQ(ShingleSimilarity(xu, yy), want);
            }
        }
    }
}
