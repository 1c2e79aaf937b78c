// The recursive filters: the IIR engine (one difference equation in long double, unrolled for
// the orders this library uses), TCustomIIRFilter, and its members from the first-order
// low-pass to the DC attenuators. Declared in uFilter.h.
#include <algorithm>
#include <cmath>

#include "filters/uFilter.h"
#include "filters/uFilterEngine.h"
#include "support/udStr.h"

namespace vantrel {

using namespace filter_engine;

namespace {

// ---------------------------------------------------------------------------------------------
// The IIR engine.
// ---------------------------------------------------------------------------------------------

// The arrays of a recursive filter as the engine sees them.
struct TIIRArrays {
    const long double* A;  // feedback, A[1 ... feedback]
    const long double* B;  // feed-forward, B[0 ... feedforward - 1]
    long double* y;        // output history, y[1] = previous full output
    long double* x;        // input history, x[0] = current input
    int feedback;          // number of feedback terms (last index of A)
    int feedforward;       // number of feed-forward terms
    bool includeInputTerms;
    long double weight;
};

// One sample of the difference equation: returns the emitted value and shifts the histories.
// NA and NB are the numbers of feedback and feed-forward terms, or -1 to take them from nA and
// nB. The terms are added in this order, starting from 0, and the order is part of the result:
//   acc = 0; acc += A[1]*y[1] ... A[NA]*y[NA]; acc += B[0]*x[0] ... B[NB-1]*x[NB-1]
// With fixed orders the loops unroll and the histories stay in registers for the whole block.
template <int NA, int NB>
[[gnu::always_inline]] inline long double IIRStep(const long double* A, const long double* B,
                                                  long double* y, long double* x, int nA, int nB,
                                                  bool includeInputTerms, long double w,
                                                  long double rest, long double input) {
    const int feedback = NA >= 0 ? NA : nA;
    const int feedforward = NB >= 0 ? NB : nB;
    x[0] = input;
    long double acc = 0;
#pragma GCC unroll 8
    for (int k = 1; k <= feedback; ++k)
        acc += A[k] * y[k];
    const long double feedbackOnly = acc;
#pragma GCC unroll 8
    for (int k = 0; k < feedforward; ++k)
        acc += B[k] * x[k];
    // The emitted value; the history always receives the full output acc.
    const long double v = includeInputTerms ? acc : feedbackOnly;
    const long double e = w * y[1] + rest * v;
#pragma GCC unroll 8
    for (int k = feedback; k >= 2; --k)
        y[k] = y[k - 1];
    y[1] = acc;
#pragma GCC unroll 8
    for (int k = feedforward - 1; k >= 1; --k)
        x[k] = x[k - 1];
    return e;
}

// Runs a block of a filter of fixed order with its coefficients and histories copied into
// local arrays and written back afterwards.
template <int NA, int NB, class In, class Out>
void RunIIRFixed(const TIIRArrays& arrays, const void* in, void* out, const TBlockPlan& plan) {
    long double A[NA + 1];
    long double B[NB];
    long double y[NA + 2];
    long double x[NB];
    std::copy_n(arrays.A, NA + 1, A);
    std::copy_n(arrays.B, NB, B);
    std::copy_n(arrays.y, NA + 2, y);
    std::copy_n(arrays.x, NB, x);
    const bool include = arrays.includeInputTerms;
    const long double w = arrays.weight;
    const long double rest = 1 - w;
    RunBlock<In, Out, true>(in, out, plan, [&](long double input) {
        return IIRStep<NA, NB>(A, B, y, x, NA, NB, include, w, rest, input);
    });
    std::copy_n(y, NA + 2, arrays.y);
    std::copy_n(x, NB, arrays.x);
}

template <class In, class Out>
void RunIIRAnyOrder(const TIIRArrays& a, const void* in, void* out, const TBlockPlan& plan) {
    const long double rest = 1 - a.weight;
    RunBlock<In, Out, true>(in, out, plan, [&](long double input) {
        return IIRStep<-1, -1>(a.A, a.B, a.y, a.x, a.feedback, a.feedforward, a.includeInputTerms,
                               a.weight, rest, input);
    });
}

template <class In, class Out>
void RunIIR(const TIIRArrays& a, const void* in, void* out, const TBlockPlan& plan) {
    // The orders of the filters of this library; any other order takes the general loop.
    if (a.feedback == 0 && a.feedforward == 2) return RunIIRFixed<0, 2, In, Out>(a, in, out, plan);
    if (a.feedback == 1 && a.feedforward == 2) return RunIIRFixed<1, 2, In, Out>(a, in, out, plan);
    if (a.feedback == 2 && a.feedforward == 3) return RunIIRFixed<2, 3, In, Out>(a, in, out, plan);
    if (a.feedback == 3 && a.feedforward == 4) return RunIIRFixed<3, 4, In, Out>(a, in, out, plan);
    RunIIRAnyOrder<In, Out>(a, in, out, plan);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomIIRFilter
// ---------------------------------------------------------------------------------------------

TCustomIIRFilter::TCustomIIRFilter() {
    SetDescription("Abstract Custom IIRFilter");
}

void TCustomIIRFilter::Validate() const {
    int32_t failing = CheckSettings();
    for (int32_t i = 1; failing == 0 && i <= SettingCount; ++i)
        if (!std::isfinite(SettingValues[i])) failing = i;
    if (failing != 0) RaiseSettingError(failing);
}

void TCustomIIRFilter::Recalculate() {
    Validate();
    Changed = false;
}

void TCustomIIRFilter::SetArrayLengths(int feedforward, int feedback) {
    FeedforwardCoeffs.assign(static_cast<size_t>(feedforward), 0.0L);
    InputHistory.resize(static_cast<size_t>(feedforward), 0.0L);
    FeedbackCoeffs.assign(static_cast<size_t>(feedback), 0.0L);
    OutputHistory.resize(static_cast<size_t>(feedback) + 1, 0.0L);
    if (!FeedbackCoeffs.empty()) FeedbackCoeffs[0] = 1.0L;
}

long double TCustomIIRFilter::PrewarpedSetting(int32_t i, bool nonZero) const {
    const double f = GetSetting(i);
    const double fs = GetSampleFrequency();
    if ((nonZero && f == 0) || f == fs / 2) RaiseSettingError(i);
    const long double T = 1.0L / fs;
    return std::tan(kPi * f * T) / (kPi * T);
}

long double TCustomIIRFilter::NonZeroSetting(int32_t i) const {
    const double value = GetSetting(i);
    if (value == 0) RaiseSettingError(i);
    return value;
}

void TCustomIIRFilter::DiscardSavedState() {
    SavedOutputHistory.clear();
    SavedInputHistory.clear();
}

void TCustomIIRFilter::RestoreState() {
    if (SavedOutputHistory.empty()) return;
    OutputHistory = SavedOutputHistory;
    InputHistory = SavedInputHistory;
}

void TCustomIIRFilter::SaveState() {
    SavedOutputHistory = OutputHistory;
    SavedInputHistory = InputHistory;
}

void TCustomIIRFilter::SetGain(double value) {
    TCustomFilter::SetGain(value);
    if (CheckSettings() != 0) return;
    try {
        Recalculate();
    } catch (const ERangeError&) {
        // Writing a setting never raises; the next Filter or Reset reports the setting.
    }
}

void TCustomIIRFilter::Filter(const void* in, void* out, int32_t from, int32_t to,
                              int32_t outStart) {
    if (Changed) Recalculate();
    const TBlockPlan plan = PlanBlock(from, to, outStart, Reverse);
    if (FeedbackCoeffs.empty() || OutputHistory.size() != FeedbackCoeffs.size() + 1 ||
        InputHistory.size() != FeedforwardCoeffs.size())
        throw EInvalidOperation(std::string(ClassName()) +
                                ": coefficient and history arrays do not match; its "
                                "Recalculate must size them with SetArrayLengths");
    DispatchSampleTypes(InputType, OutputType, [&]<class In, class Out>() {
        if (plan.count > 0 && InitOnFirstSample) {
            InitSteadyState(FirstInput<In>(in, plan));
            InitOnFirstSample = false;
        }
        const TIIRArrays arrays{FeedbackCoeffs.data(),
                                FeedforwardCoeffs.data(),
                                OutputHistory.data(),
                                InputHistory.data(),
                                static_cast<int>(FeedbackCoeffs.size()) - 1,
                                static_cast<int>(FeedforwardCoeffs.size()),
                                IncludeInputTerms,
                                PreviousOutputWeight};
        RunIIR<In, Out>(arrays, in, out, plan);
    });
}

void TCustomIIRFilter::Reset() {
    InitOnFirstSample = false;
    if (Changed) Recalculate();
    std::fill(OutputHistory.begin(), OutputHistory.end(), 0.0L);
    std::fill(InputHistory.begin(), InputHistory.end(), 0.0L);
}

void TCustomIIRFilter::SetInitOnFirstSample(bool value) {
    InitOnFirstSample = value;
    if (!value) Reset();
}

void TCustomIIRFilter::InitSteadyState(double x) {
    if (Changed) Recalculate();
    // The sums are rounded to double after each term.
    double sumB = 0;
    for (long double b : FeedforwardCoeffs)
        sumB = static_cast<double>(sumB + b);
    double sumA = 0;
    for (size_t k = 1; k < FeedbackCoeffs.size(); ++k)
        sumA = static_cast<double>(sumA + FeedbackCoeffs[k]);
    const double d = 1.0 - sumA;
    // A pole at 0 Hz (d = 0) has no single steady state; the filter then starts from 0.
    const double y = d == 0 ? 0.0 : x * sumB / d;
    std::fill(InputHistory.begin(), InputHistory.end(), static_cast<long double>(x));
    std::fill(OutputHistory.begin(), OutputHistory.end(), static_cast<long double>(y));
}

// ---------------------------------------------------------------------------------------------
// First-order low-pass and high-pass
// ---------------------------------------------------------------------------------------------

TLPFilter::TLPFilter() {
    SetSettingCount(3);
    SetDescription("First order low-pass");
    SetSettingName(3, "-3dB frequency");
}

int32_t TLPFilter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    if (OutsideRange(GetSetting(3), 0, GetSampleFrequency() / 2)) return 3;
    return 0;
}

std::string TLPFilter::GetLabel() const {
    return "LP:" + FormatFloatGeneral(GetSetting(3), 15) + "Hz";
}

void TLPFilter::Recalculate() {
    Validate();
    const long double f = NonZeroSetting(3);  // cot(0) has no value
    const long double fs = GetSampleFrequency();
    const long double G = GetGain();
    const long double w = 1 / std::tan(kPi * f / fs);
    const long double g = G / (w + 1);
    SetArrayLengths(2, 2);
    FeedforwardCoeffs[0] = g;
    FeedforwardCoeffs[1] = g;
    FeedbackCoeffs[1] = (w - 1) / (w + 1);
    Changed = false;
}

THPFilter::THPFilter() {
    SetSettingCount(3);
    SetDescription("First order high-pass");
    SetSettingName(3, "-3dB frequency");
}

int32_t THPFilter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    if (OutsideRange(GetSetting(3), 0, GetSampleFrequency() / 2)) return 3;
    return 0;
}

std::string THPFilter::GetLabel() const {
    return "HP:" + FormatFloatGeneral(GetSetting(3), 15) + "Hz";
}

void THPFilter::Recalculate() {
    Validate();
    const long double f = GetSetting(3);
    const long double fs = GetSampleFrequency();
    const long double G = GetGain();
    const long double w = 2 * kPi * f * (1 / fs) / 2;
    const long double g = G / (w + 1);
    SetArrayLengths(2, 2);
    FeedforwardCoeffs[0] = g;
    FeedforwardCoeffs[1] = -g;
    FeedbackCoeffs[1] = (1 - w) / (1 + w);
    Changed = false;
}

// ---------------------------------------------------------------------------------------------
// DU/E filters
// ---------------------------------------------------------------------------------------------

TDUEFilter::TDUEFilter() {
    SetSettingCount(3);
    SetDescription("Inverse low-pass & integrator");
    SetSettingName(3, "-3dB frequency");
}

int32_t TDUEFilter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    if (OutsideRange(GetSetting(3), 0, GetSampleFrequency() / 2)) return 3;
    return 0;
}

