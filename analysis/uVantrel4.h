// The microcontinuity (MC) analysis engine: the analysis parameters and their check, the run
// from the input signal to the results file, and the numerical stages:
//   SU/SS computation -> piB detection -> artifact traces -> smoothing, MC events, MC traces.
// Every stage reads and writes the results file record by record through the EDF library.
//
// The engine knows no windows. What it needs from them (message box, Yes/No question, progress
// window with Cancel, processing pending events, the piB results window) goes through
// TEngineWindows, which the application implements with Qt and tests implement with fakes.
//
// The code behind this header lives in files named after what they hold:
//   uVantrel4Context.cpp     settings, run context, ReportMessage, TProgressList
//   uVantrel4Params.cpp      ValidateAnalysisParameters, CheckParameterFields
//   uVantrel4Layout.cpp      the results file's texts and header stages
//   uVantrel4SuSs.cpp        GetInputSignalChar, ComputeSuSs, CreateResultsFile, ReduceSuSs
//   uVantrel4PiB.cpp         DetectPiB and the match curve
//   uVantrel4Smooth.cpp      MC_Smooth and its steps
//   uVantrel4Records.cpp     results-file samples by signal and second (internal header)
//   uVantrel4Run.cpp         RunAnalysis, CheckResultsFile
//   uVantrel4Diagnosis.cpp   ResultsSeconds, FailureCause
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edf/uEDF.h"
#include "filters/uFilter.h"
#include "support/uDynamicArray.h"

namespace vantrel {

// ---------------------------------------------------------------------------------------------
// Per-run records

// The parameters of one run, filled by RunAnalysis from its arguments.
struct TAnalysisParam {
    std::string InputFileName;        // input EDF file
    int32_t SignalIndex = 0;          // analysed signal, 0 = first (users type 1-based numbers)
    std::string OutputFileName;       // results EDF file
    double F0 = 0;                    // Hz, centre frequency of the analysed rhythm
    double B = 0;                     // Hz, bandwidth of the analyser
    double Fc = 0;                    // Hz, cut-off of the physiological first-order low-pass
    double SmootherRate = 0;          // 1/s, fraction of the smoother output renewed per second
    int32_t UndersamplingFactor = 0;  // keep every n-th input sample; fixed before the run
};

// The analysed input signal, read from the input header by GetInputSignalChar; PiB is set by
// DetectPiB.
struct TInputSignalChar {
    std::string SignalLabel;       // the signal's label field
    double SampleFrequency = 0;    // Hz: samples per record / record duration
    int32_t SamplesPerRecord = 0;  // samples of this signal in each data record
    int32_t RecordOffset = 0;      // index of the signal's first sample in the record buffer
    double DigitalGain = 0;        // digital units per physical unit; 0 for a zero phys. range
    int32_t DigitalZero = 0;       // digital value of physical zero (rounded, ties to even)
    int32_t PiB = 0;               // detected piB as a log-float code (Y0 0.0001, A 0.001)
};

// The working record of the SU/SS computation. The scalars stay for the whole run (later header
// texts use FCompute and PhysScale); the filters and block arrays live while the stage runs.
struct TSUSSParameters {
    double FCompute = 0;             // Hz, computation frequency: SamplesPerRecord / (N x D)
    int32_t SamplesPerSecond = 0;    // FCompute truncated
    int32_t SampleRemainder = 0;     // SamplesPerRecord - round(SamplesPerSecond x N x D)
    long double SampleInterval = 0;  // s, 1 / FCompute
    TDynSmallIntArray InBlock;       // undersampled samples of the current record
    std::vector<double> DueOut;      // DU/E filter output for InBlock
    std::vector<double> SeOut;       // SE filter output for InBlock
    std::unique_ptr<TCustomFilter> DueFilter;
    std::unique_ptr<TCustomFilter> SeFilter;
    double SUScale = 0;          // sqrt(2) / 32767
    double SSScale = 0;          // SUScale x 25 x SampleInterval
    double PhysScale = 0;        // DigitalGain^2 x 8 x 200 x SUScale
    int64_t SecondsWritten = 0;  // seconds of SU and SS the stage wrote (not its padding)
};

// ---------------------------------------------------------------------------------------------
// Engine settings: process-wide, with defaults; only the command line changes them.

extern int32_t XPiBPlus;           // HF artifact threshold in units of piB (default 9)
extern int32_t XPiBMinus;          // LF artifact threshold (default -9)
extern int32_t XPiBZero;           // missing-signal threshold (default 10)
extern double IIRBackpolate;       // backpolate value of the SE filter (default 0.5)
extern std::string DUEFilterName;  // factory name of the DU/E filter: DUE, DUE1987, DUE2007
// Threads a run may use: the SU/SS stage's input reader and piB's match curve. 0 = one per core;
// 1 = the calling thread only (a cohort runs one process per core).
extern int32_t AnalysisThreads;
// The most bytes of results samples a smoothing call holds in memory (default 32 MiB, 13 days):
// a results file within it is read once and written once per call, a longer one record by
// record.
extern int64_t SmoothingMemoryBytes;
void ResetEngineSettings();  // back to the defaults (tests)

// ---------------------------------------------------------------------------------------------
// The windows, as the engine sees them

// The batch progress list: the lines of the main window's progress memo, owned by the shell.
// Append splits a text at its line feeds (and CRs) into one line per part; OnAppend, when set,
// sees every line as it is appended (the shell echoes batch lines to standard error).
class TProgressList {
  public:
    void Append(const std::string& text);
    const std::vector<std::string>& Lines() const { return FLines; }
    void Clear() { FLines.clear(); }
    std::function<void(const std::string&)> OnAppend;

