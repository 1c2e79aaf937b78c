// The whole analysis run: the decision for an existing results file, re-smoothing, Cancel,
// failures, the progress shown, the final header fix, and full runs on real and generated
// recordings.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "FakeWindows.h"
#include "SharedData.h"
#include "analysis/uVantrel4.h"
#include "edf/uDataFile.h"
#include "support/udStr.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::TFakeEngineWindows;
using testing::TScopedFakeRun;

// ---------------------------------------------------------------------------------------------
// Helpers

class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "vantrel-run-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    std::string File(const std::string& name) const { return (FPath / name).string(); }

  private:
    fs::path FPath;
};

std::string Bytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A sleep-like EEG at 128 Hz in 1 s records: slow waves whose amplitude drifts over minutes,
// on noise; the same bytes on every call.
void WriteRecording(const std::string& fileName, int seconds, int signalCount = 1) {
    TEDFFile file;
    file.SetFileName(fileName);
    file.CreateNew(signalCount, true);
    file.FileInfo().SetPatient("X X X X");
    file.FileInfo().SetRecording("Startdate X X X X");
    file.FileInfo().SetStartDateTime(44000.5);
    file.FileInfo().SetRecordDuration(1);
    for (int k = 0; k < signalCount; ++k) {
        TCustomEDFSignalInfo& s = file.Signal(k);
        s.SetLabel("EEG C" + std::to_string(k + 3) + "-A2");
        s.SetPhysicalDimension("uV");
        s.SetPhysicalMinimum(-500);
        s.SetPhysicalMaximum(500);
        s.SetDigitalMinimum(-32767);
        s.SetDigitalMaximum(32767);
        s.SetPrefiltering("HP:0.3Hz LP:70Hz");
        s.SetSamplesPerRecord(128);
    }
    file.WriteHeader();
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 1500.0);
    TDynSmallIntArray& buffer = file.GetRecordBuffer();
    for (int r = 0; r < seconds; ++r) {
        for (size_t i = 0; i < buffer.size(); ++i) {
            const double t = r + (i % 128) / 128.0;
            const double wave = 6000 * (1.2 + std::sin(t / 97.0)) * std::sin(2 * M_PI * t);
            buffer[i] = static_cast<int16_t>(std::clamp(wave + noise(random), -32767.0, 32767.0));
        }
        file.WriteRecord(r);
    }
}

// The analysis parameters of the tests: the slow-wave preset at 64 Hz.
struct TRunArgs {
    std::string Input, Output;
    int32_t Signal = 0;
    double F0 = 1.0, B = 1.5, Fc = 1.8, Rate = 0.01666;
    int32_t Factor = 2;
};

bool RunWith(const TRunArgs& a, bool batch, TProgressList* list = nullptr) {
    return RunAnalysis(a.Input, a.Signal, a.Output, a.F0, a.B, a.Fc, a.Rate, a.Factor, batch, false,
                       false, list);
}

bool RunHeadless(const TRunArgs& a) {
    TScopedFakeRun scope(true);
    return RunWith(a, true, &scope.Progress);
}

// Fake windows that tell the run's own progress window (the one whose first text is empty)
// from the stages' windows: Cancel is pressed on it alone, its texts and bar values are kept
// apart, and the histogram window can be made to raise.
class TRunWindows : public TFakeEngineWindows {
  public:
    std::vector<std::string> RunWindow;  // "text:..." and "position:N" of the run's window
    int CancelInGroup = 0;               // 1..8: pressed before the group starts; 0: never
    bool HistogramRaises = false;

    std::unique_ptr<TProgressWindow> CreateProgress() override {
        return std::make_unique<TWatched>(*this, TFakeEngineWindows::CreateProgress());
    }
    void ProcessMessages() override {
        TFakeEngineWindows::ProcessMessages();
        if (FRunWindowOpen && CancelInGroup > 0 && Positions() == CancelInGroup - 1)
            FCancelPressed = true;
    }
    void ShowPiBHistogram(const TPiBHistogramData& data, bool print, bool exportBmp) override {
        TFakeEngineWindows::ShowPiBHistogram(data, print, exportBmp);
        if (HistogramRaises) throw std::runtime_error("no printer");
    }

