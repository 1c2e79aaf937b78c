// The run record of a completed run, made from the engine's records at the moment the last
// smoothing call has returned: the input's file and header, the parameters and engine settings
// of the run, and the night's numbers read back from the results file.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"
#include "report/uRunRecord.h"

namespace vantrel {

// What the program knows of a run that the engine does not.
struct TRunCircumstances {
    std::vector<std::string> CommandLine;           // the arguments, program name first
    std::chrono::system_clock::time_point Started;  // when the program started the run
    double LP = 0, HP = 0;                          // Hz, as the parameter check read them
};

// The record, finished now (Finished, WallSeconds). Reads the input's header (its EDF+
// subsecond start included) and every second of the results file. Raises the library's or the
// reader's error when either cannot be read.
TRunRecord MakeRunRecord(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                         const TSUSSParameters& SP, const TRunCircumstances& circumstances);

// The clock time at which the recording starts: its header's start date and time, plus the
// subsecond start of its first time-keeping annotation when it is EDF+; ISO 8601.
std::string RecordingStartText(TEDFFile& recording);

}  // namespace vantrel
