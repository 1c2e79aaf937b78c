// vantrel4-window: the part of vantrel4 that needs windows: the main window, the usage box, and
// batch runs that print or export the piB histogram. vantrel4 starts it with its own arguments
// when they ask for one of these; it takes the same arguments and gives the same exit codes.
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/SplashForm.h"
#include "app/uBatchRun.h"
#include "app/uCommandLine.h"
#include "app/uQtEngineWindows.h"
#include "app/uRunFields.h"
#include "app/uShellTools.h"
#include "support/udRoot.h"

using namespace vantrel;

namespace {

constexpr int kSplashMilliseconds = 1000;

// A batch run writes nothing to standard error but its own lines: Qt's own notes (a missing
// runtime directory, a plugin's remarks) are dropped; only a fatal error is still told.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void CenterOnScreen(QWidget& window) {
    window.adjustSize();
    if (const QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool batch = HasBatchOption(args);
    const bool usage = HasUsageOption(args);
    if (usage && (batch || !HaveDisplay())) {
        PrintUsage();  // a box only when there is a person and a display to show it on
        return kExitUsage;
    }
    // A batch run shows nothing, display or not: the histogram is drawn off screen.
    if (batch && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!HaveDisplay()) {
        std::fprintf(stderr, "%s\n", kNoDisplayMessage);
        return kExitFailed;
    }
    if (batch) qInstallMessageHandler(QuietMessages);

    QApplication app(argc, argv);
    // QApplication took the process locale from the environment: numbers keep their ".".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("vantrel4"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vantrel"));
    if (usage) {
        PrintUsage();
        TQtDialogs().Listing(nullptr, QStringLiteral("Vantrel version 4"),
                             QString::fromStdString(UsageText()));
        return kExitUsage;
    }
    if (batch) {
        TQtBatchWindows windows;
        return TBatchRun(args, windows).Run();
    }

    InstallMessageProcessing(true);
    TQtDialogs dialogs;

    auto splash = std::make_unique<TMySplashForm>(TMySplashForm::TMode::Splash);
    CenterOnScreen(*splash);
    splash->show();
    Delay(kSplashMilliseconds);
    TMainForm mainForm(args, dialogs);
    splash.reset();
    CenterOnScreen(mainForm);
    mainForm.show();
    QTimer::singleShot(0, &mainForm, [&mainForm] { mainForm.FirstIdle(); });
    const int exitCode = QApplication::exec();
    InstallMessageProcessing(false);
    return exitCode;
}
