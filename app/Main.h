// The main window: the program's only working window. The user picks the input EDF file and a
// signal, states the filters applied during recording, enters or presets the analysis
// parameters, names the results file and starts; progress lines and batch messages collect in
// its progress list. The command line fills the same fields (ParseCommandLine writes through
// SetField). One analysis per program run: when it ends the window closes and the program ends.
//
// A batch run ("/BATCH") has no window: TBatchRun (uBatchRun.h) runs it on the same fields as
// texts.
#pragma once

#include <QMainWindow>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"
#include "app/uCommandLine.h"
#include "app/uDialogs.h"
#include "app/uQtEngineWindows.h"
#include "app/uRunFields.h"
#include "report/uHypnogram.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace vantrel {

class TSpinField;

class TMainForm : public QMainWindow, public TCommandLineTarget {
    Q_OBJECT

  public:
    // args: the command-line arguments without the program name. dialogs: who answers the
    // boxes (a person through TQtDialogs, or a test).
    TMainForm(std::vector<std::string> args, TDialogs& dialogs, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The one-shot start: parses the command line into the fields and options. Call it once
    // the event loop runs.
    void FirstIdle();

    // ---- Handlers ----
    void SpeedButton1Click();  // "..." at the input file
    void SpeedButton2Click();  // "..." at the results file
    void EditInFileNameChange();
    void EditSignalNrChange();
    void EditOutFileNameExit();
    void ButtonSlowWaveClick();
    void ButtonAlphaClick();  // "Alpha" and "Spindles"
    void StartButtonClick();
    void About1Click();
    // Reads and checks every field (messages and focus as for a person); true when a run may
    // start. Stores the values read and the undersampling factor.
    bool CheckParameters();
    // Fills the LP and HP fields from a signal's prefiltering text.
    void FillFiltersFromPrefilter(const std::string& prefiltering);

    // ---- TCommandLineTarget ----
    void SetField(TCommandField field, const std::string& text) override;
    void AppendLine(const std::string& line) override;

    // ---- State ----
    const TCommandLineValues& Options() const { return FOptions; }
    const TProgressList& ProgressList() const { return FProgressList; }
    double SampleFrequency() const { return FSampleFrequency; }
    int32_t UndersamplingFactor() const { return FOptions.UndersamplingFactor; }
    bool Finished() const { return FFinished; }  // the window closed after a run or a refusal
    int ExitCode() const { return FExitCode; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void BuildWindow();
    QWidget* BuildFileGroup();
    QWidget* BuildParameterGroups();
    void BuildMenus();
    void ConnectHandlers();

    // Runs a handler; an error it raises becomes the general error report.
    template <typename Handler>
    void Guarded(Handler handler);
    // The general error report: a box.
    void GeneralErrorReport(const std::string& text);
    // A refusal at Start: a box, then the focus on `focus`.
    void Refuse(const std::string& text, QWidget* focus);
    // Refuses a run whose files collide or whose signal holds annotations; true when refused.
    bool RefusedBeforeStart();
    // Ends the program: closes the window, leaves the event loop with exitCode.
    void Finish(int exitCode);
    void RunTheAnalysis();
    void ShowUsage();
    void FocusField(TParameterField field);
    // The signal label, filters, LP/HP and sample frequency of no recording.
    void ClearRecordingFacts();
    void EchoLine(const std::string& line);

    std::string InputFileText() const;
    std::string OutputFileText() const;

    std::vector<std::string> FArgs;
    TDialogs& FDialogs;
    TQtEngineWindows FEngineWindows;
    TProgressList FProgressList;
    TEngineBinding FBinding{FEngineWindows, FProgressList, false};
    TCommandLineValues FOptions;
    double FSampleFrequency = 0;  // Hz, of the selected signal; 0 until one is selected
    double FF0 = 0, FB = 0, FFc = 0, FSmootherRate = 0, FLP = 0, FHP = 0;  // read at Start
    // When the program started: the run record's start.
    std::chrono::system_clock::time_point FStarted = std::chrono::system_clock::now();
    std::optional<THypnogram> FHypnogram;  // the night's stages, read at Start
    bool FRunning = false;
    bool FFinished = false;
    int FExitCode = kExitOk;

    // Controls, named as their handlers name them.
    QLineEdit* EditInFileName = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    TSpinField* EditSignalNr = nullptr;
    QLabel* LabelSignalName = nullptr;
    QLabel* LabelFilterSettings = nullptr;
    QLineEdit* EditLP = nullptr;
    QLineEdit* EditHP = nullptr;
    QLineEdit* EditOutFileName = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QLineEdit* EditF0 = nullptr;
    QLineEdit* EditB = nullptr;
    QLineEdit* EditFc = nullptr;
    QLineEdit* Editrate = nullptr;
    QPushButton* ButtonSlowWave = nullptr;
    QPushButton* ButtonAlpha = nullptr;
    QPushButton* ButtonSpindles = nullptr;
    QPlainTextEdit* MemoProgress = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* CancelButton = nullptr;
};

}  // namespace vantrel
