// MC_Smooth: every result signal after SU, SS and piB. One call walks the results file forward
// and then backward in time and does one job:
//   0  artifact traces (HF, LF, missing signal); clears the smoothed and MC signals
//   1  forward smoothing (SU+, SS+, MC-Jump) and backward smoothing (SU-, SS-, SSP, SS0, MC)
//   2  MC events: MC-Event from the smoothed signals E seconds before and after each second
//   3  as 1, with the smoother restarted at every confirmed MC jump
// Every value goes to the file as its code and later steps read the code back, so the
// quantisation of one step feeds the next. The order of reads, writes, history shifts and
// roundings below is the method: results are compared sample by sample with another
// implementation.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "analysis/uVantrel4.h"
#include "analysis/uVantrel4Codes.h"
#include "analysis/uVantrel4Records.h"
#include "support/uMath.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

using results::Signal;

constexpr int kDigitalLimit = 32767;

int16_t LimitedCode(int64_t v) {
    return static_cast<int16_t>(std::clamp<int64_t>(v, -kDigitalLimit, kDigitalLimit));
}

// The arguments of one call and the values derived from them.
struct TSmoothSettings {
    uint8_t Option = 0;
    int32_t XPiBPlus = 0, XPiBMinus = 0, XPiBZero = 0, ArtifactSpread = 0;
    double MCgain = 0;
    int32_t E = 1;               // MCEventSamples: lag of the event comparison, in seconds
    long double PiB = 0;         // physical piB
    long double Rate = 0;        // r, the fraction of the smoother output renewed per second
    int64_t JumpWindow = 0;      // round(1 / r) + 1 seconds
    int64_t RestartSpan = 0;     // JumpWindow div 20 + 1 seconds
    double JumpThreshold = 0;    // MCJumpLimit x 100 x MCgain, digital MC-Jump units
    int64_t EventThreshold = 0;  // round(MCEventLimit x r x 100 x MCgain), digital units
};

// A history list: entry 0 the newest value.
using THistory = std::vector<long double>;

void Shift(THistory& h) {
    if (h.size() == 2) {  // the lag of one second that runs use
        h[1] = h[0];
        return;
    }
    for (size_t e = h.size() - 1; e > 0; --e)
        h[e] = h[e - 1];
}

// The samples of a results file held whole, reached without the record bookkeeping of
// TResultsRecords: the smoothing passes reach some 16 samples for every second.
class TWholeSamples {
  public:
    explicit TWholeSamples(TResultsRecords& file) {
        for (int k = 0; k < results::kSignals; ++k)
            FSignals[k] = file.WholeSignal(k);
    }
    int16_t Get(int signal, int64_t t) const { return FSignals[signal][t]; }
    void Put(int signal, int64_t t, int16_t code) { FSignals[signal][t] = code; }
    void Load(int32_t) {}
    void Flush() {}

  private:
    std::array<int16_t*, results::kSignals> FSignals{};
};

// The walk over the results file (TResultsRecords, or TWholeSamples of one held whole) and the
// state it carries from second to second.
template <typename TSamples>
class TSmoothPass {
  public:
    TSmoothPass(TSamples& file, const TSmoothSettings& settings, int64_t seconds)
        : F(file), S(settings), T(seconds) {
        InitHistories();
    }

    void Run() {
        if (T == 0) F.Load(0);  // a file without records fails on its first record
        for (int64_t t = 0; t < T; ++t) {
            if (t % results::kSamplesPerRecord == 0) NextRecord(t);
            Forward(t);
            First = false;
        }
        F.Flush();
        InitHistories();
        for (int64_t t = T - 1; t >= 0; --t) {
            if (t % results::kSamplesPerRecord == results::kSamplesPerRecord - 1) NextRecord(t);
            Backward(t);
        }
        F.Flush();
    }

  private:
    // ---- Samples -----------------------------------------------------------------------
    long double Value(Signal signal, int64_t t) { return Codes.Decode(F.Get(signal, t)); }
    // The log-float code of a long double value, rounded to double on the way; returns the
    // value of that code, as reading it back would.
    long double PutValue(Signal signal, int64_t t, long double value) {
        const auto code = static_cast<int16_t>(Codes.Encode(static_cast<double>(value)));
        F.Put(signal, t, code);
        return Codes.Decode(code);
    }
    // A ratio as digital value ratio x 100 x MCgain, held at +-32767, rounded half to even.
    void PutRatio(Signal signal, int64_t t, long double ratio) {
        long double d = ratio * 100 * S.MCgain;
        if (std::isnan(d)) d = 0;  // a 0 / 0 from a file the earlier options did not fill
        if (std::fabs(d) > kDigitalLimit) d = d < 0 ? -kDigitalLimit : kDigitalLimit;
        // Through double, which holds every integer of the range exactly: a long double goes to
        // an integer only by switching the x87 control word, a stall for every second.
        F.Put(signal, t, static_cast<int16_t>(static_cast<double>(RoundHalfEven(d))));
    }

