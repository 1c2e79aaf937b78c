#include "report/uNightPictureData.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "analysis/uVantrel4.h"
#include "analysis/uVantrel4Codes.h"
#include "support/uMath.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

namespace chr = std::chrono;

// How often each int16 value occurred; percentiles from the counts, in constant memory.
class TValueCounts {
  public:
    TValueCounts() : FCounts(65536, 0) {}
    void Add(int16_t value) {
        ++FCounts[static_cast<size_t>(value + 32768)];
        ++FTotal;
    }
    // The value at rank p/100 x (n - 1) (the lower neighbour); 0 when nothing was counted.
    int16_t Percentile(double p) const {
        if (FTotal == 0) return 0;
        const auto rank = static_cast<int64_t>(std::floor((FTotal - 1) * p / 100));
        int64_t seen = 0;
        for (size_t k = 0; k < FCounts.size(); ++k) {
            seen += FCounts[k];
            if (seen > rank) return static_cast<int16_t>(static_cast<int>(k) - 32768);
        }
        return 32767;
    }

  private:
    std::vector<int64_t> FCounts;
    int64_t FTotal = 0;
};

// The analysis counts a second into the SS - SU histogram unless both SU and SS code to 0 or
// the difference has no bin; the picture shows the same histogram, coded by the same table.
void CountDifference(int16_t suCode, int16_t ssCode, std::vector<int32_t>& histogram) {
    const long double su = results::DecodeValue(suCode);
    const long double ss = results::DecodeValue(ssCode);
    if (std::fabs(su) < results::kLogFloatY0 && std::fabs(ss) < results::kLogFloatY0) return;
    const int d = results::CodeTable().Encode(static_cast<double>(ss - su));
    if (d < -pib::kBinOffset || d > pib::kBins - 1 - pib::kBinOffset || d == 0) return;
    int32_t& bin = histogram[static_cast<size_t>(d + pib::kBinOffset)];
    if (bin < INT32_MAX) ++bin;
}

// What one column collects while its seconds are read: a column is at most a few minutes of a
// night, so its codes are kept for the medians.
struct TColumnSums {
    std::array<std::vector<int16_t>, 4> Codes;
    int64_t MC = 0;
    std::array<int32_t, kSleepStageCount> Stages{};
    void Clear() {
        for (std::vector<int16_t>& codes : Codes)
            codes.clear();
        MC = 0;
        Stages.fill(0);
    }
};

void Finish(TPictureColumn& column, TColumnSums& sums, const TResultsReader::TLinearScale& mc) {
    if (column.Seconds == 0) return;
    for (size_t k = 0; k < 4; ++k) {
        std::vector<int16_t>& codes = sums.Codes[k];
        const auto middle = codes.begin() + static_cast<std::ptrdiff_t>((codes.size() - 1) / 2);
        std::nth_element(codes.begin(), middle, codes.end());
        column.Median[k] = *middle;
    }
    column.MCMean = mc.Value(sums.MC) / column.Seconds;
    column.MCLow = mc.Value(static_cast<int64_t>(column.MCLow));
    column.MCHigh = mc.Value(static_cast<int64_t>(column.MCHigh));
    const auto most = std::max_element(sums.Stages.begin(), sums.Stages.end());
    if (*most > 0) column.Stage = static_cast<TSleepStage>(most - sums.Stages.begin());
}

std::string Number(const char* format, double value) {
    return CFormat(format, value);
}

std::string Duration(int64_t seconds) {
    if (seconds >= 3600)
        return std::to_string(seconds / 3600) + " h " + std::to_string(seconds % 3600 / 60) +
               " min";
    if (seconds >= 60)
        return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
    return std::to_string(seconds) + " s";
}

std::string OrNotAvailable(const std::optional<double>& value, const char* format,
                           const char* unit) {
    return value ? Number(format, *value) + unit : std::string("n/a");
}

std::string ClockLabel(int64_t millisOfDay) {
    const int64_t minutes = millisOfDay / 60000;
    return CFormat("%02d:%02d", static_cast<int>(minutes / 60 % 24),
                   static_cast<int>(minutes % 60));
}

}  // namespace

