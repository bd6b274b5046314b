// CRC-64/WE over shingle bytes and the CRC-32 line hash of the diff window.
#pragma once

#include <cstddef>
#include <cstdint>

#include <QString>

namespace corvane {

// CRC-64/WE: polynomial 0x42F0E1EBA9EA3693, MSB first, init and final XOR all ones.
struct TCrc64 {
    std::uint64_t Register = 0;
};

void Crc64Init(TCrc64 &State);
void Crc64Update(TCrc64 &State, const void *Bytes, std::size_t Length);
void Crc64Final(TCrc64 &State);

// The CRC-64 that identifies a shingle: its UTF-16 code units fed little-endian,
// the result read as a signed integer.
std::int64_t ShingleHash(const QChar *Text, std::size_t Length);

// CRC-32/ISO-HDLC (the zlib CRC).
std::uint32_t Crc32(const void *Bytes, std::size_t Length);

// Line hash of the diff window: optionally drops every tab and space and
// lower-cases, then runs the CRC-32 over the low byte of each UTF-16 code unit.
std::uint32_t LineHash(const QString &Line, bool LowerCase, bool StripBlanks);

namespace crcdetail {

inline constexpr std::uint64_t Crc64Poly = 0x42F0E1EBA9EA3693ULL;
inline constexpr std::uint64_t Crc64Ones = 0xFFFFFFFFFFFFFFFFULL;

constexpr std::uint64_t crc64TableEntry(unsigned i) {
    std::uint64_t r = std::uint64_t(i) << 56;
    for (int k = 0; k < 8; ++k) r = (r & (1ULL << 63)) ? (r << 1) ^ Crc64Poly : (r << 1);
    return r;
}

// t[k][i]: the register after byte i at the top is followed by k zero bytes;
// t[0] is the classic one-byte table. Eight tables let eight bytes go in at once.
struct Crc64Tables {
    std::uint64_t t[8][256];
};

constexpr Crc64Tables makeCrc64Tables() {
    Crc64Tables t{};
    for (unsigned i = 0; i < 256; ++i) t.t[0][i] = crc64TableEntry(i);
    for (int k = 1; k < 8; ++k)
        for (unsigned i = 0; i < 256; ++i)
            t.t[k][i] = (t.t[k - 1][i] << 8) ^ t.t[0][t.t[k - 1][i] >> 56];
    return t;
}

inline constexpr Crc64Tables Crc64Tab = makeCrc64Tables();

inline std::uint64_t crc64Byte(std::uint64_t reg, std::uint8_t b) {
    return (reg << 8) ^ Crc64Tab.t[0][(reg >> 56) ^ b];
}

// Feeds one UTF-16 code unit, low byte first.
inline std::uint64_t crc64Unit(std::uint64_t reg, char16_t u) {
    const unsigned lo = unsigned((reg >> 56) ^ (u & 0xFF));
    const unsigned hi = unsigned(((reg >> 48) & 0xFF) ^ (unsigned(u) >> 8));
    return (reg << 16) ^ Crc64Tab.t[1][lo] ^ Crc64Tab.t[0][hi];
}

// Feeds n UTF-16 code units, low byte of each first: four at a time.
inline std::uint64_t crc64Units(std::uint64_t reg, const char16_t *u, std::size_t n) {
    for (; n >= 4; n -= 4, u += 4) {
        std::uint64_t le;
        __builtin_memcpy(&le, u, 8);
        if constexpr (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__) // bytes of each unit swapped
            le = ((le & 0x00FF00FF00FF00FFULL) << 8) | ((le >> 8) & 0x00FF00FF00FF00FFULL);
        const std::uint64_t x = reg ^ __builtin_bswap64(le);
        reg = Crc64Tab.t[7][x >> 56] ^ Crc64Tab.t[6][(x >> 48) & 0xFF] ^
              Crc64Tab.t[5][(x >> 40) & 0xFF] ^ Crc64Tab.t[4][(x >> 32) & 0xFF] ^
              Crc64Tab.t[3][(x >> 24) & 0xFF] ^ Crc64Tab.t[2][(x >> 16) & 0xFF] ^
              Crc64Tab.t[1][(x >> 8) & 0xFF] ^ Crc64Tab.t[0][x & 0xFF];
    }
    for (; n > 0; --n) reg = crc64Unit(reg, *u++);
    return reg;
}

// reg * x^(8*n) mod P: the register after n zero bytes.
std::uint64_t crc64ShiftBytes(std::uint64_t reg, std::size_t n);

} // namespace crcdetail

} // namespace corvane
