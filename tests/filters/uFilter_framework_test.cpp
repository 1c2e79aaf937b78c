// The filtering contract shared by every filter: settings and their errors, the factory and
// the text forms, index ranges and direction, output storing, block continuity, state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "FilterTestHelpers.h"
#include "filters/uFilter.h"
#include "support/udStr.h"

namespace vantrel {
namespace {

using testing::FilterCaseName;
using testing::MakeFilter;
using testing::RunFilter;

std::string SettingErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ERangeError& error) {
        return error.what();
    }
    return "(no error)";
}

// ---------------------------------------------------------------------------------------------
// Factory, names and text forms
// ---------------------------------------------------------------------------------------------

TEST(FilterFactory, EveryTypeNameMakesItsClassAndMapsBack) {
    const char* classNames[kFilterTypeCount] = {
        "TLPFilter",     "THPFilter",       "TNotchFilter",   "TRectifier",     "TBPFilter",
        "TDUEFilter",    "TSEFilter",       "TGFilter",       "TInvGFilter",    "TBP12Filter",
        "TDCattFilter",  "TINVDCattFilter", "TDUE1987Filter", "TDUE2007Filter", "TLP05Filter",
        "TLP05NSFilter", "TMedianFilter"};
    for (int type = 0; type < kFilterTypeCount; ++type) {
        const std::string name(FilterTypeNames[type]);
        const auto filter = CreateFilter(name);
        ASSERT_NE(filter, nullptr) << name;
        EXPECT_STREQ(filter->ClassName(), classNames[type]) << name;
        EXPECT_EQ(FilterTypeOf(*filter), type) << name;
    }
}

TEST(FilterFactory, NamesAreTrimmedAndCaseBlind) {
    const auto filter = CreateFilter(" due2007 ");
    ASSERT_NE(filter, nullptr);
    EXPECT_STREQ(filter->ClassName(), "TDUE2007Filter");
    EXPECT_NE(dynamic_cast<TDUEFilter*>(filter.get()), nullptr);  // a DU/E variant
    EXPECT_EQ(CreateFilter("DUE2008"), nullptr);
    EXPECT_EQ(CreateFilter(""), nullptr);
    EXPECT_EQ(CreateFilter("LP 05"), nullptr);
    EXPECT_STREQ(CreateFilter("\t1/dcatt\r\n")->ClassName(), "TINVDCattFilter");
}

TEST(FilterFactory, AClassOutsideTheTableHasNoTypeName) {
    struct TOwnFilter : TLPFilter {
        const char* ClassName() const override { return "TOwnFilter"; }
    } own;
    EXPECT_EQ(FilterTypeOf(own), ftNone);
    own.SetSetting(3, 0.5);
    EXPECT_EQ(own.GetAsString(), "(1/0.5)");
}

TEST(FilterText, DescriptionsSettingNamesAndUnits) {
    struct Case {
        const char* type;
        const char* description;
        std::vector<std::string> names;  // settings 1 ... n
    };
    const std::vector<std::string> common = {"SampleFrequency", "FilterGain"};
    auto with = [&](std::vector<std::string> own) {
        std::vector<std::string> all = common;
        all.insert(all.end(), own.begin(), own.end());
        return all;
    };
    const Case cases[] = {
        {"LP", "First order low-pass", with({"-3dB frequency"})},
        {"HP", "First order high-pass", with({"-3dB frequency"})},
        {"DUE", "Inverse low-pass & integrator", with({"-3dB frequency"})},
        {"DUE1987", "Inverse low-pass & integrator", with({"-3dB frequency"})},
        {"DUE2007", "Inverse low-pass & integrator", with({"-3dB frequency"})},
        {"SE", "Inverse of low-pass & G",
         with({"Cut-off frequency", "Center frequency", "Bandwidth"})},
        {"NOTCH", "Single notch", with({"Center frequency", "Bandwidth (-3dB)"})},
        {"G", "Second order resonator", with({"Center frequency", "Bandwidth (-3dB)"})},
        {"1-G", "Inverse of second order resonator",
         with({"Center frequency", "Bandwidth (-3dB)"})},
        {"BP", "Second order band-pass",
         with({"High-pass -3dB frequency", "Low-pass  -3dB frequency"})},
        {"BP12", "1st order HP & 2nd order LP",
         with({"High-pass -3dB frequency", "Low-pass  -3dB frequency"})},
        {"DCATT", "DC attenuator", with({"0 < DC gain < 1", "DC Bandwidth"})},
        {"1/DCATT", "DC un-attenuator", with({"0 < DC gain < 1", "DC Bandwidth"})},
        {"ABS", "Rectifier", common},
        {"LP05", "Half order low-pass", with({"Rate"})},
        {"LP05NS", "LP0.5NS:Half order LP not symmetric", with({"Rate up", "Rate down"})},
        {"MEDIAN", "Median Filter", {"SampleFrequency", "Seconds to look back (s)"}},
    };
    for (const Case& c : cases) {
        const auto filter = CreateFilter(c.type);
        ASSERT_NE(filter, nullptr) << c.type;
        EXPECT_EQ(filter->GetDescription(), c.description) << c.type;
        ASSERT_EQ(filter->GetSettingCount(), static_cast<int32_t>(c.names.size())) << c.type;
        for (int32_t i = 1; i <= filter->GetSettingCount(); ++i) {
            EXPECT_EQ(filter->GetSettingName(i), c.names[i - 1]) << c.type << " setting " << i;
            const bool dcGain = std::string(c.type).find("DCATT") != std::string::npos && i == 3;
            EXPECT_EQ(filter->GetSettingUnit(i), i == 2 || dcGain ? "" : "Hz")
                << c.type << " setting " << i;
        }
        EXPECT_EQ(filter->GetSetting(1), 0.0) << c.type;
        EXPECT_EQ(filter->GetSetting(2), 1.0) << c.type;
        for (int32_t i = 3; i <= filter->GetSettingCount(); ++i)
            EXPECT_EQ(filter->GetSetting(i), 0.0);
    }
}