    void NextRecord(int64_t t) {
        EngineWindows().ProcessMessages();
        F.Flush();
        F.Load(static_cast<int32_t>(t / results::kSamplesPerRecord));
    }

    void InitHistories() {
        const size_t n = static_cast<size_t>(S.E) + 1;
        HSUPlus.assign(n, 0);
        HSUMinus.assign(n, 0);
        HSSPlus.assign(n, S.PiB);
        HSSMinus.assign(n, S.PiB);
    }

    void Forward(int64_t t) {
        switch (S.Option) {
            case 0:
                ForwardArtifacts(t);
                break;
            case 1:
                ForwardSmooth(t, false);
                break;
            case 2:
                ForwardEvents(t);
                break;
            default:
                ForwardTracked(t);
                break;
        }
    }
    void Backward(int64_t t) {
        switch (S.Option) {
            case 0:
                BackwardArtifacts(t);
                break;
            case 1:
                BackwardSmooth(t, false);
                break;
            case 2:
                BackwardEvents(t);
                break;
            default:
                BackwardTracked(t);
                break;
        }
    }

    // ---- Option 0: artifact traces ------------------------------------------------------
    static void Limit(int32_t& counter, int32_t spread) {
        counter = std::clamp(counter, 0, spread);
    }

    void UpdateArtifactCounters(long double su, long double ss) {
        if (First) CHF = CLF = CMiss = 0;
        long double x = (ss - su - S.PiB) / S.PiB;
        x = std::clamp(x, -1000.0L, 1000.0L);
        if (x >= S.XPiBPlus)
            CHF += static_cast<int32_t>(RoundHalfEven(x / S.XPiBPlus));
        else
            CHF -= 1;
        Limit(CHF, S.ArtifactSpread);
        if (x <= S.XPiBMinus)
            CLF += static_cast<int32_t>(RoundHalfEven(x / S.XPiBMinus));
        else
            CLF -= 1;
        Limit(CLF, S.ArtifactSpread);
        if (ss <= S.PiB / S.XPiBZero)
            CMiss += 1;
        else
            CMiss -= 1;
        Limit(CMiss, S.ArtifactSpread);
    }

    void ForwardArtifacts(int64_t t) {
        const long double su = Value(results::kSU, t);
        const long double ss = Value(results::kSS, t);
        for (Signal cleared :
             {results::kSUPlus, results::kSUMinus, results::kSSPlus, results::kSSMinus,
              results::kSSP, results::kSS0, results::kMC, results::kMCJump, results::kMCEvent})
            F.Put(cleared, t, 0);
        UpdateArtifactCounters(su, ss);
        F.Put(results::kHFArtifact, t, LimitedCode(CHF));
        F.Put(results::kLFArtifact, t, LimitedCode(CLF));
        F.Put(results::kMissingSignal, t, LimitedCode(CMiss));
    }

    void BackwardArtifacts(int64_t t) {
        const long double su = Value(results::kSU, t);
        const long double ss = Value(results::kSS, t);
        UpdateArtifactCounters(su, ss);
        const auto add = [&](Signal signal, int32_t counter) {
            F.Put(signal, t, LimitedCode(int64_t{F.Get(signal, t)} + counter));
        };
        add(results::kHFArtifact, CHF);
        add(results::kLFArtifact, CLF);
        add(results::kMissingSignal, CMiss);
    }

    // ---- Options 1 and 3: smoothing -----------------------------------------------------
    void SmootherStep(long double su, long double ss, bool reject) {
        const long double r = S.Rate;
        if (First) {
            SSU = 0;
            SSS = S.PiB;
        }
        if (reject) {
            SSU = (1 - r) * SSU;
            SSS = (1 - r) * SSS;
        } else {
            SSU = SSU + r * (std::max(su, -S.PiB) - SSU);
            SSS = SSS + r * (ss - SSS);
            if (SSU < 0) SSU = 0;
        }
        if (SSS < S.PiB) SSS = S.PiB;
    }

    // An artifact at i, or an MC event beyond the threshold, keeps second i out.
    bool Rejected(int64_t i) {
        return F.Get(results::kHFArtifact, i) > 0 || F.Get(results::kLFArtifact, i) > 0 ||
               F.Get(results::kMissingSignal, i) > 0 ||
               std::abs(int64_t{F.Get(results::kMCEvent, i)}) > S.EventThreshold;
    }