void TDUEFilter::Recalculate() {
    Validate();
    const long double fa = PrewarpedSetting(3, true);
    const long double T = 1.0L / GetSampleFrequency();
    const long double tau = 1 / (2 * kPi * fa);
    SetArrayLengths(2, 1);
    SetFeedforward(GetGain(), T, tau);
    Changed = false;
}

void TDUEFilter::SetFeedforward(long double G, long double T, long double tau) {
    const long double h = T / 2;
    FeedforwardCoeffs[0] = G * (h + tau);
    FeedforwardCoeffs[1] = G * (h - tau);
}

void TDUE1987Filter::SetFeedforward(long double G, long double T, long double tau) {
    FeedforwardCoeffs[0] = G * tau;
    FeedforwardCoeffs[1] = G * (T - tau);
}

void TDUE2007Filter::SetFeedforward(long double G, long double T, long double tau) {
    FeedforwardCoeffs[0] = G * (T + tau);
    FeedforwardCoeffs[1] = -G * tau;
}

// ---------------------------------------------------------------------------------------------
// SE filter
// ---------------------------------------------------------------------------------------------

TSEFilter::TSEFilter() {
    SetSettingCount(5);
    SetDescription("Inverse of low-pass & G");
    SetSettingName(3, "Cut-off frequency");
    SetSettingName(4, "Center frequency");
    SetSettingName(5, "Bandwidth");
}

