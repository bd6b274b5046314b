#include <algorithm>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "core/crc.h"
#include "core/shingles.h"
#include "core/shinglespans.h"
#include "qstring_print.h"

using namespace corvane;

namespace {

// The word array of the definition, built slowly: lower-case, CR LF to a
// space, runs of spaces to one, split at full stop, comma and space; each
// word with its offsets in the original text.
struct RefWord {
    QString word;
    qsizetype begin, end;
};

std::vector<RefWord> referenceWords(const QString &t) {
    std::vector<RefWord> out;
    if (t.isEmpty()) return out;
    QString cur;
    qsizetype begin = 0;
    bool lastWasSpace = false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const bool crlf = t[i] == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n';
        const QChar c = crlf ? QChar(u' ') : QChar(char16_t(QChar::toLower(t[i].unicode())));
        const qsizetype next = crlf ? i + 2 : i + 1;
        if (c == u' ' && lastWasSpace) {
            begin = next;
        } else if (c == u' ' || c == u'.' || c == u',') {
            out.push_back({cur, begin, i});
            cur.clear();
            begin = next;
        } else {
            cur += c;
        }
        lastWasSpace = c == u' ';
        i = next - 1;
    }
    out.push_back({cur, begin, t.size()});
    return out;
}

std::vector<std::int64_t> tableItems(const QString &text, int n, bool skip) {
    const auto t = BuildShingles(text, {}, n, skip);
    return std::vector<std::int64_t>(t->List(), t->List() + t->Count());
}

std::vector<std::int64_t> spanHashes(const std::vector<TShingleSpan> &spans) {
    std::vector<std::int64_t> h;
    for (const TShingleSpan &s : spans) h.push_back(s.Hash);
    std::sort(h.begin(), h.end(), std::greater<>());
    h.erase(std::unique(h.begin(), h.end()), h.end());
    return h;
}

// Texts with stop words, punctuation, line breaks of every kind, Cyrillic,
// empty words and texts too short for a shingle.
const char *const Texts[] = {
    "",
    "one",
    "one two three",
    "one two three four",
    "the cat and the dog ran home",
    "The quick brown fox, jumps over the lazy dog. And the dog sleeps",
    "Лиса бежит вдоль реки каждое утро, чтобы найти что-нибудь поесть и попить",
    "кот И пёс и мышь жили вместе в одном доме на краю деревни",
    "first line\r\nsecond line\r\n\r\nthird line after a blank one\r\nlast",
    "a lone\rcarriage return and a lone\nline feed stay in their words here",
    "x,,y z w. . ,  double  spaces ,and,commas.everywhere ",
    " leading space and trailing separators ,",
    "ЁЛКА Ёлка ёлка елка ЕЛКА — «кавычки» и (скобки) the end",
    "a b c a b c a b c a b c a b c",
    "Mixed РУССКИЙ and English text, with i'm and co. and co in it and a's",
};

} // namespace

TEST(ShingleSpans, HashesAreThoseOfBuildShingles) {
    for (const char *raw : Texts)
        for (const bool normalise : {false, true}) {
            QString text = QString::fromUtf8(raw);
            if (normalise) NormalizeText(text);
            for (const int n : {1, 2, 3, 6, 10})
                for (const bool skip : {false, true})
                    EXPECT_EQ(spanHashes(BuildShingleSpans(text, {}, n, skip)),
                              tableItems(text, n, skip))
                        << "n=" << n << " skip=" << skip << " text=" << raw;
        }
    // The language selects the stop-word lists as it does for BuildShingles.
    const QString mixed = QString::fromUtf8(Texts[14]);
    for (const char *lang : {"ru", "en", "de"}) {
        const auto table = BuildShingles(mixed, QString::fromUtf8(lang), 3, true);
        EXPECT_EQ(spanHashes(BuildShingleSpans(mixed, QString::fromUtf8(lang), 3, true)),
                  std::vector<std::int64_t>(table->List(), table->List() + table->Count()));
    }
}

TEST(ShingleSpans, SameHashesOnRandomText) {
    std::mt19937 rng(77);
    static const char *const vocab[] = {"the", "Cat", "and",    "dog",      "и",
                                        "В",   "кот", "Ёлка",   "i'm",      "within",
                                        "x",   "",    "Straße", "İstanbul", "word"};
    static const char *const seps[] = {" ", " ", ", ", ". ", "  ", "\r\n", "\r", "\n", ",,", " - "};
    for (int round = 0; round < 300; ++round) {
        QString text;
        for (int i = int(rng() % 50); i > 0; --i)
            text += QString::fromUtf8(vocab[rng() % std::size(vocab)]) +
                    QString::fromUtf8(seps[rng() % std::size(seps)]);
        const int n = int(rng() % 10) + 1;
        const bool skip = rng() % 2;
        ASSERT_EQ(spanHashes(BuildShingleSpans(text, {}, n, skip)), tableItems(text, n, skip))
            << "n=" << n << " skip=" << skip << " text=" << text.toStdString();
    }
}

