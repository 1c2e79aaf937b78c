// The running median list and the median filter.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <vector>

#include "FilterTestHelpers.h"
#include "filters/uFilter.h"
#include "filters/uMedian.h"

namespace vantrel {
namespace {

using testing::MakeFilter;
using testing::RunFilter;

std::vector<double> ValuesOldestFirst(const TCustomMedianList& list) {
    std::vector<double> values;
    for (const TCustomMedianListItem* item = list.GetOldest(); item != nullptr; item = item->Newer)
        values.push_back(item->GetValue());
    return values;
}

TEST(MedianList, MatchesASortedWindow) {
    std::mt19937 generator(42);
    std::uniform_int_distribution<int> pick(-20, 20);  // many equal values
    for (int capacity = 1; capacity <= 8; ++capacity) {
        TDoubleMedianList list;
        list.SetCapacity(capacity);
        std::deque<double> window;
        for (int n = 0; n < 300; ++n) {
            const double value = pick(generator) * 0.5;
            list.Add(value);
            window.push_back(value);
            if (static_cast<int>(window.size()) > capacity) window.pop_front();
            std::vector<double> sorted(window.begin(), window.end());
            std::sort(sorted.begin(), sorted.end());
            const size_t m = sorted.size();
            const double median =
                m % 2 == 1 ? sorted[m / 2] : (sorted[m / 2 - 1] + sorted[m / 2]) / 2;
            ASSERT_EQ(list.Median(), median) << "capacity " << capacity << " sample " << n;
            ASSERT_EQ(list.Count(), static_cast<int32_t>(m));
            ASSERT_EQ(ValuesOldestFirst(list), std::vector<double>(window.begin(), window.end()));
        }
    }
}

TEST(MedianList, ValueAtAndMiddleIndex) {
    TDoubleMedianList list;
    for (double value : {4.0, 1.0, 3.0, 2.0})
        list.Add(value);
    EXPECT_EQ(list.MiddleIndex(), 1.5);
    EXPECT_EQ(list.Median(), 2.5);
    EXPECT_EQ(list.ValueAt(0), 1.0);
    EXPECT_EQ(list.ValueAt(3), 4.0);
    EXPECT_EQ(list.ValueAt(2.5), 3.5);
    EXPECT_EQ(list.ValueAt(-0.5), 1.0);  // the lower index is held at 0
    EXPECT_THROW(list.ValueAt(4), ERangeError);
    list.Clear();
    EXPECT_THROW(list.Median(), ERangeError);
    EXPECT_EQ(list.GetNewest(), nullptr);
}

TEST(MedianList, CapacityDropsTheOldestValues) {
    TDoubleMedianList list;
    EXPECT_EQ(list.GetCapacity(), 10);
    for (double value = 1; value <= 6; ++value)
        list.Add(value);
    list.SetCapacity(4);  // fewer than 4 remain until the next Add
    EXPECT_EQ(ValuesOldestFirst(list), (std::vector<double>{4, 5, 6}));
    list.Add(7);
    list.Add(8);
    EXPECT_EQ(ValuesOldestFirst(list), (std::vector<double>{5, 6, 7, 8}));
    EXPECT_EQ(list.GetOldest()->Older, nullptr);
    list.SetCapacity(0);
    EXPECT_EQ(list.Count(), 0);
    list.Add(9);  // a capacity of 0 keeps the newest value and does not hang
    EXPECT_EQ(list.Count(), 1);
}

TEST(MedianList, AssignCopiesCapacityAndArrivalOrder) {
    TDoubleMedianList source;
    source.SetCapacity(3);
    for (double value : {5.0, 9.0, 1.0, 7.0})
        source.Add(value);
    TDoubleMedianList copy;
    copy.Add(100);
    copy.Assign(source);
    EXPECT_EQ(copy.GetCapacity(), 3);
    EXPECT_EQ(ValuesOldestFirst(copy), (std::vector<double>{9, 1, 7}));
    EXPECT_EQ(copy.Median(), 7.0);
}

TEST(MedianList, NearlyEqualValuesCompareEqual) {
    TCustomMedianListItem a(1.0), b(1.0 + 1e-13), c(2.0);
    EXPECT_EQ(a.CompareTo(b), 0);
    EXPECT_EQ(a.CompareTo(c), 1);
    EXPECT_EQ(c.CompareTo(a), -1);
    TCustomMedianListItem big(1e6), bigger(1e6 + 1e-5);
    EXPECT_EQ(big.CompareTo(bigger), 1);  // the tolerance scales with the values: 1e-6 here
}

struct MedianCase {
    double fs;
    double seconds;
    std::vector<double> input;
    std::vector<double> expected;
};

class MedianWindows : public ::testing::TestWithParam<MedianCase> {};

TEST_P(MedianWindows, GiveTheDocumentedOutputs) {
    const MedianCase& c = GetParam();
    const auto filter = MakeFilter("MEDIAN", {c.fs, c.seconds});
    filter->Reset();
    EXPECT_EQ(RunFilter(*filter, c.input), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    LookBacks, MedianWindows,
    ::testing::Values(MedianCase{5, 1, {5, 1, 4, 2, 3}, {5, 3, 4, 3, 3}},
                      MedianCase{3, 0.5, {1, 3, 5}, {1, 2, 4}},  // 1.5 samples: window 2
                      MedianCase{5, 0.4, {2, 2, 2}, {2, 2, 2}},
                      MedianCase{5, 0.05, {1, 9, 4}, {1, 9, 4}},  // below one sample: window 1
                      MedianCase{5, 1, {5, 1, 4, 2, 3, 100, 100}, {5, 3, 4, 3, 3, 3, 4}}),
    // "Fs5_Look1s_5Inputs": sample frequency, look-back and input length.
    [](const ::testing::TestParamInfo<MedianCase>& info) {
        std::string name = testing::FilterCaseName("Fs", {info.param.fs}) + "_Look" +
                           testing::FilterCaseName("", {info.param.seconds}).substr(1) + "s_" +
                           std::to_string(info.param.input.size()) + "Inputs";
        return name;
    });

TEST(MedianFilter, ResetEmptiesTheWindowAndBlocksCarryItOtherwise) {
    const auto carried = MakeFilter("MEDIAN", {5, 1});
    RunFilter(*carried, {10, 10, 10});
    EXPECT_EQ(RunFilter(*carried, {1, 1}), (std::vector<double>{10, 10}));
    const auto reset = MakeFilter("MEDIAN", {5, 1});
    RunFilter(*reset, {10, 10, 10});
    reset->Reset();
    EXPECT_EQ(RunFilter(*reset, {1, 1}), (std::vector<double>{1, 1}));
    reset->SetInitOnFirstSample(false);  // empties the window as well
    EXPECT_EQ(dynamic_cast<TMedianFilter&>(*reset).GetList().Count(), 0);
}

TEST(MedianFilter, SettingsCheckAndWindowLength) {
    EXPECT_EQ(MakeFilter("MEDIAN", {0, 1})->CheckSettings(), 1);
    EXPECT_EQ(MakeFilter("MEDIAN", {5, 0.1})->CheckSettings(), 2);
    EXPECT_EQ(MakeFilter("MEDIAN", {5, 1})->CheckSettings(), 0);
    const auto wide = MakeFilter("MEDIAN", {5, 20000});
    EXPECT_EQ(wide->CheckSettings(), 2);
    EXPECT_EQ(RunFilter(*wide, {3, 1}), (std::vector<double>{3, 2}));  // runs anyway
    EXPECT_EQ(dynamic_cast<TMedianFilter&>(*wide).GetList().GetCapacity(), 100000);
    const auto unset = CreateFilter("MEDIAN");  // never raises for settings
    unset->InputType = stDouble;
    unset->SetOutputType(stDouble);
    EXPECT_EQ(RunFilter(*unset, {3, 1}), (std::vector<double>{3, 1}));
}

TEST(MedianFilter, IntegerOutputsAreRoundedAndFloatsNotClamped) {
    const auto filter = MakeFilter("MEDIAN", {2, 1});
    filter->SetOutputType(stInt16);
    const double in[4] = {1, 2, 1e9, 1e9};
    int16_t out[4] = {};
    filter->Filter(in, out, 0, 3, -1);
    EXPECT_EQ(out[1], 2);  // 1.5, ties to even
    EXPECT_EQ(out[3], 32767);

    const auto wide = MakeFilter("MEDIAN", {1, 1});
    const double huge = 1.75e308;
    double result = 0;
    wide->Filter(&huge, &result, 0, 0, -1);
    EXPECT_EQ(result, 1.75e308);
}

}  // namespace
}  // namespace vantrel
