// The whole analysis run: the decision for an existing results file, re-smoothing, Cancel,
// failures, the progress shown, the final header fix, and full runs on real and generated
// recordings.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "FakeWindows.h"
#include "Recordings.h"
#include "ResultsFiles.h"
#include "SharedData.h"
#include "analysis/uVantrel4.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::TFakeEngineWindows;
using testing::TScopedFakeRun;
using testing::TScratchDir;
using vantrel_test::FileBytes;
using vantrel_test::MakeRecording;

// ---------------------------------------------------------------------------------------------
// Helpers

// The slow-wave preset; a factor of 2 gives 64 Hz on the 128 Hz recordings of the suite.
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

// The SU/SS stage ran in this run (its progress text was shown).
bool ComputedSuSs(const TFakeEngineWindows& windows) {
    const auto texts = windows.EventsOf("text:");
    return std::count(texts.begin(), texts.end(), "Computing SU and SS from EDF inputfile") > 0;
}

// Fake windows that tell the run's own progress window (the one whose first text is empty)
// from the stages' windows: Cancel is pressed on it alone, and its texts and bar values are
// kept apart. The histogram window can be made to raise.
class TRunWindows : public TFakeEngineWindows {
  public:
    std::vector<std::string> RunWindow;  // "text:..." and "position:N" of the run's window
    int CancelInGroup = 0;               // 1..8: pressed just before that group; 0: never
    bool HistogramRaises = false;

    std::unique_ptr<TProgressWindow> CreateProgress() override {
        return std::make_unique<TWatched>(*this, TFakeEngineWindows::CreateProgress());
    }
    void ProcessMessages() override {
        TFakeEngineWindows::ProcessMessages();
        const auto positions = std::count_if(RunWindow.begin(), RunWindow.end(),
                                             [](auto& e) { return e.rfind("position:", 0) == 0; });
        if (FRunWindowOpen && CancelInGroup > 0 && positions == CancelInGroup - 1)
            FCancelPressed = true;
    }
    void ShowPiBHistogram(const TPiBHistogramData& data, bool print, bool exportBmp) override {
        TFakeEngineWindows::ShowPiBHistogram(data, print, exportBmp);
        if (HistogramRaises) throw std::runtime_error("no printer");
    }

  private:
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

class TScopedRunWindows {
  public:
    explicit TScopedRunWindows(bool batch) : FScope(batch) { SetEngineWindows(&Windows); }
    TProgressList& Progress() { return FScope.Progress; }
    TRunWindows Windows;

  private:
    TScopedFakeRun FScope;
};

// What a results file shows of the stages that ran, read with strict checking.
struct TResultsState {
    std::string SUDimension;  // "Filtered" after the final fix
    std::string Labels;       // labels of signals 2, 8 and 11, joined by '|'
    bool LogFloat = false;    // signals 0..7 recognised as log-float
    int32_t Records = 0;
    bool SUPlusWritten = false;  // signal 2 holds a sample other than 0
};

TResultsState ReadResults(const std::string& fileName) {
    TResultsState state;
    if (!fs::exists(fileName)) return state;
    TEDFFile file;
    file.SetFileName(fileName);
    file.SetReadOnly(true);
    file.SetActive(true);
    if (!file.IsValid() || file.SignalCount() != results::kSignals) return state;
    state.SUDimension = file.Signal(0).PhysicalDimension();
    state.Labels =
        file.Signal(2).Label() + "|" + file.Signal(8).Label() + "|" + file.Signal(11).Label();
    state.LogFloat = true;
    for (int k = 0; k <= results::kSS0; ++k)
        state.LogFloat &= file.Signal(k).IsLogFloat();
    state.Records = file.NumberOfRecords();
    const auto& buffer = file.GetRecordBuffer();
    const auto first = buffer.begin() + file.Signal(2).SampleOffset();
    for (int32_t r = 0; r < state.Records && !state.SUPlusWritten; ++r) {
        file.ReadRecord(r);
        state.SUPlusWritten = std::any_of(first, first + results::kSamplesPerRecord,
                                          [](int16_t v) { return v != 0; });
    }
    return state;
}

// A batch run without windows that completes silently: its file reopens strictly with the
// final header fix, signals 0..7 log-float.
TResultsState ExpectCompleteRun(const TRunArgs& a) {
    TScopedFakeRun scope(true);
    EXPECT_TRUE(RunWith(a, true, &scope.Progress));
    EXPECT_EQ(scope.Progress.Lines(), std::vector<std::string>{});
    const TResultsState state = ReadResults(a.Output);
    EXPECT_EQ(state.SUDimension, "Filtered");
    EXPECT_TRUE(state.LogFloat);
    return state;
}

void EditResults(const std::string& fileName, const std::function<void(TEDFFile&)>& edit) {
    TEDFFile file;
    file.SetFileName(fileName);
    file.SetStrictChecking(false);
    file.SetActive(true);
    edit(file);
    file.WriteHeader();
}

// A marker in SU's first sample survives a re-smooth and is gone after a full run.
constexpr int16_t kMarker = 12345;
void SetMarker(const std::string& fileName) {
    EditResults(fileName, [](TEDFFile& f) {
        f.ReadRecord(0);
        f.GetRecordBuffer()[0] = kMarker;
        f.WriteRecord(0);
    });
}
bool HasMarker(const std::string& fileName) {
    bool found = false;
    EditResults(fileName, [&](TEDFFile& f) {
        f.ReadRecord(0);
        found = f.GetRecordBuffer()[0] == kMarker;
    });
    return found;
}

// A one-hour recording at 128 Hz (two results records) and the complete results file of a run
// on it, made once for the suite.
class AnalysisRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        Shared = new TScratchDir;
        MakeRecording(Shared->File("night.edf"), "--duration=1h --rate=128");
        TRunArgs a = SharedArgs();
        a.Output = CompleteResults();
        ExpectCompleteRun(a);
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

