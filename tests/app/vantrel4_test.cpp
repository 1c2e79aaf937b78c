// The real vantrel4 program without a display: batch runs from start to exit code, their logs
// and standard error, the usage text, the signal list.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SharedData.h"
#include "edf/uEDF.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int ExitCode = -1;
    std::string Out, Err;
};

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(end, start)) != std::string::npos; start = at + end.size())
        lines.push_back(text.substr(start, at - start));
    return lines;
}

class Vantrel4 : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // One folder per process: ctest runs the cases in parallel processes.
        dir = fs::temp_directory_path() / ("vantrel4_exe_test_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string make = std::string(VANTREL_TOOLS_DIR) + "/make-recording";
        ASSERT_EQ(std::system(
                      (make + " --duration=1h " + Quoted((dir / "in.edf").string()) + " >/dev/null")
                          .c_str()),
                  0);
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    // Runs vantrel4 in the test folder with no display, no runtime directory and the locale
    // given, as a batch job on a compute server would.
    // `environment` adds variables ("DISPLAY=:97"); `out` is where standard output goes.
    static RunResult Run(const std::vector<std::string>& args, const std::string& locale = "C",
                         const std::string& environment = "",
                         const std::string& out = "stdout.txt") {
        std::string command = "cd " + Quoted(dir.string()) +
                              " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM"
                              " -u XDG_RUNTIME_DIR LC_ALL=" +
                              locale + " " + environment + " " + VANTREL4_EXE;
        for (const std::string& arg : args)
            command += " " + Quoted(arg);
        command += " >" + out + " 2>stderr.txt";
        const int status = std::system(command.c_str());
        RunResult result;
        result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.Out = ReadAll(dir / "stdout.txt");
        result.Err = ReadAll(dir / "stderr.txt");
        return result;
    }
    static std::vector<std::string> LogLines(const char* name) {
        return SplitLines(ReadAll(dir / name), "\r\n");
    }

    static fs::path dir;
};

fs::path Vantrel4::dir;

const std::vector<std::string> kSlowWave = {"1", "1.5", "1.8", "0.01666"};

std::vector<std::string> Args(const std::string& in, const std::string& signal,
                              const std::string& out, std::vector<std::string> rest) {
    std::vector<std::string> args = {in, signal, out};
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
}

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(Vantrel4, BatchRunCompletesAndAppendsItsLog) {
    const std::vector<std::string> run = Args("in.edf", "1", "out.cvn", kSlowWave);
    const std::vector<std::string> header = {"Analysing file \"in.edf\"", "Signal# 1",
                                             "Output file \"" + (dir / "out.cvn").string() + "\"",
                                             "Undersampling = 10 (25.6Hz)"};
    RunResult first = Run(With(run, {"/BATCH"}));
    EXPECT_EQ(first.ExitCode, 0) << first.Err;
    std::vector<std::string> expected = With({"--- BATCH mode ---"}, header);
    EXPECT_EQ(LogLines("out.log"), expected);
    EXPECT_EQ(SplitLines(first.Err, "\n"), expected);  // its own lines, nothing else
    EXPECT_EQ(first.Out, "");
    vantrel::TEDFFile results;
    results.SetFileName((dir / "out.cvn").string());
    results.SetReadOnly(true);
    results.SetActive(true);
    EXPECT_TRUE(results.IsValid());
    EXPECT_EQ(results.SignalCount(), 14);
    results.SetActive(false);
    const std::string firstResults = ReadAll(dir / "out.cvn");

    // Existing results without /OVERWRITE: refused after the lines that name the files, the
    // file stays as it was.
    EXPECT_EQ(Run(With(run, {"/BATCH"})).ExitCode, 2);
    expected = With(expected, With({"--- BATCH mode ---"}, {header[0], header[1], header[2],
                                                            "Output file already exists!"}));
    EXPECT_EQ(LogLines("out.log"), expected);
    EXPECT_EQ(ReadAll(dir / "out.cvn"), firstResults);

    // With /OVERWRITE: the same file again, the log appended.
    EXPECT_EQ(Run(With(run, {"/OVERWRITE", "/BATCH"})).ExitCode, 0);
    expected = With(expected, With({"Overwriting existing files", "--- BATCH mode ---"}, header));
    EXPECT_EQ(LogLines("out.log"), expected);
    EXPECT_EQ(ReadAll(dir / "out.cvn"), firstResults);
}