int32_t TSEFilter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    const double half = GetSampleFrequency() / 2;
    for (int32_t i = 3; i <= 5; ++i)
        if (OutsideRange(GetSetting(i), 0, half)) return i;
    return 0;
}

void TSEFilter::Recalculate() {
    Validate();
    const long double faCutoff = PrewarpedSetting(3, true);  // divided by below
    const long double faCenter = PrewarpedSetting(4, false);
    const long double Bw = GetSetting(5);
    const long double G = GetGain();
    const long double T = 1.0L / GetSampleFrequency();

    const long double centre = 2 * kPi * faCenter * T;
    const long double W = centre * centre;
    const long double V = 2 * kPi * Bw * T * 2;
    const long double D = 4 + W + V;
    const long double P = 2 / (2 * kPi * faCutoff);  // twice the time constant
    const long double Q = G * 2 * kPi * Bw * 2;

    SetArrayLengths(3, 3);
    FeedbackCoeffs[1] = (8 - 2 * W) / D;
    FeedbackCoeffs[2] = (-4 + V - W) / D;
    FeedforwardCoeffs[0] = (P + T) * Q / D;
    FeedforwardCoeffs[1] = -2 * P * Q / D;
    FeedforwardCoeffs[2] = (P - T) * Q / D;
    Changed = false;
}

