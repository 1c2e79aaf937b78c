// MC_Smooth on results files with known codes: the argument checks, the artifact counters, the
// smoothers, clipping of MC and a jump confirmed by the tracker.
#include <gtest/gtest.h>

#include <utility>

#include "FakeWindows.h"
#include "ResultsFiles.h"
#include "SharedData.h"
#include "analysis/uVantrel4.h"
#include "edf/uDataFile.h"

namespace vantrel::testing {
namespace {

using namespace results;

constexpr int kPiBCode = 9210;  // piB just under 1
const long double kPiB = Decoded(kPiBCode);

std::vector<int16_t> Constant(int16_t code, size_t seconds = kSamplesPerRecord) {
    return std::vector<int16_t>(seconds, code);
}

// Expected codes of one signal at some seconds.
using TExpected = std::vector<std::pair<int, int>>;

void ExpectCodes(const std::vector<int16_t>& signal, const TExpected& expected, const char* what) {
    for (const auto& [t, code] : expected)
        EXPECT_EQ(signal[t], code) << what << " at " << t;
}

TEST(MCSmooth, RefusesWrongArgumentsWithoutTouchingTheFile) {
    struct {
        int Plus, Minus, Zero, Spread;
        double Gain;
        int EventSamples;
        long double PiB;
        double Rate;
        int Option;
        const char* Message;
    } const cases[] = {
        {0, -9, 10, 7, 10, 1, 1, 0.01, 0, "Artifact thresholds or -spread incorrect in MC_Smooth"},
        {9, 0, 10, 7, 10, 1, 1, 0.01, 1, "Artifact thresholds or -spread incorrect in MC_Smooth"},
        {9, -9, 0, 7, 10, 1, 1, 0.01, 2, "Artifact thresholds or -spread incorrect in MC_Smooth"},
        {9, -9, 10, 0, 10, 1, 1, 0.01, 3, "Artifact thresholds or -spread incorrect in MC_Smooth"},
        {9, -9, 10, 7, 10, 0, 1, 0.01, 1, "MCEventSamples=0 but should be >= 1"},
        {9, -9, 10, 7, 10, 1, 0, 0.01, 1, "piB=0 is smaller than LogFloat_Y0*10"},
        {9, -9, 10, 7, 10, 1, 0.0005L, 0.01, 1, "piB=0.0005 is smaller than LogFloat_Y0*10"},
        {9, -9, 10, 7, 0.5, 1, 1, 0.01, 1, "MCgain=0.5 but should be >= 1.0"},
        {9, -9, 10, 7, 10, 1, 1, 0, 1, "SmoothRate=0 but should be > 0.0 and < 1.0"},
        {9, -9, 10, 7, 10, 1, 1, 1, 1, "SmoothRate=1 but should be > 0.0 and < 1.0"},
        {9, -9, 10, 7, 10, 1, 1, 0.01, 4, "Non-existing option in MC_Smooth"},
    };
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path, {{kSS, Constant(9903)}});
    const std::string before = FileBytes(path);
    for (const auto& c : cases) {
        TScopedFakeRun run(true);
        EXPECT_FALSE(MC_Smooth(ResultsParams(path, c.Rate), static_cast<uint8_t>(c.Option), c.Plus,
                               c.Minus, c.Zero, c.Spread, c.Gain, 2.0, 0.5, c.EventSamples, c.PiB));
        EXPECT_EQ(run.Progress.Lines(), std::vector<std::string>{c.Message});
    }
    EXPECT_EQ(FileBytes(path), before);
}

// piB = code 9210 (just under 1); a normal second has SU 0 and SS piB (x = 0). SS codes 11513
// and 12543 give x = 9.004 and 27.02 (HF +1, +3), 16210 gives x = 1095 (held at 1000, HF +111).
// SU 11440 with SS 7210 gives x = -10.2 (LF +1), SU 12100 gives x = -18.9 (LF +2). SS 6906 is
// piB / 10.01 (missing +1). The last ten seconds are zero: missing signal.
TEST(MCSmooth, ArtifactCountersSpreadEachArtifactBothWays) {
    std::vector<int16_t> su = Constant(0), ss = Constant(kPiBCode);
    ss[10] = 11513;
    ss[11] = 12543;
    su[20] = 11440, ss[20] = 7210;
    su[25] = 12100, ss[25] = 7210;
    ss[30] = 6906;
    for (int t = 40; t <= 44; ++t)
        ss[t] = 12543;
    ss[60] = 16210;
    for (int t = 1790; t < 1800; ++t)
        ss[t] = 0;
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path,
                     {{kSU, su}, {kSS, ss}, {kSUPlus, Constant(77)}, {kMCEvent, Constant(5)}});
    TScopedFakeRun run(true);
    ASSERT_TRUE(Smooth(ResultsParams(path), 0, kPiB));

