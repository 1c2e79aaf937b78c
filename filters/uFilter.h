// The signal filter library: a family of digital filters configured by numbered settings,
// created by a short type name, and run block by block over a long signal.
//
// Every filter derives from TCustomFilter. The recursive filters derive from TCustomIIRFilter,
// which holds the coefficients and the sample histories in long double and runs one common
// difference equation; each member only adds settings, a settings check and the coefficient
// formulas (its Recalculate). A filter keeps its state between Filter calls, so consecutive
// blocks of a signal are filtered as one continuous stream.
//
// Typical use (this is how the analysis drives its filters):
//
//   std::unique_ptr<TCustomFilter> f = CreateFilter("DUE");
//   f->SetSetting(1, 56.0);   // sample frequency, Hz
//   f->SetSetting(2, 200.0);  // gain
//   f->SetSetting(3, 0.5);    // -3 dB frequency, Hz
//   f->InputType = stInt16;
//   f->SetOutputType(stDouble);
//   f->Reset();               // raises ERangeError when a setting is out of range
//   f->Filter(in.data(), out.data(), 0, n - 1, -1);   // once per block
//
// A filter object is used by one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "filters/uMedian.h"
#include "support/uDynamicArray.h"
#include "support/uExceptions.h"

namespace vantrel {

// Element type of an input or output array of Filter.
enum TSampleType : uint8_t {
    stInt16 = 0,   // int16_t
    stInt32 = 1,   // int32_t
    stSingle = 2,  // float
    stDouble = 3,  // double
};

// The TSampleType of an element type (int16_t, int32_t, float, double).
template <class T>
constexpr TSampleType SampleTypeOf() {
    if constexpr (std::is_same_v<T, int16_t>)
        return stInt16;
    else if constexpr (std::is_same_v<T, int32_t>)
        return stInt32;
    else if constexpr (std::is_same_v<T, float>)
        return stSingle;
    else {
        static_assert(std::is_same_v<T, double>,
                      "sample arrays hold int16, int32, float or double");
        return stDouble;
    }
}

// The ordinal of a filter's short type name in FilterTypeNames; ftNone for classes outside it.
enum TFilterType : int32_t {
    ftNone = -1,
    ftLP = 0,
    ftHP = 1,
    ftNotch = 2,
    ftRectifier = 3,
    ftBP = 4,
    ftDUE = 5,
    ftSE = 6,
    ftG = 7,
    ftInvG = 8,
    ftBP12 = 9,
    ftDCatt = 10,
    ftInvDCatt = 11,
    ftDUE1987 = 12,
    ftDUE2007 = 13,
    ftLP05 = 14,
    ftLP05NS = 15,
    ftMedian = 16,
};

inline constexpr int kFilterTypeCount = 17;

// The short type names by which CreateFilter makes a filter, in TFilterType order.
inline constexpr std::array<std::string_view, kFilterTypeCount> FilterTypeNames = {
    "LP",   "HP",    "NOTCH",   "ABS",     "BP",      "DUE",  "SE",     "G",     "1-G",
    "BP12", "DCATT", "1/DCATT", "DUE1987", "DUE2007", "LP05", "LP05NS", "MEDIAN"};

// -------------------------------------------------------------------------------------------
// TCustomFilter: settings, text forms and the filtering contract shared by every filter.
// -------------------------------------------------------------------------------------------
class TCustomFilter {
  public:
    virtual ~TCustomFilter() = default;
    TCustomFilter(const TCustomFilter&) = delete;
    TCustomFilter& operator=(const TCustomFilter&) = delete;

    // The class name used in the settings error and by FilterTypeOf ("TSEFilter", ...). Every
    // concrete class answers its own name.
    virtual const char* ClassName() const = 0;

    // Element type of the input array of Filter; written by the caller before filtering.
    // stInt16 after construction.
    TSampleType InputType = stInt16;

    // Process the index range from its end to its start; written by the caller. False after
    // construction. The output of in[to] is written first (see Filter).
    bool Reverse = false;

    // Element type of the output array of Filter; stInt16 after construction.
    TSampleType GetOutputType() const { return OutputType; }
    virtual void SetOutputType(TSampleType type) { OutputType = type; }

