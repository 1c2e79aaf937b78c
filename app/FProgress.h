// The progress window: the input file, the text of the current step, a bar from 0 to 100 with
// its percentage, and Cancel. The run and the stages that read whole files each create one
// through the engine's window interface.
#pragma once

#include <QDialog>
#include <string>

#include "analysis/uVantrel4.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vantrel {

class TShowProgress : public QDialog, public TProgressWindow {
    Q_OBJECT

  public:
    explicit TShowProgress(QWidget* owner);

    void SetText(const std::string& text) override;  // Label1, repainted at once
    void SetPosition(int percent) override;          // ProgressBar1, 0 .. 100
    bool Cancelled() const override { return FCancelled; }
    void Show() override;
    void Hide() override;

    // The input file the run reads, its path shortened in the middle when the window is too
    // narrow for it (the full path is the line's tip). Empty: no file line.
    void SetFileName(const std::string& fileName);

    // Cancel: sets the flag; the owner notices it at its next check. Pressing it again changes
    // nothing.
    void Button1Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Escape: the same as Cancel, the window stays

  private:
    QLabel* LabelFile;
    QLabel* Label1;
    QProgressBar* ProgressBar1;
    QPushButton* Button1;
    bool FCancelled = false;  // set by Cancel, never reset
};

}  // namespace vantrel