TEST(FilterText, AsStringUsesEighteenDigitsAndSkipsTheSampleFrequency) {
    EXPECT_EQ(MakeFilter("LP", {100, 1, 0.5})->GetAsString(), "LP(1/0.5)");
    EXPECT_EQ(MakeFilter("ABS", {100, 1})->GetAsString(), "ABS(1)");
    EXPECT_EQ(MakeFilter("SE", {56, 8, 0.1, 1.5, 1e-5})->GetAsString(),
              "SE(8/0.100000000000000006/1.5/1.00000000000000008E-5)");
    EXPECT_EQ(MakeFilter("HP", {100, -2, 1e18})->GetAsString(), "HP(-2/1E18)");
    EXPECT_EQ(MakeFilter("HP", {100, 0.0001, 1e17})->GetAsString(),
              "HP(0.000100000000000000005/100000000000000000)");
}

TEST(FilterText, LabelsUseFifteenDigits) {
    EXPECT_EQ(MakeFilter("LP", {100, 1, 0.5})->GetLabel(), "LP:0.5Hz");
    EXPECT_EQ(MakeFilter("HP", {100, 1, 0.1})->GetLabel(), "HP:0.1Hz");
    EXPECT_EQ(MakeFilter("HP", {100, 1, 1e-5})->GetLabel(), "HP:1E-5Hz");
    EXPECT_EQ(MakeFilter("NOTCH", {100, 1, 50, 2})->GetLabel(), "N:50Hz");
    EXPECT_EQ(MakeFilter("BP", {100, 1, 0.3, 35})->GetLabel(), "HP:0.3Hz LP:35Hz");
    EXPECT_EQ(MakeFilter("G", {100, 1, 10, 2})->GetLabel(), "G(1/10/2)");
}

TEST(FilterText, GeneralFormat) {
    EXPECT_EQ(FormatFloatGeneral(0, 15), "0");
    EXPECT_EQ(FormatFloatGeneral(-0.0, 15), "0");
    EXPECT_EQ(FormatFloatGeneral(0.0001, 15), "0.0001");
    EXPECT_EQ(FormatFloatGeneral(0.00001, 15), "1E-5");
    EXPECT_EQ(FormatFloatGeneral(-1.5e-7, 15), "-1.5E-7");
    EXPECT_EQ(FormatFloatGeneral(1e15, 15), "1E15");
    EXPECT_EQ(FormatFloatGeneral(123456789012345, 15), "123456789012345");
    EXPECT_EQ(FormatFloatGeneral(2.5e300, 15), "2.5E300");
    EXPECT_EQ(FormatFloatGeneral(std::numeric_limits<double>::quiet_NaN(), 15), "NAN");
    EXPECT_EQ(FormatFloatGeneral(-std::numeric_limits<double>::infinity(), 15), "-INF");
}

// ---------------------------------------------------------------------------------------------
// Settings and their errors
// ---------------------------------------------------------------------------------------------

TEST(FilterSettings, IndexOutsideTheSettingsRaises) {
    const auto filter = MakeFilter("SE", {56, 8, 1, 2, 3});
    EXPECT_EQ(SettingErrorOf([&] { filter->GetSetting(0); }), "Index out of range");
    EXPECT_EQ(SettingErrorOf([&] { filter->GetSetting(6); }), "Index out of range");
    EXPECT_EQ(SettingErrorOf([&] { filter->GetSettingUnit(0); }), "Index out of range");
    EXPECT_EQ(SettingErrorOf([&] { filter->GetSettingName(6); }), "Index out of range");
    EXPECT_EQ(SettingErrorOf([&] { filter->SetSetting(6, 1); }), "Index out of range");
    EXPECT_EQ(filter->GetSetting(5), 3.0);
}