  private:
    std::vector<std::string> FLines;
};

// One progress window: a text, a bar 0..100 and a Cancel button. Destroying it hides and
// releases the window.
class TProgressWindow {
  public:
    virtual ~TProgressWindow() = default;
    virtual void SetText(const std::string& text) = 0;
    virtual void SetPosition(int percent) = 0;  // 0 .. 100
    virtual bool Cancelled() const = 0;         // set by Cancel, never reset
    virtual void Show() = 0;
    virtual void Hide() = 0;
};

// What piB detection hands to the results window.
struct TPiBHistogramData {
    const std::vector<int32_t>* Histogram = nullptr;     // 32001 bins, bin = code + 2000
    const std::vector<int32_t>* HistogramSum = nullptr;  // moving sum over 2K + 1 bins
    const std::vector<double>* Correlation = nullptr;    // match curve, indexed like the bins
    int32_t MatchingPeak = 0;                            // P, index of the matching peak
    int32_t HalfWidth = 0;                               // K = 91
    int32_t PiB = 0;                                     // log-float code
    std::string InputFileName;
    std::string SignalLabel;
    TAnalysisParam Params;
};

// Everything the engine needs from windows. The Qt shell implements it; tests use fakes.
class TEngineWindows {
  public:
    virtual ~TEngineWindows() = default;
    virtual void ShowError(const std::string& text) = 0;  // error box, one OK button
    virtual bool Confirm(const std::string& text) = 0;    // Yes/No box: true for Yes
    virtual std::unique_ptr<TProgressWindow> CreateProgress() = 0;
    virtual void SetMainWindowEnabled(bool enabled) = 0;
    virtual void ProcessMessages() = 0;  // let pending window events run
    // Shows (interactive: modal until closed), prints and/or exports the histogram. Raises on a
    // failure (no printer, a bitmap that cannot be written): the run then fails.
    virtual void ShowPiBHistogram(const TPiBHistogramData& data, bool print, bool exportBmp) = 0;
};

// Windows for a headless engine: no box is shown, questions answer No, progress windows are
// never cancelled, the histogram is not shown.
class TNullEngineWindows : public TEngineWindows {
  public:
    void ShowError(const std::string&) override {}
    bool Confirm(const std::string&) override { return false; }
    std::unique_ptr<TProgressWindow> CreateProgress() override;
    void SetMainWindowEnabled(bool) override {}
    void ProcessMessages() override {}
    void ShowPiBHistogram(const TPiBHistogramData&, bool, bool) override {}
};

// The run context: process-wide, set at the start of every run, read by ReportMessage and the
// stages. Windows is never null (a TNullEngineWindows until the shell sets its own).
struct TRunContext {
    TProgressList* ProgressList = nullptr;
    bool BatchMode = false;
    bool PrintPiB = false;
    bool ExportBmp = false;
    TEngineWindows* Windows = nullptr;
    // Called by RunAnalysis after the last smoothing call, before the final header fix, with
    // the run's records: the shell writes there what a complete results file must never lack
    // (the run record, a picture). An error it raises fails the run: its message is reported
    // and the results file stays without the final header fix. Empty: nothing is called.
    std::function<void(const TAnalysisParam&, const TInputSignalChar&, const TSUSSParameters&)>
        BeforeFinalHeaderFix;
};
TRunContext& RunContext();
void SetEngineWindows(TEngineWindows* windows);  // null: back to the headless windows
TEngineWindows& EngineWindows();

// Batch mode: the text becomes progress-list lines (nothing without a list). Otherwise: an
// error box with one OK button.
void ReportMessage(const std::string& text);

// Disables the main window for its lifetime and enables it again on every path.
class TMainWindowDisabler {
  public:
    TMainWindowDisabler() { EngineWindows().SetMainWindowEnabled(false); }
    ~TMainWindowDisabler() { EngineWindows().SetMainWindowEnabled(true); }
    TMainWindowDisabler(const TMainWindowDisabler&) = delete;
    TMainWindowDisabler& operator=(const TMainWindowDisabler&) = delete;
};

// The progress window of one stage: created with its text and shown while the object lives,
// hidden and released on every path.
class TStageProgress {
  public:
    explicit TStageProgress(const std::string& text) : FWindow(EngineWindows().CreateProgress()) {
        FWindow->SetText(text);
        FWindow->Show();
    }
    ~TStageProgress() { FWindow->Hide(); }
    TStageProgress(const TStageProgress&) = delete;
    TStageProgress& operator=(const TStageProgress&) = delete;
    TProgressWindow& operator*() { return *FWindow; }
    TProgressWindow* operator->() { return FWindow.get(); }

