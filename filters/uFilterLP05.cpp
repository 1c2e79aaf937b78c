// The half-order low-pass filters: exponential smoothers whose coefficient is found from a
// -3 dB frequency by root finding (TLP05RateFrequencyConvertor), the symmetric TLP05Filter and
// the rise/fall TLP05NSFilter. Declared in uFilter.h.
#include <cmath>

#include "filters/uFilter.h"
#include "filters/uFilterEngine.h"
#include "support/uMath.h"

namespace vantrel {

using namespace filter_engine;

// ---------------------------------------------------------------------------------------------
// Half-order low-pass filters
// ---------------------------------------------------------------------------------------------

namespace {

// The gain the -3 dB frequency is searched for: 1/sqrt(2).
long double HalfPowerGain() {
    return std::sqrt(2.0L) * 0.5L;
}

}  // namespace

long double TLP05RateFrequencyConvertor::SmootherGain(long double fs, long double f,
                                                      long double c) {
    const long double keep = 1 - c;
    return c / std::sqrt(1 - 2 * keep * std::cos(2 * kPi * f / fs) + keep * keep);
}

long double TLP05RateFrequencyConvertor::CoefficientForFrequency(long double fs, long double f,
                                                                 long double tol) {
    SampleFrequency = fs;
    Frequency = f;
    const long double target = HalfPowerGain();
    const TRootFunction gainError = [this, target](long double c) {
        return SmootherGain(SampleFrequency, Frequency, c) - target;
    };
    long double root = 0;
    Coefficient = FindRoot(gainError, 0, 1, tol, root) ? root : -1.0L;
    return Coefficient;
}

long double TLP05RateFrequencyConvertor::FrequencyForCoefficient(long double fs, long double c,
                                                                 long double tol) {
    SampleFrequency = fs;
    Coefficient = c;
    const long double target = HalfPowerGain();
    const TRootFunction gainError = [this, target](long double f) {
        return SmootherGain(SampleFrequency, f, Coefficient) - target;
    };
    long double root = 0;
    Frequency = FindRoot(gainError, 0, fs / 2, tol, root) ? root : -1.0L;
    return Frequency;
}

TLP05Filter::TLP05Filter() {
    SetSettingCount(3);
    SetDescription("Half order low-pass");
    SetSettingName(3, "Rate");
    OutputHistory.assign(1, 0.0L);  // entry 0 is the smoother state s
}

int32_t TLP05Filter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    if (OutsideRange(GetSetting(3), 0, GetSampleFrequency() / 2)) return 3;
    return 0;
}

double TLP05Filter::CoefficientForSetting(int32_t i) {
    constexpr long double kTolerance = 1e-6L;
    const double fs = GetSampleFrequency();
    const double rate = GetSetting(i);
    // A rate of 0 makes the gain 0/0 at 0 Hz: there is no coefficient to find.
    if (rate == 0) RaiseSettingError(i);
    TLP05RateFrequencyConvertor convertor;
    const long double found = convertor.CoefficientForFrequency(fs, rate, kTolerance);
    if (!(found > 0 && found <= 1)) RaiseSettingError(i);
    const double coefficient = static_cast<double>(found);
    // Show the rate the coefficient really gives. Near fs/2 the back conversion can miss the
    // sign change; the rate written is then kept rather than replaced by the failure value.
    const long double actual = convertor.FrequencyForCoefficient(fs, coefficient, kTolerance);
    if (actual >= 0) SetSetting(i, static_cast<double>(actual));
    return coefficient;
}

void TLP05Filter::Recalculate() {
    Validate();
    Coefficient = CoefficientForSetting(3);
    Changed = false;
}

void TLP05Filter::Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) {
    if (Changed) Recalculate();
    const TBlockPlan plan = PlanBlock(from, to, outStart, Reverse);
    const long double G = GetGain();
    const long double c = Coefficient;
    long double s = OutputHistory[0];
    DispatchSampleTypes(InputType, OutputType, [&]<class In, class Out>() {
        RunBlock<In, Out, false>(in, out, plan, [&](long double x) {
            s = s + c * (G * x - s);
            return G * s;
        });
    });
    OutputHistory[0] = s;
}

TLP05NSFilter::TLP05NSFilter() {
    SetSettingCount(4);
    SetDescription("LP0.5NS:Half order LP not symmetric");
    SetSettingName(3, "Rate up");
    SetSettingName(4, "Rate down");
}

int32_t TLP05NSFilter::CheckSettings() const {
    if (const int32_t base = TLP05Filter::CheckSettings(); base != 0) return base;
    const double down = GetSetting(4);
    if (!(down > 0 && down < GetSampleFrequency() / 2)) return 4;
    return 0;
}

void TLP05NSFilter::Recalculate() {
    Validate();
    Coefficient = CoefficientForSetting(3);
    DownCoefficient = CoefficientForSetting(4);
    Changed = false;
}

void TLP05NSFilter::InitSteadyState(double x) {
    if (Changed) Recalculate();
    OutputHistory[0] = x;
}

void TLP05NSFilter::Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) {
    if (Changed) Recalculate();
    const TBlockPlan plan = PlanBlock(from, to, outStart, Reverse);
    if (plan.count > 0 && InitOnFirstSample) {
        DispatchInput(InputType, [&]<class In>() { InitSteadyState(FirstInput<In>(in, plan)); });
        InitOnFirstSample = false;
    }
    const long double G = GetGain();
    const long double up = Coefficient;
    const long double down = DownCoefficient;
    long double s = OutputHistory[0];
    DispatchSampleTypes(InputType, OutputType, [&]<class In, class Out>() {
        RunBlock<In, Out, false>(in, out, plan, [&](long double x) {
            const long double change = G * x - s;
            s = s + (change >= 0 ? up : down) * change;
            return G * s;
        });
    });
    OutputHistory[0] = s;
}

}  // namespace vantrel
