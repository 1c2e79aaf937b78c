// The matching function of piB detection, sampled as the engine uses it. The build samples it
// once (tools/make-code-table writes kMatchingSamples), since the long double sines of 6000
// samples cost a run some milliseconds; MatchingFunction samples it at run time, and a test
// compares the two bit for bit. Internal to the engine and the build tool.
#pragma once

#include <numbers>
#include <vector>

#include "analysis/uVantrel4.h"
#include "expr/uExprParser.h"

namespace vantrel::pib {

// The function at x = l / 5999 x 3 x pi - 2 pi for l = 1 .. 5998; samples 0 and 5999 are 0.
inline std::vector<double> SampleMatchingFunction() {
    TExprParser parser;
    parser.SetExpression(kMatchingExpression);
    const long double pi = std::numbers::pi_v<long double>;
    std::vector<double> matching(kMatchingLength, 0.0);
    for (int32_t l = 1; l <= kMatchingLength - 2; ++l) {
        parser.X = static_cast<long double>(l) / 5999 * 3 * pi - 2 * pi;
        matching[l] = static_cast<double>(parser.Value());
    }
    return matching;
}

// The samples computed at build time (a generated source of this library).
extern const double kMatchingSamples[kMatchingLength];

}  // namespace vantrel::pib
