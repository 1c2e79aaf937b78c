// Small helpers shared by the filter tests: make a configured filter, run it over doubles,
// and evaluate a recursive filter's frequency response from its coefficients.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <complex>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "filters/uFilter.h"

namespace vantrel::testing {

using Complex = std::complex<long double>;
inline constexpr long double kPi = std::numbers::pi_v<long double>;

// A readable, stable name for a parametrised case of a filter with settings, such as
// "SE_56_8_0p5_10_3" or "InvDCATT_100_1_0p5_50": "1-" and "1/" in a type name become "Inv",
// and in numbers "." becomes "p" and "-" becomes "m", so that ctest -R can select the case.
inline std::string FilterCaseName(std::string type, const std::vector<double>& settings) {
    if (type.rfind("1-", 0) == 0 || type.rfind("1/", 0) == 0) type = "Inv" + type.substr(2);
    std::string name = type;
    for (const double value : settings) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        name += '_';
        name += text;
    }
    for (char& c : name) {
        if (c == '.')
            c = 'p';
        else if (c == '-')
            c = 'm';
        else if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}

// The filter of a factory name with settings 1, 2, ... written in order, double in and out.
inline std::unique_ptr<TCustomFilter> MakeFilter(const std::string& name,
                                                 std::initializer_list<double> settings) {
    std::unique_ptr<TCustomFilter> filter = CreateFilter(name);
    EXPECT_NE(filter, nullptr) << name;
    if (!filter) return filter;
    int32_t i = 1;
    for (double value : settings)
        filter->SetSetting(i++, value);
    filter->InputType = stDouble;
    filter->SetOutputType(stDouble);
    return filter;
}

// Filters the whole of input in one call, or in blocks of `block` samples.
inline std::vector<double> RunFilter(TCustomFilter& filter, const std::vector<double>& input,
                                     int block = 0) {
    std::vector<double> output(input.size(), -12345.0);
    const int n = static_cast<int>(input.size());
    const int step = block > 0 ? block : std::max(n, 1);
    for (int start = 0; start < n; start += step)
        filter.Filter(input.data(), output.data(), start, std::min(start + step, n) - 1, -1);
    return output;
}

// H(e^{j*2*pi*f/fs}) = sum B[k] z^-k / (1 - sum_{k>=1} A[k] z^-k), from the coefficients.
inline Complex DigitalResponse(const TCustomIIRFilter& filter, long double f) {
    const long double omega = 2 * kPi * f / filter.GetSampleFrequency();
    const Complex zInverse = std::polar(1.0L, -omega);
    Complex numerator = 0;
    Complex power = 1;
    for (long double b : filter.GetFeedforwardCoeffs()) {
        numerator += b * power;
        power *= zInverse;
    }
    Complex denominator = 1;
    power = zInverse;
    const TDynExtendedArray& A = filter.GetFeedbackCoeffs();
    for (size_t k = 1; k < A.size(); ++k) {
        denominator -= A[k] * power;
        power *= zInverse;
    }
    return numerator / denominator;
}

// The Laplace variable that the bilinear transform maps onto frequency f: j*2*fs*tan(pi*f/fs).
inline Complex BilinearS(long double f, long double fs) {
    return Complex(0, 2 * fs * std::tan(kPi * f / fs));
}

// The analogue angular frequency that a pre-warped design places exactly at f.
inline long double PrewarpedOmega(long double f, long double fs) {
    return 2 * fs * std::tan(kPi * f / fs);
}

inline long double RelativeError(Complex actual, Complex expected) {
    return std::abs(actual - expected) / std::max(std::abs(expected), 1e-30L);
}

}  // namespace vantrel::testing
