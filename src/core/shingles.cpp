#include "core/shingles.h"

#include <array>
#include <cstring>
#include <functional>
#include <type_traits>
#include <vector>

#include "core/crc.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane {

namespace {

// --- Stop words -------------------------------------------------------------

// The Russian list holds "и" twice, as it always has.
// clang-format off
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
// clang-format on

static_assert(std::size(RussianStopWords) == 100);
static_assert(std::size(EnglishStopWords) == 127);

constexpr unsigned InRussian = 1, InEnglish = 2;

// Open-addressing set of both lists; a word maps to the lists that hold it.
// A word of up to eight UTF-16 units is packed into two 64-bit keys.
class StopWordSet {
public:
    static constexpr qsizetype MaxLen = 8;

    StopWordSet() {
        for (const char16_t *w : RussianStopWords) insert(w, InRussian);
        for (const char16_t *w : EnglishStopWords) insert(w, InEnglish);
    }

    // w must have room for MaxLen units (what lies past len is ignored).
    unsigned lists(const char16_t *w, qsizetype len) const {
        if (len <= 0 || len > MaxLen || !maybe(w, len)) return 0;
        const Key k = key(w, len);
        for (std::size_t i = slot(k);; i = (i + 1) & (Slots - 1)) {
            const Entry &e = table[i];
            if (e.k.a == k.a && e.k.b == k.b && e.len == len) return e.mask;
            if (e.len == 0) return 0;
        }
    }

private:
    static constexpr std::size_t Slots = 512;
    static constexpr unsigned SigBits = 4096;
    struct Key {
        std::uint64_t a = 0, b = 0;
    };
    struct Entry {
        Key k;
        std::uint8_t len = 0;
        std::uint8_t mask = 0;
    };

    static Key key(const char16_t *w, qsizetype len) {
        std::uint64_t u[2];
        std::memcpy(u, w, sizeof u);
        const auto keep = [](qsizetype units) {
            return units >= 4 ? ~0ULL : units <= 0 ? 0 : (1ULL << (16 * units)) - 1;
        };
        return {u[0] & keep(len), u[1] & keep(len - 4)};
    }

    // A bit per (length, first unit, last unit) signature: most words that are
    // no stop word are turned away by one bit test.
    static unsigned signature(const char16_t *w, qsizetype len) {
        return (unsigned(len) * 0x9E37u + unsigned(w[0]) * 31u + unsigned(w[len - 1])) &
               (SigBits - 1);
    }
    bool maybe(const char16_t *w, qsizetype len) const {
        const unsigned sig = signature(w, len);
        return (sigs[sig / 64] >> (sig % 64)) & 1;
    }

    static std::size_t slot(const Key &k) {
        return std::size_t((k.a * 0x9E3779B97F4A7C15ULL ^ k.b * 0xC2B2AE3D27D4EB4FULL) >> 55) &
               (Slots - 1);
    }

    void insert(const char16_t *w, unsigned mask) {
        char16_t padded[MaxLen] = {};
        const qsizetype len = qsizetype(std::char_traits<char16_t>::length(w));
        Q_ASSERT(len <= MaxLen);
        std::copy(w, w + len, padded);
        const unsigned sig = signature(padded, len);
        sigs[sig / 64] |= 1ULL << (sig % 64);
        const Key k = key(padded, len);
        for (std::size_t i = slot(k);; i = (i + 1) & (Slots - 1)) {
            Entry &e = table[i];
            if (e.len == 0) {
                e = {k, std::uint8_t(len), std::uint8_t(mask)};
                return;
            }
            if (e.k.a == k.a && e.k.b == k.b && e.len == len) {
                e.mask |= std::uint8_t(mask);
                return;
            }
        }
    }