    // Arguments whose results file is a fresh copy of the complete one.
    TRunArgs ArgsWithResults() {
        TRunArgs a = SharedArgs();
        a.Output = Dir.File("results.edf");
        fs::copy_file(CompleteResults(), a.Output, fs::copy_options::overwrite_existing);
        return a;
    }
    TRunArgs ArgsWithoutResults(const std::string& name) {
        TRunArgs a = SharedArgs();
        a.Output = Dir.File(name + ".edf");
        return a;
    }

    static TScratchDir* Shared;
    TScratchDir Dir;
};
TScratchDir* AnalysisRun::Shared = nullptr;

// ---------------------------------------------------------------------------------------------
// The decision for an existing results file

TEST_F(AnalysisRun, DecisionTableForAnExistingResultsFile) {
    enum TOutcome { kNoRun, kResmooth, kFullRun };
    const struct {
        bool same, batch;
        std::vector<bool> answers;  // recalculate (when asked), then re-smooth
        std::vector<int> asked;     // 0 recalculate, 1 re-smooth
        TOutcome outcome;
    } rows[] = {
        {true, true, {}, {}, kResmooth},
        {false, true, {}, {}, kFullRun},
        {true, false, {true}, {1}, kResmooth},
        {true, false, {false}, {1}, kNoRun},
        {false, false, {false}, {0}, kNoRun},
        {false, false, {true, true}, {0, 1}, kFullRun},
        {false, false, {true, false}, {0, 1}, kNoRun},
    };
    const std::string cr = "\r";
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "same " << row.same << ", batch " << row.batch
                                          << ", answers " << row.answers.size());
        TRunArgs a = ArgsWithResults();
        if (!row.same) a.Fc = 1.7;
        SetMarker(a.Output);
        TEDFFile file;  // the texts the re-smooth question shows
        file.SetFileName(a.Output);
        file.SetReadOnly(true);
        file.SetActive(true);
        const std::string questions[] = {
            "You have previously calculated SU and SS with" + cr + "different analysis parameters" +
                cr + cr + "Recalculate SS and SU with new analysis parameters?",
            "Microcontinuity file " + a.Output + " already contains:" + cr + cr +
                file.FileInfo().GetPatient() + cr + file.FileInfo().GetRecording() + cr +
                "fCompute/fc/f0/B =64.000/1.800/1.000/1.500Hz." + cr +
                file.Signal(0).Prefiltering() + cr + cr +
                "Re-smooth with smoother update rate of 0.01666/s"};
        file.Close();
        std::vector<std::string> asked;
        for (int q : row.asked)
            asked.push_back(questions[q]);
        const std::string before = FileBytes(a.Output);
        TScopedRunWindows scope(row.batch);
        scope.Windows.Answers.assign(row.answers.begin(), row.answers.end());

        EXPECT_EQ(RunWith(a, row.batch, &scope.Progress()), row.outcome != kNoRun);
        EXPECT_EQ(scope.Windows.Questions, asked);
        EXPECT_TRUE(scope.Windows.Errors.empty());
        EXPECT_TRUE(scope.Progress().Lines().empty());
        if (row.outcome == kNoRun) {
            EXPECT_TRUE(FileBytes(a.Output) == before);
            EXPECT_TRUE(scope.Windows.EventsOf("progress-created").empty());
        } else {
            EXPECT_EQ(ComputedSuSs(scope.Windows), row.outcome == kFullRun);
            EXPECT_EQ(HasMarker(a.Output), row.outcome == kResmooth);
            EXPECT_EQ(ReadResults(a.Output).SUDimension, "Filtered");
        }
    }
}