struct SettingErrorCase {
    const char* type;
    std::vector<double> settings;
    const char* message;  // on the first Reset
};

class FilterSettingErrors : public ::testing::TestWithParam<SettingErrorCase> {};

TEST_P(FilterSettingErrors, ResetAndFilterNameTheSetting) {
    const SettingErrorCase& c = GetParam();
    const auto filter = CreateFilter(c.type);
    for (size_t i = 0; i < c.settings.size(); ++i)
        filter->SetSetting(static_cast<int32_t>(i + 1), c.settings[i]);
    filter->InputType = stDouble;
    filter->SetOutputType(stDouble);
    EXPECT_EQ(SettingErrorOf([&] { filter->Reset(); }), c.message);
    // The filter stays stale: every later operation reports the same setting, and no output
    // sample is written.
    EXPECT_TRUE(filter->IsChanged());
    const double in[2] = {1, 2};
    double out[2] = {-7, -7};
    EXPECT_EQ(SettingErrorOf([&] { filter->Filter(in, out, 0, 1, -1); }), c.message);
    EXPECT_EQ(out[0], -7);
    EXPECT_EQ(out[1], -7);
    EXPECT_EQ(SettingErrorOf([&] { filter->Filter(in, out, 0, -1, -1); }), c.message);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    ByCheckOrder, FilterSettingErrors,
    ::testing::Values(
        // Sample frequency never set, or not above 0.
        SettingErrorCase{"LP", {}, "TLPFilter: Filter setting 1 out of range"},
        SettingErrorCase{"SE", {-56}, "TSEFilter: Filter setting 1 out of range"},
        SettingErrorCase{"SE", {56, 8, 1, 29, 3}, "TSEFilter: Filter setting 4 out of range"},
        SettingErrorCase{"SE", {56, 8, 29, 29, 3}, "TSEFilter: Filter setting 3 out of range"},
        SettingErrorCase{"SE", {56, 8, 1, 5, -1}, "TSEFilter: Filter setting 5 out of range"},
        SettingErrorCase{"LP", {100, 1, 50.5}, "TLPFilter: Filter setting 3 out of range"},
        SettingErrorCase{"HP", {100, 1, -0.1}, "THPFilter: Filter setting 3 out of range"},
        SettingErrorCase{"DUE1987", {100, 1, 51}, "TDUE1987Filter: Filter setting 3 out of range"},
        SettingErrorCase{"G", {100, 1, 10, 25.5}, "TGFilter: Filter setting 4 out of range"},
        SettingErrorCase{"1-G", {100, 1, 51, 30}, "TInvGFilter: Filter setting 3 out of range"},
        SettingErrorCase{"NOTCH", {100, 1, 50, 26}, "TNotchFilter: Filter setting 4 out of range"},
        SettingErrorCase{"BP", {100, 1, 1, 51}, "TBPFilter: Filter setting 4 out of range"},
        SettingErrorCase{"BP12", {100, 1, 10, 5}, "TBP12Filter: Filter setting 4 out of range"},
        SettingErrorCase{"BP12", {100, 1, 51, 60}, "TBP12Filter: Filter setting 3 out of range"},
        SettingErrorCase{"DCATT", {100, 1, 1.5, 51}, "TDCattFilter: Filter setting 4 out of range"},
        SettingErrorCase{"DCATT", {100, 1, 0, 1}, "TDCattFilter: Filter setting 3 out of range"},
        SettingErrorCase{
            "1/DCATT", {100, 1, 1, 1}, "TINVDCattFilter: Filter setting 3 out of range"},
        SettingErrorCase{"LP05", {100, 1, 51}, "TLP05Filter: Filter setting 3 out of range"},
        SettingErrorCase{"LP05NS", {100, 1, 1, 0}, "TLP05NSFilter: Filter setting 4 out of range"},
        SettingErrorCase{"LP05NS", {100, 1, 1, 50}, "TLP05NSFilter: Filter setting 4 out of range"},
        // Settings that pass the range check but leave a coefficient without a value.
        SettingErrorCase{"LP", {100, 1, 0}, "TLPFilter: Filter setting 3 out of range"},
        SettingErrorCase{"DUE", {100, 1, 0}, "TDUEFilter: Filter setting 3 out of range"},
        SettingErrorCase{"DUE", {100, 1, 50}, "TDUEFilter: Filter setting 3 out of range"},
        SettingErrorCase{"DUE2007", {100, 1, 0}, "TDUE2007Filter: Filter setting 3 out of range"},
        SettingErrorCase{"SE", {56, 8, 0, 10, 3}, "TSEFilter: Filter setting 3 out of range"},
        SettingErrorCase{"SE", {56, 8, 28, 10, 3}, "TSEFilter: Filter setting 3 out of range"},
        SettingErrorCase{"SE", {56, 8, 1, 28, 3}, "TSEFilter: Filter setting 4 out of range"},
        SettingErrorCase{"G", {100, 1, 50, 3}, "TGFilter: Filter setting 3 out of range"},
        SettingErrorCase{
            "1/DCATT", {100, 1, 0.5, 50}, "TINVDCattFilter: Filter setting 4 out of range"},
        SettingErrorCase{"LP05", {100, 1, 0}, "TLP05Filter: Filter setting 3 out of range"},
        SettingErrorCase{"LP05NS", {100, 1, 0, 1}, "TLP05NSFilter: Filter setting 3 out of range"},
        // Settings that are not numbers.
        SettingErrorCase{"SE", {56, kNaN, 1, 10, 3}, "TSEFilter: Filter setting 2 out of range"},
        SettingErrorCase{"SE", {56, 8, 1, 10, kNaN}, "TSEFilter: Filter setting 5 out of range"},
        SettingErrorCase{"LP", {kInf, 1, 1}, "TLPFilter: Filter setting 1 out of range"},
        SettingErrorCase{"LP", {kNaN, 1, 1}, "TLPFilter: Filter setting 1 out of range"}),
    [](const ::testing::TestParamInfo<SettingErrorCase>& info) {
        return FilterCaseName(info.param.type, info.param.settings);
    });