    void ForwardSmooth(int64_t i, bool forceReject) {
        const long double su = Value(results::kSU, i);
        const long double ss = Value(results::kSS, i);
        const bool reject = forceReject || Rejected(i);
        SmootherStep(su, ss, reject);
        const long double suPlus = PutValue(results::kSUPlus, i, SSU);
        const long double ssPlus = PutValue(results::kSSPlus, i, SSS);
        Shift(HSUPlus);
        Shift(HSSPlus);
        HSUMinus[0] = Value(results::kSUMinus, i);
        HSSMinus[0] = Value(results::kSSMinus, i);
        HSUPlus[0] = suPlus;  // as just written
        HSSPlus[0] = ssPlus;
        // The backward estimate that starts at i against the forward one that ended at i - 1.
        const long double D = HSSPlus[1] + HSSMinus[0];
        const long double jump = D > 0 ? (HSUMinus[0] - HSUPlus[1]) / D : 0;
        PutRatio(results::kMCJump, i, jump);
    }

    void BackwardSmooth(int64_t i, bool forceReject) {
        const long double su = Value(results::kSU, i);
        const long double ss = Value(results::kSS, i);
        const bool reject = forceReject || Rejected(i);
        SmootherStep(su, ss, reject);
        const long double suMinus = PutValue(results::kSUMinus, i, SSU);
        const long double ssMinus = PutValue(results::kSSMinus, i, SSS);
        Shift(HSUMinus);
        Shift(HSSMinus);
        HSUMinus[0] = suMinus;  // as just written
        HSSMinus[0] = ssMinus;
        HSUPlus[0] = Value(results::kSUPlus, i);
        HSSPlus[0] = Value(results::kSSPlus, i);
        // Forward SS at i plus backward SS at i + 1.
        const long double D = HSSPlus[0] + HSSMinus[1];
        const long double q = D > 0 ? (HSUMinus[1] + HSUPlus[0]) / D : 0;
        PutValue(results::kSSP, i, D / 2);
        PutValue(results::kSS0, i, D / 2 * (1 - q));
        PutRatio(results::kMC, i, q);
    }

    // ---- Option 3: smoothing restarted at confirmed jumps ---------------------------------
    void ResetTracker(int64_t t) {
        Pending = false;
        Tc = t;
        Vc = S.JumpThreshold;
    }

    // Looks at MC-Jump(t): a value at least as large as the candidate's becomes the candidate.
    double TrackJump(int64_t t) {
        const double v = F.Get(results::kMCJump, t);
        if (std::fabs(v) >= std::fabs(Vc)) {
            Pending = true;
            Tc = t;
            Vc = v;
        }
        return v;
    }

    void ForwardTracked(int64_t t) {
        if (First) ResetTracker(t);
        const double v = TrackJump(t);
        int64_t s = t;
        if (Pending && (t - Tc == S.JumpWindow || v / Vc < 0)) {
            F.Flush();
            const int64_t p = Tc + S.RestartSpan > T - 1 ? T - 1 : Tc + S.RestartSpan;
            SSU = Value(results::kSUMinus, p);
            SSS = Value(results::kSSMinus, p);
            s = Tc;
            ResetTracker(t);
        }
        int64_t f = std::min(t - s, S.RestartSpan);
        for (int64_t i = s; i <= t; ++i) {
            const bool forced = f > 0;
            if (forced) --f;
            ForwardSmooth(i, forced);
        }
    }

    void BackwardTracked(int64_t t) {
        if (t == T - 1) ResetTracker(t);
        const double v = TrackJump(t);
        int64_t s = t;
        if (Pending && (Tc - t == S.JumpWindow || v / Vc < 0)) {
            F.Flush();
            const int64_t p = Tc < S.RestartSpan ? 0 : Tc - S.RestartSpan;
            SSU = Value(results::kSUPlus, p);
            HSUMinus[0] = SSU;
            SSS = Value(results::kSSPlus, p);
            HSSMinus[0] = SSS;
            s = std::max(Tc - 1, t);
            ResetTracker(t);
        }
        int64_t f = std::min(s - t, S.RestartSpan);
        for (int64_t i = s; i >= t; --i) {
            const bool forced = f > 0;
            if (forced) --f;
            BackwardSmooth(i, forced);
        }
    }

    // ---- Option 2: MC events --------------------------------------------------------------
    void LoadHistories(int64_t t) {
        Shift(HSUPlus);
        Shift(HSUMinus);
        Shift(HSSPlus);
        Shift(HSSMinus);
        HSUPlus[0] = Value(results::kSUPlus, t);
        HSUMinus[0] = Value(results::kSUMinus, t);
        HSSPlus[0] = Value(results::kSSPlus, t);
        HSSMinus[0] = Value(results::kSSMinus, t);
    }

