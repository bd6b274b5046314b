#include "shingles.h"

#include <array>
#include <functional>
#include <type_traits>
#include <vector>

#include "crc.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace corvane {

namespace {

// --- Stop words -------------------------------------------------------------

// The Russian list holds "и" twice, as it always has.
const char16_t *const RussianStopWords[] = {
    u"а", u"без", u"более", u"бы", u"был", u"была", u"были", u"было", u"быть", u"в",
    u"вам", u"вас", u"весь", u"во", u"вот", u"все", u"всего", u"всех", u"вы", u"где",
    u"да", u"даже", u"для", u"до", u"его", u"ее", u"если", u"есть", u"еще", u"же",
    u"за", u"здесь", u"и", u"из", u"или", u"им", u"их", u"к", u"как", u"ко",
    u"когда", u"кто", u"ли", u"либо", u"мне", u"может", u"мы", u"на", u"надо", u"наш",
    u"не", u"него", u"нее", u"нет", u"ни", u"них", u"но", u"ну", u"о", u"об",
    u"однако", u"он", u"она", u"они", u"оно", u"от", u"очень", u"по", u"под", u"при",
    u"с", u"со", u"так", u"также", u"такой", u"там", u"те", u"тем", u"то", u"того",
    u"тоже", u"той", u"только", u"том", u"ты", u"у", u"уже", u"хотя", u"чего", u"чей",
    u"чем", u"что", u"чтобы", u"чье", u"чья", u"эта", u"эти", u"это", u"я", u"и",
};

const char16_t *const EnglishStopWords[] = {
    u"a", u"add", u"adj", u"ago", u"all", u"also", u"am", u"an", u"and", u"any",
    u"are", u"as", u"a's", u"ask", u"at", u"be", u"but", u"by", u"can", u"co",
    u"co.", u"com", u"c's", u"did", u"do", u"edu", u"eg", u"end", u"et", u"etc",
    u"ex", u"f", u"far", u"few", u"for", u"from", u"get", u"go", u"got", u"had",
    u"has", u"he", u"her", u"hi", u"him", u"his", u"how", u"i", u"i'd", u"ie",
    u"if", u"i'm", u"in", u"inc", u"is", u"it", u"its", u"let", u"low", u"ltd",
    u"may", u"me", u"mr", u"mrs", u"my", u"nd", u"new", u"no", u"non", u"nor",
    u"not", u"now", u"of", u"off", u"often", u"oh", u"ok", u"old", u"on", u"one",
    u"or", u"our", u"out", u"own", u"per", u"que", u"qv", u"r", u"rd", u"re",
    u"saw", u"say", u"see", u"she", u"six", u"so", u"sub", u"such", u"sup", u"th",
    u"that", u"the", u"this", u"to", u"too", u"try", u"t's", u"two", u"un", u"up",
    u"us", u"use", u"via", u"viz", u"vs", u"was", u"way", u"we", u"which", u"with",
    u"within", u"when", u"who", u"why", u"yes", u"yet", u"you",
};

static_assert(std::size(RussianStopWords) == 100);
static_assert(std::size(EnglishStopWords) == 127);

constexpr unsigned InRussian = 1, InEnglish = 2;

// Open-addressing set of both lists; a word maps to the lists that hold it.
class StopWordSet {
public:
    StopWordSet() {
        for (const char16_t *w : RussianStopWords) insert(w, InRussian);
        for (const char16_t *w : EnglishStopWords) insert(w, InEnglish);
    }

    unsigned lists(const QChar *w, qsizetype len) const {
        if (len <= 0 || len > MaxLen) return 0;
        for (std::size_t i = hash(w, len) & (Slots - 1);; i = (i + 1) & (Slots - 1)) {
            const Entry &e = table[i];
            if (e.len == 0) return 0;
            if (e.len == len && std::equal(w, w + len, e.chars,
                                           [](QChar a, char16_t b) { return a.unicode() == b; }))
                return e.mask;
        }
    }

