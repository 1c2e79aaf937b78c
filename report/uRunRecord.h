// The run record: "<results file>.json", written by every run that completes, batch or not,
// after the last smoothing call and before the final header fix, so that a results file that
// reads "Filtered" always has one. It keeps what makes the results file readable (its seconds,
// PhysScale, the piB code), what made it (program, command line, input, parameters) and the
// night's numbers. Patient texts stay out of it.
//
// Example:
//   TRunRecord record = ...;
//   WriteRunRecord(record, RunRecordFileName(results));   // atomically: never half a record
//   const TRunRecord again = ReadRunRecord(RunRecordFileName(results));
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report/uNightStatistics.h"
#include "support/uExceptions.h"

namespace vantrel {

// A record that cannot be written or read; the message names the file and the reason.
class ERunRecordError : public Exception {
  public:
    using Exception::Exception;
};

inline constexpr const char* kRunRecordFormat = "vantrel-run/1";

// The analysed recording.
struct TRunInput {
    std::string Path;               // as the run named it
    uint64_t Bytes = 0;             // its size
    std::string Modified;           // its modification time, UTC ISO 8601
    std::string RecordingStart;     // header start date and time, with the EDF+ subsecond start
    int32_t SignalNumber = 0;       // 1 = first
    std::string Label;              // of that signal, trimmed
    double SampleFrequency = 0;     // Hz
    std::string PhysicalDimension;  // its unit, trimmed
};

// The analysis parameters and engine settings of the run.
struct TRunParameters {
    double F0 = 0, B = 0, Fc = 0;  // Hz
    double Rate = 0;               // 1/s, the smoother rate
    double LP = 0, HP = 0;         // Hz, as checked
    int32_t UndersamplingFactor = 0;
    double ComputationFrequency = 0;  // Hz
    std::string DueFilter;            // DUE, DUE1987 or DUE2007
    int32_t XPiBPlus = 0, XPiBMinus = 0, XPiBZero = 0;
    double IIRBackpolate = 0;
    int64_t EventThreshold = 0;  // the smoothing stage's EventThreshold, digital MC-Event units
};

// The results file and the night's numbers.
struct TRunResults {
    std::string Path;
    int64_t Seconds = 0;  // computed from the input; the padding of the last record not counted
    double PhysScale = 0;
    int32_t PiBCode = 0;
    double PiB = 0;  // the decoded piB code / PhysScale; 0 when PhysScale is 0
    TNightStatistics Night;
};

// The hypnogram a run's stages came from.
struct TRunHypnogram {
    std::string Path;
    std::string Format;         // "edf+", "tsv" or "text"
    std::string Start;          // ISO 8601 clock time of its onset 0; the recording's for text
    int64_t Spans = 0;          // stage spans read
    int64_t SecondsScored = 0;  // recording seconds with a stage other than unscored
    std::optional<double> LightsOff, LightsOn;  // s from the recording's start
};

// The stage names and groups of the record's "stages", in order.
inline constexpr const char* kStageGroupNames[] = {"W",   "N1",       "N2",   "N3",
                                                   "REM", "unscored", "NREM", "sleep"};
inline constexpr int kStageGroupCount = 8;

struct TRunRecord {
    std::string Format = kRunRecordFormat;
    std::string ProgramName, ProgramVersion;
    std::vector<std::string> CommandLine;
    std::string Started, Finished;  // UTC, ISO 8601
    double WallSeconds = 0;
    TRunInput Input;
    TRunParameters Parameters;
    TRunResults Results;
    // With a hypnogram: where the stages came from, and the statistics of each stage and group
    // (kStageGroupNames order; Seconds 0 and missing values for a stage the night lacks).
    std::optional<TRunHypnogram> Hypnogram;
    std::vector<TNightStatistics> Stages;
};

// "<results file>.json".
std::string RunRecordFileName(const std::string& resultsFileName);

// The record as JSON text (missing values as null).
std::string RunRecordJson(const TRunRecord& record);
// Writes the record to a temporary file beside `fileName` and renames it into place, so that no
// reader ever sees half a record. Raises ERunRecordError naming the file and the reason.
void WriteRunRecord(const TRunRecord& record, const std::string& fileName);
// Reads a record. Raises ERunRecordError when the file cannot be read, is no JSON or is not a
// record of this format.
TRunRecord ReadRunRecord(const std::string& fileName);

}  // namespace vantrel
