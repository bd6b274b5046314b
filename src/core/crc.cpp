#include "core/crc.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CORVANE_HAVE_CLMUL 1
#endif

namespace corvane {

namespace {

using namespace crcdetail;

constexpr std::array<std::uint32_t, 256> makeCrc32Table() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i;
        for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : (r >> 1);
        t[i] = r;
    }
    return t;
}

constexpr std::array<std::uint32_t, 256> Crc32Table = makeCrc32Table();

static_assert(Crc64Tab.t[0][1] == Crc64Poly);
static_assert(Crc64Tab.t[0][255] == 0x9AFCE626CE85B507ULL);
static_assert(Crc32Table[1] == 0x77073096u && Crc32Table[128] == 0xEDB88320u);

// x^(8n) mod P for n below ShiftTableSize: the multiplier that moves a register
// past n zero bytes.
constexpr std::size_t ShiftTableSize = 2048;

constexpr std::array<std::uint64_t, ShiftTableSize> makeShiftTable() {
    std::array<std::uint64_t, ShiftTableSize> t{};
    std::uint64_t r = 1;
    for (std::size_t n = 0; n < ShiftTableSize; ++n) {
        t[n] = r;
        r = (r << 8) ^ Crc64Tab.t[0][r >> 56];
    }
    return t;
}

constexpr std::array<std::uint64_t, ShiftTableSize> ShiftTable = makeShiftTable();

std::uint64_t shiftByZeros(std::uint64_t reg, std::size_t n) {
    for (; n >= 2; n -= 2)
        reg = (reg << 16) ^ Crc64Tab.t[1][reg >> 56] ^ Crc64Tab.t[0][(reg >> 48) & 0xFF];
    if (n) reg = (reg << 8) ^ Crc64Tab.t[0][reg >> 56];
    return reg;
}

#ifdef CORVANE_HAVE_CLMUL
// floor(x^128 / P) without its x^64 term, for the Barrett reduction.
constexpr std::uint64_t barrettMu() {
    // Long division of x^128 by P = x^64 + Crc64Poly, keeping the quotient bits.
    std::uint64_t rem = Crc64Poly; // x^64 mod P
    std::uint64_t q = 0;
    for (int bit = 63; bit >= 0; --bit) {
        // rem holds x^(64 + 63 - bit) mod P's high part being considered.
        const bool top = (rem >> 63) & 1;
        q |= std::uint64_t(top) << bit;
        rem = top ? (rem << 1) ^ Crc64Poly : (rem << 1);
    }
    return q;
}

constexpr std::uint64_t BarrettMu = barrettMu();

__attribute__((target("pclmul,sse4.1"))) std::uint64_t mulModClmul(std::uint64_t a,
                                                                   std::uint64_t b) {
    const __m128i va = _mm_cvtsi64_si128(static_cast<long long>(a));
    const __m128i vb = _mm_cvtsi64_si128(static_cast<long long>(b));
    const __m128i prod = _mm_clmulepi64_si128(va, vb, 0x00);
    const std::uint64_t lo = std::uint64_t(_mm_cvtsi128_si64(prod));
    const std::uint64_t hi = std::uint64_t(_mm_extract_epi64(prod, 1));
    // q = floor(hi * x^64 / P) = hi xor high64(hi * mu)
    const __m128i vh = _mm_cvtsi64_si128(static_cast<long long>(hi));
    const __m128i vmu = _mm_cvtsi64_si128(static_cast<long long>(BarrettMu));
    const std::uint64_t q =
        hi ^ std::uint64_t(_mm_extract_epi64(_mm_clmulepi64_si128(vh, vmu, 0x00), 1));
    const __m128i vq = _mm_cvtsi64_si128(static_cast<long long>(q));
    const __m128i vp = _mm_cvtsi64_si128(static_cast<long long>(Crc64Poly));
    return lo ^ std::uint64_t(_mm_cvtsi128_si64(_mm_clmulepi64_si128(vq, vp, 0x00)));
}

const bool HaveClmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
#endif

} // namespace

namespace crcdetail {

std::uint64_t crc64ShiftBytes(std::uint64_t reg, std::size_t n) {
#ifdef CORVANE_HAVE_CLMUL
    if (HaveClmul && n < ShiftTableSize) return mulModClmul(reg, ShiftTable[n]);
#endif
    return shiftByZeros(reg, n);
}

} // namespace crcdetail

void Crc64Init(TCrc64 &State) {
    State.Register = Crc64Ones;
}

void Crc64Update(TCrc64 &State, const void *Bytes, std::size_t Length) {
    const auto *p = static_cast<const std::uint8_t *>(Bytes);
    std::uint64_t reg = State.Register;
    for (std::size_t i = 0; i < Length; ++i) reg = crc64Byte(reg, p[i]);
    State.Register = reg;
}

void Crc64Final(TCrc64 &State) {
    State.Register ^= Crc64Ones;
}

std::int64_t ShingleHash(const QChar *Text, std::size_t Length) {
    const std::uint64_t reg =
        crc64Units(Crc64Ones, reinterpret_cast<const char16_t *>(Text), Length);
    return std::int64_t(reg ^ Crc64Ones);
}

std::uint32_t Crc32(const void *Bytes, std::size_t Length) {
    const auto *p = static_cast<const std::uint8_t *>(Bytes);
    std::uint32_t reg = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < Length; ++i) reg = Crc32Table[(reg ^ p[i]) & 0xFF] ^ (reg >> 8);
    return reg ^ 0xFFFFFFFFu;
}

std::uint32_t LineHash(const QString &Line, bool LowerCase, bool StripBlanks) {
    // The CRC-32 of no bytes is 0, so an empty copy needs no special case.
    std::uint32_t reg = 0xFFFFFFFFu;
    for (QChar c : Line) {
        char16_t u = c.unicode();
        if (StripBlanks && (u == u' ' || u == u'\t')) continue;
        if (LowerCase) u = char16_t(QChar::toLower(u));
        reg = Crc32Table[(reg ^ u) & 0xFF] ^ (reg >> 8);
    }
    return reg ^ 0xFFFFFFFFu;
}

} // namespace corvane
