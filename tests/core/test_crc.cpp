#include <random>

#include <gtest/gtest.h>

#include "core/crc.h"

using namespace corvane;

namespace {

std::uint64_t crc64(const void *p, std::size_t n) {
    TCrc64 s;
    Crc64Init(s);
    Crc64Update(s, p, n);
    Crc64Final(s);
    return s.Register;
}

std::uint64_t crc64Utf16(const QString &s) {
    QByteArray le;
    for (QChar c : s) le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return crc64(le.constData(), std::size_t(le.size()));
}

} // namespace

TEST(Crc, CheckValues) {
    EXPECT_EQ(crc64("123456789", 9), 0x62EC59E3F1A4F00AULL);
    EXPECT_EQ(crc64("abc", 3), 0x048B813AF9F49702ULL);
    EXPECT_EQ(crc64Utf16(QStringLiteral("abc")), 0xFC99A9AE7DFA5BFCULL);
    EXPECT_EQ(crc64("", 0), 0u);
    const QString digits = QStringLiteral("123456789");
    EXPECT_EQ(std::int64_t(crc64Utf16(digits)), -39442418925220131LL);
    EXPECT_EQ(ShingleHash(digits.constData(), 9), -39442418925220131LL);
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
}

TEST(Crc, ShingleHashMatchesByteFeedForAnyText) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        QString s;
        const int len = int(rng() % 300);
        for (int i = 0; i < len; ++i)
            s += QChar(char16_t(rng() % 3 ? rng() % 128 : rng() % 0x10000));
        EXPECT_EQ(std::uint64_t(ShingleHash(s.constData(), std::size_t(s.size()))), crc64Utf16(s));
    }
}

TEST(Crc, ShiftByZeroBytesAgreesWithFeedingZeros) {
    std::mt19937_64 rng(11);
    for (std::size_t n : {0u, 1u, 2u, 7u, 100u, 2047u, 2048u, 2049u, 5000u}) {
        const std::uint64_t reg = rng();
        std::uint64_t fed = reg;
        for (std::size_t i = 0; i < n; ++i) fed = crcdetail::crc64Byte(fed, 0);
        EXPECT_EQ(crcdetail::crc64ShiftBytes(reg, n), fed) << n;
    }
}

TEST(Crc, LineHash) {
    struct Case {
        QString line;
        bool lower, strip;
        std::uint32_t hash;
    };
    const Case cases[] = {
        {QStringLiteral("123456789"), false, false, 0xCBF43926u},
        {QStringLiteral("A b\tc"), true, true, 0x352441C2u},
        {QStringLiteral("abc"), true, true, 0x352441C2u},
        {QString(), true, true, 0},
        {QStringLiteral(" \t \t"), false, true, 0},
        // only the low byte of each code unit is fed: U+0410 counts as U+0010
        {QStringLiteral("\u0410"), false, false, Crc32("\x10", 1)},
        // Cyrillic capitals are lower-cased: U+0416 -> U+0436, low byte 0x36
        {QStringLiteral("\u0416"), true, false, Crc32("\x36", 1)},
        // other blanks stay
        {QStringLiteral("a\u00A0b"), false, true,
         Crc32("a\xA0"
               "b",
               3)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LineHash(c.line, c.lower, c.strip), c.hash) << c.line.toStdString();
}