  private:
    int Positions() const {
        int n = 0;
        for (const std::string& e : RunWindow)
            n += e.rfind("position:", 0) == 0;
        return n;
    }

    class TWatched : public TProgressWindow {
      public:
        TWatched(TRunWindows& owner, std::unique_ptr<TProgressWindow> inner)
            : FOwner(owner), FInner(std::move(inner)) {}
        ~TWatched() override {
            if (FIsRun) FOwner.FRunWindowOpen = false;
        }
        void SetText(const std::string& text) override {
            if (FFirstText && text.empty()) FOwner.FRunWindowOpen = FIsRun = true;
            FFirstText = false;
            if (FIsRun) FOwner.RunWindow.push_back("text:" + text);
            FInner->SetText(text);
        }
        void SetPosition(int percent) override {
            if (FIsRun) FOwner.RunWindow.push_back("position:" + std::to_string(percent));
            FInner->SetPosition(percent);
        }
        bool Cancelled() const override { return FIsRun && FOwner.FCancelPressed; }
        void Show() override { FInner->Show(); }
        void Hide() override { FInner->Hide(); }

      private:
        TRunWindows& FOwner;
        std::unique_ptr<TProgressWindow> FInner;
        bool FFirstText = true;
        bool FIsRun = false;
    };

    bool FRunWindowOpen = false;
    bool FCancelPressed = false;
};

// Installs TRunWindows for one test.
class TScopedRunWindows {
  public:
    explicit TScopedRunWindows(bool batch) : FScope(batch) { SetEngineWindows(&Windows); }
    TProgressList& Progress() { return FScope.Progress; }
    TRunWindows Windows;

  private:
    TScopedFakeRun FScope;
};

// What a results file shows of the stages that ran.
struct TResultsState {
    std::string SUDimension;  // "Filtered" after the final fix
    std::string Labels;       // labels of signals 2, 8 and 11, joined by '|'
    bool SignalsLogFloat = false;
    int32_t Records = 0;
};

TResultsState ReadResults(const std::string& fileName, bool strict = true) {
    TResultsState state;
    if (!fs::exists(fileName)) return state;
    TEDFFile file;
    file.SetFileName(fileName);
    file.SetReadOnly(true);
    file.SetStrictChecking(strict);
    file.SetActive(true);
    if (!file.IsValid() || file.SignalCount() != results::kSignals) return state;
    state.SUDimension = file.Signal(0).PhysicalDimension();
    state.Labels =
        file.Signal(2).Label() + "|" + file.Signal(8).Label() + "|" + file.Signal(11).Label();
    state.SignalsLogFloat = true;
    for (int k = 0; k <= results::kSS0; ++k)
        state.SignalsLogFloat = state.SignalsLogFloat && file.Signal(k).IsLogFloat();
    state.Records = file.NumberOfRecords();
    return state;
}

// Changes the results file: a header field, or a marker in SU's first sample that survives a
// re-smooth and is gone after a full run.
void EditResults(const std::string& fileName, const std::function<void(TEDFFile&)>& edit) {
    TEDFFile file;
    file.SetFileName(fileName);
    file.SetReadOnly(false);
    file.SetActive(true);
    edit(file);
    file.WriteHeader();
    file.Close();
}
constexpr int16_t kMarker = 12345;
void SetMarker(const std::string& fileName) {
    EditResults(fileName, [](TEDFFile& f) {
        f.ReadRecord(0);
        f.GetRecordBuffer()[0] = kMarker;
        f.WriteRecord(0);
    });
}
bool HasMarker(const std::string& fileName) {
    TEDFFile file;
    file.SetFileName(fileName);
    file.SetReadOnly(true);
    file.SetActive(true);
    file.ReadRecord(0);
    return file.GetRecordBuffer()[0] == kMarker;
}