TEST(ShingleSpans, WordsAndSpansPointAtTheirText) {
    for (const char *raw : Texts) {
        const QString text = QString::fromUtf8(raw);
        const std::vector<RefWord> ref = referenceWords(text);
        const std::vector<TTextWord> words = SplitShingleWords(text);
        ASSERT_EQ(words.size(), ref.size()) << raw;
        EXPECT_EQ(CountShingleWords(text), std::int32_t(ref.size())) << raw;
        for (std::size_t k = 0; k < ref.size(); ++k) {
            EXPECT_EQ(words[k].Begin, ref[k].begin) << raw << " word " << k;
            EXPECT_EQ(words[k].End, ref[k].end) << raw << " word " << k;
        }
        // Each span: N words that take part from its first to its last word,
        // both of them taking part, and its hash that of those words joined.
        for (const int n : {2, 3, 5})
            for (const bool skip : {false, true})
                for (const TShingleSpan &s : BuildShingleSpans(text, {}, n, skip)) {
                    ASSERT_LT(s.LastWord + 1, std::int32_t(ref.size())); // never the last word
                    QString joined;
                    int count = 0;
                    for (std::int32_t k = s.FirstWord; k <= s.LastWord; ++k) {
                        if (skip && IsStopWord(ref[std::size_t(k)].word, {})) {
                            EXPECT_NE(k, s.FirstWord);
                            EXPECT_NE(k, s.LastWord);
                            continue;
                        }
                        joined +=
                            (count++ ? QStringLiteral(" ") : QString()) + ref[std::size_t(k)].word;
                    }
                    EXPECT_EQ(count, n);
                    EXPECT_EQ(s.Hash, ShingleHash(joined.constData(), std::size_t(joined.size())))
                        << raw;
                }
    }
}

namespace {

// Shared passages by brute force over words: a window of N words that take
// part is shared when the other text has a window of the same words; the
// covered words of a side, from each shared window's first word to its last,
// cut into runs.
std::vector<TPassage> referenceShared(const QString &text, const QString &other, int n, bool skip) {
    const auto windows = [&](const QString &t) {
        const std::vector<RefWord> w = referenceWords(t);
        std::vector<std::size_t> kept;
        for (std::size_t k = 0; k + 1 < w.size(); ++k)
            if (!skip || !IsStopWord(w[k].word, {})) kept.push_back(k);
        std::vector<std::pair<QStringList, std::pair<std::size_t, std::size_t>>> out;
        for (std::size_t s = 0; s + std::size_t(n) <= kept.size(); ++s) {
            QStringList words;
            for (std::size_t k = s; k < s + std::size_t(n); ++k) words << w[kept[k]].word;
            out.push_back({words, {kept[s], kept[s + std::size_t(n) - 1]}});
        }
        return std::make_pair(w, out);
    };
    const auto [words, mine] = windows(text);
    const auto theirs = windows(other).second;
    std::set<QStringList> inOther;
    for (const auto &w : theirs) inOther.insert(w.first);
    std::vector<bool> covered(words.size(), false);
    for (const auto &w : mine)
        if (inOther.count(w.first))
            for (std::size_t k = w.second.first; k <= w.second.second; ++k) covered[k] = true;
    std::vector<TPassage> out;
    for (std::size_t k = 0; k < words.size(); ++k) {
        if (!covered[k] || (k > 0 && covered[k - 1])) continue;
        std::size_t e = k;
        while (e + 1 < words.size() && covered[e + 1]) ++e;
        out.push_back({std::int32_t(k), std::int32_t(e - k + 1),
                       text.mid(words[k].begin, words[e].end - words[k].begin)});
    }
    return out;
}

void expectPassages(const std::vector<TPassage> &got, const std::vector<TPassage> &want,
                    const char *what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].FirstWord, want[i].FirstWord) << what << " passage " << i;
        EXPECT_EQ(got[i].WordCount, want[i].WordCount) << what << " passage " << i;
        EXPECT_EQ(got[i].Text, want[i].Text) << what << " passage " << i;
    }
}

const QString P1 =
    QStringLiteral("Our workshop repairs antique clocks and music boxes with original parts");
const QString P2 =
    QStringLiteral("Opening hours are from nine to six on weekdays and until noon on Saturday");