    // True when a setting was written since the coefficients were last computed (the filter is
    // stale); true after construction.
    bool IsChanged() const { return Changed; }

    // Number of settings n; setting indices run from 1 to n.
    int32_t GetSettingCount() const { return SettingCount; }
    // The filter's description ("First order low-pass", ...).
    const std::string& GetDescription() const { return SettingNames[0]; }
    // Name of setting i ("SampleFrequency", "FilterGain", "-3dB frequency", ...); raises
    // ERangeError "Index out of range" for i outside 1 ... n.
    const std::string& GetSettingName(int32_t i) const;

    // True when the next filtered sample first puts the state into the steady state of that
    // sample. Set through SetInitOnFirstSample; cleared by Reset and when it has been used.
    bool GetInitOnFirstSample() const { return InitOnFirstSample; }

    // Index of the first setting that is out of range, 0 when all are valid. Setting 1 (the
    // sample frequency) must be above 0.
    virtual int32_t CheckSettings() const;

    // A caller may try a block and go back: SaveState keeps a copy of the state, RestoreState
    // brings it back (nothing happens when none is kept), DiscardSavedState drops the copy.
    virtual void DiscardSavedState() {}
    virtual void RestoreState() {}
    virtual void SaveState() {}

    // "TYPE(s2/s3/...)": the type name, then settings 2 ... n with 18 significant digits in the
    // English-US general format, for example LP(1/0.5). Setting 1 is not part of the text.
    virtual std::string GetAsString() const;
    // A short label for a plot or a header; GetAsString unless the member has its own form
    // ("LP:0.5Hz", ...).
    virtual std::string GetLabel() const { return GetAsString(); }

    virtual double GetGain() const { return GetSetting(2); }
    virtual double GetSampleFrequency() const { return GetSetting(1); }
    // Setting i; raises ERangeError "Index out of range" for i outside 1 ... n.
    virtual double GetSetting(int32_t i) const;
    // Unit of setting i: "" for setting 2, "Hz" otherwise; raises for i outside 1 ... n.
    virtual std::string GetSettingUnit(int32_t i) const;
    // True for a setting the filter fixes itself (writes to it are refused).
    virtual bool IsSettingReadOnly(int32_t /*i*/) const { return false; }

    virtual void SetGain(double value) { SetSetting(2, value); }
    virtual void SetSampleFrequency(double value) { SetSetting(1, value); }
    // Setting i := value and the filter becomes stale, unless the setting is read-only.
    // Raises ERangeError "Index out of range" for i outside 1 ... n.
    virtual void SetSetting(int32_t i, double value);

    // Filters in[from] ... in[to] into out, one output per input, and keeps the state for the
    // next call. in holds InputType elements, out OutputType elements.
    //  - from <= to + 1 (to = from - 1 filters nothing) and from >= 0, else ERangeError;
    //  - the first output goes to outStart, or when outStart < 0 to the index of the first
    //    input read (from, or to when Reverse), and the output index then moves with the input
    //    index (down when Reverse);
    //  - the caller guarantees that out has room for every output index written.
    // A recursive filter that is stale computes its coefficients first and raises the
    // settings error when they are invalid; no sample is written then.
    virtual void Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) = 0;

    // Filter with typed arrays: checks the element types against InputType and OutputType and
    // every index against the arrays' sizes (ERangeError) before filtering.
    template <class In, class Out>
    void FilterBlock(std::span<const In> in, std::span<Out> out, int32_t from, int32_t to,
                     int32_t outStart);

    // Clears InitOnFirstSample; recursive filters also compute stale coefficients and zero
    // their state.
    virtual void Reset() { InitOnFirstSample = false; }
    virtual void SetInitOnFirstSample(bool value) { InitOnFirstSample = value; }
    // Puts the state into the steady state of a constant input x. Filters without a steady
    // state raise EInvalidOperation.
    virtual void InitSteadyState(double x);

  protected:
    // Settings 1 "SampleFrequency" (0) and 2 "FilterGain" (1.0); description
    // "Abstract Custom Filter".
    TCustomFilter();

