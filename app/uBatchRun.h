// The unattended run ("/BATCH"), without any window: the command line fills the main window's
// fields as texts, their change handlers run as in the window, Start is pressed at once, and the
// run ends with its batch log and exit code. No Qt: a batch run that draws nothing never loads
// the window libraries, which on a cohort of a thousand recordings is time saved on every one.
//
// Every message becomes a progress-list line, echoed to standard error as it comes; the lines
// are appended to the batch log at the end.
//
// Example:
//   TBatchWindows windows;
//   return TBatchRun(args, windows).Run();   // 0 completed, 1 usage, 2 failed
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"
#include "app/uCommandLine.h"
#include "app/uRunFields.h"

namespace vantrel {

// The engine's windows in a batch run: an error becomes a progress-list line, questions answer
// No, progress windows are never cancelled, the histogram is not drawn. A run that prints or
// exports the histogram gives a subclass that draws it.
class TBatchWindows : public TNullEngineWindows {
  public:
    void ShowError(const std::string& text) override;
};

class TBatchRun : public TCommandLineTarget {
  public:
    // args: the command-line arguments without the program name. windows: the engine's
    // windows for the run; they must outlive it.
    TBatchRun(std::vector<std::string> args, TEngineWindows& windows);
    ~TBatchRun() override = default;
    TBatchRun(const TBatchRun&) = delete;
    TBatchRun& operator=(const TBatchRun&) = delete;

    // Parses the command line, runs the analysis and writes the log; the exit code.
    int Run();

    // ---- TCommandLineTarget ----
    void SetField(TCommandField field, const std::string& text) override;
    void AppendLine(const std::string& line) override;

    const TProgressList& ProgressList() const { return FProgressList; }

  private:
    std::string& Field(TCommandField field) { return FFields[static_cast<size_t>(field)]; }
    // The fields' change handlers, as the window runs them.
    void InputFileChanged();
    void SignalNumberChanged();

    void Start();
    // Refuses a run whose files collide or whose signal holds annotations; true when refused.
    bool RefusedBeforeStart();
    void Refuse(const std::string& text, bool writeLog = true);
    bool CheckParameters();
    void RunTheAnalysis();
    // Writes the batch log (writeLog, lines present) and keeps the exit code; once.
    void Finish(int exitCode, bool writeLog);

    std::vector<std::string> FArgs;
    TProgressList FProgressList;
    TEngineBinding FBinding;
    TCommandLineValues FOptions;

    std::array<std::string, 9> FFields;  // the main window's fields as texts, by TCommandField
    int32_t FSignalMaximum = 65535;      // upper limit of the signal number: the file's signals
    double FSampleFrequency = 0;         // Hz, of the selected signal; 0 until one is selected
    TParameterCheck FChecked;            // the parameters as read at Start

    bool FFinished = false;
    int FExitCode = kExitFailed;
};

}  // namespace vantrel
