// Signals named by label and the check before a run, through the real vantrel4 and
// tools/cohort-run: a label chooses the signal of a run; `vantrel4 --check` writes nothing and
// fails a run exactly where and why the run fails; a cohort's check lists every problem of its
// LIST.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "BatchProcess.h"
#include "EDFTestFiles.h"
#include "report/uRunRecord.h"

namespace vantrel_test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Args(const std::string& input, const std::string& signal,
                              const std::string& results, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {input, signal, results,   "1",
                                     "1.5", "1.8",  "0.01666", "/BATCH"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

class Vantrel4Check : public TRunFolderSuite {
  protected:
    // in.edf: signals "EEG C3-A2", "EEG C4-A1" and "EOG left" of 256 Hz for 10 minutes; the
    // others are made from it or written byte by byte.
    static void SetUpTestSuite() {
        MakeFolder("vantrel-check");
        MakeRecording("in.edf", "--duration=10m --signals=3");
        MakeRecording("slow.edf", "--duration=10m --rate=10");
        std::string dup = ReadBytes(File("in.edf")), fewer = dup;
        dup.replace(256 + 2 * 16, 16, Padded("EEG C4-A1", 16));  // signal 3 labelled as 2
        fewer.replace(236, 8, Padded("700", 8));                 // 600 records in the file
        WriteBytes(File("dup.edf"), dup);
        WriteBytes(File("fewer.edf"), fewer);
        WriteBytes(File("gaps.edf"), DiscontinuousRecording({"0", "1", "5", "6"}));
        WriteBytes(File("plus.edf"), DiscontinuousRecording({"0", "1", "2", "3"}));
        WriteBytes(File("bad.txt"), "W\nN2\nsleepy\n");
    }
    static std::string File(const std::string& name) { return (dir_ / name).string(); }
    static BatchRun Run(const std::vector<std::string>& args, const std::string& out = "") {
        BatchOptions options;
        if (!out.empty()) options.Stdout = dir_ / out;
        return TRunFolderSuite::Run(args, options);
    }
    // `vantrel4 ARGS --check` (cohort-run puts it first; anywhere takes it out): its exit code
    // and its one line on standard output.
    static std::pair<int, std::string> Check(std::vector<std::string> args) {
        args.push_back("--check");
        const BatchRun run = Run(args, "verdict.txt");
        const std::string verdict = ReadBytes(File("verdict.txt"));
        fs::remove(dir_ / "verdict.txt");
        return {run.ExitCode, verdict};
    }
};

TEST_F(Vantrel4Check, ALabelChoosesTheSignalOfARun) {
    const BatchRun run = Run(Args("in.edf", "C4-M1|eeg c4-a1", "label.cvn"));
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    EXPECT_EQ(Lines(ReadBytes(dir_ / "label.log"))[2], "Signal# 2 (EEG C4-A1)");
    const vantrel::TRunRecord record = vantrel::ReadRunRecord(File("label.cvn.json"));
    EXPECT_EQ(record.Input.SignalNumber, 2);
    EXPECT_EQ(record.Input.Label, "EEG C4-A1");
}

// Each case is checked, then run: the check writes nothing, and a run that the check calls
// failed ends with the check's reason as its log's last line, refused before anything is
// written; one it calls ok or warning completes.
TEST_F(Vantrel4Check, ACheckWritesNothingAndFailsARunWhereTheRunFails) {
    const int held = open(File("held.cvn.lock").c_str(), O_RDONLY | O_CREAT, 0644);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);  // another run writes held.cvn
    WriteBytes(File("exists.cvn"), "yesterday");
    const std::string threeLabels = "the labels are: EEG C3-A2, EEG C4-A1, EOG left";
    const struct {
        const char* Case;
        std::vector<std::string> Args;
        std::string Verdict;  // status, signal, label, reason; "" for the reason: any
    } cases[] = {
        {"ok by label", Args("in.edf", "EEG C4-A1", "ok.cvn"), "ok\t2\tEEG C4-A1\t"},
        {"no label matches", Args("in.edf", "C5|C6", "none.cvn"),
         "failed\t\t\tNo signal labelled C5|C6; " + threeLabels},
        {"several labels match", Args("dup.edf", "EEG C4-A1", "dup.cvn"),
         "failed\t\t\tSeveral signals labelled EEG C4-A1: 2, 3"},
        {"annotation signal", Args("plus.edf", "2", "plus.cvn"),
         "failed\t2\tEDF Annotations\tSignal 2 is an EDF+ annotation signal"},
        {"gaps", Args("gaps.edf", "1", "gaps.cvn"),
         "failed\t1\tEEG C3-A2\tThe recording has gaps: record 2 starts at 5 s, 2 s expected "
         "(EDF+D)"},
        {"lock held", Args("in.edf", "1", "held.cvn"),
         "failed\t1\tEEG C3-A2\tThe results file is in use by another run: " + File("held.cvn")},
        {"results exist", Args("in.edf", "1", "exists.cvn"),
         "failed\t1\tEEG C3-A2\tOutput file already exists!"},
        {"parameters that do not suit the rate", Args("slow.edf", "1", "slow.cvn"),
         "failed\t1\tEEG C3-A2\tSignal 1 (EEG C3-A2, 10 Hz, LP 35 Hz, HP 0.5 Hz): 0 <= LP <= "
         "Fsample"},
        {"no such signal", Args("in.edf", "7", "seven.cvn"),
         "failed\t7\t\tSignal 7 does not exist: the recording has 3 signals"},
        {"missing input", Args("missing.edf", "1", "missing.cvn"),
         "failed\t1\t\tThe file \"missing.edf\" does not exist"},
        {"hypnogram that cannot be read", Args("in.edf", "1", "hyp.cvn", {"/HYPNOGRAM:bad.txt"}),
         "failed\t1\tEEG C3-A2\tThe hypnogram bad.txt, line 3: \"sleepy\" is no sleep stage name"},
        {"fewer records than the header says", Args("fewer.edf", "1", "fewer.cvn"),
         "warning\t1\tEEG C3-A2\tRead leniently; a strict reader refuses it: strict: the file has "
         "922624 bytes, the header's 700 records need 1076224; The file holds 600 complete "
         "data records; its header says 700"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        const std::set<std::string> before = Listing(dir_);
        const auto [exitCode, verdict] = Check(c.Args);
        EXPECT_EQ(verdict, c.Verdict + "\n");
        EXPECT_EQ(exitCode, c.Verdict.rfind("failed", 0) == 0 ? 2 : 0);
        EXPECT_EQ(Listing(dir_), before);  // no log, no lock file, no results

        const BatchRun run = Run(c.Args);
        const std::string log = fs::path(c.Args[2]).replace_extension(".log").string();
        if (c.Verdict.rfind("failed", 0) == 0) {
            EXPECT_EQ(run.ExitCode, 2);
            EXPECT_EQ(c.Verdict.substr(c.Verdict.rfind('\t') + 1),
                      Lines(ReadBytes(dir_ / log)).back());
            EXPECT_FALSE(fs::exists(dir_ / (c.Args[2] + ".json")));
        } else {
            EXPECT_EQ(run.ExitCode, 0) << run.Stderr;
        }
    }
    EXPECT_EQ(ReadBytes(File("exists.cvn")), "yesterday");
    close(held);
}

// One check shows every problem of a LIST, broken lines included; a run of the same LIST is a
// usage error that runs nothing.
TEST_F(Vantrel4Check, ACohortCheckListsEveryProblem) {
    WriteBytes(File("cohort.tsv"),
               "in.edf\tC3-M2|EEG C3-A2\tslow-wave\tid=P01\n"
               "in.edf\t2\tslow-wave\tid=P02\n"
               "missing.edf\t1\tslow-wave\n"
               "fewer.edf\t1\tslow-wave\n"
               "gaps.edf\t1\tslow-wave\n"
               "slow.edf\t1\tslow-wave\n"
               "in.edf\t3\tslow-wave\tid=P01\n"
               "in.edf\t3\tslow-wave\tid=P 3\n");
    const std::string cohort =
        "cd '" + dir_.string() + "' && VANTREL4='" VANTREL4_PATH "' '" + COHORT_RUN_PATH + "' ";
    const int check = std::system((cohort + "--check cohort.tsv out 2>check.err").c_str());
    EXPECT_EQ(WEXITSTATUS(check), 1);
    EXPECT_EQ(Lines(ReadBytes(dir_ / "check.err")).back(),
              "cohort-run: 2 ok, 1 warning, 5 failed; check in " + File("out/check.csv"));
    const std::vector<std::string> rows = Lines(ReadBytes(dir_ / "out/check.csv"));
    const std::vector<std::string> expected = {
        "id,line,input,signal,label,status,reason",
        "P01,1,in.edf,1,EEG C3-A2,ok,",
        "P02,2,in.edf,2,EEG C4-A1,ok,",
        "missing,3,missing.edf,,,failed,Input file missing.edf not found",
        "fewer,4,fewer.edf,1,EEG C3-A2,warning,\"Read leniently; a strict reader refuses it: "
        "strict: the file has 922624 bytes, the header's 700 records need 1076224; The file holds "
        "600 complete data records; its header says 700\"",
        "gaps,5,gaps.edf,1,EEG C3-A2,failed,\"The recording has gaps: record 2 starts at 5 s, 2 s "
        "expected (EDF+D)\"",
        "slow,6,slow.edf,1,EEG C3-A2,failed,\"Signal 1 (EEG C3-A2, 10 Hz, LP 35 Hz, HP 0.5 Hz): "
        "0 <= LP <= Fsample\"",
        "P01,7,in.edf,,,failed,\"id \"\"P01\"\" is already used on line 1\"",
        "P 3,8,in.edf,,,failed,\"id \"\"P 3\"\" is not safe as a file name: use letters, digits, "
        "\"\".\"\", \"\"_\"\" and \"\"-\"\"\"",
    };
    EXPECT_EQ(rows, expected);

    const int run = std::system((cohort + "cohort.tsv run 2>run.err").c_str());
    EXPECT_EQ(WEXITSTATUS(run), 2);
    EXPECT_EQ(Lines(ReadBytes(dir_ / "run.err")),
              (std::vector<std::string>{
                  "cohort-run: cohort.tsv line 7: id \"P01\" is already used on line 1",
                  "cohort-run: cohort.tsv line 8: id \"P 3\" is not safe as a file name: use "
                  "letters, digits, \".\", \"_\" and \"-\""}));
    EXPECT_TRUE(fs::is_empty(dir_ / "run"));
}

}  // namespace
}  // namespace vantrel_test