    // SettingCount := n; SettingValues and SettingNames get n + 1 entries, existing ones kept.
    virtual void SetSettingCount(int32_t n);
    void SetDescription(const std::string& text) { SettingNames[0] = text; }
    void SetSettingName(int32_t i, const std::string& name) { SettingNames.at(i) = name; }
    void CheckSettingIndex(int32_t i) const;
    // Raises ERangeError "<ClassName>: Filter setting <index> out of range".
    [[noreturn]] void RaiseSettingError(int32_t index) const;

    TSampleType OutputType = stInt16;
    bool Changed = true;
    int32_t SettingCount = 0;
    std::vector<double> SettingValues;  // entry i (1 ... n) is setting i; entry 0 unused
    TDynStringArray SettingNames;       // entry 0 the description, entry i the name of setting i
    bool InitOnFirstSample = false;
};

// -------------------------------------------------------------------------------------------
// TCustomIIRFilter: the recursive filters' engine.
//
//   y[n] = sum_{k>=1} A[k]*y[n-k] + sum_{k>=0} B[k]*x[n-k]
//
// accumulated in long double in that order. The emitted value is
//   e[n] = w*y[n-1] + (1-w)*v,  v = y[n] (IncludeInputTerms) or the feedback part only,
// while the output history always receives the full y[n].
// -------------------------------------------------------------------------------------------
class TCustomIIRFilter : public TCustomFilter {
  public:
    // The emitted value includes the feed-forward (input) terms; true after construction.
    // With false the filter predicts each output from past outputs only.
    bool IncludeInputTerms = true;
    // Weight w of the previous full output in the emitted value, usually in [0, 1]; 0 after
    // construction (the emitted value is then v itself).
    double PreviousOutputWeight = 0.0;

    void DiscardSavedState() override;
    void RestoreState() override;
    void SaveState() override;
    // Writes the gain; computes the coefficients at once when the settings are valid.
    void SetGain(double value) override;
    void Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) override;
    // Computes stale coefficients (may raise), zeroes both histories, clears InitOnFirstSample.
    void Reset() override;
    // Stores the flag; clearing it resets the filter.
    void SetInitOnFirstSample(bool value) override;
    // Inputs all x, outputs all x * sum(B) / (1 - sum(A[k>=1])) (in double precision).
    void InitSteadyState(double x) override;
    // Validates the settings (ERangeError naming the first bad one) and computes the
    // coefficients; the filter is ready afterwards. Histories keep their contents when sized.
    virtual void Recalculate();

    // Coefficients and state, for inspection. A[0] is 1 and unused; output history entry k
    // (k >= 1) is the full output k samples back; input history entry k the input k back.
    const TDynExtendedArray& GetFeedbackCoeffs() const { return FeedbackCoeffs; }
    const TDynExtendedArray& GetFeedforwardCoeffs() const { return FeedforwardCoeffs; }
    const TDynExtendedArray& GetOutputHistory() const { return OutputHistory; }
    const TDynExtendedArray& GetInputHistory() const { return InputHistory; }

  protected:
    TCustomIIRFilter();

    // CheckSettings must pass, and every setting must be a finite number; raises otherwise.
    void Validate() const;
    // B and the input history get feedforward entries, A feedback entries, the output history
    // feedback + 1; histories keep their contents (new entries 0); A[0] := 1, the rest 0.
    void SetArrayLengths(int feedforward, int feedback);
    // fa(f) = tan(pi*f/fs)/(pi/fs) of setting i in Hz: the analogue frequency that the
    // bilinear transform maps onto f. Raises the settings error for f = fs/2 (no finite
    // value) and, with nonZero, for f = 0 (the caller divides by it).
    long double PrewarpedSetting(int32_t i, bool nonZero) const;
    // Setting i as a long double; raises the settings error for i when it is 0.
    long double NonZeroSetting(int32_t i) const;

    TDynExtendedArray OutputHistory;
    TDynExtendedArray InputHistory;
    TDynExtendedArray FeedbackCoeffs;
    TDynExtendedArray SavedOutputHistory;  // empty when no state is saved
    TDynExtendedArray SavedInputHistory;
    TDynExtendedArray FeedforwardCoeffs;
};

// -------------------------------------------------------------------------------------------
// The recursive members. Settings 1 "SampleFrequency" (Hz) and 2 "FilterGain" G; their own
// settings follow from index 3, all 0 after construction. fs = setting 1, T = 1/fs.
// Filters marked "pre-warped" place the named frequency exactly, the others map their analogue
// prototype by the plain bilinear transform.
// -------------------------------------------------------------------------------------------

