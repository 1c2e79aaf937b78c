#include "expr/uExprSteps.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace vantrel {
namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;
// 2^63: the first value whose truncation no longer fits a signed 64-bit integer, and the
// argument size from which the hardware sine and cosine give up.
constexpr long double kTwoPow63 = 9223372036854775808.0L;

long double X(const TOperationRecord& op) {
    return *op.Arg1;
}
long double Y(const TOperationRecord& op) {
    return *op.Arg2;
}

void Fail(TOperationRecord& op) {
    op.Error = 1;
}

// Writes a result, unless finite inputs gave an infinite or undefined result: that is an
// overflow, which the evaluation reports as a math error instead of handing on infinity.
void Store(TOperationRecord& op, long double result, bool inputsFinite) {
    if (inputsFinite && !std::isfinite(result)) {
        Fail(op);
        return;
    }
    *op.Dest = result;
}

void StoreOne(TOperationRecord& op, long double result) {
    Store(op, result, std::isfinite(X(op)));
}

void StoreTwo(TOperationRecord& op, long double result) {
    Store(op, result, std::isfinite(X(op)) && std::isfinite(Y(op)));
}

// Truncates toward zero into a 64-bit integer; false when the value does not fit (or is NaN).
bool TruncToInt64(long double x, int64_t& result) {
    const long double t = std::trunc(x);
    if (!(t >= -kTwoPow63 && t < kTwoPow63)) return false;
    result = static_cast<int64_t>(t);
    return true;
}

// x^n by repeated squaring; n < 0 gives 1 / x^-n. False when x^-n is 0 (zero, or a power so
// small that it underflowed), which would divide by zero.
bool IntPower(long double x, int64_t n, long double& result) {
    uint64_t m = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    long double power = 1;
    long double base = x;
    while (m != 0) {
        if (m & 1) power *= base;
        m >>= 1;
        if (m != 0) base *= base;
    }
    if (n < 0) {
        if (power == 0) return false;
        power = 1 / power;
    }
    result = power;
    return true;
}

void IntPowerStep(TOperationRecord& op, long double x, long double y) {
    int64_t n = 0;
    long double result = 0;
    if (!TruncToInt64(y, n) || !IntPower(x, n, result)) return Fail(op);
    Store(op, result, std::isfinite(x));
}

void RealPowerStep(TOperationRecord& op, long double x, long double y) {
    if (!(x > 0)) return Fail(op);
    if (y == 0) return Store(op, 1, true);
    if (y == std::trunc(y) && std::fabs(y) <= 2147483647.0L) {
        long double result = 0;
        if (!IntPower(x, static_cast<int64_t>(y), result)) return Fail(op);
        return Store(op, result, std::isfinite(x));
    }
    Store(op, std::exp(y * std::log(x)), std::isfinite(x) && std::isfinite(y));
}

// The hardware sine and cosine reduce arguments only below 2^63; larger ones give 0.
long double Sine(long double x) {
    return std::fabs(x) >= kTwoPow63 ? 0 : std::sin(x);
}
long double Cosine(long double x) {
    return std::fabs(x) >= kTwoPow63 ? 0 : std::cos(x);
}

std::mt19937_64& RandomGenerator() {
    static std::mt19937_64 generator;
    return generator;
}

// Uniform in [0, 1): the top 53 bits of the generator scaled down, so 1 cannot come out.
long double NextRandom() {
    return static_cast<long double>(RandomGenerator()() >> 11) * 0x1p-53L;
}

// --- one-argument functions -------------------------------------------------------------

void FnSin(TOperationRecord& op) {
    StoreOne(op, Sine(X(op)));
}
void FnCos(TOperationRecord& op) {
    StoreOne(op, Cosine(X(op)));
}

void FnTan(TOperationRecord& op) {
    const long double c = Cosine(X(op));
    if (c == 0) return Fail(op);
    StoreOne(op, Sine(X(op)) / c);
}

void FnCotan(TOperationRecord& op) {
    const long double x = X(op);
    const long double c = Cosine(x);
    if (x == 0 || c == 0) return Fail(op);
    const long double tangent = Sine(x) / c;
    if (tangent == 0) return Fail(op);
    StoreOne(op, 1 / tangent);
}