// ---------------------------------------------------------------------------------------------
// Notch
// ---------------------------------------------------------------------------------------------

TNotchFilter::TNotchFilter() {
    SetSettingCount(4);
    SetDescription("Single notch");
    SetSettingName(3, "Center frequency");
    SetSettingName(4, "Bandwidth (-3dB)");
}

int32_t TNotchFilter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    const double fs = GetSampleFrequency();
    if (std::fabs(GetGain() - 1) > 1e-12) return 2;
    if (OutsideRange(GetSetting(3), 0, fs / 2)) return 3;
    if (OutsideRange(GetSetting(4), 0, fs / 4)) return 4;
    return 0;
}

std::string TNotchFilter::GetLabel() const {
    return "N:" + FormatFloatGeneral(GetSetting(3), 15) + "Hz";
}

void TNotchFilter::SetSetting(int32_t i, double value) {
    CheckSettingIndex(i);
    if (IsSettingReadOnly(i))
        SettingValues[i] = 1.0;
    else
        TCustomIIRFilter::SetSetting(i, value);
}

void TNotchFilter::Recalculate() {
    Validate();
    const long double F0 = GetSetting(3);
    const long double BW = GetSetting(4);
    const long double fs = GetSampleFrequency();
    const long double G = GetGain();
    const long double w0 = 2 * kPi * F0 / fs;
    const long double w1 = 2 * kPi * (F0 - BW / 2) / fs;
    // The chord between the notch and its -3 dB point on the unit circle sets the pole radius.
    const long double dc = std::cos(w0) - std::cos(w1);
    const long double ds = std::sin(w0) - std::sin(w1);
    const long double d = std::sqrt(dc * dc + ds * ds);
    const long double e = std::exp(1.0L);
    const long double r = 1 - d * std::sqrt(e * e - 1);
    const long double cw = G * std::cos(w0);
    const long double sw = G * std::sin(w0);

    SetArrayLengths(3, 3);
    FeedforwardCoeffs[0] = G;
    FeedforwardCoeffs[1] = -2 * cw;
    FeedforwardCoeffs[2] = cw * cw + sw * sw;
    FeedbackCoeffs[1] = 2 * r * cw;
    FeedbackCoeffs[2] = -((r * cw) * (r * cw) + (r * sw) * (r * sw));
    Changed = false;
}

// ---------------------------------------------------------------------------------------------
// Resonator and its inverse
// ---------------------------------------------------------------------------------------------