// "First order low-pass": G/(1 + s/wc), pre-warped. 3 "-3dB frequency" in (0, fs/2].
class TLPFilter : public TCustomIIRFilter {
  public:
    TLPFilter();
    const char* ClassName() const override { return "TLPFilter"; }
    int32_t CheckSettings() const override;
    std::string GetLabel() const override;  // "LP:<f>Hz"
    void Recalculate() override;
};

// "First order high-pass": G*s/(s + wc), not pre-warped. 3 "-3dB frequency" in [0, fs/2].
class THPFilter : public TCustomIIRFilter {
  public:
    THPFilter();
    const char* ClassName() const override { return "THPFilter"; }
    int32_t CheckSettings() const override;
    std::string GetLabel() const override;  // "HP:<f>Hz"
    void Recalculate() override;
};

// "Inverse low-pass & integrator": y[n] = B0*x[n] + B1*x[n-1] with tau = 1/(2*pi*fa(f)),
// h = T/2, B0 = G*(h + tau), B1 = G*(h - tau). 3 "-3dB frequency" in (0, fs/2).
// A unit step from rest gives G*(h + tau), then G*T.
class TDUEFilter : public TCustomIIRFilter {
  public:
    TDUEFilter();
    const char* ClassName() const override { return "TDUEFilter"; }
    int32_t CheckSettings() const override;
    void Recalculate() override;

  protected:
    // Writes B from the gain, the sample interval and the time constant.
    virtual void SetFeedforward(long double G, long double T, long double tau);
};

// DU/E variant: B0 = G*tau, B1 = G*(T - tau). A unit step gives G*tau, then G*T.
class TDUE1987Filter : public TDUEFilter {
  public:
    const char* ClassName() const override { return "TDUE1987Filter"; }

  protected:
    void SetFeedforward(long double G, long double T, long double tau) override;
};

// DU/E variant: B0 = G*(T + tau), B1 = -G*tau. A unit step gives G*(T + tau), then G*T.
class TDUE2007Filter : public TDUEFilter {
  public:
    const char* ClassName() const override { return "TDUE2007Filter"; }

  protected:
    void SetFeedforward(long double G, long double T, long double tau) override;
};

// "Inverse of low-pass & G": G*(1 + s/wc)*bw*s/(s^2 + bw*s + w0^2), resonance pre-warped at
// F0, time constant pre-warped at Fc (bw = 2*pi*Bw is not). Passes no DC.
// 3 "Cut-off frequency" Fc in (0, fs/2), 4 "Center frequency" F0 in [0, fs/2),
// 5 "Bandwidth" Bw in [0, fs/2].
class TSEFilter : public TCustomIIRFilter {
  public:
    TSEFilter();
    const char* ClassName() const override { return "TSEFilter"; }
    int32_t CheckSettings() const override;
    void Recalculate() override;
};

// "Single notch": zeros on the unit circle at +-F0, poles at a radius set by the bandwidth.
// The gain is fixed at 1 (setting 2 is read-only). 3 "Center frequency" in [0, fs/2],
// 4 "Bandwidth (-3dB)" in [0, fs/4].
class TNotchFilter : public TCustomIIRFilter {
  public:
    TNotchFilter();
    const char* ClassName() const override { return "TNotchFilter"; }
    int32_t CheckSettings() const override;
    std::string GetLabel() const override;  // "N:<F0>Hz"
    bool IsSettingReadOnly(int32_t i) const override { return i == 2; }
    // Writes to setting 2 store 1.0 and leave the filter as it was.
    void SetSetting(int32_t i, double value) override;
    void Recalculate() override;
};

// "Second order resonator": G*bw*s/(s^2 + bw*s + w0^2), pre-warped at F0; gain G at F0.
// 3 "Center frequency" in [0, fs/2), 4 "Bandwidth (-3dB)" in [0, fs/4].
class TGFilter : public TCustomIIRFilter {
  public:
    TGFilter();
    const char* ClassName() const override { return "TGFilter"; }
    int32_t CheckSettings() const override;
    void Recalculate() override;
};