// Each case spoils one thing of the signature; batch mode reports it as a progress line, or
// the file counts as made with other parameters and is recomputed.
TEST_F(AnalysisRun, TheReuseSignature) {
    auto transducer = [](const char* text) {
        return [text](const TRunArgs& a) {
            EditResults(a.Output, [text](TEDFFile& f) { f.Signal(0).SetTransducer(text); });
        };
    };
    auto label = [](int signal, const char* text) {
        return [signal, text](const TRunArgs& a) {
            EditResults(a.Output, [=](TEDFFile& f) { f.Signal(signal).SetLabel(text); });
        };
    };
    const struct {
        const char* name;
        std::function<void(const TRunArgs&)> spoil;
        const char* line;  // the one progress line; nullptr: recomputed
    } cases[] = {
        {"not EDF", [](const TRunArgs& a) { std::ofstream(a.Output) << "results"; },
         "Outputfile exists but is not an EDF file"},
        {"13 signals",
         [](const TRunArgs& a) { MakeRecording(a.Output, "--duration=2s --signals=13"); },
         "Outputfile should contain 14 signals"},
        {"SU label", label(0, "SUuV**2/x"), "SU and/or SS not at expected places in outputfile"},
        {"SS label", label(1, "SU uV**2/x"), "SU and/or SS not at expected places in outputfile"},
        {"transducer", transducer("fCompute/fc/f0/B=64.000/1.800/1.000/1.500Hz."),
         "Outputfile has wrong prefilter label format."},
        {"F0 1.2345", [](const TRunArgs&) {}, nullptr},
        {"frequency", transducer("fCompute/fc/f0/B =64.001/1.800/1.000/1.500Hz."), nullptr},
        {"recording",
         [](const TRunArgs& a) {
             EditResults(a.Output, [](TEDFFile& f) {
                 f.FileInfo().SetRecording("Microcontinuity analysis at 1.0Hz of ch.1");
             });
         },
         nullptr},
        {"SU/SS cut short",  // as a cancelled SU/SS stage leaves it: one record less
         [](const TRunArgs& a) {
             fs::resize_file(a.Output, fs::file_size(a.Output) -
                                           results::kSignals * results::kSamplesPerRecord * 2);
             EditResults(a.Output,
                         [](TEDFFile& f) { f.FileInfo().SetNumberOfRecords(f.NumberOfRecords()); });
         },
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TRunArgs a = ArgsWithResults();
        if (!c.line) SetMarker(a.Output);
        c.spoil(a);
        if (std::string(c.name) == "F0 1.2345") a.F0 = 1.2345;  // stored as 1.235
        TScopedFakeRun scope(true);
        EXPECT_EQ(RunWith(a, true, &scope.Progress), !c.line);
        EXPECT_EQ(scope.Progress.Lines(),
                  c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
        if (!c.line) {
            EXPECT_FALSE(HasMarker(a.Output));
        }
    }

    // A patient text copied from the input as it is (not strictly valid EDF) leaves the file
    // this program's results file.
    {
        TRunArgs a = ArgsWithResults();
        EditResults(a.Output, [](TEDFFile& f) { f.FileInfo().SetPatient("X X X Jos\xC3\xA9"); });
        const TAnalysisParam AP = vantrel_test::Params(a.Input, a.Output, a.Factor);
        TInputSignalChar ISC;
        TSUSSParameters SP;
        ASSERT_TRUE(GetInputSignalChar(AP, ISC) && PrepareSuSsParameters(SP, AP, ISC, 1.0L));
        TScopedFakeRun scope(true);
        bool recompute = true;
        EXPECT_TRUE(CheckResultsFile(AP, ISC, SP, recompute));
        EXPECT_FALSE(recompute);
        EXPECT_TRUE(scope.Progress.Lines().empty());
    }

    // An unreadable stored number raises before anything is changed or shown.
    TRunArgs a = ArgsWithResults();
    transducer("fCompute/fc/f0/B =64.000/1.8x0/1.000/1.500Hz.")(a);
    const std::string before = FileBytes(a.Output);
    TScopedRunWindows scope(true);
    EXPECT_THROW(RunWith(a, true, &scope.Progress()), EConvertError);
    EXPECT_TRUE(FileBytes(a.Output) == before);
    EXPECT_TRUE(scope.Windows.Events.empty());
}

TEST_F(AnalysisRun, AResmoothedFileEqualsAFullRunWithTheNewRate) {
    TRunArgs resmoothed = ArgsWithResults();
    resmoothed.Rate = 0.05;
    TRunArgs full = resmoothed;
    full.Output = Dir.File("full.edf");
    ExpectCompleteRun(full);
    TScopedFakeRun scope(true);
    ASSERT_TRUE(RunWith(resmoothed, true, &scope.Progress));
    EXPECT_FALSE(ComputedSuSs(scope.Windows));
    EXPECT_TRUE(FileBytes(resmoothed.Output) == FileBytes(full.Output));
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

// An interactive run shows every group, the histogram, and writes what a batch run writes.
TEST_F(AnalysisRun, ShowsEveryGroupsTextAndBarValueInOrder) {
    TRunArgs a = ArgsWithoutResults("interactive");
    TScopedRunWindows scope(false);
    ASSERT_TRUE(RunWith(a, false));
    EXPECT_EQ(scope.Windows.RunWindow, kRunWindowEvents);
    EXPECT_EQ(scope.Windows.HistogramsShown, 1);
    EXPECT_TRUE(scope.Windows.Errors.empty());
    const auto& e = scope.Windows.Events;
    EXPECT_EQ(std::vector<std::string>(e.end() - 3, e.end()),
              (std::vector<std::string>{"hide", "enabled:1", "progress-released"}));
    EXPECT_TRUE(FileBytes(a.Output) == FileBytes(CompleteResults()));
}

// Cancel is seen after the group in which it was pressed: nothing later runs, nothing is
// reported, no final fix; the headers of the stages that ran are in the file.
TEST_F(AnalysisRun, CancelEndsTheRunAfterTheGroup) {
    const char* labelsAfter[] = {"||", "|HF artifact|", "SU+uV**2/x|HF artifact|",
                                 "SU+uV**2/x|HF artifact|MC"};
    for (int group = 1; group <= 8; ++group) {
        SCOPED_TRACE(group);
        TRunArgs a = ArgsWithoutResults("cancel" + std::to_string(group));
        TScopedRunWindows scope(false);
        scope.Windows.CancelInGroup = group;
        EXPECT_FALSE(RunWith(a, false));
        // Texts and bar values up to the text of the cancelled group (6..8 share one text).
        const int shown = 2 * group - std::max(0, group - 6);
        EXPECT_EQ(
            scope.Windows.RunWindow,
            std::vector<std::string>(kRunWindowEvents.begin(), kRunWindowEvents.begin() + shown));
        EXPECT_TRUE(scope.Windows.Errors.empty());
        EXPECT_EQ(scope.Windows.OpenProgressWindows, 0);
        EXPECT_EQ(scope.Windows.MainWindowDisabled, 0);
        const TResultsState state = ReadResults(a.Output);
        EXPECT_EQ(state.SUDimension, "at 1.0Hz");
        EXPECT_EQ(state.Labels, labelsAfter[std::min(group, 4) - 1]);
        EXPECT_EQ(state.SUPlusWritten, group >= 3);
    }

    // A re-smooth cancelled in group 1 leaves a file as a new one: nothing of the earlier run.
    TRunArgs a = ArgsWithResults();
    TScopedRunWindows scope(false);
    scope.Windows.Answers = {true};
    scope.Windows.CancelInGroup = 1;
    EXPECT_FALSE(RunWith(a, false));
    const TResultsState state = ReadResults(a.Output);
    EXPECT_EQ(state.SUDimension, "at 1.0Hz");
    EXPECT_EQ(state.Labels, "||");
    EXPECT_FALSE(state.SUPlusWritten);
}

TEST_F(AnalysisRun, FailuresAreReportedOnceAndEndTheRun) {
    const struct {
        const char* name;
        std::function<void(TRunArgs&)> change;
        std::vector<std::string> lines;
        const char* dimension;  // of SU afterwards; "": no results file
    } cases[] = {
        {"missing input",
         [](TRunArgs& a) { a.Input += ".missing"; },
         {"Error getting input signal characteristics"},
         ""},
        {"signal index",
         [](TRunArgs& a) { a.Signal = 1; },
         {"Error getting input signal characteristics"},
         ""},
        {"below 1 Hz",
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TRunArgs a = ArgsWithoutResults(c.name);
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
    TRunArgs a = ArgsWithoutResults("raised");
    TScopedRunWindows scope(false);
    scope.Windows.HistogramRaises = true;
    EXPECT_THROW(RunWith(a, false), std::runtime_error);
    EXPECT_EQ(scope.Windows.OpenProgressWindows, 0);
    EXPECT_EQ(scope.Windows.MainWindowDisabled, 0);
    EXPECT_EQ(scope.Windows.RunWindow,
              std::vector<std::string>(kRunWindowEvents.begin(), kRunWindowEvents.begin() + 2));
    EXPECT_EQ(ReadResults(a.Output).SUDimension, "at 1.0Hz");
}

// ---------------------------------------------------------------------------------------------
// Full runs

// The first EEG signal of at least 100 Hz of each recording (else the first such signal), with
// the factor the parameter check chooses; then re-smoothed with another rate, which must give
// the file of a full run with that rate.
TEST(AnalysisRunRecordings, EveryRealRecordingRunsToTheEndAndResmoothsLikeAFullRun) {
    VANTREL_NEED_SHARED_DATA();
    TScratchDir dir;
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
        const double duration = static_cast<double>(input.FileInfo().RecordDuration());
        auto eeg = [&](int k) { return input.Signal(k).Label().find("EEG") != std::string::npos; };
        a.Signal = -1;
        for (int k = input.SignalCount() - 1; k >= 0; --k)
            if (input.Signal(k).SamplesPerRecord() >= 100 * duration &&
                input.Signal(k).Label() != "EDF Annotations" &&
                (a.Signal < 0 || eeg(k) || !eeg(a.Signal)))
                a.Signal = k;
        ASSERT_GE(a.Signal, 0);
        const double fs = input.Signal(a.Signal).SamplesPerRecord() / duration;
        a.Factor = 0;
        ASSERT_EQ(ValidateAnalysisParameters(a.Factor, true, nullptr, fs, 0.3, fs / 2, a.F0, a.B,
                                             a.Fc, a.Rate),
                  0);
        ExpectCompleteRun(a);

        TRunArgs resmoothed = a;
        resmoothed.Rate = 0.05;
        TRunArgs full = resmoothed;
        full.Output = dir.File(recording.stem().string() + ".full.edf");
        ExpectCompleteRun(full);
        TScopedFakeRun scope(true);
        EXPECT_TRUE(RunWith(resmoothed, true, &scope.Progress));
        EXPECT_FALSE(ComputedSuSs(scope.Windows));
        EXPECT_TRUE(FileBytes(resmoothed.Output) == FileBytes(full.Output));
    }
}

// Synthetic nights at 256 Hz with flat, saturated and noisy stretches, analysed with the
// factor the parameter check chooses for LP 70 Hz (5, 51.2 Hz); two runs give the same bytes.
TEST(AnalysisRunRecordings, GeneratedRecordingsOfOneToEightHours) {
    TScratchDir dir;
    for (int hours : {1, 3, 8}) {
        SCOPED_TRACE(hours);
        TRunArgs a;
        a.Input = dir.File(std::to_string(hours) + "h.edf");
        a.Output = dir.File(std::to_string(hours) + "h.mc.edf");
        a.Factor = 5;
        MakeRecording(a.Input,
                      "--duration=" + std::to_string(hours) + "h --seed=" + std::to_string(hours));
        EXPECT_EQ(ExpectCompleteRun(a).Records, 2 * hours);
        if (hours == 1) {
            TRunArgs again = a;
            again.Output = dir.File("again.mc.edf");
            ExpectCompleteRun(again);
            EXPECT_TRUE(FileBytes(again.Output) == FileBytes(a.Output));
        }
    }
}

// The input read past the page cache, and the results smoothed record by record instead of held
// whole, give the bytes of a run that reads its input from the page cache and holds its results.
TEST(AnalysisRunRecordings, ReadingFromTheDiskAndSmoothingRecordByRecordGiveTheSameBytes) {
    TScratchDir dir;
    TRunArgs cached;
    cached.Input = dir.File("2h.edf");
    cached.Output = dir.File("cached.mc.edf");
    cached.Factor = 5;
    MakeRecording(cached.Input, "--duration=2h --signals=4 --seed=3");
    ExpectCompleteRun(cached);
    const struct {
        const char* Name;
        bool FromDisk;
        int64_t SmoothingMemory;
    } cases[] = {
        {"disk", true, SmoothingMemoryBytes},
        {"records", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRunArgs a = cached;
        a.Output = dir.File(std::string(c.Name) + ".mc.edf");
        if (c.FromDisk) vantrel_test::DropFromPageCache(a.Input);
        TScopedFakeRun scope(true);
        SmoothingMemoryBytes = c.SmoothingMemory;
        ASSERT_TRUE(RunWith(a, true, &scope.Progress));
        EXPECT_TRUE(FileBytes(a.Output) == FileBytes(cached.Output));
    }
}

}  // namespace
}  // namespace vantrel