// Under a locale with a decimal comma every number still has its ".", in the log and in the
// results file, and a comma typed as decimal separator is understood.
TEST_F(Vantrel4, DutchLocaleKeepsTheDecimalPoint) {
    if (!std::setlocale(LC_NUMERIC, "nl_NL.UTF-8"))
        GTEST_SKIP() << "locale nl_NL.UTF-8 missing (tools/setup-deps.sh generates it)";
    std::setlocale(LC_NUMERIC, "C");
    const RunResult c = Run(Args("in.edf", "1", "c.cvn", With(kSlowWave, {"/BATCH"})));
    ASSERT_EQ(c.ExitCode, 0) << c.Err;
    const RunResult dutch =
        Run(Args("in.edf", "1", "nl.cvn", {"1", "1,5", "1.8", "0,01666", "/BATCH"}), "nl_NL.UTF-8");
    EXPECT_EQ(dutch.ExitCode, 0) << dutch.Err;
    EXPECT_EQ(LogLines("nl.log").back(), "Undersampling = 10 (25.6Hz)");
    EXPECT_EQ(ReadAll(dir / "nl.cvn"), ReadAll(dir / "c.cvn"));
}

TEST_F(Vantrel4, FailedBatchRunsEndWithTheirReasonAndExitCode2) {
    VANTREL_NEED_SHARED_DATA();
    const std::string nox = (vantrel_test::SharedDataDir() / "nox-a1-2min.edf").string();
    const std::string in = (dir / "in.edf").string();
    const std::string inputBytes = ReadAll(in);
    const struct {
        std::vector<std::string> Args;
        const char* Log;
        std::vector<std::string> Lines;
    } cases[] = {
        {{"in.edf", "1", "/BATCH"},
         "Error.log",
         {"--- BATCH mode ---", "Analysing file \"in.edf\"", "Signal# 1", "Output file \"\"",
          "Invalid EDF outputfilename", "Analysis parameters error"}},
        // An error in an earlier argument: the log holds the lines so far, then the error.
        {Args("in.edf", "1", "bad.cvn", {"x1", "1.5", "1.8", "0.01666", "/BATCH"}),
         "bad.log",
         {"'x1' is not a valid floating point value"}},
        {Args("in.edf", "1", in, With(kSlowWave, {"/BATCH", "/OVERWRITE"})),
         "in.log",
         {"--- BATCH mode ---", "Overwriting existing files", "Analysing file \"in.edf\"",
          "Signal# 1", "Output file \"" + in + "\"",
          "The results file must not be the input file"}},
        {Args(nox, "1", "ann.cvn", With(kSlowWave, {"/BATCH"})),
         "ann.log",
         {"--- BATCH mode ---", "Analysing file \"" + nox + "\"", "Signal# 1",
          "Output file \"" + (dir / "ann.cvn").string() + "\"",
          "Signal 1 is an EDF+ annotation signal"}},
        // A message with a line feed becomes one line per part.
        {Args("in.edf", "1", "lp.cvn", With(kSlowWave, {"/LP:1", "/BATCH"})),
         "lp.log",
         {"--- BATCH mode ---", "Analysing file \"in.edf\"", "Signal# 1",
          "Output file \"" + (dir / "lp.cvn").string() + "\"",
          "No valid IIRundersampler value with these parameters",
          "F0 and/or Fc too large, or LP too small", "Analysis parameters error",
          "Signal 1 (EEG C3-A2, 256 Hz, LP 1 Hz, HP 0.5 Hz): No valid IIRundersampler value "
          "with these parameters; F0 and/or Fc too large, or LP too small"}},
        // Rate 0 passes the check; the smoothing stage refuses it and the run fails.
        {Args("in.edf", "1", "zero.cvn", {"1", "1.5", "1.8", "0", "/BATCH"}),
         "zero.log",
         {"--- BATCH mode ---", "Analysing file \"in.edf\"", "Signal# 1",
          "Output file \"" + (dir / "zero.cvn").string() + "\"", "Undersampling = 10 (25.6Hz)",
          "SmoothRate=0 but should be > 0.0 and < 1.0",
          "Unable to create artifact traces (MCSMooth)"}},
    };
    for (const auto& c : cases) {
        fs::remove(dir / c.Log);
        const RunResult result = Run(c.Args);
        EXPECT_EQ(result.ExitCode, 2) << c.Log;
        EXPECT_EQ(LogLines(c.Log), c.Lines) << c.Log;
        EXPECT_EQ(SplitLines(result.Err, "\n"), c.Lines) << c.Log;
    }
    EXPECT_EQ(ReadAll(in), inputBytes);

    // A log that cannot be written: its lines on standard error only, then why.
    const RunResult batch =
        Run(Args("in.edf", "1", "/nonexistent/x.cvn", With(kSlowWave, {"/BATCH"})));
    EXPECT_EQ(batch.ExitCode, 2);
    EXPECT_NE(batch.Err.find("Analysis parameters error\nCannot write the batch log "
                             "\"/nonexistent/x.log\": No such file or directory\n"),
              std::string::npos);
}