// "Inverse of second order resonator": 1 - G*resonator, settings as TGFilter.
class TInvGFilter : public TCustomIIRFilter {
  public:
    TInvGFilter();
    const char* ClassName() const override { return "TInvGFilter"; }
    int32_t CheckSettings() const override;
    void Recalculate() override;
};

// "Second order band-pass": G*s*wl/((s + wh)(s + wl)), not pre-warped.
// 3 "High-pass -3dB frequency" fh in [0, fs/2], 4 "Low-pass  -3dB frequency" fl in [0, fs/2].
class TBPFilter : public TCustomIIRFilter {
  public:
    TBPFilter();
    const char* ClassName() const override { return "TBPFilter"; }
    int32_t CheckSettings() const override;
    std::string GetLabel() const override;  // "HP:<fh>Hz LP:<fl>Hz"
    void Recalculate() override;
};

// "1st order HP & 2nd order LP": G*s*wl^2/((s + wh)(s + wl)^2), not pre-warped.
// 3 "High-pass -3dB frequency" fh in [0, fs/2], 4 "Low-pass  -3dB frequency" in [fh, fs/2].
class TBP12Filter : public TCustomIIRFilter {
  public:
    TBP12Filter();
    const char* ClassName() const override { return "TBP12Filter"; }
    int32_t CheckSettings() const override;
    void Recalculate() override;
};

// The DC attenuator and its inverse: 3 "0 < DC gain < 1" g (no unit), 4 "DC Bandwidth" fb in
// [0, fs/2), wb = 2*pi*fb pre-warped. Each member adds its transfer function.
class TCustomDCattFilter : public TCustomIIRFilter {
  public:
    // Reports setting 4 when both settings 3 and 4 are out of range.
    int32_t CheckSettings() const override;
    std::string GetSettingUnit(int32_t i) const override;  // setting 3 has no unit

  protected:
    explicit TCustomDCattFilter(const std::string& description);
};

// "DC attenuator": G*(s + wb)/(s + wb/g), gain G*g at 0 Hz and G at high frequencies.
class TDCattFilter : public TCustomDCattFilter {
  public:
    TDCattFilter();
    const char* ClassName() const override { return "TDCattFilter"; }
    void Recalculate() override;
};

// "DC un-attenuator": G*(s + wb/g)/(s + wb), the inverse of TDCattFilter.
class TINVDCattFilter : public TCustomDCattFilter {
  public:
    TINVDCattFilter();
    const char* ClassName() const override { return "TINVDCattFilter"; }
    void Recalculate() override;
};

// -------------------------------------------------------------------------------------------
// Half-order low-pass filters: exponential smoothers s += c*(G*x - s), e = G*s, whose
// coefficient c is found from a -3 dB frequency. InitOnFirstSample, IncludeInputTerms and
// PreviousOutputWeight do not apply to TLP05Filter.
// -------------------------------------------------------------------------------------------

// Converts between the -3 dB frequency of the smoother y[n] = y[n-1] + c*(x[n] - y[n-1]) and
// its coefficient c, by root finding.
class TLP05RateFrequencyConvertor {
  public:
    // Gain of the smoother at frequency f (Hz) for sample frequency fs and coefficient c.
    static long double SmootherGain(long double fs, long double f, long double c);
    // The c in [0, 1] whose gain at f is 1/sqrt(2); -1 when the search fails.
    long double CoefficientForFrequency(long double fs, long double f, long double tol);
    // The f in [0, fs/2] at which the gain for c is 1/sqrt(2); -1 when the search fails.
    long double FrequencyForCoefficient(long double fs, long double c, long double tol);

  private:
    long double SampleFrequency = 0;
    long double Frequency = 0;
    long double Coefficient = 0;
};

// "Half order low-pass". 3 "Rate" (Hz) in (0, fs/2]: the smoother's -3 dB frequency. After
// each Recalculate, "Rate" reads the frequency the coefficient actually gives (within 1e-6 in
// gain of the value written). The state s is entry 0 of the output history; Reset zeroes it.
// InitSteadyState is the recursive filters' one, which with no coefficients sets s to 0.
class TLP05Filter : public TCustomIIRFilter {
  public:
    TLP05Filter();
    const char* ClassName() const override { return "TLP05Filter"; }
    int32_t CheckSettings() const override;
    void Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) override;
    void Recalculate() override;

    // Smoothing coefficient in (0, 1) for setting 3; set by Recalculate.
    double Coefficient = 0;

  protected:
    // Finds the coefficient for setting i and writes back the rate it gives.
    double CoefficientForSetting(int32_t i);
};

