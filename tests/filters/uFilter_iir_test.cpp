// The recursive filters: coefficients against their analogue prototypes, step and
// steady-state responses, and the analysis filters' exact values.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "FilterTestHelpers.h"
#include "filters/uFilter.h"

namespace vantrel {
namespace {

using testing::BilinearS;
using testing::Complex;
using testing::DigitalResponse;
using testing::FilterCaseName;
using testing::kPi;
using testing::MakeFilter;
using testing::PrewarpedOmega;
using testing::RelativeError;
using testing::RunFilter;

// Amplitude of the sine of frequency f in out[start ... start + count - 1], fitted by
// correlation; count must span whole periods.
double SineAmplitude(const std::vector<double>& out, size_t start, size_t count, double f,
                     double fs) {
    long double sine = 0, cosine = 0;
    for (size_t n = start; n < start + count; ++n) {
        sine += out[n] * std::sin(2 * kPi * f * n / fs);
        cosine += out[n] * std::cos(2 * kPi * f * n / fs);
    }
    return static_cast<double>(2 * std::hypot(sine, cosine) / count);
}

TCustomIIRFilter& Ready(const std::unique_ptr<TCustomFilter>& filter) {
    filter->Reset();
    return dynamic_cast<TCustomIIRFilter&>(*filter);
}

// ---------------------------------------------------------------------------------------------
// Frequency responses: the digital response at f equals the analogue prototype at the
// frequency the bilinear transform maps onto f.
// ---------------------------------------------------------------------------------------------

struct ResponseCase {
    const char* type;
    std::vector<double> settings;
    // The analogue prototype H(s) for these settings.
    std::function<Complex(Complex s)> prototype;
};

class FilterResponse : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(FilterResponse, MatchesTheAnaloguePrototype) {
    const ResponseCase& c = GetParam();
    auto filter = CreateFilter(c.type);
    for (size_t i = 0; i < c.settings.size(); ++i)
        filter->SetSetting(static_cast<int32_t>(i + 1), c.settings[i]);
    const TCustomIIRFilter& iir = Ready(filter);
    const long double fs = c.settings[0];
    for (long double f : {0.0L, 0.01L * fs, 0.07L * fs, 0.19L * fs, 0.33L * fs, 0.49L * fs}) {
        const Complex expected = c.prototype(BilinearS(f, fs));
        EXPECT_LT(RelativeError(DigitalResponse(iir, f), expected), 1e-12L)
            << c.type << " at " << static_cast<double>(f) << " Hz: |H| "
            << static_cast<double>(std::abs(DigitalResponse(iir, f))) << " expected "
            << static_cast<double>(std::abs(expected));
    }
}

constexpr double kFs = 100;
const long double kTwoPi = 2 * kPi;

INSTANTIATE_TEST_SUITE_P(
    EveryRecursiveMember, FilterResponse,
    ::testing::Values(
        ResponseCase{"LP",
                     {kFs, 3, 7},
                     [](Complex s) { return 3.0L / (1.0L + s / PrewarpedOmega(7, kFs)); }},
        ResponseCase{"HP", {kFs, 2, 7}, [](Complex s) { return 2.0L * s / (s + kTwoPi * 7); }},
        ResponseCase{"SE",
                     {kFs, 8, 0.7, 10, 3},
                     [](Complex s) {
                         const long double wc = PrewarpedOmega(0.7L, kFs);
                         const long double w0 = PrewarpedOmega(10, kFs);
                         const long double bw = kTwoPi * 3;
                         return 8.0L * (1.0L + s / wc) * bw * s / (s * s + bw * s + w0 * w0);
                     }},
        ResponseCase{"G",
                     {kFs, 1.5, 12, 4},
                     [](Complex s) {
                         const long double w0 = PrewarpedOmega(12, kFs);
                         const long double bw = kTwoPi * 4;
                         return 1.5L * bw * s / (s * s + bw * s + w0 * w0);
                     }},
        ResponseCase{"1-G",
                     {kFs, 0.8, 12, 4},
                     [](Complex s) {
                         const long double w0 = PrewarpedOmega(12, kFs);
                         const long double bw = kTwoPi * 4;
                         return 1.0L - 0.8L * bw * s / (s * s + bw * s + w0 * w0);
                     }},
        ResponseCase{"BP",
                     {kFs, 2, 0.5, 20},
                     [](Complex s) {
                         const long double wh = kTwoPi * 0.5L, wl = kTwoPi * 20;
                         return 2.0L * s * wl / ((s + wh) * (s + wl));
                     }},
        ResponseCase{"BP12",
                     {kFs, 2, 0.5, 20},
                     [](Complex s) {
                         const long double wh = kTwoPi * 0.5L, wl = kTwoPi * 20;
                         return 2.0L * s * wl * wl / ((s + wh) * (s + wl) * (s + wl));
                     }},
        ResponseCase{"BP12",
                     {kFs, 1, 3, 3},
                     [](Complex s) {
                         const long double w = kTwoPi * 3;
                         return s * w * w / ((s + w) * (s + w) * (s + w));
                     }},
        ResponseCase{"DCATT",
                     {kFs, 2, 0.25, 1.5},
                     [](Complex s) {
                         const long double wb = PrewarpedOmega(1.5L, kFs);
                         return 2.0L * (s + wb) / (s + wb / 0.25L);
                     }},
        ResponseCase{"1/DCATT",
                     {kFs, 2, 0.25, 1.5},
                     [](Complex s) {
                         const long double wb = PrewarpedOmega(1.5L, kFs);
                         return 2.0L * (s + wb / 0.25L) / (s + wb);
                     }}),
    [](const ::testing::TestParamInfo<ResponseCase>& info) {
        return FilterCaseName(info.param.type, info.param.settings);
    });

TEST(FilterResponse, PrewarpedCornersLieExactlyAtTheirFrequency) {
    const auto lowPassFilter = MakeFilter("LP", {kFs, 1, 7});
    const TCustomIIRFilter& lowPass = Ready(lowPassFilter);
    EXPECT_NEAR(static_cast<double>(std::abs(DigitalResponse(lowPass, 7))), std::sqrt(0.5), 1e-15);
    const auto resonatorFilter = MakeFilter("G", {kFs, 1.5, 12, 4});
    const TCustomIIRFilter& resonator = Ready(resonatorFilter);
    EXPECT_NEAR(static_cast<double>(std::abs(DigitalResponse(resonator, 12))), 1.5, 1e-15);
}

TEST(FilterResponse, HighPassCornerIsNotPrewarped) {
    // Its -3 dB point f' satisfies tan(pi*f'/fs) = pi*f/fs, below f.
    const auto highPassFilter = MakeFilter("HP", {kFs, 1, 20});
    const TCustomIIRFilter& highPass = Ready(highPassFilter);
    const long double corner = kFs / kPi * std::atan(kPi * 20 / kFs);
    EXPECT_LT(corner, 20);
    EXPECT_NEAR(static_cast<double>(std::abs(DigitalResponse(highPass, corner))), std::sqrt(0.5),
                1e-15);
    const auto out = RunFilter(*MakeFilter("HP", {kFs, 1, 20}), std::vector<double>(200, 5.0));
    EXPECT_NEAR(out.back(), 0.0, 1e-12);  // a constant input decays to 0
}

TEST(FilterResponse, DUEIsAnInverseLowPassTimesATrapezoidalIntegrator) {
    // B0 + B1 z^-1 = G * (T/2)(1 + z^-1) * (1 + s*tau) under the bilinear map.
    for (const char* type : {"DUE"}) {
        const auto dueFilter = MakeFilter(type, {kFs, 200, 0.5});
        const TCustomIIRFilter& due = Ready(dueFilter);
        const long double tau = 1 / PrewarpedOmega(0.5L, kFs);
        for (long double f : {0.1L, 0.5L, 5.0L, 30.0L}) {
            const Complex zInverse = std::polar(1.0L, -2 * kPi * f / kFs);
            const Complex trapezoid = (1.0L / kFs / 2) * (1.0L + zInverse);
            const Complex expected = 200.0L * trapezoid * (1.0L + BilinearS(f, kFs) * tau);
            EXPECT_LT(RelativeError(DigitalResponse(due, f), expected), 1e-12L) << type << f;
        }
    }
}

TEST(FilterResponse, LowPassAtHalfTheSampleFrequencyPassesEverything) {
    const auto lowPassFilter = MakeFilter("LP", {kFs, 2, 50});
    const TCustomIIRFilter& lowPass = Ready(lowPassFilter);
    EXPECT_NEAR(static_cast<double>(lowPass.GetFeedbackCoeffs()[1]), -1.0, 1e-15);
    EXPECT_NEAR(static_cast<double>(lowPass.GetFeedforwardCoeffs()[0]), 2.0, 1e-15);
    EXPECT_NEAR(static_cast<double>(lowPass.GetFeedforwardCoeffs()[1]), 2.0, 1e-15);
    const auto out = RunFilter(*MakeFilter("LP", {kFs, 1, 7}), std::vector<double>(300, 3.0));
    EXPECT_NEAR(out.back(), 3.0, 1e-12);
}

// ---------------------------------------------------------------------------------------------
// The analysis filters
// ---------------------------------------------------------------------------------------------

TEST(DUEFilters, StepFromRestGivesTheDocumentedValues) {
    constexpr double fs = 56.0, fc = 0.5;
    const long double T = 1.0L / fs;
    const long double tau = 1 / PrewarpedOmega(fc, fs);
    struct Case {
        const char* type;
        long double first;
    };
    const Case cases[] = {{"DUE", T / 2 + tau}, {"DUE1987", tau}, {"DUE2007", T + tau}};
    for (const Case& c : cases) {
        const auto filter = MakeFilter(c.type, {fs, 1, fc});
        filter->Reset();
        const auto out = RunFilter(*filter, std::vector<double>(5, 1.0));
        EXPECT_DOUBLE_EQ(out[0], static_cast<double>(c.first)) << c.type;
        for (size_t n = 1; n < out.size(); ++n)
            EXPECT_DOUBLE_EQ(out[n], static_cast<double>(T)) << c.type << " sample " << n;
        const auto& iir = dynamic_cast<const TCustomIIRFilter&>(*filter);
        EXPECT_EQ(iir.GetFeedbackCoeffs().size(), 1u);
        EXPECT_EQ(iir.GetFeedforwardCoeffs().size(), 2u);
    }
}

TEST(DUEFilters, AnalysisConfigurationOnSixteenBitInput) {
    // Gain 200, int16 input, double output: the step of 1000 digital units.
    const auto filter = CreateFilter("DUE");
    auto& due = dynamic_cast<TCustomIIRFilter&>(*filter);
    due.IncludeInputTerms = true;
    due.PreviousOutputWeight = 0.0;
    filter->SetSetting(1, 56);
    filter->SetSetting(2, 200);
    filter->SetSetting(3, 0.5);
    filter->InputType = stInt16;
    filter->SetOutputType(stDouble);
    filter->Reset();
    const std::vector<int16_t> in(4, 1000);
    std::vector<double> out(4);
    filter->Filter(in.data(), out.data(), 0, 3, -1);
    const long double tau = 1 / PrewarpedOmega(0.5L, 56);
    EXPECT_DOUBLE_EQ(out[0], static_cast<double>(200 * (1.0L / 112 + tau) * 1000));
    EXPECT_DOUBLE_EQ(out[3], static_cast<double>(200000.0L / 56));
}

TEST(SEFilter, CoefficientsFollowTheirFormulas) {
    const auto seFilter = MakeFilter("SE", {56, 8, 0.5, 10, 3});
    const TCustomIIRFilter& se = Ready(seFilter);
    const long double T = 1.0L / 56;
    const long double centre = PrewarpedOmega(10, 56) * T;
    const long double W = centre * centre;
    const long double V = 4 * kPi * 3 * T;
    const long double D = 4 + W + V;
    const long double P = 2 / PrewarpedOmega(0.5L, 56);
    const long double Q = 4 * kPi * 8 * 3;
    const long double tolerance = 1e-16L;
    EXPECT_NEAR(static_cast<double>(se.GetFeedbackCoeffs()[1] - (8 - 2 * W) / D), 0, tolerance);
    EXPECT_NEAR(static_cast<double>(se.GetFeedbackCoeffs()[2] - (-4 + V - W) / D), 0, tolerance);
    EXPECT_NEAR(static_cast<double>(se.GetFeedforwardCoeffs()[0] / ((P + T) * Q / D) - 1), 0,
                tolerance);
    EXPECT_NEAR(static_cast<double>(se.GetFeedforwardCoeffs()[1] / (-2 * P * Q / D) - 1), 0,
                tolerance);
    EXPECT_NEAR(static_cast<double>(se.GetFeedforwardCoeffs()[2] / ((P - T) * Q / D) - 1), 0,
                tolerance);
}

TEST(SEFilter, PassesNoDC) {
    auto filter = MakeFilter("SE", {56, 8, 0.5, 10, 3});
    auto& se = dynamic_cast<TCustomIIRFilter&>(*filter);
    se.IncludeInputTerms = false;
    se.PreviousOutputWeight = 0.5;
    filter->Reset();
    const auto out = RunFilter(*filter, std::vector<double>(3000, 1000.0));
    EXPECT_NEAR(out.back(), 0.0, 1e-9);

    filter->InitSteadyState(1000.0);
    for (long double y : se.GetOutputHistory())
        EXPECT_NEAR(static_cast<double>(y), 0.0, 1e-9);
    for (long double x : se.GetInputHistory())
        EXPECT_EQ(x, 1000.0L);
}

TEST(SEFilter, ASineAtTheCentreIsAmplifiedByTheGainTimesTheLowPassInverse) {
    // At F0 the resonator part has gain 1, so the amplitude is 8*|1 + j*F0/fa(Fc)| (pre-warped).
    constexpr double fs = 56, f0 = 10;
    const auto filter = MakeFilter("SE", {fs, 8, 0.5, f0, 3});
    filter->Reset();
    std::vector<double> input(4000);
    for (size_t n = 0; n < input.size(); ++n)
        input[n] = std::sin(2 * kPi * f0 * n / fs);
    const auto out = RunFilter(*filter, input);
    const double expected =
        8 * std::abs(1.0L + Complex(0, PrewarpedOmega(f0, fs) / PrewarpedOmega(0.5L, fs)));
    EXPECT_NEAR(SineAmplitude(out, 2800, 28 * 40, f0, fs), expected, expected * 1e-9);
}

// ---------------------------------------------------------------------------------------------
// Other members
// ---------------------------------------------------------------------------------------------

TEST(NotchFilter, RemovesItsFrequencyAndPassesOthers) {
    constexpr double fs = 250, f0 = 50;
    auto run = [&](double f) {
        const auto notch = MakeFilter("NOTCH", {fs, 1, f0, 2});
        notch->Reset();
        std::vector<double> input(5000);
        for (size_t n = 0; n < input.size(); ++n)
            input[n] = std::sin(2 * kPi * f * n / fs);
        return SineAmplitude(RunFilter(*notch, input), 4000, 1000, f, fs);
    };
    EXPECT_LT(run(f0), 1e-9);
    EXPECT_NEAR(run(10), 1.0, 0.1);
    EXPECT_NEAR(run(100), 1.0, 0.1);
}

TEST(NotchFilter, HasZerosOnTheCircleAndPolesInsideAtTheSameAngles) {
    // Pole radius r = 1 - d*sqrt(e^2 - 1), d the chord from the notch to F0 - BW/2.
    constexpr long double fs = 250, f0 = 50, bw = 4;
    const auto notchFilter = MakeFilter("NOTCH", {fs, 1, f0, bw});
    const TCustomIIRFilter& notch = Ready(notchFilter);
    const long double chord = 2 * std::sin(kPi * (bw / 2) / fs);
    const long double r = 1 - chord * std::sqrt(std::exp(2.0L) - 1);
    const Complex zero = std::polar(1.0L, 2 * kPi * f0 / fs);
    const Complex pole = r * zero;
    for (long double f : {0.0L, 20.0L, 48.0L, 52.0L, 90.0L}) {
        const Complex z = std::polar(1.0L, 2 * kPi * f / fs);
        const Complex expected =
            (z - zero) * (z - std::conj(zero)) / ((z - pole) * (z - std::conj(pole)));
        EXPECT_LT(RelativeError(DigitalResponse(notch, f), expected), 1e-12L) << f;
    }
}

TEST(DCattFilters, AttenuateDCAndUndoEachOther) {
    const auto attenuator = MakeFilter("DCATT", {kFs, 1, 0.25, 1});
    const auto restorer = MakeFilter("1/DCATT", {kFs, 1, 0.25, 1});
    attenuator->Reset();
    restorer->Reset();
    std::vector<double> input(600);
    for (size_t n = 0; n < input.size(); ++n)
        input[n] = 10 + std::sin(0.4 * n) * (n % 7);
    const auto attenuated = RunFilter(*attenuator, input);
    const auto restored = RunFilter(*restorer, attenuated);
    for (size_t n = 0; n < input.size(); ++n)
        EXPECT_NEAR(restored[n], input[n], 1e-9) << n;

    const auto steady =
        RunFilter(*MakeFilter("DCATT", {kFs, 2, 0.25, 1}), std::vector<double>(2000, 4.0));
    EXPECT_NEAR(steady.back(), 2 * 0.25 * 4.0, 1e-9);  // G*g at 0 Hz
}

TEST(BP12Filter, RecursionMatchesTheDenominatorOfItsPrototype) {
    // The characteristic polynomial of the recursion has the prototype's poles: a double
    // pole at the bilinear image of -wl and one at that of -wh.
    const auto bpFilter = MakeFilter("BP12", {kFs, 1, 0.5, 20});
    const TCustomIIRFilter& bp = Ready(bpFilter);
    const TDynExtendedArray& A = bp.GetFeedbackCoeffs();
    auto characteristic = [&](long double z) { return z * z * z - A[1] * z * z - A[2] * z - A[3]; };
    for (long double corner : {0.5L, 20.0L}) {
        const long double half = kTwoPi * corner / kFs / 2;
        const long double pole = (1 - half) / (1 + half);
        EXPECT_NEAR(static_cast<double>(characteristic(pole)), 0.0, 1e-15) << corner;
    }
}

}  // namespace
}  // namespace vantrel