TEST_F(Vantrel4, UsageSignalListAndNoDisplay) {
    const RunResult usage = Run({"in.edf", "--help"});
    EXPECT_EQ(usage.ExitCode, 1);
    EXPECT_EQ(usage.Out.substr(0, 21), "Program parameters:\n\n");
    EXPECT_EQ(usage.Err, "");

    const RunResult signals = Run({"--signals", "in.edf"});
    EXPECT_EQ(signals.ExitCode, 0);
    EXPECT_EQ(signals.Out, "1\tEEG C3-A2\t256 Hz\tHP:0.5Hz LP:35Hz\n");
    const RunResult missing = Run({"/SIGNALS", "missing.edf"});
    EXPECT_EQ(missing.ExitCode, 2);
    EXPECT_NE(missing.Err.find("missing.edf"), std::string::npos);

    const RunResult interactive = Run({"in.edf"});
    EXPECT_EQ(interactive.ExitCode, 2);
    EXPECT_NE(interactive.Err.find("/BATCH"), std::string::npos);

    // A display that does not answer (a dead X forwarding): the usage text needs none, and an
    // interactive start says what is wrong instead of aborting.
    const RunResult deadUsage = Run({"/?"}, "C", "DISPLAY=:97");
    EXPECT_EQ(deadUsage.ExitCode, 1);
    EXPECT_EQ(deadUsage.Out.substr(0, 21), "Program parameters:\n\n");
    const RunResult dead = Run({"in.edf"}, "C", "DISPLAY=:97");
    EXPECT_EQ(dead.ExitCode, 2);
    EXPECT_NE(dead.Err.find("Cannot open the display :97; batch runs (/BATCH) need none"),
              std::string::npos)
        << dead.Err;

    const RunResult version = Run({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out.rfind("vantrel4 ", 0), 0u) << version.Out;
    // A listing that cannot be written does not look done.
    EXPECT_EQ(Run({"--signals", "in.edf"}, "C", "", "/dev/full").ExitCode, 3);
    EXPECT_EQ(Run({"--version"}, "C", "", "/dev/full").ExitCode, 3);
}

// A batch run that draws nothing needs no window library: the program alone, copied without
// vantrel4-window, completes it, and says which program is missing when a window is asked for.
TEST_F(Vantrel4, BatchRunsNeedNoWindowProgram) {
    const fs::path alone = dir / "alone";
    fs::create_directories(alone);
    fs::copy_file(VANTREL4_EXE, alone / "vantrel4", fs::copy_options::overwrite_existing);
    const std::string program = Quoted((alone / "vantrel4").string());
    const std::string batch = "cd " + Quoted(dir.string()) + " && " + program +
                              " in.edf 1 alone.cvn 1 1.5 1.8 0.01666 /BATCH 2>/dev/null";
    EXPECT_EQ(std::system(batch.c_str()), 0);
    EXPECT_TRUE(fs::exists(dir / "alone.cvn"));

    const std::string window =
        "QT_QPA_PLATFORM=offscreen " + program + " 2>" + Quoted((dir / "err.txt").string());
    const int status = std::system(window.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2);
    EXPECT_NE(ReadAll(dir / "err.txt").find("cannot start the window program"), std::string::npos);
    EXPECT_NE(ReadAll(dir / "err.txt").find("vantrel4-window"), std::string::npos);
}

}  // namespace
