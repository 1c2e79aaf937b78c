// The engine's window interface implemented with the Qt windows: error boxes and questions
// through TDialogs, progress windows, disabling the main window, event processing, and the
// results window; and the windows of a batch run that prints or exports the histogram.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "analysis/uVantrel4.h"
#include "app/uBatchRun.h"
#include "app/uDialogs.h"

namespace vantrel {

class TQtEngineWindows : public TEngineWindows {
  public:
    // owner: the main window (parent of the progress windows); a run disables its controls and
    // menus.
    TQtEngineWindows(QWidget* owner, TDialogs& dialogs);

    // The input file of the run, shown in its progress windows.
    void SetInputFileName(const std::string& fileName) { FInputFileName = fileName; }

    void ShowError(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    std::unique_ptr<TProgressWindow> CreateProgress() override;
    void SetMainWindowEnabled(bool enabled) override;
    void ProcessMessages() override;
    void ShowPiBHistogram(const TPiBHistogramData& data, bool print, bool exportBmp) override;

  private:
    QPointer<QWidget> FOwner;
    TDialogs& FDialogs;
    std::string FInputFileName;
    // Disabling nests (the run, a stage inside it, the main window around the run and its
    // last boxes): the window is enabled again when the outermost holder lets go.
    int FDisabledDepth = 0;
};

// A batch run's windows that draw the histogram off screen, to print or export it, and the
// night's picture; nothing is shown.
class TQtBatchWindows : public TBatchWindows {
  public:
    void ShowPiBHistogram(const TPiBHistogramData& data, bool print, bool exportBmp) override;
    std::string PrinterProblem() const override;
    void WritePicture(const TRunRecord& record, const std::string& resultsFile,
                      const std::string& pictureFile,
                      const std::optional<THypnogram>& hypnogram) override;
};

// The results window of the piB histogram (its own module): shows, prints and/or exports it.
// Raises when that module is not part of the program or fails.
void ShowResultsWindow(QWidget* owner, const TPiBHistogramData& data, bool print, bool exportBmp,
                       bool batchMode);

// Qt's event processing for the engine and for Delay: installs it (true) or removes it (false).
void InstallMessageProcessing(bool install);

}  // namespace vantrel