void FnArcTan(TOperationRecord& op) {
    StoreOne(op, std::atan(X(op)));
}
void FnSinh(TOperationRecord& op) {
    StoreOne(op, (std::exp(X(op)) - std::exp(-X(op))) / 2);
}
void FnCosh(TOperationRecord& op) {
    StoreOne(op, (std::exp(X(op)) + std::exp(-X(op))) / 2);
}
void FnExp(TOperationRecord& op) {
    StoreOne(op, std::exp(X(op)));
}

void FnLn(TOperationRecord& op) {
    if (!(X(op) > 0)) return Fail(op);
    StoreOne(op, std::log(X(op)));
}

void FnLog10(TOperationRecord& op) {
    if (!(X(op) > 0)) return Fail(op);
    StoreOne(op, std::log10(X(op)));
}

void FnLog2(TOperationRecord& op) {
    if (!(X(op) > 0)) return Fail(op);
    StoreOne(op, std::log2(X(op)));
}

void FnSqr(TOperationRecord& op) {
    StoreOne(op, X(op) * X(op));
}

void FnSqrt(TOperationRecord& op) {
    if (!(X(op) >= 0)) return Fail(op);
    StoreOne(op, std::sqrt(X(op)));
}

void FnAbs(TOperationRecord& op) {
    StoreOne(op, std::fabs(X(op)));
}
void FnTrunc(TOperationRecord& op) {
    StoreOne(op, std::trunc(X(op)));
}

void FnCeil(TOperationRecord& op) {
    const long double x = X(op);
    StoreOne(op, x - std::trunc(x) > 0 ? std::trunc(x + 1) : std::trunc(x));
}

void FnFloor(TOperationRecord& op) {
    const long double x = X(op);
    StoreOne(op, x - std::trunc(x) >= 0 ? std::trunc(x) : std::trunc(x - 1));
}

void FnHeav(TOperationRecord& op) {
    StoreOne(op, X(op) >= 0 ? 1 : 0);
}

void FnSign(TOperationRecord& op) {
    const long double x = X(op);
    StoreOne(op, x < 0 ? -1 : (x > 0 ? 1 : 0));
}

void FnZero(TOperationRecord& op) {
    StoreOne(op, X(op) == 0 ? 0 : 1);
}

void FnPh(TOperationRecord& op) {
    const long double q = X(op) / 0.63661977236758134308L;
    // nearbyint rounds to the nearest integer, ties to even, and never leaves the float range.
    StoreOne(op, (q - std::nearbyint(q)) * 2 * kPi);
}

void FnRnd(TOperationRecord& op) {
    int64_t whole = 0;
    if (!TruncToInt64(X(op), whole)) return Fail(op);
    StoreOne(op, static_cast<long double>(whole) * NextRandom());
}

void FnRandom(TOperationRecord& op) {
    *op.Dest = NextRandom();
}

// --- two-argument functions -------------------------------------------------------------

void FnMax(TOperationRecord& op) {
    StoreTwo(op, X(op) < Y(op) ? Y(op) : X(op));
}
void FnMin(TOperationRecord& op) {
    StoreTwo(op, X(op) < Y(op) ? X(op) : Y(op));
}

void FnArg(TOperationRecord& op) {
    const long double x = X(op);
    const long double y = Y(op);
    if (x < 0) return StoreTwo(op, std::atan(y / x) + kPi);
    if (x > 0) return StoreTwo(op, std::atan(y / x));
    StoreTwo(op, y > 0 ? kPi / 2 : -kPi / 2);
}

void FnPower(TOperationRecord& op) {
    RealPowerStep(op, X(op), Y(op));
}
void FnIntPower(TOperationRecord& op) {
    IntPowerStep(op, X(op), Y(op));
}

void FnLogN(TOperationRecord& op) {
    if (!(X(op) > 0 && Y(op) > 0)) return Fail(op);
    const long double lnBase = std::log(X(op));
    if (lnBase == 0) return Fail(op);  // base 1
    StoreTwo(op, std::log(Y(op)) / lnBase);
}

