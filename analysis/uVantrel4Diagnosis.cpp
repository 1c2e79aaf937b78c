// Why a run that failed failed, when the input explains it. The stages report their own fixed
// messages; these causes are what a person needs to act: the recording is too short, the
// signal is flat, a forced undersampling factor gives a computation frequency the filters
// cannot work at. Only asked after a failure, so it may read the input again.
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <vector>

#include "analysis/uVantrel4.h"
#include "edf/uEDFTools.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

std::string Hz(double frequency) {
    return FloatToStr(frequency) + " Hz";
}

std::string Seconds(long double seconds) {
    return FloatToStr(static_cast<double>(seconds)) + " s";
}

// The computation frequency of the run, as the SU/SS stage computes it; 0 when there is none.
double ComputationFrequency(int32_t samplesPerRecord, int32_t N, long double recordDuration) {
    if (N < 1 || !(recordDuration > 0)) return 0;
    const double frequency = samplesPerRecord / static_cast<double>(N * recordDuration);
    return std::isfinite(frequency) ? frequency : 0;
}

// The filters refuse an F0, B or Fc above half the computation frequency.
std::string FilterRangeCause(const TAnalysisParam& AP, double fCompute) {
    const double half = fCompute / 2;
    const struct {
        const char* Name;
        double Value;
    } settings[] = {{"Fc", AP.Fc}, {"F0", AP.F0}, {"B", AP.B}};
    for (const auto& setting : settings)
        if (setting.Value > half)
            return "The undersampling factor " + std::to_string(AP.UndersamplingFactor) +
                   " gives a computation frequency of " + Hz(fCompute) +
                   ": the filters need F0, B and Fc at most half of it (" + Hz(half) + "), and " +
                   setting.Name + " is " + Hz(setting.Value);
    return {};
}

std::string TooShortCause(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                          const TSUSSParameters& SP, int32_t records, long double duration) {
    if (ResultsSeconds(records, ISC.SamplesPerRecord, AP.UndersamplingFactor, SP) > 0) return {};
    // The least number of records that gives one second of results; a record at a time, since
    // the seconds close by the stage's own clock.
    int64_t needed = std::max(records, 0) + 1;
    while (needed < std::numeric_limits<int32_t>::max() &&
           ResultsSeconds(needed, ISC.SamplesPerRecord, AP.UndersamplingFactor, SP) == 0)
        ++needed;
    return "The recording is too short for the analysis: it lasts " + Seconds(records * duration) +
           "; one second of results needs at least " + Seconds(needed * duration);
}

// Every sample of the analysed signal has one value: SU and SS are 0 and no piB can be found.
std::string FlatCause(TEDFFile& input, int32_t signalIndex) {
    const TCustomEDFSignalInfo& signal = input.Signal(signalIndex);
    const int32_t perRecord = signal.SamplesPerRecord();
    const int32_t records = input.NumberOfRecords();
    if (records < 1 || perRecord < 1) return {};
    constexpr int32_t kBatch = 64;
    std::vector<int16_t> samples(static_cast<size_t>(kBatch) * perRecord);
    int16_t first = 0;
    for (int32_t record = 0; record < records; record += kBatch) {
        const int32_t count = std::min(kBatch, records - record);
        if (!input.ReadSignalInto(signalIndex, record, count, samples.data())) return {};
        if (record == 0) first = samples.front();
        const auto end = samples.begin() + static_cast<ptrdiff_t>(count) * perRecord;
        if (std::any_of(samples.begin(), end, [first](int16_t s) { return s != first; })) return {};
    }
    const double digitalRange =
        static_cast<double>(signal.DigitalMaximum()) - signal.DigitalMinimum();
    const double physical =
        digitalRange == 0
            ? 0
            : signal.PhysicalMinimum() + (first - signal.DigitalMinimum()) *
                                             (signal.PhysicalMaximum() - signal.PhysicalMinimum()) /
                                             digitalRange;
    const std::string unit = Trim(signal.GetDimension());
    return "The signal is flat: every sample is " + FormatFloatGeneral(physical, 6) +
           (unit.empty() ? "" : " " + unit);
}

}  // namespace

int64_t ResultsSeconds(int64_t inputRecords, int32_t samplesPerRecord, int32_t N,
                       const TSUSSParameters& SP) {
    if (N < 1 || SP.SamplesPerSecond < 1 || inputRecords < 1) return 0;
    const int64_t kept = inputRecords * samplesPerRecord / N;
    if (SP.FCompute == std::trunc(SP.FCompute)) return kept / SP.SamplesPerSecond;
    int64_t seconds = 0;
    long double T = 0;
    for (int64_t i = 0; i < kept; ++i) {
        T += SP.SampleInterval;
        if (T >= 1.0L) {
            ++seconds;
            T -= 1.0L;
        }
    }
    return seconds;
}

std::string FailureCause(const TAnalysisParam& AP) {
    try {
        TEDFFile input;
        OpenForReading(input, AP.InputFileName);
        if (!input.IsValid() || AP.SignalIndex < 0 || AP.SignalIndex >= input.SignalCount())
            return {};
        const long double duration = input.FileInfo().RecordDuration();
        const int32_t samplesPerRecord = input.Signal(AP.SignalIndex).SamplesPerRecord();
        const double fCompute =
            ComputationFrequency(samplesPerRecord, AP.UndersamplingFactor, duration);
        if (!(fCompute >= 1)) return {};  // the SU/SS stage said so itself
        if (std::string cause = FilterRangeCause(AP, fCompute); !cause.empty()) return cause;
        TInputSignalChar ISC;
        TSUSSParameters SP;
        if (!GetInputSignalChar(AP, ISC) || !PrepareSuSsParameters(SP, AP, ISC, duration))
            return {};
        if (std::string cause = TooShortCause(AP, ISC, SP, input.NumberOfRecords(), duration);
            !cause.empty())
            return cause;
        return FlatCause(input, AP.SignalIndex);
    } catch (const std::exception&) {
        return {};  // the input cannot tell: the run's own messages stand alone
    }
}

}  // namespace vantrel
