#include "report/uNightStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vantrel {

namespace {

// The seconds of one set, as they come.
class TAccumulator {
  public:
    void Add(const TResultsSecond& second, bool eventStarts, bool jumpRunStarts) {
        const auto& c = second.Codes;
        ++FSeconds;
        const bool hf = c[results::kHFArtifact] > 0;
        const bool lf = c[results::kLFArtifact] > 0;
        const bool missing = c[results::kMissingSignal] > 0;
        FHF += hf;
        FLF += lf;
        FMissing += missing;
        if (hf || lf || missing) return;
        FMC.push_back(c[results::kMC]);
        FSU.push_back(c[results::kSU]);
        FSS.push_back(c[results::kSS]);
        FMCSum += c[results::kMC];
        FEvents += eventStarts;
        FJumpRuns += jumpRunStarts;
    }

    TNightStatistics Result(const TStatisticsScales& scales,
                            const TResultsReader::TLinearScale& mcScale) {
        TNightStatistics s;
        s.Seconds = FSeconds;
        s.CleanSeconds = static_cast<int64_t>(FMC.size());
        s.HFSeconds = FHF;
        s.LFSeconds = FLF;
        s.MissingSeconds = FMissing;
        s.MCEvents = FEvents;
        s.MCJumpRuns = FJumpRuns;
        if (FSeconds > 0) s.ArtifactFraction = 1 - static_cast<double>(s.CleanSeconds) / FSeconds;
        if (s.CleanSeconds == 0) return s;
        const auto mc = [&mcScale](int16_t code) { return mcScale.Value(code); };
        const auto decoded = [&scales](int16_t code) {
            return DecodeLogFloatCode(code, scales.PhysScale);
        };
        s.MCMean = mcScale.Value(FMCSum) / s.CleanSeconds;
        s.MCMedian = Percentile(FMC, 50, mc);
        s.MCP10 = Percentile(FMC, 10, mc);
        s.MCP90 = Percentile(FMC, 90, mc);
        s.SUMedian = Finite(Percentile(FSU, 50, decoded));
        s.SSMedian = Finite(Percentile(FSS, 50, decoded));
        const double cleanHours = s.CleanSeconds / 3600.0;
        s.MCEventsPerHour = s.MCEvents / cleanHours;
        s.MCJumpRunsPerHour = s.MCJumpRuns / cleanHours;
        return s;
    }

  private:
    static std::optional<double> Finite(double value) {
        return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    }

    // The p-th percentile of the values of the codes; the codes sort as their values do.
    template <typename Value>
    static double Percentile(std::vector<int16_t>& codes, double p, Value value) {
        const double rank = (codes.size() - 1) * p / 100;
        const auto low = static_cast<size_t>(std::floor(rank));
        const size_t high = std::min(low + 1, codes.size() - 1);
        std::nth_element(codes.begin(), codes.begin() + low, codes.end());
        const int16_t lowCode = codes[low];
        const int16_t highCode =
            high == low ? lowCode : *std::min_element(codes.begin() + low + 1, codes.end());
        const double x = value(lowCode);
        const double fraction = rank - low;
        return fraction == 0 ? x : x + (value(highCode) - x) * fraction;
    }

    int64_t FSeconds = 0, FHF = 0, FLF = 0, FMissing = 0, FEvents = 0, FJumpRuns = 0;
    int64_t FMCSum = 0;
    std::vector<int16_t> FMC, FSU, FSS;
};

}  // namespace

TStatisticsSet ComputeStatistics(TResultsReader& reader, int64_t seconds,
                                 const TStatisticsScales& scales, int groupCount,
                                 const std::function<uint32_t(int64_t)>& groupsOf) {
    TAccumulator night;
    std::vector<TAccumulator> groups(static_cast<size_t>(std::max(groupCount, 0)));
    bool inEvent = false, inJumpRun = false;
    for (int64_t t = 0; t < seconds; ++t) {
        const TResultsSecond& second = reader.At(t);
        const bool event =
            std::abs(int64_t{second.Codes[results::kMCEvent]}) > scales.EventThreshold;
        const bool jump = std::abs(int{second.Codes[results::kMCJump]}) >= kMCJumpRunLimit;
        const bool eventStarts = event && !inEvent;
        const bool jumpRunStarts = jump && !inJumpRun;
        inEvent = event;
        inJumpRun = jump;
        night.Add(second, eventStarts, jumpRunStarts);
        if (!groupsOf) continue;
        const uint32_t member = groupsOf(t);
        for (int g = 0; g < groupCount; ++g)
            if (member & (uint32_t{1} << g)) groups[g].Add(second, eventStarts, jumpRunStarts);
    }
    const TResultsReader::TLinearScale mcScale = reader.LinearScale(results::kMC);
    TStatisticsSet set;
    set.Night = night.Result(scales, mcScale);
    for (TAccumulator& group : groups)
        set.Groups.push_back(group.Result(scales, mcScale));
    return set;
}

}  // namespace vantrel
