// The analysis run: fills the per-run records, decides what to do with a results file that is
// already there, runs the stages in their fixed order under a progress window and, after a
// complete run only, gives signals 0..7 their final headers.
//
// A run that ends early (a stage fails, Cancel, an error raised by a stage) leaves the results
// file as the stages wrote it, without the final header fix: signal 0's physical dimension
// reads "Filtered" only in a complete file.
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"
#include "edf/uDataFile.h"
#include "edf/uEDFTools.h"
#include "edf/udDisk.h"
#include "support/uExceptions.h"
#include "support/uMath.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

// The fixed arguments of every smoothing call.
constexpr int32_t kArtifactSpread = 7;
constexpr double kMCGain = 10.0;
constexpr double kMCEventLimit = 2.0;
constexpr double kMCJumpLimit = 0.5;
constexpr int32_t kMCEventSamples = 1;

enum TSmoothOption : uint8_t {
    kSmoothArtifacts = 0,
    kSmoothSuSs = 1,
    kSmoothMCEvents = 2,
    kSmoothMCTraces = 3
};

constexpr const char* kTransducerTag = "fCompute/fc/f0/B =";

// The plain number reader: '.' as decimal separator, no thousands separator. Raises like the
// other readers, so an unreadable stored number ends the run with an error.
double ReadPlainNumber(const std::string& text) {
    double value = 0;
    if (!TryStrToFloatSep(text, '.', '\0', value))
        throw EConvertError("'" + text + "' is not a valid floating point value");
    return value;
}

// ---------------------------------------------------------------------------------------------
// The results-file check

// The four numbers of signal 0's transducer text "fCompute/fc/f0/B =F/Fc/F0/BHz.". The
// computation frequency stays a text: it is compared at its stored resolution.
struct TStoredParameters {
    std::string FComputeText;
    double Fc = 0;
    double F0 = 0;
    double B = 0;
};

TStoredParameters ReadStoredParameters(std::string text) {
    text.erase(0, text.find('=') + 1);
    TStoredParameters stored;
    stored.FComputeText = NextToken(text, "/", true);
    ReadPlainNumber(stored.FComputeText);  // an unreadable frequency is an error like the others
    stored.Fc = ReadPlainNumber(NextToken(text, "/", true));
    stored.F0 = ReadPlainNumber(NextToken(text, "/", true));
    stored.B = ReadPlainNumber(Trim(text.substr(0, text.find("Hz"))));
    return stored;
}

// The input's data record duration and record count; zeros when the file cannot be read.
struct TInputLayout {
    long double RecordDuration = 0;
    int32_t Records = 0;
};

TInputLayout ReadInputLayout(const std::string& inputFileName) {
    try {
        TEDFFile input;
        OpenForReading(input, inputFileName);
        if (!input.IsValid()) return {};
        return {input.FileInfo().RecordDuration(), input.NumberOfRecords()};
    } catch (const Exception&) {
        return {};
    }
}

// The data records the SU/SS stage writes for the whole input.
int64_t ExpectedResultsRecords(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                               const TSUSSParameters& SP) {
    const int32_t N = AP.UndersamplingFactor;
    if (N < 1 || SP.SamplesPerSecond < 1) return -1;
    const int64_t seconds =
        ResultsSeconds(ReadInputLayout(AP.InputFileName).Records, ISC.SamplesPerRecord, N, SP);
    return (seconds + results::kSamplesPerRecord - 1) / results::kSamplesPerRecord;
}

// The results file was made from this input signal with this run's computation frequency, Fc,
// F0 and B, and its SU/SS stage ran to the end (a cancelled one leaves fewer records), so its
// SU and SS are what this run would compute.
bool SameAnalysis(const TStoredParameters& stored, const TCustomEDFFileInfo& info,
                  const TAnalysisParam& AP, const TInputSignalChar& ISC,
                  const TSUSSParameters& SP) {
    const std::string recording =
        RecordingText(AP.F0, AP.SignalIndex, ISC.SignalLabel, AP.InputFileName);
    return stored.Fc == AP.Fc && stored.F0 == AP.F0 && stored.B == AP.B &&
           stored.FComputeText == CFormat("%.3f", SP.FCompute) &&
           TrimRight(info.GetRecording()) == TrimRight(recording) &&
           info.NumberOfRecords() == ExpectedResultsRecords(AP, ISC, SP);
}

std::string RecalculateQuestion() {
    return std::string("You have previously calculated SU and SS with") + '\r' +
           "different analysis parameters" + '\r' + '\r' +
           "Recalculate SS and SU with new analysis parameters?";
}