const QString P3 =
    QStringLiteral("Every repair comes with a written guarantee for two full years of service");
const QString Q = QStringLiteral("Prices depend on the age and the condition of each piece");

} // namespace

TEST(SharedPassages, ReorderedParagraphsAreFound) {
    // The second text holds the first's first and third paragraphs swapped,
    // with a paragraph of its own between them; a line diff would match only one.
    const QString crlf = QStringLiteral("\r\n");
    QString a = P1 + crlf + P2 + crlf + P3 + crlf + QStringLiteral("Call us today");
    QString b = QStringLiteral("Welcome") + crlf + P3 + crlf + Q + crlf + P1 + crlf +
                QStringLiteral("Thank you");
    NormalizeText(a);
    NormalizeText(b);

    // With N = 3 and no stop words skipped, the passages are whole paragraphs.
    const TSharedPassages got = FindSharedPassages(a, b, {}, 3, false);
    const std::int32_t w1 = 11, w2 = 14, w3 = 13; // words of P1, P2, P3
    ASSERT_EQ(CountShingleWords(P1), w1);
    ASSERT_EQ(CountShingleWords(P2), w2);
    ASSERT_EQ(CountShingleWords(P3), w3);
    expectPassages(got.First, {{0, w1, P1}, {w1 + w2, w3, P3}}, "first");
    expectPassages(got.Second, {{1, w3, P3}, {1 + w3 + CountShingleWords(Q), w1, P1}}, "second");

    // Every setting, against brute force over word windows.
    for (const int n : {3, 4, 6, 10})
        for (const bool skip : {false, true}) {
            const TSharedPassages s = FindSharedPassages(a, b, {}, n, skip);
            SCOPED_TRACE(testing::Message() << "n=" << n << " skip=" << skip);
            expectPassages(s.First, referenceShared(a, b, n, skip), "first");
            expectPassages(s.Second, referenceShared(b, a, n, skip), "second");
        }
}

TEST(SharedPassages, StopWordsInsideAndAtTheEdges) {
    // With stop words skipped a passage starts at a word that is no stop word
    // and takes in the stop words a shingle passed over; a repeat on the
    // same side is found at each of its places.
    const QString a =
        QStringLiteral("and the red fox of the north jumps and the red fox of the north");
    const QString b = QStringLiteral("we saw a red fox in the north jumps high");
    const TSharedPassages s = FindSharedPassages(a, b, {}, 3, true);
    // "red fox north" and "fox north jumps" are shared: words 2..7 of the first
    // text. Its repeat at 10..14 forms no shingle of three words that the
    // second text holds ("north" ends the text and is never part of one).
    expectPassages(s.First, {{2, 6, QStringLiteral("red fox of the north jumps")}}, "first");
    expectPassages(s.Second, {{3, 6, QStringLiteral("red fox in the north jumps")}}, "second");
    for (const int n : {2, 3})
        for (const bool skip : {false, true}) {
            const TSharedPassages r = FindSharedPassages(a, b, {}, n, skip);
            SCOPED_TRACE(testing::Message() << "n=" << n << " skip=" << skip);
            expectPassages(r.First, referenceShared(a, b, n, skip), "first");
            expectPassages(r.Second, referenceShared(b, a, n, skip), "second");
        }
    // Nothing in common, or nothing to cut: no passage.
    const TSharedPassages none =
        FindSharedPassages(a, QStringLiteral("entirely different words here"), {}, 3, false);
    EXPECT_TRUE(none.First.empty());
    EXPECT_TRUE(none.Second.empty());
    EXPECT_TRUE(FindSharedPassages(QString(), QString(), {}, 3, false).First.empty());
}

TEST(SharedPassages, CoveredPassagesMergeAdjacentShingles) {
    // Words 0..2 and 3..5 are covered by two shingles with no word between
    // them: one passage; 8..10 is a second one.
    const QString text = QStringLiteral("w0 w1 w2 w3 w4 w5 w6 w7 w8 w9 w10 w11");
    std::set<std::int64_t> chosen;
    for (const TShingleSpan &s : BuildShingleSpans(text, {}, 3, false))
        if (s.FirstWord == 0 || s.FirstWord == 3 || s.FirstWord == 8) chosen.insert(s.Hash);
    const auto got =
        CoveredPassages(text, {}, 3, false, [&](std::int64_t h) { return chosen.count(h) > 0; });
    expectPassages(
        got, {{0, 6, QStringLiteral("w0 w1 w2 w3 w4 w5")}, {8, 3, QStringLiteral("w8 w9 w10")}},
        "covered");
}