    ExpectCodes(ReadSignal(path, kHFArtifact),
                {{6, 0},  {7, 1},  {9, 3},  {10, 5},  {11, 7},  {12, 3},  {14, 1},  {15, 0},
                 {33, 0}, {34, 1}, {39, 6}, {40, 10}, {41, 13}, {42, 14}, {43, 13}, {44, 10},
                 {45, 6}, {50, 1}, {51, 0}, {53, 0},  {54, 1},  {59, 6},  {60, 14}, {61, 6}},
                "HF");
    ExpectCodes(ReadSignal(path, kLFArtifact),
                {{19, 0}, {20, 2}, {21, 0}, {24, 1}, {25, 4}, {26, 1}, {27, 0}}, "LF");
    ExpectCodes(ReadSignal(path, kMissingSignal),
                {{29, 0},
                 {30, 2},
                 {31, 0},
                 {1783, 0},
                 {1784, 1},
                 {1789, 6},
                 {1790, 8},
                 {1796, 14},
                 {1799, 14}},
                "missing");
    for (int signal : {kSUPlus, kMCEvent})
        EXPECT_EQ(ReadSignal(path, signal), Constant(0)) << "signal " << signal;
}

// SU code 9210 (1 piB) and SS code 9903 (2 piB) throughout, r = 0.01, no artifacts: SU+ at t is
// SU x (1 - 0.99^(t+1)), SS+ is SS - (SS - piB) x 0.99^(t+1); the backward smoother starts
// converged. MC-Event 21 at second 1000 (above the threshold 20) rejects that second only.
TEST(MCSmooth, SmoothingReducesToExponentialSmoothers) {
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path, {{kSU, Constant(9210)}, {kSS, Constant(9903)}});
    TScopedFakeRun run(true);
    ASSERT_TRUE(Smooth(ResultsParams(path), 0, kPiB));
    ASSERT_TRUE(Smooth(ResultsParams(path), 1, kPiB));
    ExpectCodes(ReadSignal(path, kSUPlus), {{0, 4605}, {1, 5293}, {68, 8517}, {1000, 9210}}, "SU+");
    ExpectCodes(ReadSignal(path, kSSPlus), {{0, 9220}, {1, 9230}, {68, 9615}, {1000, 9903}}, "SS+");
    ExpectCodes(ReadSignal(path, kSUMinus), {{0, 9210}, {1799, 9210}}, "SU-");
    ExpectCodes(ReadSignal(path, kSSMinus), {{0, 9903}, {1799, 9903}}, "SS-");
    // MC = (SU-(i+1) + SU+(i)) / (SS+(i) + SS-(i+1)); at the last second SU-(i+1) is 0 and
    // SS-(i+1) is piB. In this first call SU- is still 0, so MC-Jump is -SU+(i-1) / SS+(i-1).
    ExpectCodes(ReadSignal(path, kMC), {{0, 336}, {1000, 500}, {1799, 333}}, "MC");
    ExpectCodes(ReadSignal(path, kSSP), {{0, 9619}, {1000, 9903}}, "SSP");
    ExpectCodes(ReadSignal(path, kSS0), {{1000, 9210}}, "SS0");
    ExpectCodes(ReadSignal(path, kMCJump), {{0, 0}, {1000, -500}}, "MC-Jump");

    std::vector<int16_t> events = Constant(0);
    events[1000] = 21;
    events[1001] = 20;
    WriteResultsFile(path, {{kSU, Constant(9210)}, {kSS, Constant(9903)}, {kMCEvent, events}});
    ASSERT_TRUE(Smooth(ResultsParams(path), 1, kPiB));
    ExpectCodes(ReadSignal(path, kSUPlus), {{999, 9210}, {1000, 9200}, {1001, 9200}}, "SU+");
    ExpectCodes(ReadSignal(path, kSSPlus), {{999, 9903}, {1000, 9893}}, "SS+");
    ExpectCodes(ReadSignal(path, kSUMinus), {{1000, 9200}, {1001, 9210}}, "SU-");
}