namespace {

int32_t CheckResonatorSettings(const TCustomFilter& filter) {
    const double fs = filter.GetSampleFrequency();
    if (OutsideRange(filter.GetSetting(3), 0, fs / 2)) return 3;
    if (OutsideRange(filter.GetSetting(4), 0, fs / 4)) return 4;
    return 0;
}

// The terms V (bandwidth), W (squared pre-warped centre) and D = 4 + V + W shared by the
// resonator and its inverse.
struct TResonatorTerms {
    long double V, W, D;
};

TResonatorTerms ResonatorTerms(long double faCenter, long double bandwidth, long double T) {
    TResonatorTerms terms{};
    terms.V = 4 * kPi * bandwidth * T;
    const long double centre = 2 * kPi * faCenter * T;
    terms.W = centre * centre;
    terms.D = 4 + terms.V + terms.W;
    return terms;
}

}  // namespace

TGFilter::TGFilter() {
    SetSettingCount(4);
    SetDescription("Second order resonator");
    SetSettingName(3, "Center frequency");
    SetSettingName(4, "Bandwidth (-3dB)");
}

int32_t TGFilter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    return CheckResonatorSettings(*this);
}

void TGFilter::Recalculate() {
    Validate();
    const TResonatorTerms t =
        ResonatorTerms(PrewarpedSetting(3, false), GetSetting(4), 1.0L / GetSampleFrequency());
    const long double G = GetGain();
    SetArrayLengths(3, 3);
    FeedforwardCoeffs[0] = G * t.V / t.D;
    FeedforwardCoeffs[1] = 0;
    FeedforwardCoeffs[2] = -G * t.V / t.D;
    FeedbackCoeffs[1] = -(2 * t.W - 8) / t.D;
    FeedbackCoeffs[2] = -(4 - t.V + t.W) / t.D;
    Changed = false;
}

TInvGFilter::TInvGFilter() {
    SetSettingCount(4);
    SetDescription("Inverse of second order resonator");
    SetSettingName(3, "Center frequency");
    SetSettingName(4, "Bandwidth (-3dB)");
}

int32_t TInvGFilter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    return CheckResonatorSettings(*this);
}

void TInvGFilter::Recalculate() {
    Validate();
    const TResonatorTerms t =
        ResonatorTerms(PrewarpedSetting(3, false), GetSetting(4), 1.0L / GetSampleFrequency());
    const long double G = GetGain();
    SetArrayLengths(3, 3);
    FeedforwardCoeffs[0] = ((1 - G) * t.V + 4 + t.W) / t.D;
    FeedforwardCoeffs[1] = (2 * t.W - 8) / t.D;
    FeedforwardCoeffs[2] = (4 - (1 - G) * t.V + t.W) / t.D;
    FeedbackCoeffs[1] = -(2 * t.W - 8) / t.D;
    FeedbackCoeffs[2] = -(4 - t.V + t.W) / t.D;
    Changed = false;
}

// ---------------------------------------------------------------------------------------------
// Band-pass filters
// ---------------------------------------------------------------------------------------------

TBPFilter::TBPFilter() {
    SetSettingCount(4);
    SetDescription("Second order band-pass");
    SetSettingName(3, "High-pass -3dB frequency");
    SetSettingName(4, "Low-pass  -3dB frequency");
}

int32_t TBPFilter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    const double half = GetSampleFrequency() / 2;
    if (OutsideRange(GetSetting(3), 0, half)) return 3;
    if (OutsideRange(GetSetting(4), 0, half)) return 4;
    return 0;
}

std::string TBPFilter::GetLabel() const {
    return "HP:" + FormatFloatGeneral(GetSetting(3), 15) +
           "Hz LP:" + FormatFloatGeneral(GetSetting(4), 15) + "Hz";
}

void TBPFilter::Recalculate() {
    Validate();
    const long double fs = GetSampleFrequency();
    const long double G = GetGain();
    const long double a = 2 * kPi * GetSetting(4) / fs;  // low-pass corner * T
    const long double b = 2 * kPi * GetSetting(3) / fs;  // high-pass corner * T
    const long double D = 2 * (a + b) + 4 + a * b;
    SetArrayLengths(3, 3);
    FeedforwardCoeffs[0] = 2 * G * a / D;
    FeedforwardCoeffs[1] = 0;
    FeedforwardCoeffs[2] = -2 * G * a / D;
    FeedbackCoeffs[1] = (8 - 2 * a * b) / D;
    FeedbackCoeffs[2] = (2 * (a + b) - 4 - a * b) / D;
    Changed = false;
}

