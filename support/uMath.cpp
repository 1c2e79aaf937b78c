#include "support/uMath.h"

#include <cmath>
#include <cstdint>

namespace vantrel {

long double RoundHalfEven(long double v) {
    // Below 2^52 in magnitude the integers around v are doubles, so v rounded to a double, in any
    // rounding mode, lies in [floor(v), floor(v) + 1]; truncated by an SSE conversion it gives
    // floor(v) or floor(v) + 1, and an exact comparison tells which. The x87 floor would switch
    // the control word twice per call (fldcw), which stalls the floating-point pipeline, and the
    // branches on the fraction would be mispredicted half of the time: the smoothing stages
    // round a ratio for every second, many times over. Zero keeps its sign below.
    if (v != 0 && std::fabs(v) < 0x1p52L) {
        auto lower = static_cast<int64_t>(static_cast<double>(v));
        lower -= static_cast<long double>(lower) > v ? 1 : 0;
        const long double diff = v - static_cast<long double>(lower);  // exact, in [0, 1)
        const int64_t up = (diff > 0.5L ? 1 : 0) | (diff == 0.5L ? lower & 1 : 0);
        return static_cast<long double>(lower + up);
    }
    const long double lower = std::floor(v);
    const long double diff = v - lower;
    if (diff > 0.5L) return lower + 1;
    if (diff < 0.5L) return lower;
    return std::fmod(lower, 2.0L) == 0 ? lower : lower + 1;
}

namespace {

template <typename Code>
long double Decode(Code d, double Y0, double A) {
    const long double y0 = Y0;
    const long double a = A;
    if (d > 0) return y0 * std::exp(a * static_cast<long double>(d));
    if (d < 0) return -y0 * std::exp(-a * static_cast<long double>(d));
    return 0;
}

// Equality of two residuals with a relative and an absolute tolerance of 1e-16.
bool SameResidual(long double a, long double b) {
    const long double eps = 1e-16L;
    const long double scale = std::fmax(std::fabs(a), std::fabs(b));
    return std::fabs(a - b) <= std::fmax(eps * scale, eps);
}

}  // namespace

int LogFloatEncode(double x, double Y0, double A) {
    const long double lx = x;
    const long double y0 = Y0;
    const long double a = A;
    long double v;
    if (lx > y0) {
        v = (std::log(lx) - std::log(y0)) / a;
        if (v > kLogFloatMaxCode) v = kLogFloatMaxCode;
    } else if (lx < -y0) {
        v = (std::log(y0) - std::log(-lx)) / a;
        if (v < -kLogFloatMaxCode) v = -kLogFloatMaxCode;
    } else {
        return 0;
    }
    if (std::isnan(v)) return 0;  // Y0 or A not positive: there is no code
    // A negative A turns the limits around; keep the code within the 16-bit range regardless.
    if (v > kLogFloatMaxCode) v = kLogFloatMaxCode;
    if (v < -kLogFloatMaxCode) v = -kLogFloatMaxCode;
    return static_cast<int>(RoundHalfEven(v));
}

long double LogFloatDecode(int16_t d, double Y0, double A) {
    return Decode(d, Y0, A);
}

long double LogFloatDecode(int32_t d, double Y0, double A) {
    return Decode(d, Y0, A);
}

bool FindRoot(const TRootFunction& F, long double x1, long double x2, long double& tol,
              long double& root) {
    if (F(x2) * F(x1) >= 0) {
        root = x1 - 1;
        return false;
    }
    bool stop = false;
    long double last = 0;
    long double x = x1;
    long double fx = 0;
    for (int iteration = 0;; ++iteration) {
        const long double f1 = F(x1);
        const long double f2 = F(x2);
        x = (x1 * f2 - x2 * f1) / (f2 - f1);
        fx = F(x);
        if (!std::isfinite(x) || std::isnan(fx) || iteration >= kFindRootMaxIterations) {
            root = x;
            tol = std::fabs(fx);
            return false;
        }
        const long double residual = std::fabs(fx);
        if (residual > tol) {
            if (f1 * fx > 0) x1 = x2;
            x2 = x;
            if (SameResidual(residual, last))
                stop = true;
            else
                last = residual;
        }
        if (residual <= tol || stop) break;
    }
    root = x;
    tol = std::fabs(fx);
    return true;
}

}  // namespace vantrel