TPictureTitle PictureTitle(const TRunRecord& record) {
    const TRunInput& in = record.Input;
    const TRunParameters& p = record.Parameters;
    const TNightStatistics& night = record.Results.Night;
    std::string details = "signal " + std::to_string(in.SignalNumber);
    if (const std::string label = HeaderTextToUtf8(in.Label); !label.empty())
        details += " " + label;
    details += TPictureTitle::kSeparator;
    details += "F0 " + FloatToShortestStr(p.F0) + " Hz, B " + FloatToShortestStr(p.B) + " Hz, Fc " +
               FloatToShortestStr(p.Fc) + " Hz, rate " + FloatToShortestStr(p.Rate) + "/s";
    details += TPictureTitle::kSeparator;
    const std::string unit = HeaderTextToUtf8(in.PhysicalDimension);
    details += "piB " + Number("%.3g", record.Results.PiB) +
               (unit.empty() ? std::string() : " " + unit + "\u00b2");
    details += TPictureTitle::kSeparator;
    details += "clean " + Duration(night.CleanSeconds);
    details += TPictureTitle::kSeparator;
    details += "MC mean " + OrNotAvailable(night.MCMean, "%.1f", " %");
    details += TPictureTitle::kSeparator;
    details += OrNotAvailable(night.MCEventsPerHour, "%.1f", "") + " events/h";
    return {HeaderTextToUtf8(in.Path), details};
}

TNightPictureData ReadNightPictureData(TResultsReader& reader, const TRunRecord& record,
                                       int columns, const std::optional<TStagedNight>& stages) {
    TNightPictureData data;
    data.Seconds = std::min(record.Results.Seconds, reader.SecondsInFile());
    data.HasStages = stages.has_value();
    if (stages) {
        data.LightsOff = stages->LightsOff;
        data.LightsOn = stages->LightsOn;
    }
    const int64_t count =
        std::min<int64_t>(std::max(columns, 1), std::max<int64_t>(data.Seconds, 1));
    data.Columns.resize(static_cast<size_t>(count));
    data.Histogram.assign(pib::kBins, 0);
    const TResultsReader::TLinearScale mc = reader.LinearScale(results::kMC);
    const int64_t threshold = record.Parameters.EventThreshold;
    TValueCounts codes, mcCodes;
    TColumnSums sums;
    int64_t current = 0;
    for (int64_t t = 0; t < data.Seconds; ++t) {
        const int64_t c = t * count / data.Seconds;
        if (c != current) {
            Finish(data.Columns[static_cast<size_t>(current)], sums, mc);
            sums.Clear();
            current = c;
        }
        TPictureColumn& column = data.Columns[static_cast<size_t>(c)];
        const auto& s = reader.At(t).Codes;
        const bool first = column.Seconds == 0;
        for (size_t k = 0; k < 4; ++k) {
            const int16_t code = s[kPictureLogSignals[k]];
            column.Low[k] = first ? code : std::min(column.Low[k], code);
            column.High[k] = first ? code : std::max(column.High[k], code);
            sums.Codes[k].push_back(code);
            codes.Add(code);
        }
        const int16_t mcCode = s[results::kMC];
        column.MCLow = first ? mcCode : std::min<double>(column.MCLow, mcCode);
        column.MCHigh = first ? mcCode : std::max<double>(column.MCHigh, mcCode);
        sums.MC += mcCode;
        mcCodes.Add(mcCode);
        ++column.Seconds;
        column.HFSeconds += s[results::kHFArtifact] > 0;
        column.LFSeconds += s[results::kLFArtifact] > 0;
        column.MissingSeconds += s[results::kMissingSignal] > 0;
        column.EventSeconds += std::abs(int64_t{s[results::kMCEvent]}) > threshold;
        column.JumpRunSeconds += std::abs(int{s[results::kMCJump]}) >= kMCJumpRunLimit;
        if (stages && static_cast<size_t>(t) < stages->Seconds.size())
            ++sums.Stages[static_cast<size_t>(stages->Seconds[static_cast<size_t>(t)])];
        CountDifference(s[results::kSU], s[results::kSS], data.Histogram);
    }
    if (data.Seconds > 0) Finish(data.Columns[static_cast<size_t>(current)], sums, mc);
    data.CodeLow = codes.Percentile(0.2);
    data.CodeHigh = codes.Percentile(99.8);
    data.MCTop = std::max(100.0, mc.Value(mcCodes.Percentile(99.8)));
    data.HistogramSum = SmoothHistogram(data.Histogram);
    return data;
}

