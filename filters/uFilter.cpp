// The filter framework: TCustomFilter (settings, text forms, the filtering contract), the two
// non-recursive members (rectifier and running median) and the factory that makes a filter
// from its short type name. The recursive family is in uFilterIIR.cpp, the half-order
// low-pass family in uFilterLP05.cpp; all of them are declared in uFilter.h.
#include "filters/uFilter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "filters/uFilterEngine.h"
#include "support/udStr.h"

namespace vantrel {

using namespace filter_engine;

namespace {

// ---------------------------------------------------------------------------------------------
// Text helpers.
// ---------------------------------------------------------------------------------------------

std::string UpperCaseTrimmed(std::string_view text) {
    // Blanks and control characters around the name are ignored.
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    std::string result(text.substr(begin, end - begin));
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return result;
}

// Class-name keys of the filter types, in TFilterType order.
constexpr std::array<std::string_view, kFilterTypeCount> kClassNameKeys = {
    "TLPFILTER",     "THPFILTER",       "TNOTCHFILTER",   "TRECTIFIER",     "TBPFILTER",
    "TDUEFILTER",    "TSEFILTER",       "TGFILTER",       "TINVGFILTER",    "TBP12FILTER",
    "TDCATTFILTER",  "TINVDCATTFILTER", "TDUE1987FILTER", "TDUE2007FILTER", "TLP05FILTER",
    "TLP05NSFILTER", "TMEDIANFILTER"};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomFilter
// ---------------------------------------------------------------------------------------------

TCustomFilter::TCustomFilter() {
    SetSettingCount(2);
    SetDescription("Abstract Custom Filter");
    SetSettingName(1, "SampleFrequency");
    SetSettingName(2, "FilterGain");
    SettingValues[2] = 1.0;
}

void TCustomFilter::SetSettingCount(int32_t n) {
    SettingCount = std::max(n, 0);
    SettingValues.resize(static_cast<size_t>(SettingCount) + 1, 0.0);
    SettingNames.resize(static_cast<size_t>(SettingCount) + 1);
}

void TCustomFilter::CheckSettingIndex(int32_t i) const {
    if (i < 1 || i > SettingCount) throw ERangeError("Index out of range");
}

void TCustomFilter::RaiseSettingError(int32_t index) const {
    throw ERangeError(std::string(ClassName()) + ": Filter setting " + std::to_string(index) +
                      " out of range");
}

const std::string& TCustomFilter::GetSettingName(int32_t i) const {
    CheckSettingIndex(i);
    return SettingNames[i];
}

int32_t TCustomFilter::CheckSettings() const {
    return GetSampleFrequency() <= 0 ? 1 : 0;
}

std::string TCustomFilter::GetAsString() const {
    const TFilterType type = FilterTypeOf(*this);
    std::string settings;
    for (int32_t i = 2; i <= SettingCount; ++i) {
        if (i > 2) settings += '/';
        settings += FormatFloatGeneral(GetSetting(i), 18);
    }
    const std::string_view name = type == ftNone ? std::string_view() : FilterTypeNames[type];
    return std::string(name) + "(" + settings + ")";
}

double TCustomFilter::GetSetting(int32_t i) const {
    CheckSettingIndex(i);
    return SettingValues[i];
}

std::string TCustomFilter::GetSettingUnit(int32_t i) const {
    CheckSettingIndex(i);
    return i == 2 ? "" : "Hz";
}

void TCustomFilter::SetSetting(int32_t i, double value) {
    CheckSettingIndex(i);
    if (IsSettingReadOnly(i)) return;
    SettingValues[i] = value;
    Changed = true;
}

void TCustomFilter::InitSteadyState(double /*x*/) {
    throw EInvalidOperation(std::string(ClassName()) +
                            " has no steady state; InitSteadyState applies to recursive filters");
}

// ---------------------------------------------------------------------------------------------
// Rectifier
// ---------------------------------------------------------------------------------------------

TRectifier::TRectifier() {
    SetDescription("Rectifier");
}

void TRectifier::Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) {
    const TBlockPlan plan = PlanBlock(from, to, outStart, Reverse);
    const long double G = GetGain();
    DispatchSampleTypes(InputType, OutputType, [&]<class In, class Out>() {
        RunBlock<In, Out, false>(in, out, plan, [G](long double x) { return std::fabs(G * x); });
    });
}

// ---------------------------------------------------------------------------------------------
// Median filter
// ---------------------------------------------------------------------------------------------

TMedianFilter::TMedianFilter() {
    SetDescription("Median Filter");
    SetSettingName(2, "Seconds to look back (s)");
}

int32_t TMedianFilter::CheckSettings() const {
    if (const int32_t base = TCustomFilter::CheckSettings(); base != 0) return base;
    const double window = GetSetting(2) * GetSampleFrequency();
    if (!(window >= 1 && window <= 65535)) return 2;
    return 0;
}

void TMedianFilter::RestoreState() {
    if (SavedList) List.Assign(*SavedList);
}

void TMedianFilter::SaveState() {
    SavedList = std::make_unique<TDoubleMedianList>();
    SavedList->Assign(List);
}

void TMedianFilter::UpdateWindowLength() {
    const double samples = std::round(GetSetting(2) * GetSampleFrequency());
    int32_t n = 1;
    if (samples > std::numeric_limits<int32_t>::max())
        n = std::numeric_limits<int32_t>::max();
    else if (samples > 1)
        n = static_cast<int32_t>(samples);
    List.SetCapacity(n);
}

void TMedianFilter::Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) {
    // The settings are not validated here: any look-back gives a window of at least 1.
    if (Changed) UpdateWindowLength();
    const TBlockPlan plan = PlanBlock(from, to, outStart, Reverse);
    DispatchSampleTypes(InputType, OutputType, [&]<class In, class Out>() {
        RunBlock<In, Out, false>(in, out, plan, [this](long double x) -> long double {
            List.Add(static_cast<double>(x));
            return List.Median();
        });
    });
}