// "LP0.5NS:Half order LP not symmetric": follows a rising signal with the coefficient of
// 3 "Rate up" (Hz, in (0, fs/2]) and a falling one with that of 4 "Rate down" (Hz, in
// (0, fs/2)). InitOnFirstSample starts the smoother at the first input.
class TLP05NSFilter : public TLP05Filter {
  public:
    TLP05NSFilter();
    const char* ClassName() const override { return "TLP05NSFilter"; }
    int32_t CheckSettings() const override;
    void Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) override;
    void Recalculate() override;
    // The smoother state becomes x (not multiplied by the gain).
    void InitSteadyState(double x) override;

    // Smoothing coefficient for setting 4; set by Recalculate.
    double DownCoefficient = 0;
};

// -------------------------------------------------------------------------------------------
// Non-recursive members.
// -------------------------------------------------------------------------------------------

// "Rectifier": e = |G*x|. Never validates its settings and keeps no state; float outputs are
// not clamped.
class TRectifier : public TCustomFilter {
  public:
    TRectifier();
    const char* ClassName() const override { return "TRectifier"; }
    void Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) override;
    void Reset() override {}
    void SetInitOnFirstSample(bool /*value*/) override {}
};

// "Median Filter": each output is the median of the last n inputs, n = setting 2 "Seconds to
// look back (s)" times fs, rounded half away from zero, at least 1. Filter never raises for
// settings; CheckSettings reports windows outside 1 ... 65535 samples (setting 2).
class TMedianFilter : public TCustomFilter {
  public:
    TMedianFilter();
    const char* ClassName() const override { return "TMedianFilter"; }
    int32_t CheckSettings() const override;
    void DiscardSavedState() override { SavedList.reset(); }
    void RestoreState() override;
    void SaveState() override;
    void Filter(const void* in, void* out, int32_t from, int32_t to, int32_t outStart) override;
    // Empties the window.
    void Reset() override;
    // Stores the flag and empties the window.
    void SetInitOnFirstSample(bool value) override;

    // The window in arrival order and sorted by value.
    const TDoubleMedianList& GetList() const { return List; }

  private:
    void UpdateWindowLength();

    TDoubleMedianList List;
    std::unique_ptr<TDoubleMedianList> SavedList;  // the window kept by SaveState, or none
};

// -------------------------------------------------------------------------------------------
// Factory.
// -------------------------------------------------------------------------------------------

// The filter of a short type name (FilterTypeNames), compared upper-cased and without leading
// and trailing blanks; nullptr for a name that is not in the table.
std::unique_ptr<TCustomFilter> CreateFilter(std::string_view name);

// The type of a filter by its class name; ftNone for classes outside the table.
TFilterType FilterTypeOf(const TCustomFilter& filter);

// -------------------------------------------------------------------------------------------

template <class In, class Out>
void TCustomFilter::FilterBlock(std::span<const In> in, std::span<Out> out, int32_t from,
                                int32_t to, int32_t outStart) {
    if (SampleTypeOf<In>() != InputType || SampleTypeOf<Out>() != GetOutputType())
        throw EInvalidOperation(std::string(ClassName()) +
                                ": the arrays' element types differ from InputType or "
                                "OutputType; set those to the arrays' types first");
    if (from > to) {
        Filter(in.data(), out.data(), from, to, outStart);
        return;
    }
    const int64_t count = int64_t{to} - from + 1;
    const int64_t first = outStart >= 0 ? outStart : (Reverse ? to : from);
    const int64_t lowest = Reverse ? first - (count - 1) : first;
    const int64_t highest = Reverse ? first : first + (count - 1);
    if (from < 0 || static_cast<uint64_t>(to) >= in.size() || lowest < 0 ||
        static_cast<uint64_t>(highest) >= out.size())
        throw ERangeError("Index out of range");
    Filter(in.data(), out.data(), from, to, outStart);
}

}  // namespace vantrel