std::optional<TStagedNight> PictureStages(const TRunRecord& record, const std::string& hypnogram,
                                          double epochSeconds) {
    std::string file = hypnogram;
    if (file.empty() && record.Hypnogram) file = record.Hypnogram->Path;
    if (file.empty()) return std::nullopt;
    return PictureStages(record, ReadHypnogram(file, epochSeconds));
}

TStagedNight PictureStages(const TRunRecord& record, const THypnogram& hypnogram) {
    const std::optional<TClockTime> start = ParseIsoText(record.Input.RecordingStart);
    if (!start)
        throw EHypnogramError("The run record gives no clock time for the recording's start (\"" +
                              record.Input.RecordingStart + "\") to place " + hypnogram.Path +
                              " on");
    return StageSeconds(hypnogram, *start, record.Results.Seconds);
}

std::vector<TAxisTick> ClockTicks(const std::string& recordingStart, int64_t seconds,
                                  int maxTicks) {
    static constexpr int64_t kSteps[] = {60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600};
    const std::optional<TClockTime> start = ParseIsoText(recordingStart);
    const int64_t startMillis =
        start ? chr::duration_cast<chr::milliseconds>(start->time_since_epoch()).count() : 0;
    const int64_t endMillis = startMillis + seconds * 1000;
    std::vector<TAxisTick> ticks;
    for (const int64_t step : kSteps) {
        if (seconds >= 3 * 3600 && step < 3600) continue;
        const int64_t stepMillis = step * 1000;
        // The first whole step at or after the start (floor division, for times before 1970).
        const int64_t below = startMillis / stepMillis - (startMillis % stepMillis < 0);
        int64_t first = below * stepMillis;
        if (first < startMillis) first += stepMillis;
        ticks.clear();
        for (int64_t at = first; at <= endMillis; at += stepMillis) {
            const int64_t elapsed = at - startMillis;
            const int64_t ofDay = (at % 86400000 + 86400000) % 86400000;
            ticks.push_back(
                {elapsed / 1000.0, start ? ClockLabel(ofDay) : "+" + ClockLabel(elapsed)});
        }
        if (static_cast<int>(ticks.size()) <= maxTicks) break;
    }
    return ticks;
}

std::string TickNumber(double value) {
    if (value == 0) return "0";
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value)) + 1e-9));
    if (exponent >= -3 && exponent <= 4) return CFormat("%g", value);
    const double mantissa = std::round(value / std::pow(10.0, exponent));
    return CFormat("%ge%d", mantissa, exponent);
}

std::vector<TAxisTick> SignedLogTicks(int lowCode, int highCode, double physScale, int maxTicks) {
    const double scale = physScale > 0 ? physScale : 1;
    const auto code = [scale](double physical) {
        return LogFloatEncode(physical * scale, results::kLogFloatY0, results::kLogFloatA);
    };
    const auto inside = [&](int c) { return c >= lowCode && c <= highCode; };
    // A decade tick closer to 0 than this many codes would crowd the 0 tick's label.
    const int nearZero = static_cast<int>(0.4 * std::log(10.0) / results::kLogFloatA);
    const auto collect = [&](int every, std::initializer_list<double> multiples) {
        std::vector<TAxisTick> ticks;
        if (inside(0)) ticks.push_back({0, "0"});
        for (int exponent = -40; exponent <= 40; ++exponent) {
            if (exponent % every != 0) continue;
            for (const double m : multiples) {
                const double value = m * std::pow(10.0, exponent);
                for (const double signedValue : {value, -value}) {
                    const int c = code(signedValue);
                    if (c != 0 && inside(c) && (std::abs(c) > nearZero || !inside(0)))
                        ticks.push_back({static_cast<double>(c), TickNumber(signedValue)});
                }
            }
        }
        std::sort(ticks.begin(), ticks.end(),
                  [](const TAxisTick& a, const TAxisTick& b) { return a.Position < b.Position; });
        return ticks;
    };
    std::vector<TAxisTick> ticks = collect(1, {1});
    for (int every = 2; static_cast<int>(ticks.size()) > maxTicks && every <= 6; ++every)
        ticks = collect(every, {1});
    if (ticks.size() < 3) ticks = collect(1, {1, 2, 5});
    return ticks;
}

}  // namespace vantrel
