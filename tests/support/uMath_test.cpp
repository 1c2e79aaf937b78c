#include "support/uMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace vantrel {
namespace {

constexpr double kY0 = 0.0001;
constexpr double kA = 0.001;

TEST(LogFloat, EncodesTheDocumentedValues) {
    struct Case {
        double x;
        int code;
    };
    const Case cases[] = {
        {0.0001, 0},
        {-0.0001, 0},
        {0, 0},
        {1.5 * kY0, 405},
        {1, 9210},
        {-1, -9210},
        {100, 13816},
        {1e10, 32236},
        {1e11, 32767},
        {-1e11, -32767},
        {std::numeric_limits<double>::infinity(), 32767},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LogFloatEncode(c.x, kY0, kA), c.code) << "x = " << c.x;
}

TEST(LogFloat, RoundsToTheNearestCode) {
    // With A = 1 and Y0 = 1 the code of e^v is v rounded.
    EXPECT_EQ(LogFloatEncode(std::exp(2.45), 1, 1), 2);
    EXPECT_EQ(LogFloatEncode(std::exp(2.55), 1, 1), 3);
    EXPECT_EQ(LogFloatEncode(-std::exp(2.55), 1, 1), -3);
}

TEST(LogFloat, InvalidParametersGiveZeroNotGarbage) {
    EXPECT_EQ(LogFloatEncode(1, 0.0001, 0), 32767);
    EXPECT_EQ(LogFloatEncode(1, -1, 0.001), 0);
}

TEST(LogFloat, DecodesTheDocumentedValues) {
    EXPECT_EQ(LogFloatDecode(int16_t{0}, kY0, kA), 0);
    EXPECT_DOUBLE_EQ(static_cast<double>(LogFloatDecode(int16_t{1}, kY0, kA)),
                     kY0 * std::exp(0.001));
    const long double nine = LogFloatDecode(int16_t{9210}, kY0, kA);
    EXPECT_LT(nine, 1);
    EXPECT_GT(nine, 0.999L);
    const long double minusNine = LogFloatDecode(int16_t{-9210}, kY0, kA);
    EXPECT_GT(minusNine, -1);
    EXPECT_LT(minusNine, -0.999L);
    EXPECT_NEAR(static_cast<double>(LogFloatDecode(int16_t{32767}, kY0, kA)), 1.70e10, 0.01e10);
    EXPECT_EQ(LogFloatDecode(int32_t{9210}, kY0, kA), nine);
}

TEST(LogFloat, EveryCodeSurvivesTheRoundTrip) {
    for (int code = -32767; code <= 32767; ++code) {
        const long double value = LogFloatDecode(int32_t{code}, kY0, kA);
        ASSERT_EQ(LogFloatEncode(static_cast<double>(value), kY0, kA), code);
    }
}

// Ties to even, the sign of a zero kept, the same bits as the plain rule (floor, then the
// fraction against one half) for every value: hand-picked ones and a million spread over every
// magnitude up to beyond 2^52, where long doubles still have fractions.
TEST(RoundHalfEven, GivesThePlainRulesBits) {
    const auto plain = [](long double v) {
        const long double lower = std::floor(v);
        const long double diff = v - lower;
        if (diff > 0.5L) return lower + 1;
        if (diff < 0.5L) return lower;
        return std::fmod(lower, 2.0L) == 0 ? lower : lower + 1;
    };
    const auto same = [](long double a, long double b) {
        return (a == b && std::signbit(a) == std::signbit(b)) || (std::isnan(a) && std::isnan(b));
    };
    const struct {
        long double v, rounded;
    } cases[] = {
        {0.5L, 0},
        {1.5L, 2},
        {2.5L, 2},
        {-0.5L, 0},
        {-1.5L, -2},
        {-2.5L, -2},
        {0.49999L, 0},
        {-0.7L, -1},
        {-0.0L, -0.0L},
        {-1e-30L, 0},
        {32766.5L, 32766},
        {-32767.5L, -32768},
        {0x1p52L + 0.5L, 0x1p52L},
        {0x1p60L + 1.5L, 0x1p60L + 2},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(same(RoundHalfEven(c.v), c.rounded)) << static_cast<double>(c.v);
    for (long double special : {std::numeric_limits<long double>::infinity(),
                                -std::numeric_limits<long double>::infinity(),
                                std::numeric_limits<long double>::quiet_NaN()})
        EXPECT_TRUE(same(RoundHalfEven(special), special));
    uint64_t state = 1;
    for (int i = 0; i < 1000000; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const int exponent = static_cast<int>(state >> 58) - 8;  // -8 .. 55
        const long double fraction = static_cast<long double>(state >> 11) * 0x1p-53L;
        long double v = std::ldexp(1 + fraction, exponent) * ((state & 1) ? -1 : 1);
        if (i % 4 == 0) v = std::floor(v) + 0.5L;  // a tie where the magnitude leaves a half
        ASSERT_TRUE(same(RoundHalfEven(v), plain(v))) << static_cast<double>(v);
    }
}

TEST(FindRoot, FindsTheRootAndReportsTheResidual) {
    long double tol = 1e-12L;
    long double root = 0;
    ASSERT_TRUE(FindRoot([](long double x) { return x * x - 2; }, 0, 2, tol, root));
    EXPECT_NEAR(static_cast<double>(root), std::sqrt(2.0), 1e-11);
    EXPECT_LE(tol, 1e-12L);
}

TEST(FindRoot, NoSignChangeFailsWithRootBelowTheInterval) {
    long double tol = 1e-6L;
    long double root = 0;
    EXPECT_FALSE(FindRoot([](long double x) { return x * x + 1; }, 3, 5, tol, root));
    EXPECT_EQ(root, 2);
}

TEST(FindRoot, EndsOnAFunctionThatGivesNoNumber) {
    long double tol = 1e-6L;
    long double root = 0;
    int calls = 0;
    auto f = [&calls](long double x) -> long double {
        ++calls;
        return calls > 4 ? std::numeric_limits<long double>::quiet_NaN() : x - 0.5L;
    };
    EXPECT_FALSE(FindRoot(f, 0, 2, tol, root));
}

}  // namespace
}  // namespace vantrel
