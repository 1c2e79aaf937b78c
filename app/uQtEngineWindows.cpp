// The engine's window interface with Qt.
#include "app/uQtEngineWindows.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPrinterInfo>
#include <algorithm>
#include <chrono>

#include "app/FProgress.h"
#include "app/uNightPicture.h"
#include "app/uShellTools.h"
#include "support/udRoot.h"

namespace vantrel {

namespace {

// Messages may quote header texts (patient, recording, labels): UTF-8 or Latin-1 bytes.
QString MessageText(const std::string& text) {
    return QString::fromUtf8(HeaderTextForDisplay(text));
}

}  // namespace

TQtEngineWindows::TQtEngineWindows(QWidget* owner, TDialogs& dialogs)
    : FOwner(owner), FDialogs(dialogs) {}

void TQtEngineWindows::ShowError(const std::string& text) {
    FDialogs.Error(FOwner, MessageText(text));
}

bool TQtEngineWindows::Confirm(const std::string& text) {
    return FDialogs.Question(FOwner, QObject::tr("Confirmation"), MessageText(text), true);
}

std::unique_ptr<TProgressWindow> TQtEngineWindows::CreateProgress() {
    auto progress = std::make_unique<TShowProgress>(FOwner);
    progress->SetFileName(FInputFileName);
    return progress;
}

void TQtEngineWindows::SetMainWindowEnabled(bool enabled) {
    FDisabledDepth = enabled ? std::max(FDisabledDepth - 1, 0) : FDisabledDepth + 1;
    // The controls and menus, not the window itself: its progress windows stay usable.
    auto* main = qobject_cast<QMainWindow*>(FOwner.data());
    if (!main) return;
    const bool usable = FDisabledDepth == 0;
    if (main->centralWidget()) main->centralWidget()->setEnabled(usable);
    if (main->menuBar()) main->menuBar()->setEnabled(usable);
}

void TQtEngineWindows::ProcessMessages() {
    // The stages call this once per data record, up to 100000 times a run; each event pass
    // polls the system. Passes 10 ms apart keep the windows as lively and Cancel as quick
    // (the stages still look at it every record) at a fraction of the cost.
    using TClock = std::chrono::steady_clock;
    static TClock::time_point last;
    const TClock::time_point now = TClock::now();
    if (now - last < std::chrono::milliseconds(10)) return;
    QCoreApplication::processEvents();
    last = TClock::now();
}

void TQtEngineWindows::ShowPiBHistogram(const TPiBHistogramData& data, bool print, bool exportBmp) {
    ShowResultsWindow(FOwner, data, print, exportBmp, false);
}

void TQtBatchWindows::ShowPiBHistogram(const TPiBHistogramData& data, bool print, bool exportBmp) {
    ShowResultsWindow(nullptr, data, print, exportBmp, true);
}

std::string TQtBatchWindows::PrinterProblem() const {
    if (!QPrinterInfo::defaultPrinter().isNull()) return {};
    return TBatchWindows::PrinterProblem();
}

void TQtBatchWindows::WritePicture(const TRunRecord& record, const std::string& resultsFile,
                                   const std::string& pictureFile,
                                   const std::optional<THypnogram>& hypnogram) {
    WriteRunPicture(record, resultsFile, pictureFile, hypnogram);
}

void InstallMessageProcessing(bool install) {
    if (install)
        SetMessageProcessor([] { QCoreApplication::processEvents(); });
    else
        SetMessageProcessor({});
}

}  // namespace vantrel
