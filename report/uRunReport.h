// The run record of a completed run, made from the engine's records at the moment the last
// smoothing call has returned: the input's file and header, the parameters and engine settings
// of the run, and the night's numbers read back from the results file.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"
#include "report/uHypnogram.h"
#include "report/uIsoTime.h"
#include "report/uRunRecord.h"

namespace vantrel {

// What the program knows of a run that the engine does not.
struct TRunCircumstances {
    std::vector<std::string> CommandLine;           // the arguments, program name first
    std::chrono::system_clock::time_point Started;  // when the program started the run
    double LP = 0, HP = 0;                          // Hz, as the parameter check read them
    std::optional<THypnogram> Hypnogram;            // the night's stages, when known
};

// The record, finished now (Finished, WallSeconds). Reads the input's header (its EDF+
// subsecond start included) and every second of the results file. Raises the library's or the
// reader's error when either cannot be read.
TRunRecord MakeRunRecord(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                         const TSUSSParameters& SP, const TRunCircumstances& circumstances);

// The clock time at which the recording starts: its header's start date and time, plus the
// subsecond start of its first time-keeping annotation when it is EDF+.
TClockTime RecordingStart(TEDFFile& recording);
std::string RecordingStartText(TEDFFile& recording);  // ISO 8601

// The night's hypnogram: the file named, else the recording's own EDF+ stage annotations when it
// has any, else nothing. Checks that it overlaps the recording (its records x their duration).
// Raises EHypnogramError with the file, the line and the reason.
std::optional<THypnogram> NightHypnogram(const std::string& recordingFileName,
                                         const std::string& namedFile, double epochSeconds);

// The statistics groups of a stage (kStageGroupNames order): its own bit, and NREM and sleep.
uint32_t StageGroups(TSleepStage stage);

}  // namespace vantrel
