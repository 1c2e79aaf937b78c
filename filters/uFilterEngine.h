// The sample loop shared by the filters of this library (internal to filters/, not part of
// its interface): the block plan of a Filter call, the storing of emitted values with rounding
// and saturation, and the dispatch on the element types of the input and output arrays, so
// that each filter's per-sample loop is compiled for every combination of types.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <type_traits>

#include "filters/uFilter.h"
#include "support/uExceptions.h"

namespace vantrel::filter_engine {

inline constexpr long double kPi = std::numbers::pi_v<long double>;

// Largest magnitudes the recursive filters write into float and double outputs.
inline constexpr long double kMaxSingleOutput = 3.4e38;
inline constexpr long double kMaxDoubleOutput = 1.7e308;

// ---------------------------------------------------------------------------------------------
// The common sample loop: which inputs are read, in which order, and where each output goes.
// ---------------------------------------------------------------------------------------------

struct TBlockPlan {
    int64_t first = 0;     // index of the first input read
    int64_t outFirst = 0;  // index of its output
    int64_t step = 1;      // added to both indices after each sample
    int64_t count = 0;     // number of samples
};

inline TBlockPlan PlanBlock(int32_t from, int32_t to, int32_t outStart, bool reverse) {
    if (from < 0 || int64_t{from} > int64_t{to} + 1)
        throw ERangeError("Filter range from " + std::to_string(from) + " to " +
                          std::to_string(to) +
                          " is not a block: from must be 0 or more and at most to + 1");
    TBlockPlan plan;
    plan.count = int64_t{to} - from + 1;
    plan.step = to >= from ? 1 : -1;
    plan.first = from;
    if (reverse) {
        plan.first = to;
        plan.step = -plan.step;
    }
    plan.outFirst = outStart >= 0 ? outStart : plan.first;
    if (plan.count > 0 && plan.outFirst + plan.step * (plan.count - 1) < 0)
        throw ERangeError("Filter output start " + std::to_string(outStart) +
                          " leaves no room for " + std::to_string(plan.count) +
                          " samples written backwards; pass an output start of at least " +
                          std::to_string(plan.count - 1));
    return plan;
}

// Integer outputs: rounded to the nearest integer (ties to even) and saturated at +-max, so
// the most negative value of the type is never written. NaN is written as 0.
template <class Int>
[[gnu::always_inline]] inline Int RoundAndSaturate(long double e) {
    constexpr long double kBound = std::numeric_limits<Int>::max();
    const long double r = std::rint(e);
    if (std::fabs(r) <= kBound) return static_cast<Int>(r);
    if (e > 0) return std::numeric_limits<Int>::max();
    if (e < 0) return -std::numeric_limits<Int>::max();
    return 0;
}

template <class Out, bool ClampFloat>
[[gnu::always_inline]] inline Out StoreSample(long double e) {
    if constexpr (std::is_integral_v<Out>) {
        return RoundAndSaturate<Out>(e);
    } else {
        if constexpr (ClampFloat) {
            constexpr long double kBound =
                std::is_same_v<Out, float> ? kMaxSingleOutput : kMaxDoubleOutput;
            if (e > kBound) e = kBound;
            if (e < -kBound) e = -kBound;
        }
        return static_cast<Out>(e);
    }
}

// Runs body (input value -> emitted value) over the planned block and stores every emitted
// value as Out. ClampFloat: float and double outputs are clamped to their largest magnitude.
template <class In, class Out, bool ClampFloat, class Body>
inline void RunBlock(const void* in, void* out, const TBlockPlan& plan, Body&& body) {
    const In* source = static_cast<const In*>(in);
    Out* target = static_cast<Out*>(out);
    int64_t i = plan.first;
    int64_t o = plan.outFirst;
    for (int64_t n = 0; n < plan.count; ++n, i += plan.step, o += plan.step)
        target[o] = StoreSample<Out, ClampFloat>(body(static_cast<long double>(source[i])));
}

template <class In>
inline double FirstInput(const void* in, const TBlockPlan& plan) {
    return static_cast<double>(static_cast<const In*>(in)[plan.first]);
}

[[noreturn]] inline void RaiseSampleTypeError(const char* which, int type) {
    throw ERangeError(std::string(which) + " " + std::to_string(type) +
                      " is not a sample type; use stInt16, stInt32, stSingle or stDouble");
}

// Calls fn.template operator()<In, Out>() once for the element types of a block, so that the
// per-sample loop inside fn is compiled for each combination and never switches on the type.
template <class In, class Fn>
inline void DispatchOutput(TSampleType out, Fn& fn) {
    switch (out) {
        case stInt16:
            return fn.template operator()<In, int16_t>();
        case stInt32:
            return fn.template operator()<In, int32_t>();
        case stSingle:
            return fn.template operator()<In, float>();
        case stDouble:
            return fn.template operator()<In, double>();
    }
    RaiseSampleTypeError("OutputType", out);
}

template <class Fn>
inline void DispatchSampleTypes(TSampleType in, TSampleType out, Fn&& fn) {
    switch (in) {
        case stInt16:
            return DispatchOutput<int16_t>(out, fn);
        case stInt32:
            return DispatchOutput<int32_t>(out, fn);
        case stSingle:
            return DispatchOutput<float>(out, fn);
        case stDouble:
            return DispatchOutput<double>(out, fn);
    }
    RaiseSampleTypeError("InputType", in);
}

template <class Fn>
inline void DispatchInput(TSampleType in, Fn&& fn) {
    switch (in) {
        case stInt16:
            return fn.template operator()<int16_t>();
        case stInt32:
            return fn.template operator()<int32_t>();
        case stSingle:
            return fn.template operator()<float>();
        case stDouble:
            return fn.template operator()<double>();
    }
    RaiseSampleTypeError("InputType", in);
}

// True when value lies outside [low, high] (NaN lies inside: the finiteness check catches it).
inline bool OutsideRange(double value, double low, double high) {
    return value < low || value > high;
}

}  // namespace vantrel::filter_engine
