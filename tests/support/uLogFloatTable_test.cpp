#include "support/uLogFloatTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "support/uMath.h"

namespace vantrel {
namespace {

// The table must give LogFloatEncode's code everywhere. The code only changes at a boundary,
// so checking both sides of every boundary (and its mirror below zero) checks every code.
TEST(LogFloatTable, EveryCodeAndItsNeighboursAsLogFloatEncode) {
    struct Case {
        double Y0, A;
    };
    for (const Case& c : {Case{0.0001, 0.001}, Case{1, 0.01}}) {
        const TLogFloatTable table(c.Y0, c.A);
        for (int code = 1; code <= kLogFloatMaxCode; ++code) {
            const double edge = table.Boundary(code);
            const double below = std::nextafter(edge, 0.0);
            const double above = std::nextafter(edge, edge * 2);
            for (double x : {edge, below, above, -edge, -below, -above})
                ASSERT_EQ(table.Encode(x), LogFloatEncode(x, c.Y0, c.A))
                    << "x = " << x << " (boundary of " << code << ", A = " << c.A << ")";
            ASSERT_EQ(table.Encode(edge), code);
            ASSERT_EQ(table.Encode(below), code - 1);
        }
    }
}

TEST(LogFloatTable, SpecialValuesAndRandomValuesAsLogFloatEncode) {
    const TLogFloatTable table(0.0001, 0.001);
    const double inf = std::numeric_limits<double>::infinity();
    for (double x : {0.0, -0.0, 0.0001, -0.0001, 1.5e-4, 1.0, -1.0, 100.0, 1e10, 1e11, -1e11, inf,
                     -inf, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min()})
        EXPECT_EQ(table.Encode(x), LogFloatEncode(x, 0.0001, 0.001)) << "x = " << x;
    std::mt19937_64 random(14);
    std::uniform_real_distribution<double> exponent(-6, 12);
    for (int i = 0; i < 200000; ++i) {
        const double x = (i % 2 ? -1 : 1) * std::pow(10.0, exponent(random));
        ASSERT_EQ(table.Encode(x), LogFloatEncode(x, 0.0001, 0.001)) << "x = " << x;
    }
}

TEST(LogFloatTable, DecodesEveryCodeAsLogFloatDecode) {
    const TLogFloatTable table(0.0001, 0.001);
    for (int32_t d = std::numeric_limits<int16_t>::min(); d <= std::numeric_limits<int16_t>::max();
         ++d) {
        const auto code = static_cast<int16_t>(d);
        ASSERT_EQ(table.Decode(code), LogFloatDecode(code, 0.0001, 0.001)) << "d = " << d;
    }
}

}  // namespace
}  // namespace vantrel