std::string ResmoothQuestion(const TAnalysisParam& AP, TEDFFile& file) {
    const TCustomEDFFileInfo& info = file.FileInfo();
    const TCustomEDFSignalInfo& su = file.Signal(results::kSU);
    const char cr = '\r';
    return "Microcontinuity file " + AP.OutputFileName + " already contains:" + cr + cr +
           info.GetPatient() + cr + info.GetRecording() + cr + su.Transducer() + cr +
           su.Prefiltering() + cr + cr + "Re-smooth with smoother update rate of " +
           FormatFloatGeneral(AP.SmootherRate, 5) + "/s";
}

// Opens the results file read-only; false when it cannot be opened or is not a valid EDF file.
// Leniently, as every stage opens it: the SU/SS stage copies the patient text from the input as
// it is, and a file this program wrote must not be called "not an EDF file" for that. A file
// cut short passes here and fails the record count of the signature.
bool OpenExistingResultsFile(TEDFFile& file, const std::string& fileName) {
    try {
        OpenForReading(file, fileName);
        return file.IsValid();
    } catch (const Exception&) {
        return false;
    }
}

bool HasSignalAt(const TCustomEDFSignalInfo& signal, const char* labelStart) {
    return signal.Label().compare(0, 3, labelStart) == 0 &&
           signal.SamplesPerRecord() == results::kSamplesPerRecord;
}

// ---------------------------------------------------------------------------------------------
// Input and results file before the stage groups

// A signal header of the results file as the SU/SS stage creates it, before any later stage
// has named it: SU and SS keep label, transducer and prefiltering; signals 2..13 are blank.
void RestoreCreatedHeader(TCustomEDFSignalInfo& signal, int index, const TAnalysisParam& AP,
                          const TSUSSParameters& SP) {
    const double physicalMaximum = 32767 / SP.PhysScale;
    const bool scaled = SP.PhysScale != 0 && std::isfinite(physicalMaximum);
    signal.SetPhysicalDimension(DimText(AP.F0));
    signal.SetPhysicalMinimum(scaled ? -physicalMaximum : -32767);
    signal.SetPhysicalMaximum(scaled ? physicalMaximum : 32767);
    if (index <= results::kSS) return;
    signal.SetLabel("");
    signal.SetTransducer("");
    signal.SetPrefiltering("");
    signal.SetReserved("");
    signal.SetDigitalMinimum(-32767);
    signal.SetDigitalMaximum(32767);
}

// Makes an existing results file look as the SU/SS stage leaves a new one: headers as created,
// signals 2..13 zero in every record. No value of the earlier run can then feed this one, and
// a re-smooth that stops early never looks complete.
void ResetToSuSs(const TAnalysisParam& AP, const TSUSSParameters& SP) {
    TEDFFile file;
    OpenResultsFile(file, AP.OutputFileName);
    for (int k = 0; k < results::kSignals; ++k)
        RestoreCreatedHeader(file.Signal(k), k, AP, SP);
    file.WriteHeader();
    TDynSmallIntArray& buffer = file.GetRecordBuffer();
    const size_t first = static_cast<size_t>(file.Signal(results::kSUPlus).SampleOffset());
    for (int32_t record = 0; record < file.NumberOfRecords(); ++record) {
        file.ReadRecord(record);
        std::fill(buffer.begin() + first, buffer.end(), int16_t{0});
        file.WriteRecord(record);
    }
    file.Close();  // a write error raises here, never lost in the destructor
}

// What to do with a results file that is there at the start of the run.
enum class TExistingResults { None, Resmooth, Recompute, NoRun };

// Reads the input records the check compares with and asks CheckResultsFile. The input file
// itself is never examined as results, let alone deleted: the SU/SS stage refuses that name.
TExistingResults ExamineExistingResults(const TAnalysisParam& AP, TInputSignalChar& ISC,
                                        TSUSSParameters& SP) {
    if (!FileExists(AP.OutputFileName) || IsSameFile(AP.OutputFileName, AP.InputFileName))
        return TExistingResults::None;
    if (!GetInputSignalChar(AP, ISC)) {
        ReportMessage("Error getting input signal characteristics");
        return TExistingResults::NoRun;
    }
    if (!PrepareSuSsParameters(SP, AP, ISC, ReadInputLayout(AP.InputFileName).RecordDuration)) {
        ReportMessage("Unable to compute SS and SU from inputfile");
        return TExistingResults::NoRun;
    }
    bool recompute = false;
    if (!CheckResultsFile(AP, ISC, SP, recompute)) return TExistingResults::NoRun;
    return recompute ? TExistingResults::Recompute : TExistingResults::Resmooth;
}

