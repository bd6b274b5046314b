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

struct Crc64Tables {
    std::uint64_t t1[256]; // one byte
    std::uint64_t t2[256]; // a byte followed by a zero byte
};

constexpr Crc64Tables makeCrc64Tables() {
    Crc64Tables t{};
    for (unsigned i = 0; i < 256; ++i) t.t1[i] = crc64TableEntry(i);
    for (unsigned i = 0; i < 256; ++i) t.t2[i] = (t.t1[i] << 8) ^ t.t1[t.t1[i] >> 56];
    return t;
}

inline constexpr Crc64Tables Crc64Tab = makeCrc64Tables();

inline std::uint64_t crc64Byte(std::uint64_t reg, std::uint8_t b) {
    return (reg << 8) ^ Crc64Tab.t1[(reg >> 56) ^ b];
}

// Feeds one UTF-16 code unit, low byte first.
inline std::uint64_t crc64Unit(std::uint64_t reg, char16_t u) {
    const unsigned lo = unsigned((reg >> 56) ^ (u & 0xFF));
    const unsigned hi = unsigned(((reg >> 48) & 0xFF) ^ (unsigned(u) >> 8));
    return (reg << 16) ^ Crc64Tab.t2[lo] ^ Crc64Tab.t1[hi];
}

// reg * x^(8*n) mod P: the register after n zero bytes.
std::uint64_t crc64ShiftBytes(std::uint64_t reg, std::size_t n);

} // namespace crcdetail

} // namespace corvane