TBP12Filter::TBP12Filter() {
    SetSettingCount(4);
    SetDescription("1st order HP & 2nd order LP");
    SetSettingName(3, "High-pass -3dB frequency");
    SetSettingName(4, "Low-pass  -3dB frequency");
}

int32_t TBP12Filter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    const double half = GetSampleFrequency() / 2;
    const double high = GetSetting(3);
    const double low = GetSetting(4);
    if (OutsideRange(high, 0, half)) return 3;
    if (low < 0 || high > low || low > half) return 4;
    return 0;
}

// The bilinear transform (no pre-warping) of G*s*wl^2/((s + wh)(s + wl)^2) with a = wl*T,
// b = wh*T, every coefficient divided by the constant term D of the denominator.
void TBP12Filter::Recalculate() {
    Validate();
    const long double fs = GetSampleFrequency();
    const long double G = GetGain();
    const long double a = 2 * kPi * GetSetting(4) / fs;
    const long double b = 2 * kPi * GetSetting(3) / fs;
    const long double aa = a * a;
    const long double D = 1 + a + b / 2 + aa / 4 + a * b / 2 + aa * b / 8;
    const long double B0 = G * aa / 4 / D;
    SetArrayLengths(4, 4);
    FeedforwardCoeffs[0] = B0;
    FeedforwardCoeffs[1] = B0;
    FeedforwardCoeffs[2] = -B0;
    FeedforwardCoeffs[3] = -B0;
    FeedbackCoeffs[1] = (3 + a + b / 2 - aa / 4 - a * b / 2 - 3 * aa * b / 8) / D;
    FeedbackCoeffs[2] = (aa / 4 + b / 2 - 3 + a + a * b / 2 - 3 * aa * b / 8) / D;
    FeedbackCoeffs[3] = (1 - a - b / 2 + aa / 4 + a * b / 2 - aa * b / 8) / D;
    Changed = false;
}

// ---------------------------------------------------------------------------------------------
// DC attenuator and its inverse
// ---------------------------------------------------------------------------------------------

TCustomDCattFilter::TCustomDCattFilter(const std::string& description) {
    SetSettingCount(4);
    SetDescription(description);
    SetSettingName(3, "0 < DC gain < 1");
    SetSettingName(4, "DC Bandwidth");
}

// Both settings are tested; when both fail, setting 4 is reported.
int32_t TCustomDCattFilter::CheckSettings() const {
    if (const int32_t base = TCustomIIRFilter::CheckSettings(); base != 0) return base;
    int32_t failing = 0;
    const double g = GetSetting(3);
    if (!(g > 0 && g < 1)) failing = 3;
    if (OutsideRange(GetSetting(4), 0, GetSampleFrequency() / 2)) failing = 4;
    return failing;
}

std::string TCustomDCattFilter::GetSettingUnit(int32_t i) const {
    return i == 3 ? "" : TCustomIIRFilter::GetSettingUnit(i);
}

TDCattFilter::TDCattFilter() : TCustomDCattFilter("DC attenuator") {}

void TDCattFilter::Recalculate() {
    Validate();
    const long double g = GetSetting(3);
    const long double wb = 2 * kPi * PrewarpedSetting(4, false);
    const long double wz = wb * (1 - g) / g;
    const long double h = 1.0L / GetSampleFrequency() / 2;
    const long double G = GetGain();
    const long double N = h * (wb + wz) + 1;
    SetArrayLengths(2, 2);
    FeedforwardCoeffs[0] = G * (h * wb + 1) / N;
    FeedforwardCoeffs[1] = G * (h * wb - 1) / N;
    FeedbackCoeffs[1] = (1 - h * (wb + wz)) / N;
    Changed = false;
}

TINVDCattFilter::TINVDCattFilter() : TCustomDCattFilter("DC un-attenuator") {}

void TINVDCattFilter::Recalculate() {
    Validate();
    const long double g = GetSetting(3);
    const long double wb = 2 * kPi * PrewarpedSetting(4, false);
    const long double wz = wb * (1 - g) / g;
    const long double h = 1.0L / GetSampleFrequency() / 2;
    const long double G = GetGain();
    const long double M = h * wb + 1;
    SetArrayLengths(2, 2);
    FeedforwardCoeffs[0] = G * (h * (wb + wz) + 1) / M;
    FeedforwardCoeffs[1] = G * (h * (wb + wz) - 1) / M;
    FeedbackCoeffs[1] = (1 - h * wb) / M;
    Changed = false;
}

}  // namespace vantrel