// Fills the input records and leaves a results file holding this run's SU and SS: either the
// one that is there (re-smooth) or a new one. False when the run does not go on.
bool PrepareResults(TAnalysisParam& AP, TInputSignalChar& ISC, TSUSSParameters& SP) {
    const TExistingResults existing = ExamineExistingResults(AP, ISC, SP);
    switch (existing) {
        case TExistingResults::NoRun:
            return false;
        case TExistingResults::Resmooth:
            try {
                ResetToSuSs(AP, SP);
            } catch (const Exception& e) {
                ReportMessage("Unable to prepare outputfile " + AP.OutputFileName +
                              " for re-smoothing: " + e.Message());
                return false;
            }
            return true;
        case TExistingResults::Recompute:
            // When the deletion fails the SU/SS stage overwrites the file or reports why it
            // cannot: SU and SS of other parameters are never re-smoothed.
            DeleteFile(AP.OutputFileName);
            break;
        case TExistingResults::None:
            if (!GetInputSignalChar(AP, ISC)) {
                ReportMessage("Error getting input signal characteristics");
                return false;
            }
            break;
    }
    if (!ComputeSuSs(SP, AP, ISC)) {
        ReportMessage("Unable to compute SS and SU from inputfile");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The progress window of the stage groups

// Shows the run's progress window with the main window disabled; on every path out it hides
// the window, enables the main window, lets pending events run and releases the window.
class TRunProgress {
  public:
    TRunProgress() : FWindow(EngineWindows().CreateProgress()) {
        if (!FWindow) throw EInvalidOperation("No progress window");
        FWindow->SetText("");
        FDisabler.emplace();
        FWindow->Show();
        EngineWindows().ProcessMessages();
    }
    ~TRunProgress() {
        try {
            FWindow->Hide();
        } catch (...) {
        }
        FDisabler.reset();
        try {
            EngineWindows().ProcessMessages();
        } catch (...) {
        }
    }
    TRunProgress(const TRunProgress&) = delete;
    TRunProgress& operator=(const TRunProgress&) = delete;

    TProgressWindow& Window() { return *FWindow; }

  private:
    std::unique_ptr<TProgressWindow> FWindow;  // released last
    std::optional<TMainWindowDisabler> FDisabler;
};

struct TStageCall {
    std::function<bool()> Run;
    const char* Failure;  // reported when Run returns false
};

struct TStageGroup {
    const char* Text;  // progress text set before the group; nullptr keeps the current one
    std::vector<TStageCall> Calls;
    int Position;  // progress bar after the group
};

std::vector<TStageGroup> StageGroups(const TAnalysisParam& AP, TInputSignalChar& ISC,
                                     const TSUSSParameters& SP) {
    // piB is decoded again before every call: DetectPiB sets it after the table is built.
    auto smooth = [&AP, &ISC](TSmoothOption option) {
        return [&AP, &ISC, option] {
            return MC_Smooth(AP, option, XPiBPlus, XPiBMinus, XPiBZero, kArtifactSpread, kMCGain,
                             kMCEventLimit, kMCJumpLimit, kMCEventSamples, PhysicalPiB(ISC.PiB));
        };
    };
    const TStageCall mcTraces{smooth(kSmoothMCTraces),
                              "Unable to compute SSP, SSo and MC (MCSMooth)"};
    return {
        {"Detecting piB from SS and SU signals",
         {{[&AP, &ISC] { return DetectPiB(AP, ISC); }, "Unable to detect piB from SS and SU"}},
         10},
        {"Computing artifact traces",
         {{[&] { return CreateArtifactHeaders(AP, ISC, SP); },
           "Unable to create headers for the artifact signals"},
          {smooth(kSmoothArtifacts), "Unable to create artifact traces (MCSMooth)"}},
         25},
        {"Smoothing SS and SU",
         {{[&AP, &ISC] { return CreateSmoothedHeaders(AP, ISC); },
           "Unable to create headers for the SU+/- and SS+/- signals"},
          {smooth(kSmoothSuSs), "Unable to create SU+/- and SS+/- traces (MCSMooth)"}},
         40},
        {"Detecting MC events",
         {{[&] { return CreateMCHeaders(AP, ISC, SP); },
           "Unable to create headers for MC event signals"},
          {smooth(kSmoothMCEvents), "Unable to create MC event traces (MCSMooth)"}},
         55},
        {"Resmoothing SU and SS rejecting MC events",
         {{smooth(kSmoothSuSs), "Unable to resmooth SU and SS (MCSMooth)"}},
         70},
        {"Computing SSP, SS0 and MC", {mcTraces}, 80},
        {nullptr, {mcTraces}, 90},
        {nullptr, {mcTraces}, 100},
    };
}

// Groups 1..8. False when a call failed (reported) or the user pressed Cancel (silent).
bool RunStageGroups(const TAnalysisParam& AP, TInputSignalChar& ISC, const TSUSSParameters& SP,
                    TProgressWindow& progress) {
    TEngineWindows& windows = EngineWindows();
    for (const TStageGroup& group : StageGroups(AP, ISC, SP)) {
        if (group.Text) progress.SetText(group.Text);
        for (const TStageCall& call : group.Calls) {
            windows.ProcessMessages();
            if (!call.Run()) {
                ReportMessage(call.Failure);
                return false;
            }
        }
        if (progress.Cancelled()) return false;
        progress.SetPosition(group.Position);
        windows.ProcessMessages();
    }
    return true;
}

}  // namespace

int64_t RunEventThreshold(double SmootherRate) {
    return static_cast<int64_t>(
        RoundHalfEven(static_cast<long double>(kMCEventLimit) * SmootherRate * 100 * kMCGain));
}

bool CheckResultsFile(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                      const TSUSSParameters& SP, bool& Recompute) {
    Recompute = false;
    TEDFFile file;
    if (!OpenExistingResultsFile(file, AP.OutputFileName)) {
        ReportMessage("Outputfile exists but is not an EDF file");
        return false;
    }
    if (file.SignalCount() != results::kSignals) {
        ReportMessage("Outputfile should contain " + std::to_string(results::kSignals) +
                      " signals");
        return false;
    }
    if (!HasSignalAt(file.Signal(results::kSU), "SU ") ||
        !HasSignalAt(file.Signal(results::kSS), "SS ")) {
        ReportMessage("SU and/or SS not at expected places in outputfile");
        return false;
    }
    const std::string& transducer = file.Signal(results::kSU).Transducer();
    if (transducer.find(kTransducerTag) == std::string::npos) {
        ReportMessage("Outputfile has wrong prefilter label format.");
        return false;
    }
    const TStoredParameters stored = ReadStoredParameters(transducer);

    const bool batch = RunContext().BatchMode;
    if (!SameAnalysis(stored, file.FileInfo(), AP, ISC, SP)) {
        Recompute = batch || EngineWindows().Confirm(RecalculateQuestion());
        if (!Recompute) return false;
    }
    if (batch) return true;
    return EngineWindows().Confirm(ResmoothQuestion(AP, file));
}

bool RunAnalysis(const std::string& InputFileName, int32_t SignalIndex,
                 const std::string& OutputFileName, double F0, double B, double Fc,
                 double SmootherRate, int32_t UndersamplingFactor, bool BatchMode, bool PrintPiB,
                 bool ExportBmp, TProgressList* ProgressList) {
    TAnalysisParam AP;
    AP.InputFileName = InputFileName;
    AP.SignalIndex = SignalIndex;
    AP.OutputFileName = OutputFileName;
    AP.F0 = F0;
    AP.B = B;
    AP.Fc = Fc;
    AP.SmootherRate = SmootherRate;
    AP.UndersamplingFactor = UndersamplingFactor;
    TInputSignalChar ISC;
    TSUSSParameters SP;

    TRunContext& context = RunContext();
    context.ProgressList = ProgressList;
    context.BatchMode = BatchMode;
    context.PrintPiB = PrintPiB;
    context.ExportBmp = ExportBmp;

    if (!PrepareResults(AP, ISC, SP)) return false;

    TRunProgress progress;
    if (!RunStageGroups(AP, ISC, SP, progress.Window())) return false;
    if (context.BeforeFinalHeaderFix) {
        try {
            context.BeforeFinalHeaderFix(AP, ISC, SP);
        } catch (const std::exception& e) {
            ReportMessage(e.what());
            return false;
        }
    }
    // The last moment a Cancel (or a termination signal) is heeded: after it the file is final.
    if (progress.Window().Cancelled()) return false;
    FinalHeaderFix(AP.OutputFileName);
    return true;
}

}  // namespace vantrel
