// The unattended run ("/BATCH"), without any window: the command line fills the main window's
// fields as texts, their change handlers run as in the window, Start is pressed at once, and the
// run ends with its batch log and exit code. No Qt: a batch run that draws nothing never loads
// the window libraries, which on a cohort of a thousand recordings is time saved on every one.
//
// Every message becomes a progress-list line, echoed to standard error as it comes; the lines
// are appended to the batch log at the end. Start goes in this order, so that nothing is
// deleted or written before the run is sure to start:
//   1. the lines "Analysing file", "Signal#" and "Output file";
//   2. the refusals: a results name that cannot be a file, colliding files, a signal label
//      that matches no signal or several, an annotation signal, an EDF+D recording with gaps,
//      the lock of the results file (another run writes it), no printer for /PRINTPIB;
//   3. an existing results file without /OVERWRITE: "Output file already exists!";
//   4. the parameter check ("Analysis parameters error" after its message), then the
//      hypnogram (/HYPNOGRAM:, or the input's own stage annotations): it must read and overlap;
//   5. /OVERWRITE deletes the earlier results and the files beside them (not the log);
//   6. the run.
// A termination signal (SIGTERM, SIGINT, SIGHUP) stops the run like Cancel: the log still gets
// its lines, then "Interrupted by signal SIGTERM", and the exit code is 128 + the signal.
//
// The signal may be named by label (uSignalLabels.h): the label is matched when the field is
// filled, the field then holds the number chosen and "Signal#" shows "<number> (<label>)".
// When the parameter check fails on a parameter, a last line names the signal, its rate and
// prefiltering, and the check's messages, so that the log's last line says what does not suit
// which signal.
//
// A check (TBatchMode::Check, "vantrel4 --check") runs the same Start up to step 5 and stops
// there: a run and its check cannot disagree, in reasons or in order. It writes nothing: no
// log, and the lock is only tried (TResultsLock's probe). It adds what a run does not stop
// for: a recording valid only when read leniently.
//
// Example:
//   TBatchWindows windows;
//   return TBatchRun(args, windows).Run();   // 0 completed, 1 usage, 2 failed, 128+n signal
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"
#include "app/uCommandLine.h"
#include "app/uResultsLock.h"
#include "app/uRunFields.h"
#include "report/uRunReport.h"

namespace vantrel {

// The engine's windows in a batch run: an error becomes a progress-list line, questions answer
// No, progress windows are cancelled only by a termination signal, the histogram is not drawn.
// A run that prints or exports the histogram, or draws the night's picture, gives a subclass
// that draws.
class TBatchWindows : public TNullEngineWindows {
  public:
    void ShowError(const std::string& text) override;
    std::unique_ptr<TProgressWindow> CreateProgress() override;
    // Why the histogram cannot be printed (no printer), checked before a /PRINTPIB run starts;
    // empty when it can. Only windows that draw can print.
    virtual std::string PrinterProblem() const { return "No printer available for /PRINTPIB"; }
    // /PNG: draws the night's picture of the completed results file to pictureFile, with the
    // stages of the run's hypnogram when it has one. Raises, naming the file and the reason,
    // when it cannot; these windows draw nothing.
    virtual void WritePicture(const TRunRecord& record, const std::string& resultsFile,
                              const std::string& pictureFile,
                              const std::optional<THypnogram>& hypnogram);
};

// How far a batch run goes.
enum class TBatchMode {
    Run,    // the whole run
    Check,  // Start up to the first deletion or write, and nothing after
};

// What a check found.
struct TCheckOutcome {
    std::string Status;  // "ok", "warning" (the run would start; Reason says what to know) or
                         // "failed" (the run would not start)
    std::string Signal;  // the signal number (as given or matched); empty when none was
    std::string Label;   // the label of that signal, shown as UTF-8; empty when there is none
    std::string Reason;  // failed: the last line, as the run's log would end; warning: the
                         // warnings, "; " between them; ok: empty
};

class TBatchRun : public TCommandLineTarget {
  public:
    // args: the command-line arguments without the program name. windows: the engine's
    // windows for the run; they must outlive it.
    TBatchRun(std::vector<std::string> args, TBatchWindows& windows,
              TBatchMode mode = TBatchMode::Run);
    ~TBatchRun() override = default;
    TBatchRun(const TBatchRun&) = delete;
    TBatchRun& operator=(const TBatchRun&) = delete;