void TMedianFilter::Reset() {
    InitOnFirstSample = false;
    List.Clear();
}

void TMedianFilter::SetInitOnFirstSample(bool value) {
    InitOnFirstSample = value;
    List.Clear();
}

// ---------------------------------------------------------------------------------------------
// Factory
// ---------------------------------------------------------------------------------------------

std::unique_ptr<TCustomFilter> CreateFilter(std::string_view name) {
    const std::string key = UpperCaseTrimmed(name);
    const auto found = std::find(FilterTypeNames.begin(), FilterTypeNames.end(), key);
    if (found == FilterTypeNames.end()) return nullptr;
    switch (static_cast<TFilterType>(found - FilterTypeNames.begin())) {
        case ftLP:
            return std::make_unique<TLPFilter>();
        case ftHP:
            return std::make_unique<THPFilter>();
        case ftNotch:
            return std::make_unique<TNotchFilter>();
        case ftRectifier:
            return std::make_unique<TRectifier>();
        case ftBP:
            return std::make_unique<TBPFilter>();
        case ftDUE:
            return std::make_unique<TDUEFilter>();
        case ftSE:
            return std::make_unique<TSEFilter>();
        case ftG:
            return std::make_unique<TGFilter>();
        case ftInvG:
            return std::make_unique<TInvGFilter>();
        case ftBP12:
            return std::make_unique<TBP12Filter>();
        case ftDCatt:
            return std::make_unique<TDCattFilter>();
        case ftInvDCatt:
            return std::make_unique<TINVDCattFilter>();
        case ftDUE1987:
            return std::make_unique<TDUE1987Filter>();
        case ftDUE2007:
            return std::make_unique<TDUE2007Filter>();
        case ftLP05:
            return std::make_unique<TLP05Filter>();
        case ftLP05NS:
            return std::make_unique<TLP05NSFilter>();
        case ftMedian:
            return std::make_unique<TMedianFilter>();
        case ftNone:
            break;
    }
    return nullptr;
}

TFilterType FilterTypeOf(const TCustomFilter& filter) {
    const std::string key = UpperCaseTrimmed(filter.ClassName());
    const auto found = std::find(kClassNameKeys.begin(), kClassNameKeys.end(), key);
    if (found == kClassNameKeys.end()) return ftNone;
    return static_cast<TFilterType>(found - kClassNameKeys.begin());
}

}  // namespace vantrel