// SU 100 piB and SS piB: MC is 2 SU / 2 SS = 100 (10000 %), MC-Jump -100; both are held.
TEST(MCSmooth, MCIsHeldAt32767) {
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path, {{kSU, Constant(9210 + 4605)}, {kSS, Constant(kPiBCode)}});
    TScopedFakeRun run(true);
    ASSERT_TRUE(Smooth(ResultsParams(path), 1, kPiB));
    ExpectCodes(ReadSignal(path, kMC), {{1000, 32767}}, "MC");
    ExpectCodes(ReadSignal(path, kMCJump), {{0, 0}, {1000, -32767}}, "MC-Jump");
}

// Option 3 on a file whose previous call left SU- = 1 and MC-Jump candidates; SU is 0, so the
// forward smoother sits at 0 until a confirmed jump restarts it from SU-(tc + 6) = 1, after
// which SU+ decays by 0.99 a second (forced rejection for the first 6 seconds).
TEST(MCSmooth, ConfirmedJumpRestartsTheForwardSmoother) {
    struct {
        const char* Name;
        std::vector<std::pair<int, int16_t>> Jumps;  // MC-Jump codes of the previous call
        TExpected SUPlus;
    } const cases[] = {
        {"confirmed after the jump window of 101 s",
         {{900, 2000}},
         {{899, 0}, {900, 9200}, {905, 9150}, {906, 9140}, {1001, 8185}, {1002, 8175}}},
        {"a larger value moves the candidate", {{900, 2000}, {950, 2500}}, {{949, 0}, {950, 9200}}},
        {"a change of sign confirms at once",
         {{900, 2000}, {950, -1}, {960, 2000}},
         {{900, 9200}, {950, 8697}, {960, 9200}}},
        {"below the threshold of 500 nothing happens", {{900, 499}}, {{900, 0}, {1001, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<int16_t> jumps = Constant(0);
        for (const auto& [t, v] : c.Jumps)
            jumps[t] = v;
        TScratchDir dir;
        const std::string path = dir.File("results.edf");
        WriteResultsFile(path, {{kSS, Constant(kPiBCode)},
                                {kSUMinus, Constant(9210)},
                                {kSSMinus, Constant(kPiBCode)},
                                {kMCJump, jumps}});
        TScopedFakeRun run(true);
        ASSERT_TRUE(Smooth(ResultsParams(path), 3, kPiB));
        ExpectCodes(ReadSignal(path, kSUPlus), c.SUPlus, "SU+");
    }
}

// Option 2 with E = 1 and SS+ = SS- = 1: SU- = 2 at second 99 and SU+ = 2 at second 101 (both
// smoothers rise into 100 and fall after it) make an event at 100: X = 1 + 1, Y = 1 + 1, so
// MC-Event(100) = 1000 (100 %). At 98 and 102 only one half remains, with the other sign:
// X = -1, MC-Event = -500. MC-Jump is cleared.
TEST(MCSmooth, MCEventComparesTheSmoothersOneSecondBeforeAndAfter) {
    std::vector<int16_t> suPlus = Constant(0), suMinus = Constant(0);
    suMinus[99] = 9903;
    suPlus[101] = 9903;
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path, {{kSUPlus, suPlus},
                            {kSUMinus, suMinus},
                            {kSSPlus, Constant(9210)},
                            {kSSMinus, Constant(9210)},
                            {kMCJump, Constant(123)}});
    TScopedFakeRun run(true);
    ASSERT_TRUE(Smooth(ResultsParams(path), 2, kPiB));
    ExpectCodes(ReadSignal(path, kMCEvent),
                {{0, 0},
                 {97, 0},
                 {98, -500},
                 {99, 0},
                 {100, 1000},
                 {101, 0},
                 {102, -500},
                 {103, 0},
                 {1799, 0}},
                "MC-Event");
    EXPECT_EQ(ReadSignal(path, kMCJump), Constant(0));
}

TEST(MCSmooth, AFileWithoutRecordsFailsOnItsFirstRecord) {
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path, {}, 0);
    TScopedFakeRun run(true);
    for (uint8_t option : {0, 1, 2, 3})
        EXPECT_THROW(Smooth(ResultsParams(path), option, kPiB), EDataFileReadData);
}

// ---- The stages in the run's order on recordings -------------------------------------------

// The first signal of at least 100 samples a second (recordings may start with annotations or
// slow channels).
int32_t FirstFastSignal(const std::string& path) {
    TEDFFile file;
    file.SetFileName(path);
    file.SetReadOnly(true);
    file.SetStrictChecking(false);
    file.SetActive(true);
    for (int32_t k = 0; k < file.SignalCount(); ++k)
        if (file.Signal(k).SamplesPerRecord() >= 100 * file.FileInfo().RecordDuration()) return k;
    return 0;
}

// SU/SS, piB, and the header stages and MC_Smooth calls in the run's order, with the Slow Wave
// parameters, on the first fast signal of `input`. Returns the names of the stages that failed.
std::vector<std::string> RunStages(const std::string& input, const std::string& output,
                                   TInputSignalChar& ISC) {
    TAnalysisParam AP = ResultsParams(output, 0.01666);
    AP.InputFileName = input;
    AP.SignalIndex = FirstFastSignal(input);
    AP.F0 = 1;
    AP.B = 1.5;
    AP.Fc = 1.8;
    std::vector<std::string> failed;
    TSUSSParameters SP;
    if (!GetInputSignalChar(AP, ISC)) return {"GetInputSignalChar"};
    const double fs = ISC.SampleFrequency;
    if (ValidateAnalysisParameters(AP.UndersamplingFactor, true, nullptr, fs, 0.5, 0.45 * fs, AP.F0,
                                   AP.B, AP.Fc, AP.SmootherRate) != 0)
        return {"ValidateAnalysisParameters"};
    if (!ComputeSuSs(SP, AP, ISC)) return {"ComputeSuSs"};
    if (!DetectPiB(AP, ISC)) return {"DetectPiB"};
    const long double piB = PhysicalPiB(ISC.PiB);
    const auto check = [&](bool ok, const std::string& name) {
        if (!ok) failed.push_back(name);
    };
    check(CreateArtifactHeaders(AP, ISC, SP), "CreateArtifactHeaders");
    check(Smooth(AP, 0, piB), "option 0");
    check(CreateSmoothedHeaders(AP, ISC), "CreateSmoothedHeaders");
    check(Smooth(AP, 1, piB), "option 1");
    check(CreateMCHeaders(AP, ISC, SP), "CreateMCHeaders");
    for (uint8_t option : {2, 1, 3, 3, 3})
        check(Smooth(AP, option, piB), "option " + std::to_string(option));
    if (failed.empty()) FinalHeaderFix(output);
    return failed;
}

// Every stage runs on every real recording, fills the derived signals, and gives the same
// bytes when run again.
TEST(Stages, RunOnTheRealRecordingsDeterministically) {
    VANTREL_NEED_SHARED_DATA();
    for (const auto& recording : vantrel_test::SharedRecordings()) {
        SCOPED_TRACE(recording.filename().string());
        TScratchDir dir;
        TScopedFakeRun run(true);
        TInputSignalChar first, second;
        ASSERT_EQ(RunStages(recording.string(), dir.File("a.edf"), first),
                  std::vector<std::string>{})
            << ::testing::PrintToString(run.Progress.Lines());
        EXPECT_GT(first.PiB, 0);
        // SU+, SU- and MC may stay 0 where artifacts reject every second (a recording of ten
        // seconds); the smoothed SS never falls below piB.
        for (int signal : {kSSPlus, kSSMinus, kSSP, kSS0}) {
            const std::vector<int16_t> values = ReadSignal(dir.File("a.edf"), signal);
            EXPECT_TRUE(std::any_of(values.begin(), values.end(), [](int16_t v) { return v; }))
                << "signal " << signal << " is empty";
        }
        ASSERT_EQ(RunStages(recording.string(), dir.File("b.edf"), second),
                  std::vector<std::string>{});
        EXPECT_EQ(second.PiB, first.PiB);
        EXPECT_TRUE(FileBytes(dir.File("a.edf")) == FileBytes(dir.File("b.edf")));
    }
}

// A generated night of two hours: its flat stretch at 30 % (2160 .. 2190 s) is marked as
// missing signal, its burst of noise at 80 % (5760 .. 5770 s) as HF artifact.
TEST(Stages, MarkTheArtifactsOfAGeneratedRecording) {
    TScratchDir dir;
    const std::string input = dir.File("night.edf");
    vantrel_test::MakeRecording(input, "--duration=2h --rate=128 --seed=3");
    TScopedFakeRun run(true);
    TInputSignalChar ISC;
    const std::string output = dir.File("results.edf");
    ASSERT_EQ(RunStages(input, output, ISC), std::vector<std::string>{})
        << ::testing::PrintToString(run.Progress.Lines());
    const std::vector<int16_t> missing = ReadSignal(output, kMissingSignal);
    const std::vector<int16_t> hf = ReadSignal(output, kHFArtifact);
    EXPECT_GT(*std::max_element(missing.begin() + 2160, missing.begin() + 2190), 0);
    EXPECT_GT(*std::max_element(hf.begin() + 5760, hf.begin() + 5770), 0);
    EXPECT_EQ(*std::max_element(missing.begin() + 1000, missing.begin() + 2000), 0);
    EXPECT_EQ(*std::max_element(hf.begin() + 1000, hf.begin() + 2000), 0);
    for (int signal : {kSUPlus, kSUMinus, kMC, kMCEvent}) {
        const std::vector<int16_t> values = ReadSignal(output, signal);
        EXPECT_TRUE(std::any_of(values.begin(), values.end(), [](int16_t v) { return v; }))
            << "signal " << signal << " is empty";
    }
}

// Half a second of signal gives a results file without records: piB detection reports the
// failure with the library's reason and raises; nothing hangs.
TEST(Stages, ARecordingShorterThanASecondFailsAtPiBDetection) {
    TScratchDir dir;
    const std::string input = dir.File("short.edf");
    vantrel_test::TestRecording recording;
    recording.SamplesPerRecord = 64;
    recording.RecordDuration = 0.5;
    recording.Records = 1;
    vantrel_test::WriteRecording(input, recording);
    TScopedFakeRun run(true);
    TInputSignalChar ISC;
    EXPECT_THROW(RunStages(input, dir.File("results.edf"), ISC), EDataFileReadData);
    ASSERT_FALSE(run.Progress.Lines().empty());
    EXPECT_EQ(run.Progress.Lines().end()[-2], "piB: Unable to read datablock from outputfile");
    EXPECT_EQ(run.Progress.Lines().back(), "Error reading file data");
}

}  // namespace
}  // namespace vantrel::testing