    static constexpr qsizetype MaxLen = 8;

private:
    static constexpr std::size_t Slots = 512;
    struct Entry {
        char16_t chars[MaxLen] = {};
        std::uint8_t len = 0;
        std::uint8_t mask = 0;
    };

    static char16_t unit(QChar c) { return c.unicode(); }
    static char16_t unit(char16_t c) { return c; }

    template <typename Ch>
    static std::size_t hash(const Ch *w, qsizetype len) {
        std::uint32_t h = 2166136261u;
        for (qsizetype i = 0; i < len; ++i) h = (h ^ std::uint32_t(unit(w[i]))) * 16777619u;
        return h;
    }

    void insert(const char16_t *w, unsigned mask) {
        const qsizetype len = qsizetype(std::char_traits<char16_t>::length(w));
        Q_ASSERT(len <= MaxLen);
        for (std::size_t i = hash(w, len) & (Slots - 1);; i = (i + 1) & (Slots - 1)) {
            Entry &e = table[i];
            if (e.len == 0) {
                std::copy(w, w + len, e.chars);
                e.len = std::uint8_t(len);
                e.mask = std::uint8_t(mask);
                return;
            }
            if (e.len == len && std::equal(w, w + len, e.chars)) {
                e.mask |= std::uint8_t(mask);
                return;
            }
        }
    }

    std::array<Entry, Slots> table{};
};

const StopWordSet &stopWords() {
    static const StopWordSet set;
    return set;
}

// Which lists a language selects: 0 when it selects none.
unsigned listsOf(QStringView lang) {
    if (lang.isEmpty()) return InRussian | InEnglish;
    if (lang == u"ru") return InRussian;
    if (lang == u"en") return InEnglish;
    return 0;
}

inline bool isStop(const QChar *w, qsizetype len, unsigned langMask) {
    return len == 0 || (stopWords().lists(w, len) & langMask) != 0;
}

// --- Normalisation ------------------------------------------------------------

// Characters below U+0100 that NormalizeText turns into spaces.
constexpr std::array<bool, 256> makeLatinToSpace() {
    std::array<bool, 256> t{};
    for (char16_t c : u"\t\u00A0'\"\u00AB\u00BB-_:.,|!?&()")
        if (c) t[c] = true;
    return t;
}
constexpr std::array<bool, 256> LatinToSpace = makeLatinToSpace();

inline bool toSpace(char16_t c) {
    return c < 256 ? LatinToSpace[c] : (c == u'\u2015' || c == u'\u2014');
}

inline char16_t lower(char16_t c) {
    if (c < 128) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return char16_t(QChar::toLower(c));
}

// Items of a found in b, both sorted by before; b may hold repeats.
template <typename Before>
std::int64_t mergeCount(const std::int64_t *a, std::int32_t na, const std::int64_t *b,
                        std::int32_t nb, Before before) {
    std::int64_t common = 0;
    std::int32_t i = 0, j = 0;
    while (i < na && j < nb) {
        const std::int64_t x = a[i], y = b[j];
        const bool bFirst = before(y, x);
        common += (x == y);
        i += !bFirst;
        j += bFirst;
    }
    return common;
}

#if defined(__x86_64__)
// Four items of each side at a time: every pair of the two blocks compared at
// once, then the block that ends earlier in the order moves on. Counts each
// item of a once only when neither side holds repeats.
template <bool Descending>
__attribute__((target("avx2,popcnt"))) std::int64_t blockMergeCount(const std::int64_t *a,
                                                                    std::int32_t na,
                                                                    const std::int64_t *b,
                                                                    std::int32_t nb) {
    std::int64_t common = 0;
    std::int32_t i = 0, j = 0;
    while (i + 4 <= na && j + 4 <= nb) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(a + i));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + j));
        __m256i m = _mm256_cmpeq_epi64(va, vb);
        m = _mm256_or_si256(m, _mm256_cmpeq_epi64(va, _mm256_permute4x64_epi64(vb, 0x39)));
        m = _mm256_or_si256(m, _mm256_cmpeq_epi64(va, _mm256_permute4x64_epi64(vb, 0x4e)));
        m = _mm256_or_si256(m, _mm256_cmpeq_epi64(va, _mm256_permute4x64_epi64(vb, 0x93)));
        common += __builtin_popcount(unsigned(_mm256_movemask_pd(_mm256_castsi256_pd(m))));
        const std::int64_t la = a[i + 3], lb = b[j + 3];
        if constexpr (Descending) {
            i += la >= lb ? 4 : 0;
            j += lb >= la ? 4 : 0;
        } else {
            i += la <= lb ? 4 : 0;
            j += lb <= la ? 4 : 0;
        }
    }
    using Before = std::conditional_t<Descending, std::greater<std::int64_t>, std::less<std::int64_t>>;
    return common + mergeCount(a + i, na - i, b + j, nb - j, Before());
}