    // Keeps the values of E seconds earlier in MC-Jump and MC-Event for the backward pass.
    void ForwardEvents(int64_t t) {
        LoadHistories(t);
        PutValue(results::kMCJump, t, (HSUMinus[S.E] - HSUPlus[S.E]) / 2);
        PutValue(results::kMCEvent, t, (HSSMinus[S.E] + HSSPlus[S.E]) / 2);
    }

    void BackwardEvents(int64_t t) {
        LoadHistories(t);
        const long double X = Value(results::kMCJump, t) + (HSUPlus[S.E] - HSUMinus[S.E]) / 2;
        const long double Y = Value(results::kMCEvent, t) + (HSSPlus[S.E] + HSSMinus[S.E]) / 2;
        F.Put(results::kMCJump, t, 0);
        PutRatio(results::kMCEvent, t, X / Y);
    }

    TSamples& F;
    const TSmoothSettings& S;
    const TLogFloatTable& Codes = results::CodeTable();  // held: no first-use check per sample
    const int64_t T;                                     // seconds in the file
    bool First = true;
    long double SSU = 0, SSS = 0;  // smoother state
    THistory HSUPlus, HSUMinus, HSSPlus, HSSMinus;
    int32_t CHF = 0, CLF = 0, CMiss = 0;  // artifact counters
    bool Pending = false;                 // jump tracker: a candidate at Tc with MC-Jump Vc
    int64_t Tc = 0;
    double Vc = 0;
};

// The argument checks; false with the message reported.
bool CheckArguments(const TSmoothSettings& s, double MCgain, int32_t MCEventSamples,
                    long double rate) {
    if (s.XPiBPlus < 1 || s.XPiBMinus > -1 || s.XPiBZero < 1 || s.ArtifactSpread < 1) {
        ReportMessage("Artifact thresholds or -spread incorrect in MC_Smooth");
        return false;
    }
    if (MCEventSamples < 1) {
        ReportMessage("MCEventSamples=" + std::to_string(MCEventSamples) + " but should be >= 1");
        return false;
    }
    if (!(s.PiB >= 0.001L)) {
        ReportMessage("piB=" + FloatToStr(s.PiB) + " is smaller than LogFloat_Y0*10");
        return false;
    }
    if (!(MCgain >= 1.0)) {
        ReportMessage("MCgain=" + FloatToStr(MCgain) + " but should be >= 1.0");
        return false;
    }
    if (!(rate > 0 && rate < 1)) {
        ReportMessage("SmoothRate=" + FloatToStr(rate) + " but should be > 0.0 and < 1.0");
        return false;
    }
    if (s.Option > 3) {
        ReportMessage("Non-existing option in MC_Smooth");
        return false;
    }
    return true;
}

}  // namespace

bool MC_Smooth(const TAnalysisParam& AP, uint8_t Option, int32_t XPiBPlus, int32_t XPiBMinus,
               int32_t XPiBZero, int32_t ArtifactSpread, double MCgain, double MCEventLimit,
               double MCJumpLimit, int32_t MCEventSamples, long double PiB) {
    TSmoothSettings s;
    s.Option = Option;
    s.XPiBPlus = XPiBPlus;
    s.XPiBMinus = XPiBMinus;
    s.XPiBZero = XPiBZero;
    s.ArtifactSpread = ArtifactSpread;
    s.MCgain = MCgain;
    s.E = MCEventSamples;
    s.PiB = PiB;
    s.Rate = AP.SmootherRate;
    if (!CheckArguments(s, MCgain, MCEventSamples, s.Rate)) return false;

    // A window longer than any recording acts like an endless one; the cap keeps it an integer.
    const long double window = std::min(1 / s.Rate, 1e15L);
    s.JumpWindow = static_cast<int64_t>(RoundHalfEven(window)) + 1;
    s.RestartSpan = s.JumpWindow / 20 + 1;
    s.JumpThreshold = static_cast<double>(static_cast<long double>(MCJumpLimit) * 100 * MCgain);
    s.EventThreshold = static_cast<int64_t>(
        RoundHalfEven(static_cast<long double>(MCEventLimit) * s.Rate * 100 * MCgain));

    TResultsRecords file(AP.OutputFileName);
    if (file.Whole()) {
        TWholeSamples samples(file);
        TSmoothPass<TWholeSamples>(samples, s, file.Seconds()).Run();
    } else {
        TSmoothPass<TResultsRecords>(file, s, file.Seconds()).Run();
    }
    file.Finish();
    return true;
}

}  // namespace vantrel
