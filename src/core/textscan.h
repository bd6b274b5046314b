// Bulk scans over UTF-16 text, eight code units at a time where SSE2 is
// available, for the tokenizer's and the extractor's inner loops.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane::textscan {

inline bool isBlank(char16_t C) {
    return C <= 0x20;
}

#if defined(__SSE2__)
inline __m128i load(const char16_t *P) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(P));
}
inline __m128i eq(__m128i V, char16_t C) {
    return _mm_cmpeq_epi16(V, _mm_set1_epi16(short(C)));
}
// Lanes holding U+0000..U+0020.
inline __m128i blank(__m128i V) {
    return _mm_cmpeq_epi16(_mm_subs_epu16(V, _mm_set1_epi16(0x20)), _mm_setzero_si128());
}
inline int firstLane(__m128i Mask) {
    const unsigned bits = unsigned(_mm_movemask_epi8(Mask));
    return bits ? __builtin_ctz(bits) / 2 : -1;
}
#endif

// First position in [P, End) holding C, or End.
inline const char16_t *findChar(const char16_t *P, const char16_t *End, char16_t C) {
#if defined(__SSE2__)
    for (; End - P >= 8; P += 8)
        if (const int i = firstLane(eq(load(P), C)); i >= 0) return P + i;
#endif
    while (P < End && *P != C) ++P;
    return P;
}

// First position in [P, End) holding A or B, or End.
inline const char16_t *findEither(const char16_t *P, const char16_t *End, char16_t A, char16_t B) {
#if defined(__SSE2__)
    for (; End - P >= 8; P += 8) {
        const __m128i v = load(P);
        if (const int i = firstLane(_mm_or_si128(eq(v, A), eq(v, B))); i >= 0) return P + i;
    }
#endif
    while (P < End && *P != A && *P != B) ++P;
    return P;
}

// Where copying text with its whitespace folded must stop: the first "&" or
// whitespace other than a single space between two non-blank characters, in
// [P, End). Every character before P is non-blank except possibly P[-1]
// when P == Start; AfterSpace tells whether what precedes Start is a space.
inline const char16_t *findFoldStop(const char16_t *Start, const char16_t *End, bool AfterSpace) {
    const char16_t *p = Start;
    auto stopsAt = [&](const char16_t *q) {
        const char16_t c = *q;
        if (c > 0x20) return c == '&';
        return c != ' ' || q + 1 >= End || isBlank(q[1]) ||
               (q > Start ? isBlank(q[-1]) : AfterSpace);
    };
    if (p < End && stopsAt(p)) return p;
    if (p < End) ++p;
#if defined(__SSE2__)
    for (; End - p >= 9; p += 8) {
        const __m128i v = load(p), before = load(p - 1), after = load(p + 1);
        const __m128i single =
            _mm_andnot_si128(_mm_or_si128(blank(before), blank(after)), eq(v, ' '));
        const __m128i stop = _mm_or_si128(_mm_andnot_si128(single, blank(v)), eq(v, '&'));
        if (const int i = firstLane(stop); i >= 0) return p + i;
    }
#endif
    while (p < End && !stopsAt(p)) ++p;
    return p;
}

// Where copying must stop to clean a kept line or to drop spaces before
// marks, in [P, End), P > its segment's start: ".", "!", "?" always; with
// Clean also U+00A0 and a space next to a space or after U+00A0.
inline const char16_t *findCleanStop(const char16_t *P, const char16_t *End, bool Clean) {
    auto stopsAt = [&](const char16_t *q) {
        const char16_t c = *q;
        if (c == '.' || c == '!' || c == '?') return true;
        if (!Clean) return false;
        if (c == 0xA0) return true;
        return c == ' ' && (q[-1] == ' ' || q[-1] == 0xA0 || (q + 1 < End && q[1] == ' '));
    };
#if defined(__SSE2__)
    for (; End - P >= 9; P += 8) {
        const __m128i v = load(P);
        __m128i stop = _mm_or_si128(_mm_or_si128(eq(v, '.'), eq(v, '!')), eq(v, '?'));
        if (Clean) {
            const __m128i before = load(P - 1), after = load(P + 1);
            const __m128i nextToSpace =
                _mm_or_si128(_mm_or_si128(eq(before, ' '), eq(before, 0xA0)), eq(after, ' '));
            stop = _mm_or_si128(stop,
                                _mm_or_si128(eq(v, 0xA0), _mm_and_si128(eq(v, ' '), nextToSpace)));
        }
        if (const int i = firstLane(stop); i >= 0) return P + i;
    }
#endif
    while (P < End && !stopsAt(P)) ++P;
    return P;
}

} // namespace corvane::textscan
