// The numbers a researcher reads beside a results file, through the real vantrel4: the run
// record of every completed run, --export and --summary.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "BatchProcess.h"
#include "report/uResultsReader.h"
#include "report/uRunRecord.h"

namespace vantrel_test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Args(const std::string& results, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"in.edf", "1",   results,   "1",
                                     "1.5",    "1.8", "0.01666", "/BATCH"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, separator);)
        cells.push_back(cell);
    return cells;
}

class Vantrel4Numbers : public TRunFolderSuite {
  protected:
    static void SetUpTestSuite() {
        MakeFolder("vantrel-numbers");
        MakeRecording("in.edf", "--duration=1h");
        ASSERT_EQ(Run(Args("night.cvn")).ExitCode, 0);
    }
    static bool Complete(const std::string& results) {
        return vantrel::TResultsReader((dir_ / results).string()).Complete();
    }
};

TEST_F(Vantrel4Numbers, ACompletedRunHasItsRecord) {
    const vantrel::TRunRecord record = vantrel::ReadRunRecord((dir_ / "night.cvn.json").string());
    EXPECT_EQ(record.Input.Path, "in.edf");
    EXPECT_EQ(record.Input.RecordingStart, "2026-01-01T23:00:00");
    EXPECT_EQ(record.Results.Path, (dir_ / "night.cvn").string());
    EXPECT_EQ(record.Results.Seconds, 3599);  // 25.6 Hz closes 3599 whole seconds in an hour
    EXPECT_EQ(record.Parameters.UndersamplingFactor, 10);
    EXPECT_EQ(record.Parameters.EventThreshold, 33);  // round(2 x 0.01666 x 100 x 10)
    EXPECT_GT(record.Results.Night.CleanSeconds, 0);
}

// A record that cannot be written fails the run: the reason is the log's last line and the
// results file is never complete without its record.
TEST_F(Vantrel4Numbers, ARecordThatCannotBeWrittenFailsTheRun) {
    fs::create_directory(dir_ / "blocked.cvn.json");
    const BatchRun run = Run(Args("blocked.cvn"));
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_EQ(Lines(ReadBytes(dir_ / "blocked.log")).back(),
              "Cannot write the run record \"" + (dir_ / "blocked.cvn.json").string() +
                  "\": Is a directory");
    EXPECT_FALSE(Complete("blocked.cvn"));
}

// /OVERWRITE deletes a stale record with the earlier results, once the run is sure to start:
// a rerun that then fails leaves no record that describes other results.
TEST_F(Vantrel4Numbers, OverwriteRemovesAStaleRecord) {
    ASSERT_EQ(Run(Args("stale.cvn")).ExitCode, 0);
    const BatchRun run = Run({"in.edf", "1", "stale.cvn", "1", "1.5", "1.8", "0", "/BATCH",
                              "/OVERWRITE"});  // rate 0 passes the check, fails in smoothing
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_FALSE(fs::exists(dir_ / "stale.cvn.json"));
}

// Every exported value reads back as the value decoded from the results file.
TEST_F(Vantrel4Numbers, ExportRoundTrip) {
    for (const char* out : {"night.csv", "night.tsv"}) {
        SCOPED_TRACE(out);
        ASSERT_EQ(Run({"--export", "night.cvn", out}).ExitCode, 0);
        const char separator = std::string(out).ends_with(".csv") ? ',' : '\t';
        const std::vector<std::string> rows = Lines(ReadBytes(dir_ / out));
        ASSERT_EQ(rows.size(), 1u + 3599);
        EXPECT_EQ(Split(rows[0], separator).size(), 17u);
        EXPECT_EQ(Split(rows[1], separator)[1], "2026-01-01T23:00:00");
        EXPECT_EQ(Split(rows[3599], separator)[1], "2026-01-01T23:59:58");
        const vantrel::TRunRecord record =
            vantrel::ReadRunRecord((dir_ / "night.cvn.json").string());
        vantrel::TResultsReader reader((dir_ / "night.cvn").string());
        for (int64_t t = 0; t < 3599; t += 97) {
            const std::vector<std::string> cells = Split(rows[t + 1], separator);
            const vantrel::TResultsSecond& second = reader.At(t);
            for (int signal = 0; signal < 8; ++signal)
                EXPECT_EQ(
                    std::strtod(cells[2 + signal].c_str(), nullptr),
                    vantrel::DecodeLogFloatCode(second.Codes[signal], record.Results.PhysScale))
                    << t << " " << signal;
            EXPECT_EQ(std::strtod(cells[13].c_str(), nullptr),
                      second.Codes[vantrel::results::kMC] / 10.0);
        }
    }
}

