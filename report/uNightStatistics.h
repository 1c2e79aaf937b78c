// The statistics of one night, or of a part of it (a sleep stage), from a results file. Every
// quantity is defined over the seconds t = 0 .. seconds - 1 of the file, one value a second:
//   - a second is an artifact second when HF artifact, LF artifact or Missing signal is above 0
//     there, otherwise it is clean;
//   - MC (%), SU and SS are taken over the clean seconds only; percentiles interpolate linearly
//     between closest ranks (for sorted x[0 .. n-1] the p-th lies at rank (n - 1) p / 100);
//   - an MC event is a maximal run of seconds whose digital MC-Event value d has
//     |d| > EventThreshold; an MC-Jump run a maximal run with digital |MC-Jump| >= 500 (50 %);
//     a run counts, in the part of the night its first second belongs to, when that second is
//     clean; rates are per hour of clean seconds;
//   - a value that cannot be computed (no clean second) is missing, never a failure.
// Codes are kept, not values: the int16 codes sort as their values do, which keeps a night of
// medians within a few hundred kilobytes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "report/uResultsReader.h"

namespace vantrel {

struct TNightStatistics {
    int64_t Seconds = 0;                       // seconds counted
    int64_t CleanSeconds = 0;                  // of them without any artifact
    int64_t HFSeconds = 0;                     // with HF artifact > 0
    int64_t LFSeconds = 0;                     // with LF artifact > 0
    int64_t MissingSeconds = 0;                // with Missing signal > 0
    std::optional<double> ArtifactFraction;    // 1 - CleanSeconds / Seconds
    std::optional<double> MCMean, MCMedian;    // %, over clean seconds
    std::optional<double> MCP10, MCP90;        // %, 10th and 90th percentile
    std::optional<double> SUMedian, SSMedian;  // the input's unit squared
    int64_t MCEvents = 0;                      // MC events starting in a clean second
    std::optional<double> MCEventsPerHour;     // per hour of clean seconds
    int64_t MCJumpRuns = 0;                    // MC-Jump runs starting in a clean second
    std::optional<double> MCJumpRunsPerHour;   // per hour of clean seconds
};

// What turns codes into the statistics' units.
struct TStatisticsScales {
    double PhysScale = 0;        // the run's PhysScale: SU and SS codes decode to value x it
    int64_t EventThreshold = 0;  // the smoothing stage's EventThreshold, digital MC-Event units
};

// The digital MC-Jump value from which a second belongs to an MC-Jump run: 50 %.
inline constexpr int kMCJumpRunLimit = 500;

// The night as a whole and the groups of seconds (stages, say) named for each second.
struct TStatisticsSet {
    TNightStatistics Night;
    std::vector<TNightStatistics> Groups;  // groupCount entries
};

// Reads seconds 0 .. seconds - 1 once, in order. groupsOf(t), when given, names the groups
// second t belongs to as bits 0 .. groupCount - 1. Raises the reader's error.
TStatisticsSet ComputeStatistics(TResultsReader& reader, int64_t seconds,
                                 const TStatisticsScales& scales, int groupCount = 0,
                                 const std::function<uint32_t(int64_t)>& groupsOf = {});

}  // namespace vantrel
