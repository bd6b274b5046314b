#include "core/shinglespans.h"

#include <algorithm>
#include <string>

#include "core/crc.h"
#include "core/shingles.h"

namespace corvane {

namespace {

// Walks the text the way BuildShingles reads it: letters lower-cased, a CR LF
// pair read as a space, a space right after a space passed over, and a word
// ending at every full stop, comma and space. For each element of the word
// array, the last one included, OnWord gets its offsets in the text and the
// offset of its lower-cased letters in Letters (which the walk appends to).
template <typename OnWord>
void walkWords(const QString &Text, std::u16string *Letters, OnWord onWord) {
    const qsizetype n = Text.size();
    if (n == 0) return;
    const char16_t *src = reinterpret_cast<const char16_t *>(Text.constData());
    qsizetype begin = 0;
    std::size_t letters = Letters ? Letters->size() : 0;
    bool afterSpace = false;
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = src[i];
        const qsizetype at = i;
        if (c < 128) {
            if (c == u'\r' && i + 1 < n && src[i + 1] == u'\n') {
                c = u' ';
                ++i;
            } else {
                c = char16_t(c + (unsigned(c - u'A') < 26u ? 32 : 0));
            }
            if (c == u' ' || c == u',' || c == u'.') {
                if (c == u' ') {
                    if (afterSpace) { // still the empty word after the last space
                        begin = i + 1;
                        continue;
                    }
                    afterSpace = true;
                } else {
                    afterSpace = false;
                }
                onWord(begin, at, letters);
                begin = i + 1;
                letters = Letters ? Letters->size() : 0;
                continue;
            }
        } else {
            c = char16_t(QChar::toLower(c));
        }
        afterSpace = false;
        if (Letters) Letters->push_back(c);
    }
    onWord(begin, n, letters);
}

struct Shingled {
    std::vector<TTextWord> words;
    std::vector<TShingleSpan> spans;
};

Shingled shingle(const QString &Text, QStringView Lang, int N, bool SkipStopWords) {
    Shingled out;
    std::u16string letters;
    letters.reserve(std::size_t(Text.size()));
    std::vector<std::size_t> letterStart; // per word, into letters; one more at the end
    walkWords(Text, &letters, [&](qsizetype b, qsizetype e, std::size_t l) {
        out.words.push_back({b, e});
        letterStart.push_back(l);
    });
    letterStart.push_back(letters.size());
    if (N < 1 || out.words.size() < 2) return out;

    // The words that take part: every one but the last element of the array,
    // less the stop words (and empty words) when they are skipped.
    const std::int32_t m = std::int32_t(out.words.size());
    std::vector<std::int32_t> kept;
    kept.reserve(std::size_t(m));
    for (std::int32_t k = 0; k + 1 < m; ++k) {
        if (SkipStopWords) {
            const QStringView word(letters.data() + letterStart[k],
                                   qsizetype(letterStart[k + 1] - letterStart[k]));
            if (IsStopWord(word, Lang)) continue;
        }
        kept.push_back(k);
    }
    if (kept.size() < std::size_t(N)) return out;

    // Each shingle's text is its words joined by single spaces, hashed whole.
    std::u16string text;
    out.spans.reserve(kept.size() - std::size_t(N) + 1);
    for (std::size_t s = 0; s + std::size_t(N) <= kept.size(); ++s) {
        text.clear();
        for (std::size_t k = s; k < s + std::size_t(N); ++k) {
            if (k > s) text.push_back(u' ');
            text.append(letters, letterStart[kept[k]],
                        letterStart[kept[k] + 1] - letterStart[kept[k]]);
        }
        out.spans.push_back({ShingleHash(reinterpret_cast<const QChar *>(text.data()), text.size()),
                             kept[s], kept[s + std::size_t(N) - 1]});
    }
    return out;
}

std::vector<TPassage> passagesOf(const QString &Text, const Shingled &s,
                                 const std::function<bool(std::int64_t)> &Selected) {
    // Coverage counts by a difference array: +1 at a shingle's first word,
    // -1 past its last.
    std::vector<std::int32_t> delta(s.words.size() + 1, 0);
    for (const TShingleSpan &span : s.spans)
        if (Selected(span.Hash)) {
            ++delta[std::size_t(span.FirstWord)];
            --delta[std::size_t(span.LastWord) + 1];
        }
    std::vector<TPassage> out;
    std::int32_t depth = 0, runStart = -1;
    const std::int32_t m = std::int32_t(s.words.size());
    for (std::int32_t k = 0; k <= m; ++k) {
        depth += delta[std::size_t(k)];
        const bool covered = k < m && depth > 0;
        if (covered && runStart < 0) runStart = k;
        if (!covered && runStart >= 0) {
            const qsizetype b = s.words[std::size_t(runStart)].Begin;
            const qsizetype e = s.words[std::size_t(k - 1)].End;
            out.push_back({runStart, k - runStart, Text.mid(b, e - b)});
            runStart = -1;
        }
    }
    return out;
}

std::vector<std::int64_t> distinctHashes(const std::vector<TShingleSpan> &spans) {
    std::vector<std::int64_t> h;
    h.reserve(spans.size());
    for (const TShingleSpan &s : spans) h.push_back(s.Hash);
    std::sort(h.begin(), h.end());
    h.erase(std::unique(h.begin(), h.end()), h.end());
    return h;
}

} // namespace

std::vector<TTextWord> SplitShingleWords(const QString &Text) {
    std::vector<TTextWord> words;
    walkWords(Text, nullptr, [&](qsizetype b, qsizetype e, std::size_t) {
        words.push_back({b, e});
    });
    return words;
}

std::int32_t CountShingleWords(const QString &Text) {
    std::int32_t count = 0;
    walkWords(Text, nullptr, [&](qsizetype, qsizetype, std::size_t) { ++count; });
    return count;
}

std::vector<TShingleSpan> BuildShingleSpans(const QString &Text, QStringView Lang, int N,
                                            bool SkipStopWords) {
    return shingle(Text, Lang, N, SkipStopWords).spans;
}

std::vector<TPassage> CoveredPassages(const QString &Text, QStringView Lang, int N,
                                      bool SkipStopWords,
                                      const std::function<bool(std::int64_t)> &Selected) {
    return passagesOf(Text, shingle(Text, Lang, N, SkipStopWords), Selected);
}

TSharedPassages FindSharedPassages(const QString &First, const QString &Second, QStringView Lang,
                                   int N, bool SkipStopWords) {
    const Shingled a = shingle(First, Lang, N, SkipStopWords);
    const Shingled b = shingle(Second, Lang, N, SkipStopWords);
    const std::vector<std::int64_t> inA = distinctHashes(a.spans), inB = distinctHashes(b.spans);
    const auto holds = [](const std::vector<std::int64_t> &set) {
        return [&set](std::int64_t h) { return std::binary_search(set.begin(), set.end(), h); };
    };
    return {passagesOf(First, a, holds(inB)), passagesOf(Second, b, holds(inA))};
}

} // namespace corvane