TEST_F(Vantrel4Numbers, ExportAndSummaryRefuseWhatTheyCannotRead) {
    ASSERT_EQ(Run(Args("norecord.cvn")).ExitCode, 0);
    fs::remove(dir_ / "norecord.cvn.json");
    ASSERT_EQ(Run({"in.edf", "1", "cut.cvn", "1", "1.5", "1.8", "0", "/BATCH"}).ExitCode, 2);
    const struct {
        std::vector<std::string> Args;
        int ExitCode;
        std::string Message;
    } cases[] = {
        {{"--export", "norecord.cvn"},
         2,
         "vantrel4: No run record beside norecord.cvn; analyse the recording again to make one"},
        {{"--export", "cut.cvn"},
         2,
         "vantrel4: The results file cut.cvn is incomplete: its run did not finish; analyse the "
         "recording again"},
        {{"--summary", "night.cvn", "norecord.cvn"},
         2,
         "vantrel4: No run record beside norecord.cvn; analyse the recording again to make one"},
        {{"--export", "night.cvn", "/dev/full"}, 3, "vantrel4: cannot write /dev/full: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args[0] + " " + c.Args[1]);
        const BatchRun run = Run(c.Args);
        EXPECT_EQ(run.ExitCode, c.ExitCode);
        EXPECT_EQ(Lines(run.Stderr).back().rfind(c.Message, 0), 0u) << run.Stderr;
    }
}

// Stages choose the seconds of the statistics, nothing else: the results file is byte for byte
// the same with a hypnogram, the record and the summary gain the stages, and a hypnogram that
// cannot be used refuses the run before anything is touched.
TEST_F(Vantrel4Numbers, AHypnogramAddsStagesAndChangesNoResult) {
    WriteBytes(dir_ / "night.tsv",
               "onset\tduration\tstage\n0\t600\tW\n600\t1800\tN2\n2400\t600\tR\n");
    ASSERT_EQ(Run(Args("staged.cvn", {"/HYPNOGRAM:night.tsv"})).ExitCode, 0);
    EXPECT_TRUE(ReadBytes(dir_ / "staged.cvn") == ReadBytes(dir_ / "night.cvn"));
    const vantrel::TRunRecord record = vantrel::ReadRunRecord((dir_ / "staged.cvn.json").string());
    ASSERT_TRUE(record.Hypnogram);
    EXPECT_EQ(record.Hypnogram->Format, "tsv");
    EXPECT_EQ(record.Hypnogram->SecondsScored, 3000);
    ASSERT_EQ(record.Stages.size(), 8u);
    EXPECT_EQ(record.Stages[2].Seconds, 1800);          // N2
    EXPECT_EQ(record.Stages[6].Seconds, 1800);          // NREM
    EXPECT_EQ(record.Stages[7].Seconds, 2400);          // sleep
    EXPECT_EQ(record.Stages[5].Seconds, 599);           // unscored: the last 599 seconds
    EXPECT_FALSE(record.Stages[3].MCMean.has_value());  // no N3 this night

    BatchOptions toFile;
    toFile.WorkDir = dir_;
    toFile.Stdout = dir_ / "summary.csv";
    ASSERT_EQ(RunBatch({"--summary", "staged.cvn", "night.cvn"}, toFile).ExitCode, 0);
    const std::vector<std::string> rows = Lines(ReadBytes(dir_ / "summary.csv"));
    ASSERT_EQ(rows.size(), 3u);
    const std::vector<std::string> header = Split(rows[0], ','), staged = Split(rows[1], ',');
    ASSERT_EQ(header.size(), 31u);
    EXPECT_EQ(header[19], "minutes_N2");
    EXPECT_EQ(staged[19], "30");
    EXPECT_EQ(staged[21], "10");                                      // minutes_REM
    EXPECT_TRUE(rows[2].ends_with(std::string(14, ','))) << rows[2];  // no stages: empty

    const std::string before = ReadBytes(dir_ / "staged.cvn");
    WriteBytes(dir_ / "bad.txt", "W\nN2\nsleepy\n");
    const BatchRun refused = Run(Args("staged.cvn", {"/OVERWRITE", "--hypnogram=bad.txt"}));
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_EQ(Lines(refused.Stderr).back(),
              "The hypnogram bad.txt, line 3: \"sleepy\" is no sleep stage name");
    EXPECT_EQ(ReadBytes(dir_ / "staged.cvn"), before);
    EXPECT_TRUE(fs::exists(dir_ / "staged.cvn.json"));
}

}  // namespace
}  // namespace vantrel_test