    // Parses the command line, runs the analysis and writes the log; the exit code.
    int Run();

    // ---- TCommandLineTarget ----
    void SetField(TCommandField field, const std::string& text) override;
    void AppendLine(const std::string& line) override;

    const TProgressList& ProgressList() const { return FProgressList; }
    // After Run in check mode.
    TCheckOutcome CheckOutcome() const;

  private:
    std::string& Field(TCommandField field) { return FFields[static_cast<size_t>(field)]; }
    // The fields' change handlers, as the window runs them.
    void InputFileChanged();
    void SignalNumberChanged();

    void Start();
    // Step 2 of Start; true when refused (the reason is then the log's last line).
    bool RefusedBeforeStart();
    void Refuse(const std::string& text, bool writeLog = true);
    // A line that does not stop the run; a check reports it.
    void Warn(const std::string& line);
    bool CheckParameters();
    // The last line of a failed parameter check: what does not suit which signal.
    std::string ParameterCause(const std::vector<std::string>& messages) const;
    // The night's hypnogram (/HYPNOGRAM:, or the input's own stage annotations); refused with
    // the file, the line and the reason when it cannot be used. False when refused.
    bool ReadTheHypnogram();
    void RunTheAnalysis();
    // The analysis parameters as checked, for the engine.
    TAnalysisParam CheckedParameters() const;
    // What the run record keeps of the run besides the engine's records.
    TRunCircumstances Circumstances() const;
    // A termination signal arrived: its line, the log and the exit code 128 + n. True then.
    bool StoppedBySignal();
    // After an argument ended the parsing: the results file named in position 3 still decides
    // where the log goes.
    void TakeResultsFileFromArguments();
    // Writes the batch log (writeLog, lines present, a name that can hold a log), releases the
    // results file's lock and keeps the exit code; once.
    void Finish(int exitCode, bool writeLog);

    std::vector<std::string> FArgs;
    TBatchWindows& FWindows;
    TBatchMode FMode;
    TProgressList FProgressList;
    TEngineBinding FBinding;
    TCommandLineValues FOptions;

    std::array<std::string, 9> FFields;    // the main window's fields as texts, by TCommandField
    int32_t FSignalMaximum = 65535;        // upper limit of the signal number: the file's signals
    double FSampleFrequency = 0;           // Hz, of the selected signal; 0 until one is selected
    std::string FSignalLabel;              // of the selected signal, trimmed; empty until selected
    bool FSignalByLabel = false;           // the signal field was filled by label
    std::string FSignalProblem;            // a label that matched no signal or several
    std::vector<std::string> FWarnings;    // lines that did not stop the run
    TParameterCheck FChecked;              // the parameters as read at Start
    std::optional<TResultsLock> FLock;     // held from step 2 until the log is written
    std::optional<THypnogram> FHypnogram;  // the night's stages, when known
    std::chrono::system_clock::time_point FStarted = std::chrono::system_clock::now();

    bool FFinished = false;
    int FExitCode = kExitFailed;
};

// "vantrel4 --check ARGS": the batch run of args (given without "--check") in check mode, its
// lines on standard error as a run's, then its outcome as one line on standard output: status,
// signal, label and reason, separated by tabs (a tab inside one becomes a blank). The exit
// code: 0 ok or warning, 2 failed, 1 after the usage text, 3 when standard output cannot be
// written.
int RunCheck(std::vector<std::string> args, TBatchWindows& windows);

}  // namespace vantrel
