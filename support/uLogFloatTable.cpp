#include "support/uLogFloatTable.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "support/uMath.h"

namespace vantrel {

namespace {

// Doubles > 0 in increasing order have increasing bit patterns, so a double can be stepped and
// bisected through its bits.
uint64_t Bits(double x) {
    return std::bit_cast<uint64_t>(x);
}
double FromBits(uint64_t bits) {
    return std::bit_cast<double>(bits);
}

// LogFloatEncode(x, Y0, A) >= code for x > Y0, by the same arithmetic with ln Y0 computed once:
// v = (ln x - ln Y0) / A, held at 32767, reaches the code when it rounds (half to even) to it
// or above.
struct TReaches {
    long double LogY0, A;
    bool operator()(double x, int code) const {
        long double v = (std::log(static_cast<long double>(x)) - LogY0) / A;
        if (v > kLogFloatMaxCode) v = kLogFloatMaxCode;
        const long double half = code - 0.5L;
        return v > half || (v == half && code % 2 == 0);
    }
};

// The smallest double above Y0 whose code is at least `code`, starting from an estimate:
// the bracket around it grows until it holds the change, then is halved down to it.
double FindBoundary(int code, double Y0, double A) {
    const TReaches encodes{std::log(static_cast<long double>(Y0)), A};
    const auto reaches = [&](uint64_t bits) { return encodes(FromBits(bits), code); };
    const long double estimate =
        static_cast<long double>(Y0) * std::exp(static_cast<long double>(A) * (code - 0.5L));
    const uint64_t lowest = Bits(Y0) + 1;
    const uint64_t highest = Bits(std::numeric_limits<double>::max());
    uint64_t guess = std::isfinite(static_cast<double>(estimate))
                         ? std::clamp(Bits(static_cast<double>(estimate)), lowest, highest)
                         : highest;
    uint64_t below, above;  // codes below `code` at `below`, at least `code` at `above`
    uint64_t step = 1;
    if (reaches(guess)) {
        above = guess;
        while (true) {
            below = above - std::min(step, above - lowest + 1);
            if (below < lowest || !reaches(below)) break;
            above = below;
            step *= 2;
        }
        if (below < lowest) return FromBits(lowest);
    } else {
        below = guess;
        while (true) {
            above = below + std::min(step, highest - below);
            if (reaches(above)) break;
            if (above == highest) return std::numeric_limits<double>::infinity();
            below = above;
            step *= 2;
        }
    }
    while (above - below > 1) {
        const uint64_t middle = below + (above - below) / 2;
        (reaches(middle) ? above : below) = middle;
    }
    return FromBits(above);
}

}  // namespace

namespace {

void CheckParameters(double Y0, double A) {
    if (!(Y0 > 0) || !(A > 0)) throw std::invalid_argument("log-float table needs Y0 > 0, A > 0");
}

}  // namespace

TLogFloatTable::TLogFloatTable(double Y0, double A) : FY0(Y0), FA(A) {
    CheckParameters(Y0, A);
    FOwnBoundary.resize(kLogFloatMaxCode + 1);
    FOwnBoundary[0] = Y0;
    for (int c = 1; c <= kLogFloatMaxCode; ++c)
        FOwnBoundary[c] = FindBoundary(c, Y0, A);
    FOwnDecoded.resize(kLogFloatMaxCode + 2);
    for (int32_t d = 0; d <= kLogFloatMaxCode + 1; ++d)
        FOwnDecoded[d] = LogFloatDecode(d, Y0, A);
    FBoundary = FOwnBoundary.data();
    FDecoded = FOwnDecoded.data();
    BuildBuckets();
}

TLogFloatTable::TLogFloatTable(double Y0, double A, const double* boundaries,
                               const long double* values)
    : FY0(Y0), FA(A), FBoundary(boundaries), FDecoded(values) {
    CheckParameters(Y0, A);
    BuildBuckets();
}

void TLogFloatTable::BuildBuckets() {
    // Buckets no wider than one code step (relative width 2^-p <= A), at most 2^12 per binade.
    const int p = std::clamp(static_cast<int>(std::ceil(-std::log2(FA))), 0, 12);
    FShift = std::numeric_limits<double>::digits - 1 - p;
    FFirstKey = Bits(FY0) >> FShift;
    const double top = std::min(FBoundary[kLogFloatMaxCode], std::numeric_limits<double>::max());
    const uint64_t buckets = (Bits(top) >> FShift) - FFirstKey + 1;
    FBucketCode.resize(buckets);
    // The lower edges rise with k, so the code at them is found by walking the boundaries.
    int code = 0;
    for (uint64_t k = 0; k < buckets; ++k) {
        const double edge = FromBits((FFirstKey + k) << FShift);
        while (code < kLogFloatMaxCode && edge >= FBoundary[code + 1])
            ++code;
        FBucketCode[k] = static_cast<int16_t>(code);
    }
}

}  // namespace vantrel
