// Results files for the stage tests: written directly with given codes (so that a test can
// state SU, SS and any other signal second by second), read back, and compared byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Recordings.h"
#include "ResultsFileWriter.h"
#include "analysis/uVantrel4.h"
#include "support/uMath.h"

namespace vantrel::testing {

using TScratchDir = vantrel_test::ScratchDir;
using vantrel_test::FileBytes;

// The value of a log-float code, as the results file holds them.
inline long double Decoded(int code) {
    return LogFloatDecode(static_cast<int32_t>(code), results::kLogFloatY0, results::kLogFloatA);
}

// Codes of some signals, second by second from 0; missing seconds and signals are 0.
using TSignalCodes = std::map<int, std::vector<int16_t>>;

// Writes a results file of `records` records of 14 signals x 1800 seconds, every signal
// "Filtered".
inline void WriteResultsFile(const std::string& path, const TSignalCodes& codes, int records = 1) {
    vantrel_test::WriteResultsFile(path, codes, records, vantrel_test::THeaders::Filtered);
}

// Every second of one signal.
inline std::vector<int16_t> ReadSignal(const std::string& path, int signal) {
    return vantrel_test::ResultSamples(path, signal);
}

// The analysis parameters of a stage test on a results file.
inline TAnalysisParam ResultsParams(const std::string& path, double rate = 0.01) {
    TAnalysisParam AP;
    AP.InputFileName = "input.edf";
    AP.OutputFileName = path;
    AP.F0 = 1;
    AP.B = 1.5;
    AP.Fc = 0.5;
    AP.SmootherRate = rate;
    return AP;
}

// MC_Smooth with the run's fixed arguments.
inline bool Smooth(const TAnalysisParam& AP, uint8_t option, long double piB) {
    return MC_Smooth(AP, option, XPiBPlus, XPiBMinus, XPiBZero, 7, 10.0, 2.0, 0.5, 1, piB);
}

}  // namespace vantrel::testing