TEST(FilterSettings, CorrectingTheSettingMakesTheFilterReady) {
    const auto filter = MakeFilter("SE", {56, 8, 1, 29, 3});
    EXPECT_THROW(filter->Reset(), ERangeError);
    filter->SetSetting(4, 10);
    EXPECT_NO_THROW(filter->Reset());
    EXPECT_FALSE(filter->IsChanged());
}

TEST(FilterSettings, SetGainRecalculatesOnlyValidSettings) {
    const auto filter = MakeFilter("LP", {100, 1, 5});
    filter->SetGain(2);
    EXPECT_FALSE(filter->IsChanged());
    EXPECT_EQ(filter->GetGain(), 2.0);

    const auto stale = MakeFilter("LP", {100, 1, 0});  // in range, but no coefficient
    EXPECT_NO_THROW(stale->SetGain(3));
    EXPECT_TRUE(stale->IsChanged());
    const auto invalid = MakeFilter("LP", {100, 1, 70});
    EXPECT_NO_THROW(invalid->SetGain(3));
    EXPECT_TRUE(invalid->IsChanged());
}

TEST(FilterSettings, NotchKeepsItsGainAtOne) {
    const auto notch = MakeFilter("NOTCH", {100, 1, 50, 2});
    notch->Reset();
    ASSERT_FALSE(notch->IsChanged());
    notch->SetSetting(2, 2.0);
    EXPECT_EQ(notch->GetSetting(2), 1.0);
    EXPECT_FALSE(notch->IsChanged());  // a refused write changes nothing
    notch->SetGain(5);
    EXPECT_EQ(notch->GetGain(), 1.0);
    EXPECT_TRUE(notch->IsSettingReadOnly(2));
    EXPECT_FALSE(notch->IsSettingReadOnly(3));
}

TEST(FilterSettings, ChangingASettingBetweenBlocksKeepsTheState) {
    const auto filter = MakeFilter("SE", {56, 8, 1, 10, 3});
    filter->Reset();
    RunFilter(*filter, {1, -2, 3, 4});
    auto& iir = dynamic_cast<TCustomIIRFilter&>(*filter);
    const TDynExtendedArray outputs = iir.GetOutputHistory();
    const TDynExtendedArray inputs = iir.GetInputHistory();
    filter->SetSetting(5, 4);
    iir.Recalculate();
    EXPECT_EQ(iir.GetOutputHistory(), outputs);
    EXPECT_EQ(iir.GetInputHistory(), inputs);
}

// ---------------------------------------------------------------------------------------------
// Ranges, direction and block continuity
// ---------------------------------------------------------------------------------------------

std::vector<double> NoisySignal(size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    std::normal_distribution<double> noise(0, 1000);
    std::vector<double> values(n);
    for (size_t i = 0; i < n; ++i)
        values[i] = std::round(noise(generator) + 300 * std::sin(0.3 * i));
    return values;
}

struct ContinuityCase {
    const char* type;
    std::vector<double> settings;
    bool noInputTerms = false;
    double weight = 0;
};