    std::array<Entry, Slots> table{};
    std::array<std::uint64_t, SigBits / 64> sigs{};
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

inline bool isStop(const char16_t *w, qsizetype len, unsigned langMask) {
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
__attribute__((target("avx2,popcnt"))) std::int64_t
blockMergeCount(const std::int64_t *a, std::int32_t na, const std::int64_t *b, std::int32_t nb) {
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
    using Before =
        std::conditional_t<Descending, std::greater<std::int64_t>, std::less<std::int64_t>>;
    return common + mergeCount(a + i, na - i, b + j, nb - j, Before());
}

const bool HaveAvx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
#endif

} // namespace

bool IsStopWord(QStringView Word, QStringView Lang) {
    char16_t padded[StopWordSet::MaxLen] = {};
    if (Word.size() > StopWordSet::MaxLen) return false;
    std::copy(Word.utf16(), Word.utf16() + Word.size(), padded);
    return isStop(padded, Word.size(), listsOf(Lang));
}

namespace {

// One step of the normalisation at src[i]; returns the index after it.
inline qsizetype normalizeStep(const char16_t *src, qsizetype i, qsizetype n, char16_t *out,
                               qsizetype &o) {
    char16_t c = src[i];
    // Two line breaks in a row become one, in a single pass.
    if (c == u'\r' && i + 3 < n && src[i + 1] == u'\n' && src[i + 2] == u'\r' &&
        src[i + 3] == u'\n') {
        out[o++] = u'\r';
        out[o++] = u'\n';
        return i + 4;
    }
    if (toSpace(c)) c = u' ';
    if (!(c == u' ' && o > 0 && out[o - 1] == u' ')) out[o++] = c;
    return i + 1;
}

} // namespace

void NormalizeText(QString &Text) {
    const qsizetype n = Text.size();
    if (n == 0) return;
    const char16_t *src = reinterpret_cast<const char16_t *>(Text.constData());
    // Eight units of room past the end for whole-block stores.
    QString result(n + 8, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(result.data());
    qsizetype o = 0, i = 0;
#if defined(__SSE2__)
    // Blocks of eight units that need no change are copied whole; a block is
    // copied up to its first unit that needs a change (a mark that becomes a
    // space, a CR, or a space after a space), which then takes the slow step.
    const __m128i space = _mm_set1_epi16(0x20);
    const auto eq = [](__m128i v, int c) { return _mm_cmpeq_epi16(v, _mm_set1_epi16(short(c))); };
    while (i + 8 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        __m128i prev = i > 0 ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i - 1))
                             : _mm_slli_si128(v, 2);
        prev = _mm_insert_epi16(prev, o > 0 ? out[o - 1] : 0, 0);
        const __m128i sp = _mm_cmpeq_epi16(v, space);
        const __m128i low =
            _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x2E)), _mm_setzero_si128());
        __m128i special = _mm_andnot_si128(sp, low); // up to '.' but the space: marks, CR, tab
        special = _mm_or_si128(special, _mm_or_si128(eq(v, ':'), eq(v, '?')));
        special = _mm_or_si128(special, _mm_or_si128(eq(v, '_'), eq(v, '|')));
        special = _mm_or_si128(special, _mm_or_si128(eq(v, 0xA0), eq(v, 0xAB)));
        special = _mm_or_si128(special, _mm_or_si128(eq(v, 0xBB), eq(v, 0x2014)));
        special = _mm_or_si128(special, eq(v, 0x2015));
        special = _mm_or_si128(special, _mm_and_si128(sp, _mm_cmpeq_epi16(prev, space)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + o), v);
        const unsigned mask = unsigned(_mm_movemask_epi8(special));
        if (mask == 0) {
            o += 8;
            i += 8;
            continue;
        }
        const int first = __builtin_ctz(mask) / 2;
        o += first;
        i = normalizeStep(src, i + first, n, out, o);
    }
#endif
    while (i < n) i = normalizeStep(src, i, n, out, o);
    qsizetype b = 0, e = o;
    while (b < e && out[b] <= 0x20) ++b;
    while (e > b && out[e - 1] <= 0x20) --e;
    if (b == 0) {
        result.truncate(e);
        Text = std::move(result);
    } else {
        Text = QString(reinterpret_cast<const QChar *>(out + b), e - b);
    }
}