// A one-hour recording and the complete results file of a run with TRunArgs' parameters,
// made once for the whole suite.
class AnalysisRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        Shared = new ScratchDir;
        WriteRecording(Shared->File("night.edf"), 3600);
        TRunArgs a = SharedArgs();
        a.Output = CompleteResults();
        ASSERT_TRUE(RunHeadless(a));
    }
    static void TearDownTestSuite() {
        delete Shared;
        Shared = nullptr;
    }
    static TRunArgs SharedArgs() {
        TRunArgs a;
        a.Input = Shared->File("night.edf");
        return a;
    }
    static std::string CompleteResults() { return Shared->File("complete.edf"); }

    // This test's own copy of the complete results file.
    TRunArgs ArgsWithResults() {
        TRunArgs a = SharedArgs();
        a.Output = Dir.File("results.edf");
        fs::copy_file(CompleteResults(), a.Output, fs::copy_options::overwrite_existing);
        return a;
    }

    static ScratchDir* Shared;
    ScratchDir Dir;
};
ScratchDir* AnalysisRun::Shared = nullptr;

const char* const kRecalculate =
    "You have previously calculated SU and SS with\rdifferent analysis parameters\r\r"
    "Recalculate SS and SU with new analysis parameters?";

// ---------------------------------------------------------------------------------------------
// The decision for an existing results file

TEST_F(AnalysisRun, DecisionTableForAnExistingResultsFile) {
    enum TOutcome { kNoRun, kResmooth, kFullRun };
    struct Row {
        bool same;
        bool batch;
        std::vector<bool> answers;  // recalculate (when asked), then re-smooth
        int questions;
        TOutcome outcome;
    } rows[] = {
        {true, true, {}, 0, kResmooth},           {false, true, {}, 0, kFullRun},
        {true, false, {true}, 1, kResmooth},      {true, false, {false}, 1, kNoRun},
        {false, false, {false}, 1, kNoRun},       {false, false, {true, true}, 2, kFullRun},
        {false, false, {true, false}, 2, kNoRun},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "same " << row.same << ", batch " << row.batch
                                          << ", answers " << row.answers.size());
        TRunArgs a = ArgsWithResults();
        if (!row.same) a.Fc = 1.7;
        SetMarker(a.Output);
        const std::string before = Bytes(a.Output);
        TScopedRunWindows scope(row.batch);
        scope.Windows.Answers.assign(row.answers.begin(), row.answers.end());

        EXPECT_EQ(RunWith(a, row.batch, &scope.Progress()), row.outcome != kNoRun);

        const auto& questions = scope.Windows.Questions;
        ASSERT_EQ(static_cast<int>(questions.size()), row.questions);
        if (!row.same && !row.batch) {
            EXPECT_EQ(questions[0], kRecalculate);
        }
        if (row.questions > (row.same ? 0 : 1)) {
            EXPECT_EQ(questions.back().rfind(
                          "Microcontinuity file " + a.Input + " already contains:\r\rX X X X\r", 0),
                      0u)
                << questions.back();
        }
        EXPECT_TRUE(scope.Windows.Errors.empty());
        EXPECT_TRUE(scope.Progress().Lines().empty());
        switch (row.outcome) {
            case kNoRun:
                EXPECT_EQ(Bytes(a.Output), before);
                EXPECT_EQ(scope.Windows.EventsOf("progress-created").size(), 0u);
                break;
            case kResmooth:
                EXPECT_TRUE(HasMarker(a.Output));
                EXPECT_EQ(ReadResults(a.Output).SUDimension, "Filtered");
                break;
            case kFullRun:
                EXPECT_FALSE(HasMarker(a.Output));
                EXPECT_EQ(ReadResults(a.Output).SUDimension, "Filtered");
                break;
        }
    }
}

