// The engine's window interface with Qt.
#include "app/uQtEngineWindows.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMenuBar>

#include "app/FProgress.h"
#include "app/uShellTools.h"
#include "support/udRoot.h"

namespace vantrel {

namespace {

bool BatchRun() {
    return RunContext().BatchMode;
}

// Messages may quote header texts (patient, recording, labels): UTF-8 or Latin-1 bytes.
QString MessageText(const std::string& text) {
    return QString::fromUtf8(HeaderTextForDisplay(text));
}

}  // namespace

TQtEngineWindows::TQtEngineWindows(QWidget* owner, TDialogs& dialogs)
    : FOwner(owner), FDialogs(dialogs) {}

void TQtEngineWindows::ShowError(const std::string& text) {
    if (BatchRun()) {
        if (TProgressList* list = RunContext().ProgressList) list->Append(text);
        return;
    }
    FDialogs.Error(FOwner, MessageText(text));
}

bool TQtEngineWindows::Confirm(const std::string& text) {
    if (BatchRun()) return false;  // nobody to ask
    return FDialogs.Question(FOwner, QObject::tr("Confirmation"), MessageText(text), true);
}

std::unique_ptr<TProgressWindow> TQtEngineWindows::CreateProgress() {
    return std::make_unique<TShowProgress>(FOwner, !BatchRun());
}

void TQtEngineWindows::SetMainWindowEnabled(bool enabled) {
    // The controls and menus, not the window itself: its progress windows stay usable.
    auto* main = qobject_cast<QMainWindow*>(FOwner.data());
    if (!main) return;
    if (main->centralWidget()) main->centralWidget()->setEnabled(enabled);
    if (main->menuBar()) main->menuBar()->setEnabled(enabled);
}

void TQtEngineWindows::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TQtEngineWindows::ShowPiBHistogram(const TPiBHistogramData& data, bool print, bool exportBmp) {
    ShowResultsWindow(FOwner, data, print, exportBmp, BatchRun());
}

void InstallMessageProcessing(bool install) {
    if (install)
        SetMessageProcessor([] { QCoreApplication::processEvents(); });
    else
        SetMessageProcessor({});
}

}  // namespace vantrel