  private:
    std::unique_ptr<TProgressWindow> FWindow;
};

// ---------------------------------------------------------------------------------------------
// Parameters and their check

// Returns 0 = valid, 1 = invalid without a field to blame, 2 LP, 3 HP, 4 F0, 5 B, 6 Fc, 7 Rate.
// Reports the first failing check only (batch: progress-list line; else error box). On success
// with UndersamplingFactor = 0 the chosen factor (nearest to 56 Hz) is stored there.
int ValidateAnalysisParameters(int32_t& UndersamplingFactor, bool BatchMode,
                               TProgressList* ProgressList, double SampleFrequency, double HP,
                               double LP, double F0, double B, double Fc, double SmootherRate);

// The main window's fields as typed, for the window-independent part of CheckParameters.
struct TParameterFields {
    std::string InputFileName, OutputFileName, SignalNumber;
    std::string LP, HP, F0, B, Fc, Rate;
    int32_t SignalCount = 0;          // upper limit of the signal number (signals in the file)
    double SampleFrequency = 0;       // of the selected signal; 0 until one is selected
    int32_t UndersamplingFactor = 0;  // 0, or the factor forced from the command line
};
enum class TParameterField { None, InputFile, OutputFile, SignalNumber, LP, HP, F0, B, Fc, Rate };
struct TParameterCheck {
    bool Ok = false;
    TParameterField Focus = TParameterField::None;  // the field that gets the focus
    std::string FieldMessage;  // CheckParameters' own field message (shown interactively only)
    double LP = 0, HP = 0, F0 = 0, B = 0, Fc = 0, Rate = 0;
    int32_t SignalIndex = 0;  // 0-based
    int32_t UndersamplingFactor = 0;
};
// Steps 1..9 of CheckParameters without the windows: the field checks (their message and focus
// are returned, not shown), ValidateAnalysisParameters (which reports its own messages) and,
// on success, the line "Undersampling = %d (%gHz)" appended to the progress list.
TParameterCheck CheckParameterFields(const TParameterFields& fields, bool BatchMode,
                                     TProgressList* ProgressList);

// ---------------------------------------------------------------------------------------------
// The results file layout

namespace results {
inline constexpr int kSignals = 14;
inline constexpr int kSamplesPerRecord = 1800;  // one sample per second, 30 minutes a record
inline constexpr double kRecordDuration = 1800.0;
inline constexpr double kLogFloatY0 = 0.0001;
inline constexpr double kLogFloatA = 0.001;
enum Signal : int {
    kSU = 0,
    kSS = 1,
    kSUPlus = 2,
    kSUMinus = 3,
    kSSPlus = 4,
    kSSMinus = 5,
    kSSP = 6,
    kSS0 = 7,
    kHFArtifact = 8,
    kLFArtifact = 9,
    kMissingSignal = 10,
    kMC = 11,
    kMCJump = 12,
    kMCEvent = 13
};
}  // namespace results

// The header texts of the results file, all in one place.
std::string DimText(double F0);  // "at %.1fHz"
std::string Transducer0Text(double FCompute, double Fc, double F0, double B);
std::string LogFloatText(const std::string& dim);  // exactly 80 characters
std::string SmoothText(const std::string& transducer, double SmootherRate);
// Every byte outside printable ASCII (32..126) becomes "_"; cut to 80 characters.
std::string RecordingText(double F0, int32_t SignalIndex, const std::string& label,
                          const std::string& inputFileName);
long double PhysicalPiB(int32_t PiB);  // the code decoded with Y0 0.0001, A 0.001
// The physical piB of the header texts (PIBTEXT): PhysicalPiB / PhysScale, 0 when PhysScale
// is 0 (an input signal with an empty physical range) so that no text shows inf or nan.
long double PiBText(int32_t PiB, double PhysScale);
// The label of results signal `signal`. `source` is the input unit (GetDimension) for 0 and 1,
// the label of signal 1 for 2..5 and of signal 0 for 6 and 7; 8..13 have fixed labels.
std::string ResultsLabel(int signal, const std::string& source);
// The prefiltering text of results signal 8..13 (empty for others); signals 8..10 show the
// threshold settings XPiBPlus, XPiBMinus, XPiBZero, and 8..11 the physical piB `piBText`.
std::string ResultsPrefiltering(int signal, long double piBText);
// printf into a string in the "C" locale, whatever the process's locale says.
std::string CFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The two names denote one file (the same device and inode, through any path or link). False
// when either does not exist.
bool IsSameFile(const std::string& a, const std::string& b);
// Opens an existing results file for reading and writing with lenient checking (the header
// holds texts copied from the input). Raises when the file is missing or its header is not
// valid, so that a header stage never writes into nothing.
void OpenResultsFile(TEDFFile& file, const std::string& OutputFileName);

// Header stages; each returns false on any error.
bool CreateArtifactHeaders(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                           const TSUSSParameters& SP);
bool CreateSmoothedHeaders(const TAnalysisParam& AP, const TInputSignalChar& ISC);
bool CreateMCHeaders(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                     const TSUSSParameters& SP);
// The final adjustment after a complete run: signals 0..7 get "Filtered" and +-32767. Raises.
void FinalHeaderFix(const std::string& OutputFileName);

// ---------------------------------------------------------------------------------------------
// Stages

bool GetInputSignalChar(const TAnalysisParam& AP, TInputSignalChar& ISC);
// Steps 2 and 3 of ComputeSuSs: FCompute, SamplesPerSecond, SampleRemainder, SampleInterval
// and the scales from the input's record duration (no filters, no arrays). False with the
// message reported when SamplesPerSecond <= 0. The re-smooth path uses it too.
bool PrepareSuSsParameters(TSUSSParameters& SP, const TAnalysisParam& AP,
                           const TInputSignalChar& ISC, long double RecordDuration);
bool ComputeSuSs(TSUSSParameters& SP, const TAnalysisParam& AP, const TInputSignalChar& ISC);
// False when the results file cannot be created or its header not completed; `reason`, when
// given, then receives the error's text (it names the file and the system's reason).
bool CreateResultsFile(TEDFFile& input, const TAnalysisParam& AP, const TInputSignalChar& ISC,
                       TSUSSParameters& SP, std::string* reason = nullptr);
bool ReduceSuSs(TEDFFile& input, TEDFFile& output, const TAnalysisParam& AP,
                const TInputSignalChar& ISC, TSUSSParameters& SP);

bool DetectPiB(const TAnalysisParam& AP, TInputSignalChar& ISC);

// The pieces of piB detection, on their own for tests and benchmarks.
namespace pib {
inline constexpr int32_t kBinOffset = 2000;  // bin = code + 2000: codes -2000 .. 30000
inline constexpr int32_t kBins = 32001;
inline constexpr int32_t kHalfWidth = 91;         // K = ln(1.2) / 0.001 / 2 truncated; 2K + 1 bins
inline constexpr int32_t kMatchingLength = 6000;  // samples 0 .. 5999
inline constexpr int32_t kShifts = kBins - kMatchingLength + 1;  // 26002 shifts s = 0 .. 26001
// The function of x.
inline constexpr const char* kMatchingExpression =
    "(2/3)*(-0.5894)*(HEAV(x+(2*Pi))-HEAV(x+(Pi/2)))+(HEAV(x+(Pi/2))-HEAV(x))*((sin(2*x))/"
    "(2*x))+(HEAV(x)-HEAV(x-Pi/2))*((sin(2*x))/(2*x))";
}  // namespace pib
// The moving sum of the histogram over 2K + 1 bins; the K bins at either end stay 0. A sum
// beyond the int32 range is held at 2147483647.
std::vector<int32_t> SmoothHistogram(const std::vector<int32_t>& histogram);
// The matching function evaluated at x = l / 5999 x 3 x pi - 2 pi for l = 1 .. 5998 (long
// double); samples 0 and 5999 are 0.
std::vector<double> MatchingFunction();
// The first index in 0 .. last whose value is strictly greater than 0 and than every earlier
// value; -1 when no value is positive.
int32_t FirstMaximum(const std::vector<double>& values, int32_t last);
// The match curve: 32001 entries, entry peak + s (s = 0 .. 26001) holding the sum over
// m = 0 .. 5998 of smoothed[s + m] x matching[m], accumulated in order in long double and
// stored as double; every other entry 0. The shifts are spread over `threads` threads (0: one
// per core); every shift's sum is the same whatever the number of threads.
std::vector<double> MatchCurve(const std::vector<int32_t>& smoothed,
                               const std::vector<double>& matching, int32_t peak, int32_t threads);
// FirstMaximum(MatchCurve(smoothed, matching, peak, any), kBins - 2), on one thread, without
// summing the shifts whose bound (from prefix sums of the bins) shows they cannot hold it.
int32_t MatchCurveMaximum(const std::vector<int32_t>& smoothed, const std::vector<double>& matching,
                          int32_t peak);

bool MC_Smooth(const TAnalysisParam& AP, uint8_t Option, int32_t XPiBPlus, int32_t XPiBMinus,
               int32_t XPiBZero, int32_t ArtifactSpread, double MCgain, double MCEventLimit,
               double MCJumpLimit, int32_t MCEventSamples, long double PiB);

// ---------------------------------------------------------------------------------------------
// The run

// The smoothing stage's EventThreshold of a run with this smoother rate, in digital MC-Event
// units: round(MCEventLimit x rate x 100 x MCgain) with the run's MCEventLimit 2 and MCgain 10.
int64_t RunEventThreshold(double SmootherRate);

// The seconds of results the SU/SS stage writes for `inputRecords` records of the input signal
// (samplesPerRecord each, every N-th sample kept): whole computation frequencies count
// SamplesPerSecond samples a second, others close seconds by the stage's time accumulator.
int64_t ResultsSeconds(int64_t inputRecords, int32_t samplesPerRecord, int32_t N,
                       const TSUSSParameters& SP);

// Why a run with these parameters failed, when its input explains it, as one line a person can
// act on: a forced undersampling factor whose computation frequency the filters refuse, a
// recording too short to give one second of results (its length and the least it needs), or a
// flat signal ("The signal is flat: every sample is 0 uV"). Empty when none of these holds or
// the input cannot be read. Reads the input again; meant for the failure path only.
std::string FailureCause(const TAnalysisParam& AP);

// Decides whether an existing results file may be used; sets Recompute. False: no run.
bool CheckResultsFile(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                      const TSUSSParameters& SP, bool& Recompute);

// One whole analysis. True only when group 8 and the final header fix completed.
bool RunAnalysis(const std::string& InputFileName, int32_t SignalIndex,
                 const std::string& OutputFileName, double F0, double B, double Fc,
                 double SmootherRate, int32_t UndersamplingFactor, bool BatchMode, bool PrintPiB,
                 bool ExportBmp, TProgressList* ProgressList);

}  // namespace vantrel
