// libFuzzer target: arbitrary text as a formula. Parsing either succeeds or raises an
// EMathParserError descendant; a parsed formula is evaluated at a few values of every variable
// (the piB detection evaluates it over a whole range of X). Evaluation never raises.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "expr/uExprParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const long double kValues[] = {
        0.0L,
        1.0L,
        -1.0L,
        0.5L,
        -3.14159L,
        1e300L,
        -1e-300L,
        4e4000L,
        std::numeric_limits<long double>::infinity(),
        std::numeric_limits<long double>::quiet_NaN(),
    };
    vantrel::TExprParser parser;
    try {
        parser.SetExpression(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const vantrel::EMathParserError&) {
        return 0;
    }
    volatile long double sink = 0;
    for (const long double x : kValues) {
        parser.X = x;
        parser.Y = -x;
        parser.A = parser.B = parser.C = parser.D = parser.E = parser.T = x / 2;
        sink = sink + parser.Value();
    }
    return 0;
}