const bool HaveAvx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
#endif

} // namespace

bool IsStopWord(QStringView Word, QStringView Lang) {
    return isStop(Word.data(), Word.size(), listsOf(Lang));
}

void NormalizeText(QString &Text) {
    const qsizetype n = Text.size();
    if (n == 0) return;
    QChar *d = Text.data();
    qsizetype out = 0;
    for (qsizetype i = 0; i < n;) {
        char16_t c = d[i].unicode();
        // Two line breaks in a row become one, in a single pass.
        if (c == u'\r' && i + 3 < n && d[i + 1] == u'\n' && d[i + 2] == u'\r' && d[i + 3] == u'\n') {
            d[out++] = u'\r';
            d[out++] = u'\n';
            i += 4;
            continue;
        }
        ++i;
        if (toSpace(c)) c = u' ';
        if (c == u' ' && out > 0 && d[out - 1] == u' ') continue;
        d[out++] = c;
    }
    qsizetype b = 0, e = out;
    while (b < e && d[b].unicode() <= 0x20) ++b;
    while (e > b && d[e - 1].unicode() <= 0x20) --e;
    if (b > 0 || e < n) Text = Text.mid(b, e - b);
}

// The shingle starting at kept word k is the text of words k..k+N-1 joined
// by single spaces, which is one stretch of the stream "w0 w1 w2 ..." of the
// words that take part (all of them, or those that are not stop words). With P(x) the zero-initialised CRC register after the
// stream's first x bytes, the CRC of the stretch [s, e) with the all-ones start
// is shift(ones ^ P(s), e - s) ^ P(e), shift being a multiplication by
// x^(8 * length) modulo the polynomial; so one pass over the stream and one
// multiplication per shingle give exactly the hashes of the shingle texts.
std::unique_ptr<TShingleHashTable> BuildShingles(const QString &Text, QStringView Lang, int N,
                                                 bool SkipStopWords) {
    auto table = std::make_unique<TShingleHashTable>();
    const qsizetype n = Text.size();
    if (N < 1 || n == 0) {
        table->SetSortType(Int64SortDownNoDup);
        return table;
    }
    const StopWordSet &stops = stopWords();
    const unsigned langMask = listsOf(Lang);

    // One pass: lower-case, CR LF to space, runs of spaces to one, and at each
    // full stop, comma or space the word before it is ended. The word after
    // the last separator is the last element of the word array: never used.
    // Each word that takes part is fed to the stream's CRC as it ends.
    std::unique_ptr<char16_t[]> buf(new char16_t[std::size_t(n)]);
    const char16_t *src = reinterpret_cast<const char16_t *>(Text.constData());
    struct Kept {
        std::uint64_t before, after; // stream register before / after the word
        std::size_t begin, end;      // stream byte offsets of the word
    };
    std::vector<Kept> kept;
    kept.reserve(std::size_t(n / 6 + 1));
    std::uint64_t reg = 0;
    std::size_t pos = 0;
    qsizetype len = 0, wordStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = src[i];
        if (c == u'\r' && i + 1 < n && src[i + 1] == u'\n') {
            c = u' ';
            ++i;
        } else if (c < 128) {
            c = char16_t(c + (unsigned(c - u'A') < 26u ? 32 : 0));
        } else {
            c = char16_t(QChar::toLower(c));
        }
        if (c == u' ' && len > 0 && buf[len - 1] == u' ') continue;
        buf[len++] = c;
        if (c != u' ' && c != u',' && c != u'.') continue;
        const char16_t *w = buf.get() + wordStart;
        const qsizetype wlen = len - 1 - wordStart;
        wordStart = len;
        if (SkipStopWords &&
            (wlen == 0 || (stops.lists(reinterpret_cast<const QChar *>(w), wlen) & langMask)))
            continue;
        if (!kept.empty()) {
            reg = crcdetail::crc64Unit(reg, u' ');
            pos += 2;
        }
        Kept k{reg, 0, pos, 0};
        for (qsizetype j = 0; j < wlen; ++j) reg = crcdetail::crc64Unit(reg, w[j]);
        pos += 2 * std::size_t(wlen);
        k.after = reg;
        k.end = pos;
        kept.push_back(k);
    }

    std::vector<std::int64_t> hashes;
    const std::size_t count = kept.size();
    if (count >= std::size_t(N)) {
        hashes.resize(count - std::size_t(N) + 1);
        const std::uint64_t ones = crcdetail::Crc64Ones;
        for (std::size_t k = 0; k < hashes.size(); ++k) {
            const Kept &first = kept[k], &last = kept[k + std::size_t(N) - 1];
            hashes[k] = std::int64_t(crcdetail::crc64ShiftBytes(ones ^ first.before, last.end - first.begin) ^
                                     last.after ^ ones);
        }
    }

    table->SetCapacity(std::int32_t(hashes.size()));
    for (std::int64_t h : hashes) table->Add(h);
    table->SetSortType(Int64SortDownNoDup);
    return table;
}

