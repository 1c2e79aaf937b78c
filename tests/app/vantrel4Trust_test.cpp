// Batch runs that never report a wrong result as success, through the real vantrel4: one writer
// per results file, termination signals, nothing deleted before the check, and a last log line
// that says why a run failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BatchProcess.h"
#include "EDFTestFiles.h"
#include "SharedData.h"
#include "edf/uEDF.h"

namespace vantrel_test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kSlowWave = {"1", "1.5", "1.8", "0.01666"};

std::vector<std::string> Args(const std::string& input, const std::string& results,
                              std::vector<std::string> more = {"/BATCH"}) {
    std::vector<std::string> args = {input, "1", results};
    args.insert(args.end(), kSlowWave.begin(), kSlowWave.end());
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// The results file went through every stage: signal 0 has its final physical dimension.
bool LooksComplete(const fs::path& results) {
    if (!fs::exists(results)) return false;
    vantrel::TEDFFile file;
    file.SetFileName(results.string());
    file.SetReadOnly(true);
    file.SetStrictChecking(false);
    file.SetActive(true);
    return file.IsValid() && file.SignalCount() == 14 &&
           file.Signal(0).PhysicalDimension() == "Filtered";
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Vantrel4Trust : public TRunFolderSuite {
  protected:
    static void SetUpTestSuite() {
        MakeFolder("vantrel-trust");
        MakeRecording("in.edf", "--duration=1h");
        MakeRecording("long.edf", "--duration=12h");
        MakeRecording("short.edf", "--duration=1");
    }
};

// ---- One writer per results file -------------------------------------------------------------

// Holds the lock of `lockFile` with flock(1) in a child process until it is killed.
class FlockHolder {
  public:
    explicit FlockHolder(const fs::path& lockFile) {
        FPid = fork();
        if (FPid == 0) {
            execlp("flock", "flock", "--exclusive", "--no-fork", lockFile.c_str(), "sleep", "60",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        // Taken once a try of our own fails.
        for (int i = 0; i < 500; ++i) {
            const int fd = open(lockFile.c_str(), O_RDONLY | O_CREAT, 0666);
            const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
            close(fd);
            if (!free) return;
            usleep(10000);
        }
        ADD_FAILURE() << "flock(1) did not take the lock";
    }
    ~FlockHolder() {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
    }
    FlockHolder(const FlockHolder&) = delete;
    FlockHolder& operator=(const FlockHolder&) = delete;

  private:
    pid_t FPid = -1;
};

TEST_F(Vantrel4Trust, ALockedResultsFileIsRefusedAtOnceAndLeftUntouched) {
    ASSERT_EQ(Run(Args("in.edf", "held.cvn")).ExitCode, 0);
    const std::string results = ReadBytes(dir_ / "held.cvn");
    fs::create_symlink(dir_ / "held.cvn", dir_ / "alias.cvn");
    const FlockHolder holder(dir_ / "held.cvn.lock");
    // The same file by its name and through a link: one lock.
    for (const char* name : {"held.cvn", "alias.cvn"}) {
        SCOPED_TRACE(name);
        const BatchRun run = Run(Args("in.edf", name, {"/BATCH", "/OVERWRITE"}));
        EXPECT_FALSE(run.Hung);
        EXPECT_EQ(run.ExitCode, 2);
        const std::string refusal =
            "The results file is in use by another run: " + (dir_ / name).string();
        EXPECT_EQ(Lines(run.Stderr).back(), refusal);
        EXPECT_EQ(Log(fs::path(name).replace_extension(".log")).back(), refusal);
        EXPECT_EQ(ReadBytes(dir_ / "held.cvn"), results);
    }
}

// Two runs started together on one results file: the lock lets one write it, the other is
// refused at once, and the file is byte for byte what a single run writes.
TEST_F(Vantrel4Trust, OfTwentySimultaneousPairsAtMostOneRunCompletes) {
    ASSERT_EQ(Run(Args("long.edf", "single.cvn")).ExitCode, 0);
    const std::string single = ReadBytes(dir_ / "single.cvn");
    const std::vector<std::string> args = Args("long.edf", "race.cvn", {"/BATCH", "/OVERWRITE"});
    for (int pair = 0; pair < 20; ++pair) {
        SCOPED_TRACE("pair " + std::to_string(pair));
        pid_t pids[2];
        for (pid_t& pid : pids) {
            pid = fork();
            if (pid == 0) {
                std::vector<std::string> command = Command(args, false);
                std::vector<char*> argv;
                for (std::string& a : command)
                    argv.push_back(a.data());
                argv.push_back(nullptr);
                if (chdir(dir_.c_str()) != 0) _exit(126);
                const int null = open("/dev/null", O_WRONLY);
                dup2(null, STDERR_FILENO);
                execv(argv[0], argv.data());
                _exit(127);
            }
        }
        int completed = 0;
        for (const pid_t pid : pids) {
            int status = 0;
            waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 2);
            completed += WEXITSTATUS(status) == 0;
        }
        EXPECT_EQ(completed, 1);
        EXPECT_TRUE(ReadBytes(dir_ / "race.cvn") == single) << "the file mixes two runs";
    }
}

// ---- Termination signals ---------------------------------------------------------------------

TEST_F(Vantrel4Trust, TerminationSignalsStopTheRunWithItsLog) {
    const struct {
        int Signal;
        const char* Name;
        std::vector<std::string> Options;  // /BMP: the run of the window program
    } cases[] = {
        {SIGTERM, "SIGTERM", {}},
        {SIGINT, "SIGINT", {}},
        {SIGHUP, "SIGHUP", {}},
        {SIGTERM, "SIGTERM", {"/BMP"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + (c.Options.empty() ? "" : " /BMP"));
        const fs::path results = dir_ / "stopped.cvn";
        fs::remove(dir_ / "stopped.log");
        std::vector<std::string> options = {"/BATCH", "/OVERWRITE"};
        options.insert(options.end(), c.Options.begin(), c.Options.end());
        BatchOptions signal;
        signal.WatchedFile = results;
        signal.KillAtOpen = 2;  // during SU/SS
        signal.KillAfterWrites = 4;
        signal.KillSignal = c.Signal;
        const BatchRun run = Run(Args("long.edf", results.string(), options), signal);
        EXPECT_EQ(run.ExitCode, 128 + c.Signal) << run.Stderr;
        EXPECT_EQ(Log("stopped.log").back(), std::string("Interrupted by signal ") + c.Name);
        EXPECT_FALSE(LooksComplete(results));
    }
}

// ---- Nothing deleted before the check --------------------------------------------------------

TEST_F(Vantrel4Trust, OverwriteDeletesNothingBeforeTheCheckPasses) {
    ASSERT_EQ(Run(Args("in.edf", "kept.cvn")).ExitCode, 0);
    const std::string yesterday = ReadBytes(dir_ / "kept.cvn");
    // A typo in the rate: refused by the check, yesterday's results stay.
    const BatchRun run =
        Run({"in.edf", "1", "kept.cvn", "1", "1.5", "1.8", "1.5", "/BATCH", "/OVERWRITE"});
    EXPECT_EQ(run.ExitCode, 2);
    const std::vector<std::string> log = Log("kept.log");
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
              (std::vector<std::string>{
                  "0.0 <= rate <= 1.0", "Analysis parameters error",
                  "Signal 1 (EEG C3-A2, 256 Hz, LP 35 Hz, HP 0.5 Hz): 0.0 <= rate <= 1.0"}));
    EXPECT_EQ(ReadBytes(dir_ / "kept.cvn"), yesterday);
}

// ---- Reasons a person can act on -------------------------------------------------------------

// A 10-minute recording whose samples all read `sample`, -500 .. 500 uV over +-32767.
std::string FlatRecording(int16_t sample) {
    HeaderTexts header;
    header.records = "600";
    header.signals[0].samplesPerRecord = "256";
    header.signals[0].digitalMinimum = "-32767";
    header.signals[0].prefiltering = "HP:0.5Hz LP:35Hz";
    return HeaderImage(header) + SampleBytes(std::vector<int16_t>(600 * 256, sample));
}

// 20 minutes at 256 Hz: a slow wave with noise whose amplitude is 300 digital steps, and 20000 in
// every eighth second. Every burst is an HF artifact, and each spreads over 7 seconds either
// side: no second stays clean.
std::string BurstRecording() {
    HeaderTexts header;
    header.records = "1200";
    header.signals[0].samplesPerRecord = "256";
    header.signals[0].digitalMinimum = "-32767";
    std::vector<int16_t> samples;
    uint32_t state = 1;
    for (int r = 0; r < 1200; ++r) {
        const double amplitude = r % 8 == 0 ? 20000 : 300;
        for (int i = 0; i < 256; ++i) {
            state = state * 1664525u + 1013904223u;
            const double noise = (state >> 8) / double(1 << 24) - 0.5;
            samples.push_back(static_cast<int16_t>(
                std::clamp(amplitude * (std::sin(2 * M_PI * i / 256) + noise), -32767.0, 32767.0)));
        }
    }
    return HeaderImage(header) + SampleBytes(samples);
}

TEST_F(Vantrel4Trust, EveryFailureEndsWithAReasonAPersonCanActOn) {
    const std::string in = ReadBytes(dir_ / "in.edf");
    std::string bdf = in, version1 = in, fewer = in;
    bdf.replace(0, 8, std::string("\xFF") + "BIOSEMI");
    version1.replace(0, 8, "1       ");
    fewer.replace(236, 8, "3700    ");
    WriteBytes(dir_ / "night.bdf", bdf);
    WriteBytes(dir_ / "v1.edf", version1);
    WriteBytes(dir_ / "fewer.edf", fewer);
    WriteBytes(dir_ / "flat.edf", FlatRecording(0));
    WriteBytes(dir_ / "f0.txt", "1\n");
    WriteBytes(dir_ / "gaps.edf", DiscontinuousRecording({"0", "1", "5", "6"}));
    WriteBytes(dir_ / "bursts.edf", BurstRecording());
    fs::create_directories(dir_ / "d");
    const std::string d = (dir_ / "d").string() + "/";

    const struct {
        const char* Case;
        std::vector<std::string> Args;
        int ExitCode;
        std::string Log;   // the batch log; "" when none may be written (stderr is read)
        std::string Line;  // the last line, or with Anywhere a line somewhere in the log
        bool Anywhere = false;
    } cases[] = {
        {"too short", Args("short.edf", "short.cvn"), 2, "short.log",
         "The recording is too short for the analysis: it lasts 1 s; one second of results "
         "needs at least 2 s"},
        {"flat", Args("flat.edf", "flat.cvn"), 2, "flat.log",
         "The signal is flat: every sample is 0 uV"},
        {"factor the filters refuse", Args("in.edf", "us.cvn", {"/BATCH", "/UNDERSAMPLE=80"}), 2,
         "us.log",
         "The undersampling factor 80 gives a computation frequency of 3.2 Hz: the filters need "
         "F0, B and Fc at most half of it (1.6 Hz), and Fc is 1.8 Hz"},
        {"gaps", Args("gaps.edf", "gaps.cvn"), 2, "gaps.log",
         "The recording has gaps: record 2 starts at 5 s, 2 s expected (EDF+D)"},
        {"BDF", Args("night.bdf", "bdf.cvn"), 2, "bdf.log",
         "The file \"night.bdf\" is a BDF file (24-bit samples); this program reads EDF files "
         "(16-bit samples) only"},
        {"another version", Args("v1.edf", "v1.cvn"), 2, "v1.log",
         "The file \"v1.edf\" has the version \"1\"; an EDF file has \"0\""},
        {"missing input", Args("/nonexist.edf", "missing.cvn"), 2, "missing.log",
         "The file \"/nonexist.edf\" does not exist"},
        {"fewer records than the header says", Args("fewer.edf", "fewer.cvn"), 0, "fewer.log",
         "The file holds 3600 complete data records; its header says 3700", true},
        {"signal number too large", Args("in.edf", "sig.cvn", {"/BATCH"}), 2, "sig.log",
         "'99999999999' is not a valid integer value"},
        {"results name a directory", Args("in.edf", "d/"), 2, "",
         "The results file \"" + d + "\" is a directory; name a file in it"},
        {"results name a device", Args("in.edf", "/dev/null"), 2, "",
         "The results file \"/dev/null\" exists and is not a regular file"},
        {"no printer", Args("in.edf", "print.cvn", {"/BATCH", "/PRINTPIB"}), 2, "print.log",
         "No printer available for /PRINTPIB"},
        {"no artifact-free second", Args("bursts.edf", "bursts.cvn"), 0, "bursts.log",
         "Warning: no artifact-free second in the recording"},
        {"unknown option", Args("in.edf", "unknown.cvn", {"/BATCH", "/FOOBAR"}), 0, "unknown.log",
         "Unknown option /FOOBAR ignored", true},
        {"F0 from a file",
         {"in.edf", "1", "f0.cvn", "f0.txt", "1.5", "1.8", "0.01666", "/BATCH"},
         0,
         "f0.log",
         "F0 read from file \"f0.txt\": 1",
         true},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.Case);
        if (std::string(c.Case) == "signal number too large") c.Args[1] = "99999999999";
        const BatchRun run = Run(c.Args);
        EXPECT_FALSE(run.Hung);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Stderr;
        const std::vector<std::string> lines = c.Log.empty() ? Lines(run.Stderr) : Log(c.Log);
        ASSERT_FALSE(lines.empty()) << run.Stderr;
        if (c.Anywhere)
            EXPECT_TRUE(Contains(lines, c.Line)) << run.Stderr;
        else
            EXPECT_EQ(lines.back(), c.Line) << run.Stderr;
    }
    // Refused before the analysis: no results file; no log beside a directory or a device.
    EXPECT_FALSE(fs::exists(dir_ / "print.cvn"));
    EXPECT_FALSE(fs::exists(dir_ / "gaps.cvn"));
    EXPECT_FALSE(fs::exists(d + ".log"));
    EXPECT_FALSE(fs::exists(dir_ / "d.log"));
    EXPECT_FALSE(fs::exists("/dev/null.log"));
}

// EDF+D only says that records may have gaps: one whose records follow on is analysed.
TEST_F(Vantrel4Trust, AContiguousDiscontinuousRecordingIsAnalysed) {
    VANTREL_NEED_SHARED_DATA();
    const std::string nk = (SharedDataDir() / "nk-edfplusd-29s.edf").string();
    EXPECT_EQ(Run(Args(nk, "nk.cvn", {"/BATCH", "/LP:70", "/HP:0.5"})).ExitCode, 0);
    EXPECT_TRUE(LooksComplete(dir_ / "nk.cvn"));
}

// The recording field of a results file is plain ASCII, whatever the input file is called.
TEST_F(Vantrel4Trust, ANonAsciiInputNameGivesAStrictEdfResultsFile) {
    const fs::path input = dir_ /
                           "n\xC3\xA4"
                           "cht \xC3\xBC.edf";
    fs::copy_file(dir_ / "in.edf", input, fs::copy_options::overwrite_existing);
    ASSERT_EQ(Run(Args(input.string(), "ascii.cvn")).ExitCode, 0);
    vantrel::TEDFFile results;
    results.SetFileName((dir_ / "ascii.cvn").string());
    results.SetReadOnly(true);
    results.SetStrictChecking(true);
    EXPECT_TRUE(results.IsValid());
    results.SetActive(true);
    EXPECT_NE(results.FileInfo().Recording().find("in n__cht __.edf"), std::string::npos)
        << results.FileInfo().Recording();
}

}  // namespace
}  // namespace vantrel_test
