// What an unattended cohort run meets: damaged recordings, files it may not read or write, a
// disk that fills up, and runs killed half-way. Every case drives the real vantrel4 in batch
// mode on recordings derived from one good recording of tools/make-recording.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BatchProcess.h"
#include "edf/uEDF.h"

namespace vantrel_test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kParameters = {"1", "1.5", "1.8", "0.01666"};

// The lines every batch run writes before anything goes wrong.
bool RoutineLine(const std::string& line) {
    for (const char* prefix : {"--- BATCH mode ---", "Overwriting existing files",
                               "Analysing file ", "Signal# ", "Output file \"", "Undersampling = "})
        if (line.rfind(prefix, 0) == 0) return true;
    return line.empty();
}

// The first line that is not routine: the run's message; empty when there is none.
std::string FirstMessage(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (!RoutineLine(line)) return line;
    return "";
}

// The results file went through every stage: signal 0 has its final physical dimension.
bool LooksComplete(const fs::path& results) {
    vantrel::TEDFFile file;
    file.SetFileName(results.string());
    file.SetReadOnly(true);
    file.SetStrictChecking(false);
    file.SetActive(true);
    return file.SignalCount() > 0 && file.Signal(0).PhysicalDimension() == "Filtered";
}

class Vantrel4Reliability : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/vantrel-reliability-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        // Readable by the unprivileged user of the permission cases.
        fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        const std::string make = std::string(VANTREL_TOOLS_DIR) + "/make-recording";
        ASSERT_EQ(std::system((make + " --duration=1h --signals=2 --seed=3 '" +
                               (dir_ / "good.edf").string() + "' >/dev/null")
                                  .c_str()),
                  0);
        good_ = ReadBytes(dir_ / "good.edf");
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    static std::vector<std::string> Arguments(const fs::path& input, const fs::path& results,
                                              std::vector<std::string> options = {"/BATCH"}) {
        std::vector<std::string> args = {input.string(), "1", results.string()};
        args.insert(args.end(), kParameters.begin(), kParameters.end());
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }

    static inline fs::path dir_;
    static inline std::string good_;
};

// ---- Bad recordings
// ------------------------------------------------------------------------------

// Byte offsets of the header fields of the two-signal recording.
constexpr size_t kSignals = 2;
struct Field {
    size_t Offset;
    size_t Width;
};
constexpr Field kStartDate{168, 8}, kStartTime{176, 8}, kHeaderBytes{184, 8}, kReserved{192, 44},
    kRecords{236, 8}, kDuration{244, 8}, kSignalCount{252, 4};
constexpr Field kPatient{8, 80};
// Field of signal 1 at position `before` widths after the signal headers start.
constexpr Field SignalField(size_t before, size_t width) {
    return {256 + before * kSignals, width};
}
const Field kLabel = SignalField(0, 16), kPhysMin = SignalField(16 + 80 + 8, 8),
            kPhysMax = SignalField(16 + 80 + 16, 8), kDigMin = SignalField(16 + 80 + 24, 8),
            kDigMax = SignalField(16 + 80 + 32, 8), kSamples = SignalField(16 + 80 + 40 + 80, 8);

using Mutation = std::function<void(std::string&)>;

Mutation Set(Field field, std::string text) {
    return [=](std::string& bytes) mutable {
        text.resize(field.Width, ' ');
        bytes.replace(field.Offset, field.Width, text);
    };
}
Mutation Cut(long keep) {  // keep >= 0: the first bytes; keep < 0: drop the last bytes
    return [=](std::string& bytes) { bytes.resize(keep >= 0 ? keep : bytes.size() + keep); };
}

struct BadInput {
    const char* Case;
    Mutation Change;
    int ExitCode;
    const char* Message;  // first words of the run's message; "" for a completed run
};