std::unique_ptr<TCustomFilter> MakeContinuityFilter(const ContinuityCase& c) {
    std::unique_ptr<TCustomFilter> filter = CreateFilter(c.type);
    if (auto* iir = dynamic_cast<TCustomIIRFilter*>(filter.get())) {
        iir->IncludeInputTerms = !c.noInputTerms;
        iir->PreviousOutputWeight = c.weight;
    }
    for (size_t i = 0; i < c.settings.size(); ++i)
        filter->SetSetting(static_cast<int32_t>(i + 1), c.settings[i]);
    filter->InputType = stDouble;
    filter->SetOutputType(stDouble);
    filter->Reset();
    return filter;
}

class FilterContinuity : public ::testing::TestWithParam<ContinuityCase> {};

TEST_P(FilterContinuity, BlocksOfAnySizeEqualOneWholeBlock) {
    const std::vector<double> input = NoisySignal(300, 7);
    const std::vector<double> whole = RunFilter(*MakeContinuityFilter(GetParam()), input);
    for (int block : {1, 2, 7, 150, 299}) {
        const std::vector<double> pieces =
            RunFilter(*MakeContinuityFilter(GetParam()), input, block);
        EXPECT_EQ(pieces, whole) << GetParam().type << " in blocks of " << block;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, FilterContinuity,
                         ::testing::Values(ContinuityCase{"DUE", {56, 200, 0.5}},
                                           ContinuityCase{"DUE1987", {56, 200, 0.5}},
                                           ContinuityCase{"SE", {56, 8, 0.5, 10, 3}, true, 0.5},
                                           ContinuityCase{"SE", {56, 8, 0.5, 10, 3}},
                                           ContinuityCase{"BP12", {100, 1, 0.5, 20}},
                                           ContinuityCase{"LP", {100, 1, 5}},
                                           ContinuityCase{"LP05NS", {100, 1, 10, 0.1}},
                                           ContinuityCase{"MEDIAN", {10, 0.7}},
                                           ContinuityCase{"ABS", {10, -2}}),
                         [](const ::testing::TestParamInfo<ContinuityCase>& info) {
                             const ContinuityCase& c = info.param;
                             std::string name = FilterCaseName(c.type, c.settings);
                             if (c.noInputTerms) name += "_NoInputTerms";
                             if (c.weight != 0) name += "_Weight" + FilterCaseName("", {c.weight});
                             return name;
                         });

TEST(FilterRange, OneSampleAndEmptyRanges) {
    const auto filter = MakeFilter("SE", {56, 8, 1, 10, 3});
    filter->Reset();
    const std::vector<double> input = {5, 6, 7, 8};
    std::vector<double> out(4, -1);
    filter->Filter(input.data(), out.data(), 2, 2, -1);  // exactly in[2] into out[2]
    EXPECT_EQ(out[0], -1);
    EXPECT_NE(out[2], -1);
    EXPECT_EQ(out[3], -1);

    auto& iir = dynamic_cast<TCustomIIRFilter&>(*filter);
    const TDynExtendedArray before = iir.GetOutputHistory();
    filter->Filter(input.data(), out.data(), 3, 2, -1);  // nothing
    EXPECT_EQ(iir.GetOutputHistory(), before);
    EXPECT_EQ(out[3], -1);

    EXPECT_THROW(filter->Filter(input.data(), out.data(), 3, 1, -1), ERangeError);
    EXPECT_THROW(filter->Filter(input.data(), out.data(), -1, 1, -1), ERangeError);
}

TEST(FilterRange, OutputStartMovesTheOutput) {
    const std::vector<double> input = {1, 2, 3, 4, 5};
    const auto whole = RunFilter(*MakeContinuityFilter({"BP12", {100, 1, 0.5, 20}}), input);
    const auto filter = MakeContinuityFilter({"BP12", {100, 1, 0.5, 20}});
    std::vector<double> out(8, -1);
    filter->Filter(input.data(), out.data(), 0, 4, 3);
    EXPECT_EQ(std::vector<double>(out.begin() + 3, out.end()), whole);
}

TEST(FilterRange, ReverseFiltersFromTheEnd) {
    const std::vector<double> input = NoisySignal(40, 3);
    const std::vector<double> reversed(input.rbegin(), input.rend());
    const ContinuityCase kinds[] = {{"SE", {56, 8, 0.5, 10, 3}, true, 0.5},
                                    {"LP05", {100, 1, 3}},
                                    {"MEDIAN", {10, 0.5}},
                                    {"ABS", {10, 1}}};
    for (const ContinuityCase& kind : kinds) {
        const std::vector<double> forward = RunFilter(*MakeContinuityFilter(kind), reversed);
        // Without an output start the output of in[i] goes to out[i].
        const auto filter = MakeContinuityFilter(kind);
        filter->Reverse = true;
        std::vector<double> out(40, -1);
        filter->Filter(input.data(), out.data(), 0, 39, -1);
        EXPECT_EQ(std::vector<double>(out.rbegin(), out.rend()), forward) << kind.type;

        // With one, the output of in[to] goes there and the following ones below it.
        const auto placed = MakeContinuityFilter(kind);
        placed->Reverse = true;
        std::vector<double> shifted(50, -1);
        placed->Filter(input.data(), shifted.data(), 0, 39, 45);
        EXPECT_EQ(std::vector<double>(shifted.rbegin() + 4, shifted.rend() - 6), forward)
            << kind.type;
        EXPECT_THROW(placed->Filter(input.data(), shifted.data(), 0, 39, 38), ERangeError);
    }
}

TEST(FilterRange, TypedBlocksCheckTypesAndBounds) {
    const auto filter = CreateFilter("DUE");
    filter->SetSetting(1, 56);
    filter->SetSetting(3, 1);
    filter->InputType = stInt16;
    filter->SetOutputType(stDouble);
    filter->Reset();
    std::vector<int16_t> in(10, 1);
    std::vector<double> out(10);
    EXPECT_NO_THROW((filter->FilterBlock<int16_t, double>(in, out, 0, 9, -1)));
    EXPECT_THROW((filter->FilterBlock<int16_t, double>(in, out, 0, 10, -1)), ERangeError);
    EXPECT_THROW((filter->FilterBlock<int16_t, double>(in, out, 5, 9, 6)), ERangeError);
    std::vector<float> floats(10);
    EXPECT_THROW((filter->FilterBlock<int16_t, float>(in, floats, 0, 9, -1)), EInvalidOperation);
}

TEST(FilterRange, AnUnknownSampleTypeIsRefused) {
    const auto filter = MakeFilter("LP", {100, 1, 5});
    filter->InputType = static_cast<TSampleType>(9);
    const double in[1] = {1};
    double out[1] = {0};
    EXPECT_THROW(filter->Filter(in, out, 0, 0, -1), ERangeError);
}

// ---------------------------------------------------------------------------------------------
// Storing the output
// ---------------------------------------------------------------------------------------------

// A notch from rest emits its first input unchanged (B[0] = 1, all history 0), so the value
// that reaches the store is exactly the input.
template <class Out>
Out StoredAs(double value) {
    const auto notch = MakeFilter("NOTCH", {100, 1, 10, 2});
    notch->SetOutputType(SampleTypeOf<Out>());
    notch->Reset();
    Out out{};
    notch->Filter(&value, &out, 0, 0, -1);
    return out;
}

TEST(FilterOutput, IntegersRoundHalfToEvenAndSaturateSymmetrically) {
    struct Case {
        double value;
        int16_t expected;
    };
    const Case cases16[] = {{40000.0, 32767},   {-40000.0, -32767}, {2.5, 2},
                            {3.5, 4},           {-2.5, -2},         {-3.5, -4},
                            {-32768, -32767},   {32767.4, 32767},   {32767.5, 32767},
                            {-32767.5, -32767}, {-0.4, 0},          {kInf, 32767},
                            {-kInf, -32767},    {kNaN, 0}};
    for (const Case& c : cases16)
        EXPECT_EQ(StoredAs<int16_t>(c.value), c.expected) << c.value;

    EXPECT_EQ(StoredAs<int32_t>(3e9), 2147483647);
    EXPECT_EQ(StoredAs<int32_t>(-2147483648.0), -2147483647);
    EXPECT_EQ(StoredAs<int32_t>(-2147483647.5), -2147483647);
    EXPECT_EQ(StoredAs<int32_t>(1000000.5), 1000000);
    EXPECT_EQ(StoredAs<int32_t>(-40000), -40000);
}

TEST(FilterOutput, FloatsAreClampedByTheRecursiveFilters) {
    EXPECT_EQ(StoredAs<double>(1.75e308), 1.7e308);
    EXPECT_EQ(StoredAs<double>(-kInf), -1.7e308);
    EXPECT_EQ(StoredAs<double>(1.25), 1.25);
    EXPECT_EQ(StoredAs<float>(1e39), static_cast<float>(3.4e38));
    EXPECT_EQ(StoredAs<float>(-1e300), static_cast<float>(-3.4e38));
    EXPECT_EQ(StoredAs<float>(0.1), 0.1f);
    EXPECT_TRUE(std::isnan(StoredAs<double>(kNaN)));
}

TEST(FilterOutput, RectifierDoesNotClamp) {
    const auto rectifier = MakeFilter("ABS", {100, 1});
    const double in[2] = {-1.75e308, 3};
    double out[2] = {0, 0};
    rectifier->Filter(in, out, 0, 1, -1);
    EXPECT_EQ(out[0], 1.75e308);
    rectifier->SetGain(-2);
    const double minusThree = -3;
    rectifier->Filter(&minusThree, out, 0, 0, -1);
    EXPECT_EQ(out[0], 6);
}

TEST(FilterOutput, EveryTypeCombinationGivesTheSameValues) {
    // Small whole inputs are exact in every type; the outputs of each combination must match
    // the double result stored in that type.
    const std::vector<double> input = {3, -7, 100, 2000, -30000, 12, 0, 5};
    const auto reference = RunFilter(*MakeFilter("BP12", {100, 1, 0.5, 20}), input);
    auto runAs = [&]<class In, class Out>() {
        const auto filter = MakeFilter("BP12", {100, 1, 0.5, 20});
        filter->InputType = SampleTypeOf<In>();
        filter->SetOutputType(SampleTypeOf<Out>());
        filter->Reset();
        std::vector<In> in(input.begin(), input.end());
        std::vector<Out> out(input.size());
        filter->Filter(in.data(), out.data(), 0, static_cast<int32_t>(in.size()) - 1, -1);
        for (size_t i = 0; i < input.size(); ++i) {
            if constexpr (std::is_integral_v<Out>)
                EXPECT_EQ(out[i], static_cast<Out>(std::nearbyint(reference[i]))) << i;
            else
                EXPECT_EQ(out[i], static_cast<Out>(reference[i])) << i;
        }
    };
    auto forOutputs = [&]<class In>() {
        runAs.template operator()<In, int16_t>();
        runAs.template operator()<In, int32_t>();
        runAs.template operator()<In, float>();
        runAs.template operator()<In, double>();
    };
    forOutputs.template operator()<int16_t>();
    forOutputs.template operator()<int32_t>();
    forOutputs.template operator()<float>();
    forOutputs.template operator()<double>();
}

// ---------------------------------------------------------------------------------------------
// What is emitted versus what is remembered
// ---------------------------------------------------------------------------------------------

TEST(FilterEngine, DefaultsEmitTheRecursionAndWeightOneEmitsThePreviousOutput) {
    const std::vector<double> input = NoisySignal(100, 11);
    const auto full = RunFilter(*MakeContinuityFilter({"SE", {56, 8, 0.5, 10, 3}}), input);
    const auto previous =
        RunFilter(*MakeContinuityFilter({"SE", {56, 8, 0.5, 10, 3}, true, 1.0}), input);
    EXPECT_EQ(previous[0], 0.0);
    for (size_t n = 1; n < input.size(); ++n)
        EXPECT_EQ(previous[n], full[n - 1]) << n;
}

// The recursion written out as documented, in long double: the engine must reproduce it bit
// for bit, in the emitted values and in what it remembers.
std::vector<double> LiteralRecursion(const TCustomIIRFilter& filter,
                                     const std::vector<double>& input) {
    const TDynExtendedArray& A = filter.GetFeedbackCoeffs();
    const TDynExtendedArray& B = filter.GetFeedforwardCoeffs();
    const long double w = filter.PreviousOutputWeight;
    std::vector<long double> y(A.size() + 1, 0.0L), x(B.size(), 0.0L);
    std::vector<double> out;
    for (double value : input) {
        x[0] = value;
        long double acc = 0;
        for (size_t k = 1; k < A.size(); ++k)
            acc += A[k] * y[k];
        const long double feedback = acc;
        for (size_t k = 0; k < B.size(); ++k)
            acc += B[k] * x[k];
        const long double v = filter.IncludeInputTerms ? acc : feedback;
        const long double e = w * y[1] + (1 - w) * v;
        out.push_back(static_cast<double>(std::clamp(e, -1.7e308L, 1.7e308L)));
        for (size_t k = A.size() - 1; k >= 2; --k)
            y[k] = y[k - 1];
        y[1] = acc;
        for (size_t k = B.size() - 1; k >= 1; --k)
            x[k] = x[k - 1];
    }
    return out;
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A recursive filter of an order no member has (two feedback and two feed-forward terms), so
// the engine's general loop runs.
class TOrderTwoTwoFilter : public TCustomIIRFilter {
  public:
    const char* ClassName() const override { return "TOrderTwoTwoFilter"; }
    void Recalculate() override {
        Validate();
        SetArrayLengths(2, 3);
        FeedforwardCoeffs[0] = 0.25L;
        FeedforwardCoeffs[1] = -0.1L;
        FeedbackCoeffs[1] = 1.2L;
        FeedbackCoeffs[2] = -0.5L;
        Changed = false;
    }
};

TEST(FilterEngine, EmittedValuesFollowTheRecursionBitForBit) {
    std::vector<double> input = NoisySignal(200, 5);
    // Zeros of both signs from rest, and a value near the clamp.
    input.insert(input.begin(), {0.0, -0.0, -0.0, 0.0});
    input[100] = 1.6e308;
    const ContinuityCase kinds[] = {{"SE", {56, 8, 0.5, 10, 3}},
                                    {"SE", {56, 8, 0.5, 10, 3}, true, 0.5},
                                    {"SE", {56, 8, 0.5, 10, 3}, true, 0.3},
                                    {"SE", {56, 8, 0.5, 10, 3}, false, -0.2},
                                    {"DUE", {56, 200, 0.5}},
                                    {"DUE2007", {56, 200, 0.5}, true, 0.5},
                                    {"LP", {100, 1, 5}, false, 0.7},
                                    {"BP12", {100, 1, 0.5, 20}, true, 1.0}};
    for (const ContinuityCase& kind : kinds) {
        const auto filter = MakeContinuityFilter(kind);
        const auto& iir = dynamic_cast<const TCustomIIRFilter&>(*filter);
        const std::vector<double> expected = LiteralRecursion(iir, input);
        const std::vector<double> emitted = RunFilter(*filter, input, 37);
        for (size_t n = 0; n < input.size(); ++n)
            ASSERT_TRUE(SameBits(emitted[n], expected[n]))
                << kind.type << " w " << kind.weight << " sample " << n << ": " << emitted[n]
                << " vs " << expected[n];
    }

    TOrderTwoTwoFilter general;
    general.SetSetting(1, 10);
    general.IncludeInputTerms = false;
    general.PreviousOutputWeight = 0.25;
    general.InputType = stDouble;
    general.SetOutputType(stDouble);
    general.Reset();
    const std::vector<double> expected = LiteralRecursion(general, input);
    const std::vector<double> emitted = RunFilter(general, input, 50);
    for (size_t n = 0; n < input.size(); ++n)
        ASSERT_TRUE(SameBits(emitted[n], expected[n])) << "general order, sample " << n;
}

TEST(FilterEngine, AMemberThatDoesNotSizeItsArraysIsRefused) {
    class TUnsizedFilter : public TCustomIIRFilter {
      public:
        const char* ClassName() const override { return "TUnsizedFilter"; }
    } unsized;
    unsized.SetSetting(1, 10);
    const double in = 1;
    double out = 0;
    EXPECT_THROW(unsized.Filter(&in, &out, 0, 0, -1), EInvalidOperation);
}

TEST(FilterEngine, InitOnFirstSampleStartsInTheSteadyState) {
    const auto lowPass = MakeFilter("LP", {100, 1, 2});
    lowPass->Reset();
    lowPass->SetInitOnFirstSample(true);
    const auto out = RunFilter(*lowPass, std::vector<double>(20, 50.0));
    for (double value : out)
        EXPECT_NEAR(value, 50.0, 1e-12);
    EXPECT_FALSE(lowPass->GetInitOnFirstSample());

    const auto se = MakeContinuityFilter({"SE", {56, 8, 0.5, 10, 3}, true, 0.5});
    se->SetInitOnFirstSample(true);
    for (double value : RunFilter(*se, std::vector<double>(20, 1000.0)))
        EXPECT_NEAR(value, 0.0, 1e-9);  // the SE filter passes no DC
}

TEST(FilterEngine, ResetClearsARequestedSteadyState) {
    const auto filter = MakeFilter("LP", {100, 1, 2});
    filter->SetInitOnFirstSample(true);
    filter->Reset();
    EXPECT_FALSE(filter->GetInitOnFirstSample());
    const auto out = RunFilter(*filter, {50.0});
    EXPECT_LT(out[0], 10.0);  // started from rest
}

TEST(FilterEngine, SaveAndRestoreStateRepeatABlock) {
    const std::vector<double> first = NoisySignal(30, 1);
    const std::vector<double> second = NoisySignal(30, 2);
    const ContinuityCase kinds[] = {
        {"SE", {56, 8, 0.5, 10, 3}}, {"LP05", {100, 1, 3}}, {"MEDIAN", {10, 0.7}}};
    for (const ContinuityCase& kind : kinds) {
        const auto filter = MakeContinuityFilter(kind);
        filter->RestoreState();  // nothing saved: nothing happens
        RunFilter(*filter, first);
        filter->SaveState();
        const auto once = RunFilter(*filter, second);
        filter->RestoreState();
        EXPECT_EQ(RunFilter(*filter, second), once) << kind.type;

        // A dropped state is not restored: filtering simply goes on.
        filter->DiscardSavedState();
        filter->RestoreState();
        const auto goingOn = RunFilter(*filter, second);
        const auto reference = MakeContinuityFilter(kind);
        for (const auto* block : {&first, &second})
            RunFilter(*reference, *block);
        EXPECT_EQ(goingOn, RunFilter(*reference, second)) << kind.type;
    }
}

}  // namespace
}  // namespace vantrel
