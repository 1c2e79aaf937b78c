// vantrel4-window: the part of vantrel4 that needs windows: the main window, the usage box,
// batch runs that print or export the piB histogram or draw the night's picture, the checks of
// such runs, and --plot. vantrel4 starts it with its own arguments when they ask for one of
// these; it takes the same arguments and gives the same exit codes.
#include <QApplication>
#include <QGuiApplication>
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
#include "app/uNightPicture.h"
#include "app/uQtEngineWindows.h"
#include "app/uReportCommands.h"
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

// While QApplication starts: a display that cannot be opened (a dead X forwarding, a
// display nobody serves) makes Qt end the process with an abort. The person is told instead
// what happened and what needs no display, and the exit code says it failed (the usage text
// was printed already: its exit code stays).
bool gStartingUp = false;
int gStartupExitCode = kExitFailed;

std::string DisplayName() {
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"})
        if (const QByteArray value = qgetenv(name); !value.isEmpty()) return value.toStdString();
    return qgetenv("QT_QPA_PLATFORM").toStdString();
}

void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg || !gStartingUp) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    if (gStartupExitCode != kExitUsage)
        std::fprintf(stderr, "Cannot open the display %s; batch runs (/BATCH) need none\n",
                     DisplayName().c_str());
    std::fflush(stderr);
    std::_Exit(gStartupExitCode);
}

void CenterOnScreen(QWidget& window) {
    window.adjustSize();
    if (const QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
}

// --plot draws on an image only: the offscreen platform whatever the environment says, so that
// no display is ever needed, and no widgets.
int Plot(int argc, char** argv, const std::vector<std::string>& args) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessages);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    return PlotCommand(args);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (IsPlotRequest(args)) return Plot(argc, argv, args);
    const bool check = IsCheckRequest(args);  // unattended like a batch run
    const bool batch = check || HasBatchOption(args);
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
    if (usage) {
        PrintUsage();  // on standard output before anything needs the display
        gStartupExitCode = kExitUsage;
    }
    qInstallMessageHandler(batch ? QuietMessages : StartupMessages);
    gStartingUp = !batch;

    QApplication app(argc, argv);
    gStartingUp = false;
    // QApplication took the process locale from the environment: numbers keep their ".".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("vantrel4"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vantrel"));
    if (usage) {
        TQtDialogs().Listing(nullptr, QStringLiteral("Vantrel version 4"),
                             QString::fromStdString(UsageText()));
        return kExitUsage;
    }
    if (check) {
        TQtBatchWindows windows;
        return RunCheck(WithoutCheckRequest(args), windows);
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
