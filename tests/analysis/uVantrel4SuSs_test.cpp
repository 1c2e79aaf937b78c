// SU and SS: the computation frequency and its seconds, undersampling and clipping, values a
// person can compute by hand, the results file's records, Cancel and failures, and runs on the
// real recordings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <filesystem>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "FakeWindows.h"
#include "Recordings.h"
#include "SharedData.h"
#include "analysis/uVantrel4.h"
#include "edf/uDataFile.h"
#include "edf/uEDFTools.h"
#include "support/uMath.h"
#include "support/udStr.h"

using namespace vantrel;
using namespace vantrel_test;
using vantrel::testing::TFakeEngineWindows;
using vantrel::testing::TScopedFakeRun;

namespace {

// Runs the stage as the run driver does; false when either step fails.
bool RunSuSs(const TAnalysisParam& AP, TInputSignalChar& ISC, TSUSSParameters& SP) {
    return GetInputSignalChar(AP, ISC) && ComputeSuSs(SP, AP, ISC);
}

size_t Records(const std::string& name) {
    return ResultSamples(name, 0).size() / 1800;
}

int16_t Sine(int64_t i, double cyclesPerSample, double amplitude) {
    return static_cast<int16_t>(
        std::lround(amplitude * std::sin(2 * std::numbers::pi * cyclesPerSample * i)));
}

TEST(SuSsParameters, DigitalZeroIsRoundedInExtendedPrecision) {
    // -32768 .. 32767 over +-250: the exact zero lies just below -0.5.
    ScratchDir dir;
    WriteRecording(dir.File("in.edf"), {.DigitalMinimum = -32768, .DigitalMaximum = 32767});
    TInputSignalChar ISC;
    ASSERT_TRUE(GetInputSignalChar(Params(dir.File("in.edf"), "", 1), ISC));
    EXPECT_EQ(ISC.DigitalZero, -1);
    EXPECT_EQ(ISC.SampleFrequency, 64);
    EXPECT_EQ(ISC.DigitalGain, 65535 / 500.0);
}

TEST(SuSsParameters, ComputationFrequencyAndItsRemainder) {
    const struct {
        int32_t spr;
        long double duration;
        int32_t N;
        double fCompute;
        int32_t perSecond, remainder;
    } cases[] = {
        {256, 1, 5, 51.2, 51, 1},
        {128, 0.5L, 5, 51.2, 51, 0},  // remainder 0, yet not a whole frequency
        {25, 0.1L, 4, 62.5, 62, 0},
        {3000, 30, 4, 25, 25, 0},
    };
    for (const auto& c : cases) {
        TScopedFakeRun run(true);
        TSUSSParameters SP;
        TInputSignalChar ISC;
        ISC.SamplesPerRecord = c.spr;
        ASSERT_TRUE(PrepareSuSsParameters(SP, Params("", "", c.N), ISC, c.duration));
        EXPECT_DOUBLE_EQ(SP.FCompute, c.fCompute);
        EXPECT_EQ(SP.SamplesPerSecond, c.perSecond);
        EXPECT_EQ(SP.SampleRemainder, c.remainder);
    }
    TScopedFakeRun run(true);
    TSUSSParameters SP;
    TInputSignalChar ISC;
    ISC.SamplesPerRecord = 1;
    EXPECT_FALSE(PrepareSuSsParameters(SP, Params("", "", 2), ISC, 1));
    EXPECT_EQ(run.Progress.Lines(),
              std::vector<std::string>{"The underSampled frequency should be >= 1 Hz"});
}

// ---- Values by hand ----------------------------------------------------------------------------

// The emitted response of a recursive filter at angular frequency w (radians per sample), from
// its coefficients: H = B(z) / (1 - A(z)); without input terms the emitted value is
// w_prev * y[n-1] + (1 - w_prev) * (y[n] - B(z) x).
std::complex<double> Response(const TCustomIIRFilter& f, double w) {
    const std::complex<double> z1 = std::polar(1.0, -w);
    std::complex<double> b = 0, a = 0, zk = 1;
    const auto& B = f.GetFeedforwardCoeffs();
    const auto& A = f.GetFeedbackCoeffs();
    for (size_t k = 0; k < std::max(B.size(), A.size()); ++k, zk *= z1) {
        if (k < B.size()) b += static_cast<double>(B[k]) * zk;
        if (k > 0 && k < A.size()) a += static_cast<double>(A[k]) * zk;
    }
    const std::complex<double> h = b / (1.0 - a);
    if (f.IncludeInputTerms) return h;
    const double wp = f.PreviousOutputWeight;
    return h * (wp * z1 + (1 - wp)) - (1 - wp) * b;
}

// A sine at F0 in steady state: per second, SU = fs/2 |D| |E| A^2 cos(phase D - phase E) and
// SS = fs/2 |E|^2 A^2 (the second holds whole periods of the product), then scaled.
TEST(SuSsValues, SineAtF0InSteadyState) {
    ScratchDir dir;
    constexpr double kAmplitude = 10000, kF0 = 4, kFs = 64;
    WriteRecording(dir.File("sine.edf"), {.Records = 20, .Sample = [](int64_t i) {
                                              return Sine(i, kF0 / kFs, kAmplitude);
                                          }});
    TScopedFakeRun run(true);
    const TAnalysisParam AP = Params(dir.File("sine.edf"), dir.File("r.edf"), 1, kF0, 2, 1.8);
    TInputSignalChar ISC;
    TSUSSParameters SP;
    ASSERT_TRUE(RunSuSs(AP, ISC, SP));
    ASSERT_EQ(ISC.DigitalZero, 0);

    auto due = CreateFilter("DUE");
    auto se = CreateFilter("SE");
    for (auto* f : {due.get(), se.get()})
        f->SetSetting(1, kFs);
    due->SetSetting(2, 200);
    due->SetSetting(3, 1.8);
    se->SetSetting(2, 8);
    se->SetSetting(3, 1.8);
    se->SetSetting(4, kF0);
    se->SetSetting(5, 2);
    due->Reset();
    se->Reset();
    auto& seIIR = static_cast<TCustomIIRFilter&>(*se);
    seIIR.IncludeInputTerms = false;
    seIIR.PreviousOutputWeight = 0.5;
    const double w = 2 * std::numbers::pi * kF0 / kFs;
    const auto D = Response(static_cast<TCustomIIRFilter&>(*due), w);
    const auto E = Response(seIIR, w);
    const double suScale = std::sqrt(2.0) / 32767;
    const double power = kFs / 2 * kAmplitude * kAmplitude;
    const double su = power * std::abs(D) * std::abs(E) * std::cos(std::arg(D) - std::arg(E));
    const double ss = power * std::norm(E);
    const int suCode = LogFloatEncode(su * suScale, 1e-4, 1e-3);
    const int ssCode = LogFloatEncode(ss * suScale * 25 / kFs, 1e-4, 1e-3);

    const auto suSamples = ResultSamples(AP.OutputFileName, 0);
    const auto ssSamples = ResultSamples(AP.OutputFileName, 1);
    for (int second = 3; second < 20; ++second) {
        EXPECT_NEAR(suSamples[second], suCode, 1) << second;
        EXPECT_NEAR(ssSamples[second], ssCode, 1) << second;
    }
    EXPECT_EQ(ssSamples[20], 0);
}

// Inputs whose kept samples are constant give SU = SS = 0 once the SE filter (no DC) settles.
TEST(SuSsValues, ConstantKeptSamplesSettleToZero) {
    const struct {
        const char* name;
        int32_t spr;
        double duration;
        int32_t N;
        int16_t (*sample)(int64_t);
    } cases[] = {
        {"Constant", 64, 1, 1, [](int64_t) { return int16_t{5000}; }},
        // Odd samples only: the undersampling counter runs on across records of 3 samples.
        {"EveryOtherAcrossRecords", 3, 3 / 64.0, 2,
         [](int64_t i) { return int16_t(i % 2 ? 1000 : -1000); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        WriteRecording(dir.File("in.edf"), {.SamplesPerRecord = c.spr,
                                            .RecordDuration = c.duration,
                                            .Records = static_cast<int32_t>(30 / c.duration),
                                            .Sample = c.sample});
        TScopedFakeRun run(true);
        const TAnalysisParam AP = Params(dir.File("in.edf"), dir.File("r.edf"), c.N);
        TInputSignalChar ISC;
        TSUSSParameters SP;
        ASSERT_TRUE(RunSuSs(AP, ISC, SP));
        const auto su = ResultSamples(AP.OutputFileName, 0),
                   ss = ResultSamples(AP.OutputFileName, 1);
        EXPECT_NE(ss[0], 0);  // the step's transient
        for (int second = 10; second < 30; ++second) {
            EXPECT_EQ(su[second], 0) << second;
            EXPECT_EQ(ss[second], 0) << second;
        }
    }
}

// Differences from DigitalZero beyond +-32767 are limited to +-32767: two inputs that differ
// only beyond the limit give the same results, a third inside it does not.
TEST(SuSsValues, ClippingAtTheLimits) {
    const struct {
        const char* name;
        double physMin, physMax;  // digital -32768 .. 32767
        int16_t a, b, inside;
    } cases[] = {
        {"AboveZeroMinus32768", 0, 500, 32767, 0, -3000},  // zero -32768: 65535 and 32768 clip
        {"BelowZero32767", -500, 0, -32768, -1, 3000},     // zero 32767: -65535 and -32768 clip
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        std::vector<std::vector<int16_t>> results;
        for (int16_t value : {c.a, c.b, c.inside}) {
            const std::string in = dir.File("in.edf"), out = dir.File("r.edf");
            WriteRecording(in, {.Records = 5,
                                .DigitalMinimum = -32768,
                                .DigitalMaximum = 32767,
                                .PhysicalMinimum = c.physMin,
                                .PhysicalMaximum = c.physMax,
                                .Sample = [value](int64_t) { return value; }});
            TScopedFakeRun run(true);
            TInputSignalChar ISC;
            TSUSSParameters SP;
            ASSERT_TRUE(RunSuSs(Params(in, out, 1), ISC, SP));
            results.push_back(ResultSamples(out, 1));
        }
        EXPECT_EQ(results[0], results[1]);
        EXPECT_NE(results[0], results[2]);
    }
}

// ---- Seconds and records -----------------------------------------------------------------------

TEST(SuSsRecords, EgiWithFactorFourClosesSecondsByTheClock) {
    VANTREL_NEED_SHARED_DATA();
    ScratchDir dir;
    TScopedFakeRun run(true);
    const TAnalysisParam AP =
        Params((SharedDataDir() / "egi-0p1s-26s.edf").string(), dir.File("r.edf"), 4);
    TInputSignalChar ISC;
    TSUSSParameters SP;
    ASSERT_TRUE(RunSuSs(AP, ISC, SP));
    EXPECT_EQ(SP.FCompute, 62.5);
    EXPECT_EQ(SP.SampleRemainder, 0);
    // 25.6 s at 62.5 Hz: 1600 computation samples make 25 whole seconds.
    const auto ss = ResultSamples(AP.OutputFileName, 1);
    ASSERT_EQ(ss.size(), 1800u);
    for (int s = 0; s < 25; ++s)
        EXPECT_NE(ss[s], 0) << s;
    for (int s = 25; s < 1800; ++s)
        ASSERT_EQ(ss[s], 0) << s;
}

// 51.2 Hz from half-second records (SampleRemainder 0): an hour is 3600 seconds, not the 3614
// that counting 51 samples would close.
TEST(SuSsRecords, FractionalFrequencyDoesNotDrift) {
    ScratchDir dir;
    MakeRecording(dir.File("in.edf"), "--duration=1h --rate=256 --record=0.5 --seed=2");
    TScopedFakeRun run(true);
    const TAnalysisParam AP = Params(dir.File("in.edf"), dir.File("r.edf"), 5);
    TInputSignalChar ISC;
    TSUSSParameters SP;
    ASSERT_TRUE(RunSuSs(AP, ISC, SP));
    EXPECT_EQ(SP.SampleRemainder, 0);
    EXPECT_EQ(Records(AP.OutputFileName), 2);
}

TEST(SuSsRecords, ShortRecordingAndTail) {
    const struct {
        const char* name;
        int32_t spr;
        double duration;
        int32_t records;
        int32_t resultsRecords, seconds;
    } cases[] = {
        {"HalfASecond", 32, 0.5, 1, 0, 0},
        {"OneHourAndAHundredSeconds", 64, 1, 3700, 3, 3700},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        WriteRecording(dir.File("in.edf"),
                       {.SamplesPerRecord = c.spr,
                        .RecordDuration = c.duration,
                        .Records = c.records,
                        .Sample = [](int64_t i) { return Sine(i, 4 / 64.0, 8000); }});
        TScopedFakeRun run(true);
        const TAnalysisParam AP = Params(dir.File("in.edf"), dir.File("r.edf"), 1, 4, 2, 1.8);
        TInputSignalChar ISC;
        TSUSSParameters SP;
        ASSERT_TRUE(RunSuSs(AP, ISC, SP));
        EXPECT_EQ(Records(AP.OutputFileName), c.resultsRecords);
        EXPECT_EQ(std::filesystem::file_size(AP.OutputFileName),
                  3840u + c.resultsRecords * 14u * 1800u * 2u);
        const auto ss = ResultSamples(AP.OutputFileName, 1);
        for (int s = 0; s < static_cast<int>(ss.size()); ++s)
            ASSERT_EQ(ss[s] != 0, s < c.seconds) << s;
        // Signals 2..13 are zero in every record this stage writes.
        for (int k = 2; k < 14; ++k) {
            const auto samples = ResultSamples(AP.OutputFileName, k);
            EXPECT_EQ(std::count(samples.begin(), samples.end(), 0), std::ssize(samples)) << k;
        }
    }
}

// ---- Windows, Cancel and failures --------------------------------------------------------------

TEST(SuSsWindows, ProgressOncePerRecordAndCancel) {
    ScratchDir dir;
    WriteRecording(dir.File("in.edf"),
                   {.Records = 40, .Sample = [](int64_t i) { return Sine(i, 0.0625, 8000); }});
    for (int cancelAt : {-1, 3}) {
        SCOPED_TRACE(cancelAt);
        TScopedFakeRun run(true);
        run.Windows.CancelAfterProcessMessages = cancelAt;
        const TAnalysisParam AP = Params(dir.File("in.edf"), dir.File("r.edf"), 1, 4, 2, 1.8);
        TInputSignalChar ISC;
        TSUSSParameters SP;
        EXPECT_EQ(RunSuSs(AP, ISC, SP), cancelAt < 0);
        EXPECT_EQ(run.Windows.ProcessMessagesCalls, cancelAt < 0 ? 40 : 3);
        EXPECT_EQ(run.Windows.OpenProgressWindows, 0);
        EXPECT_EQ(run.Windows.MainWindowDisabled, 0);
        EXPECT_EQ(run.Windows.EventsOf("text:"),
                  std::vector<std::string>{"Computing SU and SS from EDF inputfile"});
        EXPECT_EQ(run.Windows.EventsOf("position:").size(), cancelAt < 0 ? 40u : 2u);
        EXPECT_TRUE(SP.DueFilter == nullptr && SP.SeFilter == nullptr && SP.InBlock.empty());
        if (cancelAt < 0) {
            EXPECT_TRUE(run.Progress.Lines().empty());
            EXPECT_EQ(Records(AP.OutputFileName), 1);
        } else {
            EXPECT_EQ(run.Progress.Lines(),
                      std::vector<std::string>{"Error during SU/SS reduction"});
            EXPECT_TRUE(IsValidEDFFile(AP.OutputFileName, true));  // header stays, no records
            EXPECT_EQ(Records(AP.OutputFileName), 0);
        }
    }
}

// Cuts the input file short while the first record is being processed.
class TTruncatingWindows : public TFakeEngineWindows {
  public:
    std::string Victim;
    void ProcessMessages() override {
        TFakeEngineWindows::ProcessMessages();
        if (ProcessMessagesCalls == 1) std::filesystem::resize_file(Victim, 256 * 2 + 8192);
    }
};

TEST(SuSsWindows, UnreadableRecordIsReportedAndRaises) {
    // Read on the stage's thread (1), and ahead on a second thread (2), which may have read a
    // batch before the file was cut: either way the first record the file no longer holds
    // ends the stage.
    for (const auto& [batch, threads] : {std::pair{true, 1}, {false, 1}, {true, 2}, {false, 2}}) {
        SCOPED_TRACE(::testing::Message() << "batch " << batch << ", threads " << threads);
        ScratchDir dir;
        WriteRecording(dir.File("in.edf"), {.SamplesPerRecord = 4096, .Records = 4});
        TScopedFakeRun run(batch);
        AnalysisThreads = threads;
        TTruncatingWindows windows;
        windows.Victim = dir.File("in.edf");
        SetEngineWindows(&windows);
        const TAnalysisParam AP = Params(dir.File("in.edf"), dir.File("r.edf"), 64);
        TInputSignalChar ISC;
        TSUSSParameters SP;
        ASSERT_TRUE(GetInputSignalChar(AP, ISC));
        EXPECT_THROW(ComputeSuSs(SP, AP, ISC), EDataFile);
        const std::vector<std::string> message{"Unable to read datablock from EDF inputFile"};
        EXPECT_EQ(run.Progress.Lines(), batch ? message : std::vector<std::string>{});
        EXPECT_EQ(windows.Errors, batch ? std::vector<std::string>{} : message);
        EXPECT_EQ(windows.OpenProgressWindows, 0);
        EXPECT_EQ(windows.MainWindowDisabled, 0);
        SetEngineWindows(&run.Windows);
    }
}

TEST(SuSsWindows, ResultsFileThatIsTheInputIsRefused) {
    ScratchDir dir;
    WriteRecording(dir.File("in.edf"), {});
    std::filesystem::create_symlink(dir.File("in.edf"), dir.File("link.edf"));
    const std::string before = FileBytes(dir.File("in.edf"));
    TScopedFakeRun run(true);
    const TAnalysisParam AP = Params(dir.File("in.edf"), dir.File("link.edf"), 1);
    TInputSignalChar ISC;
    TSUSSParameters SP;
    EXPECT_FALSE(RunSuSs(AP, ISC, SP));
    ASSERT_EQ(run.Progress.Lines().size(), 1u);
    EXPECT_NE(run.Progress.Lines()[0].find("is the input file"), std::string::npos);
    EXPECT_EQ(FileBytes(dir.File("in.edf")), before);
}

TEST(SuSsWindows, EmptyPhysicalRangeLeavesNoInfinityInTheHeader) {
    ScratchDir dir;
    WriteRecording(dir.File("in.edf"), {.PhysicalMinimum = 100,
                                        .PhysicalMaximum = 100,
                                        .Sample = [](int64_t i) { return Sine(i, 0.0625, 8000); }});
    TScopedFakeRun run(true);
    TAnalysisParam AP = Params(dir.File("in.edf"), dir.File("r.edf"), 1, 4, 2, 1.8);
    TInputSignalChar ISC;
    TSUSSParameters SP;
    ASSERT_TRUE(RunSuSs(AP, ISC, SP));
    EXPECT_EQ(SP.PhysScale, 0);
    ISC.PiB = 9000;
    ASSERT_TRUE(CreateArtifactHeaders(AP, ISC, SP));
    ASSERT_TRUE(CreateSmoothedHeaders(AP, ISC));
    ASSERT_TRUE(CreateMCHeaders(AP, ISC, SP));
    const std::string bytes = FileBytes(AP.OutputFileName);
    const std::string header = bytes.substr(0, 3840);
    EXPECT_EQ(header.find("inf"), std::string::npos);
    EXPECT_EQ(header.find("nan"), std::string::npos);
    EXPECT_EQ(Trim(RawSignalField(bytes, 14, 0, sfPhysicalMaximum)), "32767");
    EXPECT_EQ(Trim(RawSignalField(bytes, 14, 11, sfPrefiltering)),
              "Microcontinuity (Method O.Tarn) physical piB=0.00");
    EXPECT_TRUE(IsValidEDFFile(AP.OutputFileName, true));
}

// ---- Real recordings ---------------------------------------------------------------------------

TEST(SuSsRealRecordings, EveryRecordingEndToEnd) {
    VANTREL_NEED_SHARED_DATA();
    for (const auto& path : SharedRecordings()) {
        SCOPED_TRACE(path.filename().string());
        ScratchDir dir;
        TEDFFile input;
        input.SetFileName(path.string());
        input.SetReadOnly(true);
        input.SetStrictChecking(false);
        input.SetActive(true);
        // The first signal sampled at 100 Hz or more.
        int32_t signal = 0;
        while (signal < input.SignalCount() &&
               input.Signal(signal).SamplesPerRecord() / input.FileInfo().RecordDuration() < 100)
            ++signal;
        ASSERT_LT(signal, input.SignalCount());
        const double seconds =
            static_cast<double>(input.NumberOfRecords() * input.FileInfo().RecordDuration());
        input.Close();

        TScopedFakeRun run(true);
        TAnalysisParam AP = Params(path.string(), dir.File("r.edf"), 0);
        AP.SignalIndex = signal;
        TInputSignalChar ISC;
        ASSERT_TRUE(GetInputSignalChar(AP, ISC));
        ASSERT_EQ(ValidateAnalysisParameters(AP.UndersamplingFactor, true, &run.Progress,
                                             ISC.SampleFrequency, 0.3, 35, AP.F0, AP.B, AP.Fc,
                                             AP.SmootherRate),
                  0);
        TSUSSParameters SP;
        ASSERT_TRUE(ComputeSuSs(SP, AP, ISC)) << ::testing::PrintToString(run.Progress.Lines());
        EXPECT_TRUE(run.Windows.Errors.empty());

        ASSERT_TRUE(IsValidEDFFile(AP.OutputFileName, true));
        TEDFFile results;
        results.SetFileName(AP.OutputFileName);
        results.SetReadOnly(true);
        results.SetActive(true);
        EXPECT_EQ(results.NumberOfRecords(), 1);
        EXPECT_EQ(results.FileInfo().RecordDuration(), 1800);
        EXPECT_EQ(results.Signal(0).Label().substr(0, 3), "SU ");
        EXPECT_EQ(results.Signal(1).Label().substr(0, 3), "SS ");
        EXPECT_EQ(results.Signal(0).Transducer(), Transducer0Text(SP.FCompute, AP.Fc, AP.F0, AP.B));
        const auto ss = ResultSamples(AP.OutputFileName, 1);
        for (size_t s = static_cast<size_t>(seconds) + 1; s < ss.size(); ++s)
            ASSERT_EQ(ss[s], 0) << s;
    }
}

}  // namespace
