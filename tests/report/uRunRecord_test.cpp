// The run record: every key, written atomically, read back; and on every real recording the
// engine's run with the record made where the program makes it, before the final header fix.
#include "report/uRunRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "EDFTestFiles.h"
#include "SharedData.h"
#include "edf/uEDFTools.h"
#include "report/uRunReport.h"

namespace {

using namespace vantrel;
namespace fs = std::filesystem;

std::set<std::string> Keys(const nlohmann::json& object) {
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items())
        keys.insert(key);
    return keys;
}

TEST(RunRecord, HasEveryKeyAndReadsBack) {
    TRunRecord record;
    record.ProgramName = "vantrel4";
    record.ProgramVersion = "0.1";
    record.CommandLine = {"vantrel4",
                          "n\xC3\xA4"
                          "cht.edf",
                          "1"};
    record.Input.Label = "Imp\xE9";  // Latin-1: replaced, never a lost record
    record.Results.Seconds = 300;
    record.Results.PiB = 370.5695908334773;
    record.Results.Night.CleanSeconds = 290;
    record.Results.Night.MCMean = 8.25;
    vantrel_test::ScratchDir dir;
    const std::string name = dir.File("r.cvn.json");
    WriteRunRecord(record, name);

    std::ifstream in(name);
    const nlohmann::json json = nlohmann::json::parse(in);
    EXPECT_EQ(Keys(json),
              (std::set<std::string>{"format", "program", "command_line", "started", "finished",
                                     "wall_seconds", "input", "parameters", "results"}));
    EXPECT_EQ(
        Keys(json["input"]),
        (std::set<std::string>{"path", "bytes", "modified", "recording_start", "signal_number",
                               "label", "sample_frequency", "physical_dimension"}));
    EXPECT_EQ(
        Keys(json["parameters"]),
        (std::set<std::string>{"f0", "b", "fc", "rate", "lp", "hp", "undersampling_factor",
                               "computation_frequency", "due_filter", "xpib_plus", "xpib_minus",
                               "xpib_zero", "iir_backpolate", "event_threshold"}));
    EXPECT_EQ(Keys(json["results"]), (std::set<std::string>{"path",
                                                            "seconds",
                                                            "phys_scale",
                                                            "pib_code",
                                                            "pib",
                                                            "clean_seconds",
                                                            "hf_seconds",
                                                            "lf_seconds",
                                                            "missing_seconds",
                                                            "artifact_fraction",
                                                            "mc_mean",
                                                            "mc_median",
                                                            "mc_p10",
                                                            "mc_p90",
                                                            "su_median",
                                                            "ss_median",
                                                            "mc_events",
                                                            "mc_events_per_hour",
                                                            "mc_jump_runs",
                                                            "mc_jump_runs_per_hour"}));
    EXPECT_EQ(json["format"], "vantrel-run/1");
    EXPECT_TRUE(json["results"]["mc_median"].is_null());

    const TRunRecord again = ReadRunRecord(name);
    EXPECT_EQ(again.CommandLine, record.CommandLine);
    EXPECT_EQ(again.Results.PiB, record.Results.PiB);  // full precision
    EXPECT_EQ(again.Results.Night.MCMean, record.Results.Night.MCMean);
    EXPECT_FALSE(again.Results.Night.MCMedian.has_value());
}

// A record that cannot be written says which and why, and leaves nothing half written.
TEST(RunRecord, AFailedWriteNamesTheFileAndLeavesNothing) {
    vantrel_test::ScratchDir dir;
    const std::string missing = dir.File("no/r.cvn.json");
    const std::string directory = dir.File("d.cvn.json");
    fs::create_directory(directory);
    for (const auto& [name, reason] : {std::pair{missing, "No such file or directory"},
                                       std::pair{directory, "Is a directory"}}) {
        try {
            WriteRunRecord(TRunRecord{}, name);
            ADD_FAILURE() << name;
        } catch (const ERunRecordError& e) {
            EXPECT_EQ(e.Message(), "Cannot write the run record \"" + name + "\": " + reason);
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("")), fs::directory_iterator()), 1);
}

// Each real recording (its first EEG signal of at least 100 Hz): when the program writes the
// record the results file is not yet complete, and the record's seconds are those the SU/SS
// stage wrote.
TEST(RunRecord, EveryRealRecordingGetsARecordOfTheSecondsItsStageWrote) {
    VANTREL_NEED_SHARED_DATA();
    vantrel_test::ScratchDir dir;
    for (const fs::path& recording : vantrel_test::SharedRecordings()) {
        SCOPED_TRACE(recording.filename().string());
        TEDFFile input;
        OpenForReading(input, recording.string());
        const double duration = static_cast<double>(input.FileInfo().RecordDuration());
        int32_t signal = -1;
        for (int32_t k = input.SignalCount() - 1; k >= 0; --k) {
            const TCustomEDFSignalInfo& s = input.Signal(k);
            if (s.IsAnnotation() || s.SamplesPerRecord() < 100 * duration) continue;
            if (signal < 0 || s.Label().find("EEG") != std::string::npos) signal = k;
        }
        ASSERT_GE(signal, 0);
        const double fs = input.Signal(signal).SamplesPerRecord() / duration;
        int32_t factor = 0;
        ASSERT_EQ(ValidateAnalysisParameters(factor, true, nullptr, fs, 0.3, fs / 2, 1, 1.5, 1.8,
                                             0.01666),
                  0);
        const std::string results = dir.File(recording.stem().string() + ".cvn");
        int64_t written = -1;
        TProgressList lines;
        RunContext().BeforeFinalHeaderFix =
            [&](const TAnalysisParam& AP, const TInputSignalChar& ISC, const TSUSSParameters& SP) {
                EXPECT_FALSE(TResultsReader(AP.OutputFileName).Complete());
                const TRunRecord record = MakeRunRecord(AP, ISC, SP, {});
                WriteRunRecord(record, RunRecordFileName(AP.OutputFileName));
                written = SP.SecondsWritten;
            };
        const bool completed = RunAnalysis(recording.string(), signal, results, 1, 1.5, 1.8,
                                           0.01666, factor, true, false, false, &lines);
        RunContext().BeforeFinalHeaderFix = nullptr;
        ASSERT_TRUE(completed);
        EXPECT_TRUE(TResultsReader(results).Complete());
        const TRunRecord record = ReadRunRecord(RunRecordFileName(results));
        EXPECT_GT(written, 0);
        EXPECT_EQ(record.Results.Seconds, written);
        EXPECT_EQ(record.Input.SignalNumber, signal + 1);
        EXPECT_EQ(record.Results.Night.Seconds, written);
    }
}

}  // namespace