double ShingleSimilarity(const TInt64List &A, const TInt64List &B) {
    const std::int32_t na = A.Count(), nb = B.Count();
    if (na + nb == 0) return 100;
    std::int64_t common = 0;
    const auto up = [](TInt64SortOption m) {
        return m == Int64SortUpWithDup || m == Int64SortUpNoDup;
    };
    const auto down = [](TInt64SortOption m) {
        return m == Int64SortDownWithDup || m == Int64SortDownNoDup;
    };
    const std::int64_t *a = A.List(), *b = B.List();
    if (na > 0 && nb > 0 && ((down(A.SortType()) && down(B.SortType())) ||
                             (up(A.SortType()) && up(B.SortType())))) {
        // Both in the same order: one merge counts every item of A found in B,
        // the same count that a binary search per item gives.
        const bool desc = down(A.SortType());
#if defined(__x86_64__)
        const bool noRepeats = (A.SortType() == Int64SortDownNoDup || A.SortType() == Int64SortUpNoDup) &&
                               (B.SortType() == Int64SortDownNoDup || B.SortType() == Int64SortUpNoDup);
        if (HaveAvx2 && noRepeats)
            common = desc ? blockMergeCount<true>(a, na, b, nb) : blockMergeCount<false>(a, na, b, nb);
        else
#endif
            common = desc ? mergeCount(a, na, b, nb, std::greater<std::int64_t>())
                          : mergeCount(a, na, b, nb, std::less<std::int64_t>());
    } else {
        for (std::int32_t i = 0; i < na; ++i) common += (B.IndexOf(a[i]) >= 0);
    }
    return DiceFromCounts(common, na, nb);
}

} // namespace corvane
