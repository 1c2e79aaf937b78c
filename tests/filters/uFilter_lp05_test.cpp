// The half-order low-pass filters and their rate-coefficient conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "FilterTestHelpers.h"
#include "filters/uFilter.h"

namespace vantrel {
namespace {

using testing::MakeFilter;
using testing::RunFilter;

const long double kHalfPower = std::sqrt(2.0L) * 0.5L;

TEST(LP05Convertor, CoefficientAndFrequencyAreInverse) {
    TLP05RateFrequencyConvertor convertor;
    const long double c1 = convertor.CoefficientForFrequency(100, 1, 1e-6L);
    EXPECT_NEAR(static_cast<double>(c1), 0.06088, 5e-5);
    EXPECT_NEAR(static_cast<double>(TLP05RateFrequencyConvertor::SmootherGain(100, 1, c1)),
                static_cast<double>(kHalfPower), 1e-6);
    EXPECT_NEAR(static_cast<double>(convertor.FrequencyForCoefficient(100, c1, 1e-6L)), 1.0, 1e-5);
    EXPECT_NEAR(static_cast<double>(convertor.CoefficientForFrequency(100, 10, 1e-6L)), 0.4559,
                5e-5);
    // The smoother's gain is 1 at 0 Hz for any coefficient.
    EXPECT_NEAR(static_cast<double>(TLP05RateFrequencyConvertor::SmootherGain(100, 0, 0.3L)), 1.0,
                1e-18);
}

TEST(LP05Filter, RateReadsBackTheFrequencyOfItsCoefficient) {
    const auto filter = MakeFilter("LP05", {100, 1, 1});
    filter->Reset();
    const auto& lp05 = dynamic_cast<const TLP05Filter&>(*filter);
    EXPECT_NEAR(lp05.Coefficient, 0.06088, 5e-5);
    EXPECT_NEAR(filter->GetSetting(3), 1.0, 1e-5);
    EXPECT_FALSE(filter->IsChanged());
}

TEST(LP05Filter, SteadyOutputIsTheGainSquaredTimesTheInput) {
    for (double gain : {1.0, 2.0}) {
        const auto filter = MakeFilter("LP05", {100, gain, 10});
        filter->Reset();
        const auto out = RunFilter(*filter, std::vector<double>(200, 3.0));
        EXPECT_NEAR(out.back(), gain * gain * 3.0, 1e-12) << gain;
        EXPECT_LT(out.front(), out.back());
    }
}

TEST(LP05Filter, FollowsTheSmootherEquation) {
    const auto filter = MakeFilter("LP05", {100, 2, 5});
    filter->Reset();
    const double c = dynamic_cast<const TLP05Filter&>(*filter).Coefficient;
    const std::vector<double> input = {1, 5, -3, 8, 0, 2};
    const auto out = RunFilter(*filter, input);
    long double s = 0;
    for (size_t n = 0; n < input.size(); ++n) {
        s = s + c * (2 * static_cast<long double>(input[n]) - s);
        EXPECT_EQ(out[n], static_cast<double>(2 * s)) << n;
    }
}

TEST(LP05Filter, RateAtHalfTheSampleFrequencyIsAcceptedAndKept) {
    const auto filter = MakeFilter("LP05", {100, 1, 50});
    EXPECT_EQ(filter->CheckSettings(), 0);
    EXPECT_NO_THROW(filter->Reset());
    EXPECT_NEAR(filter->GetSetting(3), 50.0, 1e-3);
    EXPECT_NEAR(dynamic_cast<const TLP05Filter&>(*filter).Coefficient, 2 / (1 + std::sqrt(2.0)),
                1e-5);
    // A later recalculation still works.
    filter->SetGain(1);
    EXPECT_NO_THROW(filter->Reset());
}

TEST(LP05NSFilter, RisesQuicklyAndFallsSlowly) {
    const auto filter = MakeFilter("LP05NS", {100, 1, 10, 0.1});
    filter->Reset();
    std::vector<double> input(100, 10.0);
    input.resize(200, 0.0);
    const auto out = RunFilter(*filter, input);
    EXPECT_GT(out[20], 9.9);   // rate up 10 Hz: settled within 0.2 s
    EXPECT_GT(out[120], 8.0);  // rate down 0.1 Hz: hardly moved after 0.2 s
    EXPECT_LT(out[199], out[100]);
}

TEST(LP05NSFilter, InitOnFirstSampleStartsAtTheFirstInput) {
    const auto filter = MakeFilter("LP05NS", {100, 1, 10, 0.1});
    filter->Reset();
    filter->SetInitOnFirstSample(true);
    for (double value : RunFilter(*filter, std::vector<double>(10, 50.0)))
        EXPECT_EQ(value, 50.0);
    EXPECT_FALSE(filter->GetInitOnFirstSample());
}

TEST(LP05NSFilter, RateDownMustLieStrictlyInsideTheBand) {
    EXPECT_EQ(MakeFilter("LP05NS", {100, 1, 10, 0})->CheckSettings(), 4);
    EXPECT_EQ(MakeFilter("LP05NS", {100, 1, 10, 50})->CheckSettings(), 4);
    EXPECT_EQ(MakeFilter("LP05NS", {100, 1, 50, 49})->CheckSettings(), 0);
    EXPECT_EQ(MakeFilter("LP05NS", {100, 1, 51, 0})->CheckSettings(), 3);
}

}  // namespace
}  // namespace vantrel
