// vantrel4: the microcontinuity analysis program, in a window or unattended.
//
//   vantrel4 [EDFFile SignalNr OutFile F0 B Fc Rate] [/OPTION ...]   (see "vantrel4 /?")
//   vantrel4 --signals EDFFile     the recording's signals, to find the signal number
//
// Exit codes: 0 interactive end or a completed batch run, 1 after the usage text, 2 a batch run
// that did not complete (the reason is the last line of its log and of standard error) or a
// signal list that could not be read.
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/SplashForm.h"
#include "app/uCommandLine.h"
#include "app/uShellTools.h"
#include "support/udRoot.h"

using namespace vantrel;

namespace {

constexpr int kSplashMilliseconds = 1000;

bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// A platform to show windows on: a display, or a platform chosen explicitly.
bool HaveDisplay() {
    return EnvironmentSet("QT_QPA_PLATFORM") || EnvironmentSet("DISPLAY") ||
           EnvironmentSet("WAYLAND_DISPLAY");
}

// A batch run writes nothing to standard error but its own lines: Qt's own notes (a missing
// runtime directory, a plugin's remarks) are dropped; only a fatal error is still told.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

int SignalListCommand(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: vantrel4 --signals EDFFile\n");
        return kExitFailed;
    }
    std::string error;
    if (!ListSignals(args[1], std::cout, error)) {
        std::fprintf(stderr, "vantrel4: %s\n", error.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

void PrintUsage() {
    std::fputs((UsageText() + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void CenterOnScreen(QWidget& window) {
    window.adjustSize();
    if (const QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (IsSignalListRequest(args)) return SignalListCommand(args);

    const bool batch = HasBatchOption(args);
    const bool usage = HasUsageOption(args);
    if (!HaveDisplay()) {
        if (usage) {
            PrintUsage();
            return kExitUsage;
        }
        if (!batch) {
            std::fprintf(stderr,
                         "vantrel4: no display to show the window on; add /BATCH to run "
                         "unattended, or see vantrel4 /?\n");
            return kExitFailed;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");  // a compute server runs batch jobs too
    }
    if (batch) qInstallMessageHandler(QuietMessages);

    QApplication app(argc, argv);
    // QApplication took the process locale from the environment: numbers keep their ".".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("vantrel4"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vantrel"));
    InstallMessageProcessing(true);
    TQtDialogs dialogs;

    if (usage) {
        PrintUsage();
        if (!batch)
            dialogs.Information(nullptr, QStringLiteral("Vantrel version 4"),
                                QString::fromStdString(UsageText()));
        return kExitUsage;
    }

    std::unique_ptr<TMySplashForm> splash;
    if (!batch) {
        splash = std::make_unique<TMySplashForm>(TMySplashForm::TMode::Splash);
        CenterOnScreen(*splash);
        splash->show();
        Delay(kSplashMilliseconds);
    }
    TMainForm mainForm(args, dialogs);
    splash.reset();
    if (!batch) {
        CenterOnScreen(mainForm);
        mainForm.show();
    }
    QTimer::singleShot(0, &mainForm, [&mainForm] { mainForm.FirstIdle(); });
    const int exitCode = QApplication::exec();
    InstallMessageProcessing(false);
    return exitCode;
}