TEST_F(Vantrel4Reliability, BadRecordingsEndCleanlyWithTheirMessageAndStayUntouched) {
    const char* invalid = "Invalid EDF inputfilename";
    const std::vector<BadInput> table = {
        {"0-byte file", Cut(0), 2, invalid},
        {"header cut short", Cut(200), 2, invalid},
        {"header shorter than its signal headers", Cut(600), 2, invalid},
        {"signal count 0", Set(kSignalCount, "0"), 2, invalid},
        {"signal count 9999", Set(kSignalCount, "9999"), 2, invalid},
        {"signal count non-numeric", Set(kSignalCount, "two"), 2, invalid},
        {"signal count negative", Set(kSignalCount, "-2"), 2, invalid},
        {"header bytes non-numeric", Set(kHeaderBytes, "abc"), 2, invalid},
        {"header bytes negative", Set(kHeaderBytes, "-768"), 2, invalid},
        {"record count non-numeric", Set(kRecords, "abc"), 2, invalid},
        {"record count negative", Set(kRecords, "-5"), 2, invalid},
        {"record count larger than the file holds", Set(kRecords, "99999"), 0, ""},
        {"record duration non-numeric", Set(kDuration, "abc"), 2, invalid},
        {"record duration negative", Set(kDuration, "-1"), 2, invalid},
        {"record duration 0", Set(kDuration, "0"), 2, invalid},
        {"start date non-numeric", Set(kStartDate, "ab.cd.ef"), 2, invalid},
        {"start time negative", Set(kStartTime, "-5"), 2, invalid},
        {"samples per record 0", Set(kSamples, "0"), 2, invalid},
        {"samples per record negative", Set(kSamples, "-256"), 2, invalid},
        {"samples per record absurdly large", Set(kSamples, "99999999"), 2, invalid},
        {"samples per record non-numeric", Set(kSamples, "many"), 2, invalid},
        {"physical minimum non-numeric", Set(kPhysMin, "abc"), 2, invalid},
        {"physical minimum negative", Set(kPhysMin, "-5"), 0, ""},
        {"physical maximum non-numeric", Set(kPhysMax, "abc"), 2, invalid},
        {"physical maximum negative", Set(kPhysMax, "-5"), 0, ""},
        {"physical minimum = maximum", Set(kPhysMin, "250"), 0, ""},
        {"digital minimum non-numeric", Set(kDigMin, "abc"), 2, invalid},
        {"digital minimum negative", Set(kDigMin, "-5"), 0, ""},
        {"digital maximum non-numeric", Set(kDigMax, "abc"), 2, invalid},
        {"digital maximum negative", Set(kDigMax, "-5"), 0, ""},
        {"digital minimum >= maximum", Set(kDigMin, "32767"), 2, invalid},
        {"label with control characters",
         Set(kLabel,
             "EEG\x01\x07"
             "C3"),
         0, ""},
        {"label with bytes above 127", Set(kLabel, "EEG \xe9\xff"), 0, ""},
        {"patient name in Latin-1", Set(kPatient, "X M 01-JAN-1970 M\xfcller"), 0, ""},
        {"half a record at the end", Cut(-256), 0, ""},
        {"comma decimal separator",
         [](std::string& b) { Set(kPhysMin, "-250,5")(b), Set(kPhysMax, "250,5")(b); }, 0, ""},
        {"EDF+ with the chosen signal \"EDF Annotations\"",
         [](std::string& b) { Set(kReserved, "EDF+C")(b), Set(kLabel, "EDF Annotations")(b); }, 2,
         "Signal 1 is an EDF+ annotation signal"},
    };
    int row = 0;
    for (const BadInput& bad : table) {
        SCOPED_TRACE(bad.Case);
        // The name has a byte above 127 too: the results file copies it.
        const fs::path input = dir_ / ("bad-\xc3\xa9" + std::to_string(++row) + ".edf");
        const fs::path results = dir_ / ("bad" + std::to_string(row) + ".cvn");
        std::string bytes = good_;
        bad.Change(bytes);
        WriteBytes(input, bytes);

        const BatchRun run = RunBatch(Arguments(input, results));
        EXPECT_FALSE(run.Hung);
        EXPECT_EQ(run.ExitCode, bad.ExitCode) << run.Stderr;
        const std::vector<std::string> log =
            Lines(ReadBytes(fs::path(results).replace_extension(".log")));
        EXPECT_EQ(FirstMessage(log).rfind(bad.Message, 0), 0u) << run.Stderr;
        EXPECT_EQ(Lines(run.Stderr), log);  // every line of the log also went to stderr
        EXPECT_EQ(ReadBytes(input), bytes);
        if (bad.ExitCode == 0) {
            EXPECT_TRUE(LooksComplete(results));
        }
    }
}

TEST_F(Vantrel4Reliability, NoRecordingFilesAndAMissingResultsDirectoryAreRefused) {
    const fs::path folder = dir_ / "folder.edf";
    fs::create_directory(folder);
    // A named pipe without a writer: opening it must not wait for one.
    const fs::path pipe = dir_ / "pipe.edf";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    BatchRun run;
    for (const fs::path& input : {folder, pipe}) {
        SCOPED_TRACE(input.filename());
        const fs::path results = fs::path(input).replace_extension(".cvn");
        run = RunBatch(Arguments(input, results));
        EXPECT_FALSE(run.Hung);
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_EQ(FirstMessage(Lines(ReadBytes(fs::path(results).replace_extension(".log")))),
                  "Invalid EDF inputfilename");
    }

    // No log can be written into a missing directory: standard error has the lines.
    run = RunBatch(Arguments(dir_ / "good.edf", dir_ / "missing" / "out.cvn"));
    EXPECT_EQ(run.ExitCode, 2);
    const std::vector<std::string> lines = Lines(run.Stderr);
    EXPECT_EQ(FirstMessage(lines), "Invalid EDF outputfilename");
    EXPECT_EQ(lines.back().rfind("Cannot write the batch log", 0), 0u) << run.Stderr;
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    EXPECT_EQ(ReadBytes(dir_ / "good.edf"), good_);
}

