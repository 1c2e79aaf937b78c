// Sleep stages: a hypnogram read in one of three formats, recognised by content, and the stage
// of every second of a night by clock time. Stages only choose which seconds the statistics use;
// the analysis itself never sees them.
//
// Formats:
//   1. EDF+ whose "EDF Annotations" signal holds stage annotations ("Sleep stage W", "N2", ...);
//      other annotations (lights, arousals) are skipped, "Lights off" and "Lights on" noted.
//      Annotation-only files (record duration 0, no ordinary signal) are read too. Onsets count
//      from the file's own start (header start plus its subsecond start).
//   2. Tab-separated text with a header line naming "onset" and "duration" (seconds from the
//      recording's start) and a stage column: "stage", else "description" or "trial_type"; in
//      the latter two, texts that are no stage name are skipped.
//   3. Plain text: one stage a line, one line an epoch (30 s unless told) from the recording's
//      start.
// Stage names, case-insensitive and trimmed, optionally after "Sleep stage ": W, Wake, 0 -> W;
// 1, N1, S1 -> N1; 2, N2, S2 -> N2; 3, 4, N3, N4, S3, S4 -> N3; R, REM, 5 -> REM;
// ?, Movement time, MT, unscored, unknown -> unscored.
//
// Example:
//   const THypnogram hypnogram = ReadHypnogram("night.tsv");
//   const TStagedNight night = StageSeconds(hypnogram, recordingStart, seconds);
//   ... night.Seconds[t] is the stage of second t ...
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report/uIsoTime.h"
#include "support/uExceptions.h"

namespace vantrel {

// A hypnogram that cannot be used: the message names the file, the line (or annotation) and the
// reason.
class EHypnogramError : public Exception {
  public:
    using Exception::Exception;
};

enum class TSleepStage : uint8_t { W, N1, N2, N3, REM, Unscored };
inline constexpr int kSleepStageCount = 6;

// "W", "N1", "N2", "N3", "REM", "unscored".
const char* StageName(TSleepStage stage);
// The stage a name stands for (see above); nothing when the text is no stage name.
std::optional<TSleepStage> ParseStageName(const std::string& text);

enum class THypnogramFormat { EDFPlus, Tsv, Text };
// "edf+", "tsv", "text".
const char* FormatName(THypnogramFormat format);

// One stage from Onset for Duration seconds: [Onset, Onset + Duration).
struct TStageSpan {
    long double Onset = 0;     // s, from the hypnogram's start
    long double Duration = 0;  // s, > 0
    TSleepStage Stage = TSleepStage::Unscored;
};

struct THypnogram {
    std::string Path;
    THypnogramFormat Format = THypnogramFormat::Text;
    // When onset 0 is: the EDF+ file's own start (header start plus subsecond start). The text
    // formats count from the recording's start: none.
    std::optional<TClockTime> Start;
    std::vector<TStageSpan> Spans;    // stage spans in file order, zero durations left out
    std::optional<double> LightsOff;  // s from the hypnogram's start, when annotated
    std::optional<double> LightsOn;
};

// Reads a hypnogram file; epochSeconds is the epoch of the plain-text format. Raises
// EHypnogramError for a file that cannot be read, is empty, names a stage that is no stage name
// where one is required, or has a negative or non-numeric onset or duration.
THypnogram ReadHypnogram(const std::string& fileName, double epochSeconds = 30);

// The stage of each second of a night.
struct TStagedNight {
    std::vector<TSleepStage> Seconds;  // second t: the span covering recording start + t + 0.5 s
    int64_t SecondsScored = 0;         // seconds with a stage other than unscored
    std::optional<double> LightsOff;   // s from the recording's start
    std::optional<double> LightsOn;
};

// Places the hypnogram on the night's clock: second t of the night (starting at
// recordingStart) gets the stage of the span that covers recordingStart + t + 0.5 s; where
// spans overlap the one starting later wins, at equal onsets the later one in the file; seconds
// no span covers are unscored. Raises EHypnogramError, with both time ranges, when the
// hypnogram does not overlap the night at all.
TStagedNight StageSeconds(const THypnogram& hypnogram, TClockTime recordingStart, int64_t seconds);

}  // namespace vantrel