constexpr TNamedMathProc kFunctionsOne[] = {
    {"SIN", FnSin},       {"COS", FnCos},     {"TAN", FnTan},     {"COTAN", FnCotan},
    {"ARCTAN", FnArcTan}, {"SINH", FnSinh},   {"COSH", FnCosh},   {"EXP", FnExp},
    {"LN", FnLn},         {"LOG10", FnLog10}, {"LOG2", FnLog2},   {"SQR", FnSqr},
    {"SQRT", FnSqrt},     {"ABS", FnAbs},     {"TRUNC", FnTrunc}, {"INT", FnTrunc},
    {"CEIL", FnCeil},     {"FLOOR", FnFloor}, {"HEAV", FnHeav},   {"SIGN", FnSign},
    {"ZERO", FnZero},     {"PH", FnPh},       {"RND", FnRnd},     {"RANDOM", FnRandom},
};

constexpr TNamedMathProc kFunctionsTwo[] = {
    {"MAX", FnMax},     {"MIN", FnMin},           {"ARG", FnArg},
    {"POWER", FnPower}, {"INTPOWER", FnIntPower}, {"LOGN", FnLogN},
};

}  // namespace

// --- operator steps ---------------------------------------------------------------------

void StepNothing(TOperationRecord&) {}

void StepNegation(TOperationRecord& op) {
    *op.Dest = -X(op);
}
void StepSum(TOperationRecord& op) {
    StoreTwo(op, X(op) + Y(op));
}
void StepDifference(TOperationRecord& op) {
    StoreTwo(op, X(op) - Y(op));
}
void StepProduct(TOperationRecord& op) {
    StoreTwo(op, X(op) * Y(op));
}

void StepDivision(TOperationRecord& op) {
    if (Y(op) == 0) return Fail(op);
    StoreTwo(op, X(op) / Y(op));
}

void StepModulo(TOperationRecord& op) {
    int64_t x = 0;
    int64_t y = 0;
    if (!TruncToInt64(X(op), x) || !TruncToInt64(Y(op), y) || y == 0) return Fail(op);
    // The remainder by -1 is 0; computing it would overflow for the most negative x.
    *op.Dest = y == -1 ? 0 : static_cast<long double>(x % y);
}

void StepIntegerDivide(TOperationRecord& op) {
    int64_t x = 0;
    int64_t y = 0;
    if (!TruncToInt64(X(op), x) || !TruncToInt64(Y(op), y) || y == 0) return Fail(op);
    if (x == std::numeric_limits<int64_t>::min() && y == -1) return Fail(op);  // 2^63 overflows
    *op.Dest = static_cast<long double>(x / y);
}

void StepIntegerPower(TOperationRecord& op) {
    IntPowerStep(op, X(op), Y(op));
}
void StepRealPower(TOperationRecord& op) {
    RealPowerStep(op, X(op), Y(op));
}
void StepSquare(TOperationRecord& op) {
    StoreOne(op, X(op) * X(op));
}
void StepCube(TOperationRecord& op) {
    StoreOne(op, X(op) * X(op) * X(op));
}

void StepFourthPower(TOperationRecord& op) {
    const long double square = X(op) * X(op);
    StoreOne(op, square * square);
}

TMathProc OperatorProc(TOperationKind kind) {
    switch (kind) {
        case TOperationKind::Variable:
        case TOperationKind::Number:
            return StepNothing;
        case TOperationKind::Negation:
            return StepNegation;
        case TOperationKind::Sum:
            return StepSum;
        case TOperationKind::Difference:
            return StepDifference;
        case TOperationKind::Product:
            return StepProduct;
        case TOperationKind::Division:
            return StepDivision;
        case TOperationKind::Modulo:
            return StepModulo;
        case TOperationKind::IntegerDivide:
            return StepIntegerDivide;
        case TOperationKind::IntegerPower:
            return StepIntegerPower;
        case TOperationKind::RealPower:
            return StepRealPower;
        case TOperationKind::Square:
            return StepSquare;
        case TOperationKind::Cube:
            return StepCube;
        case TOperationKind::FourthPower:
            return StepFourthPower;
        case TOperationKind::FunctionOne:
        case TOperationKind::FunctionTwo:
            break;
    }
    return nullptr;
}

std::span<const TNamedMathProc> BuiltInFunctionsOne() {
    return kFunctionsOne;
}
std::span<const TNamedMathProc> BuiltInFunctionsTwo() {
    return kFunctionsTwo;
}

void SetExprRandomSeed(uint64_t seed) {
    RandomGenerator().seed(seed);
}

}  // namespace vantrel