// ---- Permissions -------------------------------------------------------------------------------

TEST_F(Vantrel4Reliability, FilesTheUserMayNotReadOrWriteEndTheRunWithTheSystemsReason) {
    std::string reason;
    if (!CanRunAsNobody(reason)) GTEST_SKIP() << reason;
    const fs::path open = dir_ / "open-to-all";
    const fs::path closed = dir_ / "closed";
    fs::create_directory(open);
    fs::create_directory(closed);
    fs::permissions(open, fs::perms::all);
    // Closed to their owner too, so that the cases hold for an unprivileged tester as well.
    fs::permissions(closed, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    const fs::path secret = dir_ / "secret.edf";
    WriteBytes(secret, good_);
    fs::permissions(secret, fs::perms::none);

    BatchOptions nobody;
    nobody.WorkDir = open;
    nobody.AsNobody = true;
    // Reading the input fails while the command line is read: the log still goes beside the
    // results file the command line names.
    BatchRun run = RunBatch(Arguments(secret, open / "secret.cvn"), nobody);
    EXPECT_EQ(run.ExitCode, 2) << run.Stderr;
    EXPECT_EQ(FirstMessage(Lines(ReadBytes(open / "secret.log"))),
              "Cannot open file \"" + secret.string() + "\". Permission denied");

    // A folder the run may not write: the results file cannot even be locked.
    run = RunBatch(Arguments(dir_ / "good.edf", closed / "out.cvn"), nobody);
    EXPECT_EQ(run.ExitCode, 2) << run.Stderr;
    const std::vector<std::string> lines = Lines(run.Stderr);
    EXPECT_EQ(FirstMessage(lines), "Cannot lock the results file " + (closed / "out.cvn").string() +
                                       ": Permission denied (" + (closed / "out.cvn").string() +
                                       ".lock)");
    EXPECT_EQ(lines.back().rfind("Cannot write the batch log", 0), 0u) << run.Stderr;
    EXPECT_TRUE(fs::is_empty(closed));
}

// ---- A full disk -------------------------------------------------------------------------------

TEST_F(Vantrel4Reliability, AResultsFileThatCannotBeWrittenCompletelyFailsTheRun) {
    const fs::path results = dir_ / "full.cvn";
    // The hour's results file has 104640 bytes; the log stays far below the limit.
    BatchOptions limited;
    limited.FileSizeLimit = 60 * 1024;
    const BatchRun run = RunBatch(Arguments(dir_ / "good.edf", results), limited);
    EXPECT_EQ(run.ExitCode, 2) << run.Stderr;
    EXPECT_EQ(
        FirstMessage(Lines(ReadBytes(dir_ / "full.log"))),
        "Error writing file data: File too large (results file \"" + results.string() + "\")");
    EXPECT_FALSE(LooksComplete(results));
    EXPECT_EQ(ReadBytes(dir_ / "good.edf"), good_);
}

// ---- Interrupted runs --------------------------------------------------------------------------

// A night long enough for every stage to take a moment; the results file is opened once to be
// created, once for SU/SS, once for the piB detection, then once per header or smoothing stage.
TEST_F(Vantrel4Reliability, AKilledRunNeverLooksCompleteAndARerunWithOverwriteEqualsAFullRun) {
    const fs::path night = dir_ / "night.edf";
    const std::string make = std::string(VANTREL_TOOLS_DIR) + "/make-recording";
    ASSERT_EQ(std::system((make + " --duration=8h --seed=5 '" + night.string() + "'").c_str()), 0);
    const fs::path results = dir_ / "night.cvn";
    const std::vector<std::string> overwrite = Arguments(night, results, {"/BATCH", "/OVERWRITE"});
    ASSERT_EQ(RunBatch(overwrite).ExitCode, 0);
    const std::string reference = ReadBytes(results);

    struct KillPoint {
        const char* Stage;
        int Open;
        int Writes;
    };
    for (const KillPoint& point : {KillPoint{"SU/SS", 2, 4}, KillPoint{"piB detection", 3, 0},
                                   KillPoint{"smoothing", 7, 1}}) {
        SCOPED_TRACE(point.Stage);
        BatchOptions kill;
        kill.WatchedFile = results;
        kill.KillAtOpen = point.Open;
        kill.KillAfterWrites = point.Writes;
        const BatchRun killed = RunBatch(overwrite, kill);
        ASSERT_EQ(killed.Signal, SIGKILL) << "the run ended before the kill point";
        EXPECT_FALSE(LooksComplete(results));

        const BatchRun refused = RunBatch(Arguments(night, results));
        EXPECT_EQ(refused.ExitCode, 2);
        EXPECT_EQ(Lines(refused.Stderr).back(), "Output file already exists!");

        EXPECT_EQ(RunBatch(overwrite).ExitCode, 0);
        EXPECT_TRUE(ReadBytes(results) == reference) << "the rerun differs from a full run";
    }
}

}  // namespace
}  // namespace vantrel_test