TEST_F(AnalysisRun, TheResmoothQuestionShowsTheFileAndTheNewRate) {
    TRunArgs a = ArgsWithResults();
    a.Rate = 0.05;
    TScopedRunWindows scope(false);
    scope.Windows.Answers = {false};
    EXPECT_FALSE(RunWith(a, false));
    TEDFFile file;
    file.SetFileName(a.Output);
    file.SetReadOnly(true);
    file.SetActive(true);
    const std::string cr = "\r";
    ASSERT_EQ(scope.Windows.Questions.size(), 1u);
    EXPECT_EQ(scope.Windows.Questions[0],
              "Microcontinuity file " + a.Input + " already contains:" + cr + cr +
                  file.FileInfo().GetPatient() + cr + file.FileInfo().GetRecording() + cr +
                  "fCompute/fc/f0/B =64.000/1.800/1.000/1.500Hz." + cr +
                  file.Signal(0).Prefiltering() + cr + cr +
                  "Re-smooth with smoother update rate of 0.05/s");
}

// Each case spoils one thing of the signature; batch mode reports it as a progress line.
TEST_F(AnalysisRun, TheReuseSignature) {
    struct Case {
        const char* name;
        std::function<void(const TRunArgs&)> spoil;
        const char* line;  // the one progress line; nullptr: counts as other parameters
    } cases[] = {
        {"not EDF", [](const TRunArgs& a) { std::ofstream(a.Output) << "results"; },
         "Outputfile exists but is not an EDF file"},
        {"13 signals", [](const TRunArgs& a) { WriteRecording(a.Output, 2, 13); },
         "Outputfile should contain 14 signals"},
        {"SU label",
         [](const TRunArgs& a) {
             EditResults(a.Output, [](TEDFFile& f) { f.Signal(0).SetLabel("SUuV**2/x"); });
         },
         "SU and/or SS not at expected places in outputfile"},
        {"SS label",
         [](const TRunArgs& a) {
             EditResults(a.Output, [](TEDFFile& f) { f.Signal(1).SetLabel("SU uV**2/x"); });
         },
         "SU and/or SS not at expected places in outputfile"},
        {"transducer",
         [](const TRunArgs& a) {
             EditResults(a.Output, [](TEDFFile& f) {
                 f.Signal(0).SetTransducer("fCompute/fc/f0/B=64.000/1.800/1.000/1.500Hz.");
             });
         },
         "Outputfile has wrong prefilter label format."},
        {"F0 1.2345", [](const TRunArgs&) {}, nullptr},
        {"computation frequency",
         [](const TRunArgs& a) {
             EditResults(a.Output, [](TEDFFile& f) {
                 f.Signal(0).SetTransducer("fCompute/fc/f0/B =64.001/1.800/1.000/1.500Hz.");
             });
         },
         nullptr},
        {"SU/SS cut short",  // as a cancelled SU/SS stage leaves it: one record less
         [](const TRunArgs& a) {
             fs::resize_file(a.Output, fs::file_size(a.Output) -
                                           results::kSignals * results::kSamplesPerRecord * 2);
             TEDFFile file;
             file.SetFileName(a.Output);
             file.SetStrictChecking(false);
             file.SetActive(true);
             file.FileInfo().SetNumberOfRecords(file.NumberOfRecords());
             file.WriteHeader();
         },
         nullptr},
        {"other recording",
         [](const TRunArgs& a) {
             EditResults(a.Output, [](TEDFFile& f) {
                 f.FileInfo().SetRecording("Microcontinuity analysis at 1.0Hz of ch.1");
             });
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRunArgs a = ArgsWithResults();
        if (!c.line) SetMarker(a.Output);
        c.spoil(a);
        if (std::string(c.name) == "F0 1.2345") a.F0 = 1.2345;
        TScopedFakeRun scope(true);
        const bool done = RunWith(a, true, &scope.Progress);
        if (c.line) {
            EXPECT_FALSE(done);
            EXPECT_EQ(scope.Progress.Lines(), std::vector<std::string>{c.line});
        } else {
            EXPECT_TRUE(done);  // recomputed from the input
            EXPECT_FALSE(HasMarker(a.Output));
        }
    }
}

TEST_F(AnalysisRun, AnUnreadableStoredNumberRaisesBeforeAnythingRuns) {
    TRunArgs a = ArgsWithResults();
    EditResults(a.Output, [](TEDFFile& f) {
        f.Signal(0).SetTransducer("fCompute/fc/f0/B =64.000/1.8x0/1.000/1.500Hz.");
    });
    const std::string before = Bytes(a.Output);
    TScopedRunWindows scope(true);
    EXPECT_THROW(RunWith(a, true, &scope.Progress()), EConvertError);
    EXPECT_EQ(Bytes(a.Output), before);
    EXPECT_EQ(scope.Windows.OpenProgressWindows, 0);
    EXPECT_EQ(scope.Windows.MainWindowDisabled, 0);
}

// ---------------------------------------------------------------------------------------------
// Re-smoothing gives the file of a full run

TEST_F(AnalysisRun, AResmoothedFileEqualsAFullRunWithTheNewRate) {
    TRunArgs resmoothed = ArgsWithResults();
    resmoothed.Rate = 0.05;
    TRunArgs full = resmoothed;
    full.Output = Dir.File("full.edf");
    ASSERT_TRUE(RunHeadless(resmoothed));
    ASSERT_TRUE(RunHeadless(full));
    EXPECT_TRUE(Bytes(resmoothed.Output) == Bytes(full.Output));
}

TEST_F(AnalysisRun, TwoRunsWriteTheSameBytes) {
    TRunArgs a = SharedArgs();
    a.Output = Dir.File("again.edf");
    ASSERT_TRUE(RunHeadless(a));
    EXPECT_TRUE(Bytes(a.Output) == Bytes(CompleteResults()));
}

// ---------------------------------------------------------------------------------------------
// Progress, Cancel and failures

const std::vector<std::string> kRunWindowEvents = {
    "text:",        "text:Detecting piB from SS and SU signals",
    "position:10",  "text:Computing artifact traces",
    "position:25",  "text:Smoothing SS and SU",
    "position:40",  "text:Detecting MC events",
    "position:55",  "text:Resmoothing SU and SS rejecting MC events",
    "position:70",  "text:Computing SSP, SS0 and MC",
    "position:80",  "position:90",
    "position:100",
};

TEST_F(AnalysisRun, ShowsEveryGroupsTextAndBarValueInOrder) {
    TRunArgs a = SharedArgs();
    a.Output = Dir.File("interactive.edf");
    TScopedRunWindows scope(false);
    ASSERT_TRUE(RunWith(a, false));
    EXPECT_EQ(scope.Windows.RunWindow, kRunWindowEvents);
    EXPECT_EQ(scope.Windows.HistogramsShown, 1);
    EXPECT_TRUE(scope.Windows.Errors.empty());
    const auto& e = scope.Windows.Events;
    ASSERT_GE(e.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(e.end() - 3, e.end()),
              (std::vector<std::string>{"hide", "enabled:1", "progress-released"}));
    EXPECT_TRUE(Bytes(a.Output) == Bytes(CompleteResults()));
}

// Cancel is seen after the group in which it was pressed: nothing later runs, nothing is
// reported, no final fix; the stages' headers so far are in the file.
TEST_F(AnalysisRun, CancelEndsTheRunAfterTheGroup) {
    const char* labelsAfter[] = {"",  // before group 1
                                 "||", "|HF artifact|", "SU+uV**2/x|HF artifact|",
                                 "SU+uV**2/x|HF artifact|MC"};
    for (int group = 1; group <= 8; ++group) {
        SCOPED_TRACE(group);
        TRunArgs a = SharedArgs();
        a.Output = Dir.File("cancel" + std::to_string(group) + ".edf");
        TScopedRunWindows scope(false);
        scope.Windows.CancelInGroup = group;
        EXPECT_FALSE(RunWith(a, false));
        // The texts and bar values up to the text of the cancelled group (6..8 share one).
        const int shown = 2 * group - std::max(0, group - 6);
        EXPECT_EQ(
            scope.Windows.RunWindow,
            std::vector<std::string>(kRunWindowEvents.begin(), kRunWindowEvents.begin() + shown));
        EXPECT_TRUE(scope.Windows.Errors.empty());
        EXPECT_EQ(scope.Windows.OpenProgressWindows, 0);
        EXPECT_EQ(scope.Windows.MainWindowDisabled, 0);
        const TResultsState state = ReadResults(a.Output);
        EXPECT_EQ(state.SUDimension, "at 1.0Hz");
        EXPECT_EQ(state.Labels, labelsAfter[std::min(group, 4)]);
    }
}

TEST_F(AnalysisRun, FailuresAreReportedOnceAndEndTheRun) {
    struct Case {
        const char* name;
        std::function<void(TRunArgs&)> change;
        std::vector<std::string> lines;
        std::string dimension;  // of SU afterwards; empty: no results file
    } cases[] = {
        {"missing input",
         [](TRunArgs& a) { a.Input += ".missing"; },
         {"Error getting input signal characteristics"},
         ""},
        {"signal index",
         [](TRunArgs& a) { a.Signal = 1; },
         {"Error getting input signal characteristics"},
         ""},
        {"under 1 Hz",
         [](TRunArgs& a) { a.Factor = 200; },
         {"The underSampled frequency should be >= 1 Hz",
          "Unable to compute SS and SU from inputfile"},
         ""},
        {"rate 0",
         [](TRunArgs& a) { a.Rate = 0; },
         {"SmoothRate=0 but should be > 0.0 and < 1.0",
          "Unable to create artifact traces (MCSMooth)"},
         "at 1.0Hz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRunArgs a = SharedArgs();
        a.Output = Dir.File(std::string(c.name) + ".edf");
        c.change(a);
        TScopedRunWindows scope(true);
        EXPECT_FALSE(RunWith(a, true, &scope.Progress()));
        EXPECT_EQ(scope.Progress().Lines(), c.lines);
        EXPECT_EQ(ReadResults(a.Output).SUDimension, c.dimension);
        EXPECT_EQ(scope.Windows.OpenProgressWindows, 0);
        EXPECT_EQ(scope.Windows.MainWindowDisabled, 0);
    }
}

TEST_F(AnalysisRun, AnErrorRaisedInAStageLeavesAfterTheClosingSteps) {
    TRunArgs a = SharedArgs();
    a.Output = Dir.File("raised.edf");
    TScopedRunWindows scope(false);
    scope.Windows.HistogramRaises = true;
    EXPECT_THROW(RunWith(a, false), std::runtime_error);
    EXPECT_EQ(scope.Windows.OpenProgressWindows, 0);
    EXPECT_EQ(scope.Windows.MainWindowDisabled, 0);
    EXPECT_EQ(scope.Windows.RunWindow,
              (std::vector<std::string>{"text:", "text:Detecting piB from SS and SU signals"}));
    EXPECT_EQ(ReadResults(a.Output).SUDimension, "at 1.0Hz");
}

// ---------------------------------------------------------------------------------------------
// Full runs

void ExpectCompleteRun(const TRunArgs& a) {
    TScopedFakeRun scope(true);
    ASSERT_TRUE(RunWith(a, true, &scope.Progress))
        << ::testing::PrintToString(scope.Progress.Lines());
    const TResultsState state = ReadResults(a.Output, true);
    EXPECT_EQ(state.SUDimension, "Filtered");
    EXPECT_TRUE(state.SignalsLogFloat);
    EXPECT_TRUE(scope.Progress.Lines().empty());
}

// The first EEG signal of at least 100 Hz of each recording (else the first such signal), with
// the slow-wave preset and the factor the parameter check chooses.
TEST(AnalysisRunRecordings, EveryRealRecordingRunsToTheEnd) {
    VANTREL_NEED_SHARED_DATA();
    ScratchDir dir;
    for (const fs::path& recording : vantrel_test::SharedRecordings()) {
        SCOPED_TRACE(recording.filename().string());
        TRunArgs a;
        a.Input = recording.string();
        a.Output = dir.File(recording.stem().string() + ".mc.edf");
        TEDFFile input;
        input.SetFileName(a.Input);
        input.SetReadOnly(true);
        input.SetStrictChecking(false);
        input.SetActive(true);
        auto frequency = [&input](int k) {
            return input.Signal(k).SamplesPerRecord() /
                   static_cast<double>(input.FileInfo().RecordDuration());
        };
        a.Signal = -1;
        for (int k = input.SignalCount() - 1; k >= 0; --k) {
            const std::string& label = input.Signal(k).Label();
            if (frequency(k) < 100 || label == "EDF Annotations") continue;
            if (a.Signal < 0 || label.find("EEG") != std::string::npos ||
                input.Signal(a.Signal).Label().find("EEG") == std::string::npos)
                a.Signal = k;
        }
        ASSERT_GE(a.Signal, 0);
        const double fs = frequency(a.Signal);
        input.Close();
        a.Factor = 0;
        ASSERT_EQ(ValidateAnalysisParameters(a.Factor, true, nullptr, fs, 0.3, fs / 2, a.F0, a.B,
                                             a.Fc, a.Rate),
                  0);
        ExpectCompleteRun(a);

        // Re-smoothed with another rate it equals a full run with that rate.
        TRunArgs resmoothed = a;
        resmoothed.Rate = 0.05;
        TRunArgs full = resmoothed;
        full.Output = dir.File(recording.stem().string() + ".full.edf");
        ExpectCompleteRun(full);
        TScopedFakeRun scope(false);
        scope.Windows.Answers = {true};
        EXPECT_TRUE(RunWith(resmoothed, false));
        EXPECT_EQ(scope.Windows.Questions.size(), 1u);  // the re-smooth question only
        EXPECT_TRUE(Bytes(resmoothed.Output) == Bytes(full.Output));
    }
}

// The synthetic nights of tools/make-recording (256 Hz, with flat, saturated and noisy
// stretches), analysed with the factor the parameter check chooses for LP 70 Hz.
TEST(AnalysisRunRecordings, GeneratedRecordingsOfOneToEightHours) {
    const std::string tool = std::string(VANTREL_TOOLS_DIR) + "/make-recording";
    if (!fs::exists(tool)) GTEST_SKIP() << tool << " not built";
    ScratchDir dir;
    for (int hours : {1, 3, 8}) {
        SCOPED_TRACE(hours);
        TRunArgs a;
        a.Input = dir.File(std::to_string(hours) + "h.edf");
        a.Output = dir.File(std::to_string(hours) + "h.mc.edf");
        const std::string command = tool + " --duration=" + std::to_string(hours) +
                                    "h --seed=" + std::to_string(hours) + " " + a.Input;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        a.Factor = 0;
        ASSERT_EQ(ValidateAnalysisParameters(a.Factor, true, nullptr, 256, 0.3, 70, a.F0, a.B, a.Fc,
                                             a.Rate),
                  0);
        ExpectCompleteRun(a);
        EXPECT_EQ(ReadResults(a.Output).Records, 2 * hours);
    }
}

}  // namespace
}  // namespace vantrel
