#include "support/uMath.h"

#include <gtest/gtest.h>

#include <cmath>
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