// The shingle starting at kept word k is the text of words k..k+N-1 joined
// by single spaces, which is one stretch of the stream "w0 w1 w2 ..." of the
// words that take part (all of them, or those that are not stop words). With
// P(x) the zero-initialised CRC register after the stream's first x bytes, the
// CRC of the stretch [s, e) with the all-ones start
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
    const std::uint64_t ones = crcdetail::Crc64Ones;

    // The last N words that take part, in a ring: register before each word
    // and its first byte's offset in the stream.
    struct Start {
        std::uint64_t before;
        std::size_t begin;
    };
    std::vector<Start> ring(static_cast<std::size_t>(N));
    std::size_t kept = 0, slot = 0; // slot: where word number `kept` goes, kept mod N
    std::uint64_t reg = 0;          // the stream's register, zero-initialised
    std::size_t pos = 0;            // the stream's length in bytes
    thread_local std::vector<std::int64_t> hashes;
    hashes.clear();

    // The word being read; room for the stop-word key's eight units at least.
    thread_local std::vector<char16_t> word;
    if (word.size() < 256) word.resize(256);
    char16_t *w = word.data();
    std::size_t wlen = 0;
    const auto endWord = [&] {
        if (SkipStopWords && (wlen == 0 || (stops.lists(w, qsizetype(wlen)) & langMask))) return;
        if (kept > 0) {
            reg = crcdetail::crc64Unit(reg, u' ');
            pos += 2;
        }
        ring[slot] = {reg, pos};
        reg = crcdetail::crc64Units(reg, w, wlen);
        pos += 2 * wlen;
        ++kept;
        if (++slot == ring.size()) slot = 0;
        if (kept >= std::size_t(N)) {
            const Start &first = ring[slot]; // word kept - N, the oldest
            hashes.push_back(std::int64_t(
                crcdetail::crc64ShiftBytes(ones ^ first.before, pos - first.begin) ^ reg ^ ones));
        }
    };

    // One pass: lower-case, CR LF to space, runs of spaces to one, and at each
    // full stop, comma or space the word before it ends. The word after the
    // last separator is the last element of the word array: never used.
    const char16_t *src = reinterpret_cast<const char16_t *>(Text.constData());
    bool afterSpace = false;
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = src[i];
        if (c < 128) {
            if (c == u'\r' && i + 1 < n && src[i + 1] == u'\n') {
                c = u' ';
                ++i;
            } else {
                c = char16_t(c + (unsigned(c - u'A') < 26u ? 32 : 0));
            }
            if (c == u' ' || c == u',' || c == u'.') {
                if (c == u' ') {
                    if (afterSpace) continue;
                    afterSpace = true;
                } else {
                    afterSpace = false;
                }
                endWord();
                wlen = 0;
                continue;
            }
        } else {
            c = char16_t(QChar::toLower(c));
        }
        afterSpace = false;
        if (wlen == word.size()) {
            word.resize(word.size() * 2);
            w = word.data();
        }
        w[wlen++] = c;
    }

    table->SetCapacity(std::int32_t(hashes.size()));
    for (std::int64_t h : hashes) table->Add(h);
    table->SetSortType(Int64SortDownNoDup);
    // Don't keep a huge page's buffers.
    if (hashes.capacity() > (1u << 20)) hashes = {};
    if (word.size() > 4096) word = {};
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
    if (na > 0 && nb > 0 &&
        ((down(A.SortType()) && down(B.SortType())) || (up(A.SortType()) && up(B.SortType())))) {
        // Both in the same order: one merge counts every item of A found in B,
        // the same count that a binary search per item gives.
        const bool desc = down(A.SortType());
#if defined(__x86_64__)
        const bool noRepeats =
            (A.SortType() == Int64SortDownNoDup || A.SortType() == Int64SortUpNoDup) &&
            (B.SortType() == Int64SortDownNoDup || B.SortType() == Int64SortUpNoDup);
        if (HaveAvx2 && noRepeats)
            common =
                desc ? blockMergeCount<true>(a, na, b, nb) : blockMergeCount<false>(a, na, b, nb);
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
