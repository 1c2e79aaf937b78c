// vantrel4: the microcontinuity analysis program, in a window or unattended.
//
//   vantrel4 [EDFFile SignalNr OutFile F0 B Fc Rate] [/OPTION ...]   (see "vantrel4 /?")
//   vantrel4 --signals EDFFile [SIGNAL]  the recording's signals, to find the signal number;
//                                  with SIGNAL (a number or labels) only the signal it names
//   vantrel4 --check EDFFile SignalNr OutFile ...  the batch run's checks, nothing written
//                                  (uBatchRun.h: RunCheck); --check may stand anywhere
//   vantrel4 --version             the program's name and version
//   vantrel4 --export RESULTS [OUT]  the results decoded, one row a second (uReportCommands.h)
//   vantrel4 --summary RESULTS...  one row of numbers per night
//   vantrel4 --plot RESULTS [OUT.png]  the night's picture (drawn by vantrel4-window)
//   vantrel4 --cohort-page TABLE OUT.html  the cohort page of tools/cohort-run --plots
//
// Exit codes: 0 interactive end or a completed batch run, 1 after the usage text, 2 a batch run
// that did not complete (the reason is the last line of its log and of standard error) or a
// signal list that could not be read, 3 a listing that could not be written, 128 + n a batch
// run stopped by signal n (SIGTERM, SIGINT, SIGHUP).
//
// This program has no windows of its own: the signal list, the usage text without a display and
// batch runs that draw nothing run here, without loading the window libraries (their loading
// was a large part of a short run). Everything else is handed to vantrel4-window, installed
// beside it, with the same arguments.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/uBatchRun.h"
#include "app/uCommandLine.h"
#include "app/uReportCommands.h"
#include "app/uRunFields.h"
#include "app/uShellTools.h"
#include "support/uVersion.h"

using namespace vantrel;

namespace {

namespace fs = std::filesystem;

constexpr const char* kWindowProgram = "vantrel4-window";

// The piB histogram is printed or exported as a bitmap.
bool DrawsHistogram(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& arg) {
        const std::optional<std::string> option = OptionForm(arg);
        return option == "/BMP" || option == "/PRINTPIB";
    });
}

// The histogram or the night's picture is drawn: a batch run that draws.
bool Draws(const std::vector<std::string>& args) {
    return DrawsHistogram(args) ||
           std::any_of(args.begin(), args.end(),
                       [](const std::string& arg) { return OptionForm(arg) == "/PNG"; });
}

// A listing on standard output that could not be written completely (a full disk, /dev/full)
// must not look done: the exit code says so.
int OutputStatus() {
    std::cout.flush();
    if (std::cout && std::fflush(stdout) == 0 && !std::ferror(stdout)) return kExitOk;
    std::fprintf(stderr, "vantrel4: cannot write standard output: %s\n", std::strerror(errno));
    return kExitOutput;
}

int SignalListCommand(const std::vector<std::string>& args) {
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: vantrel4 --signals EDFFile [SIGNAL]\n");
        return kExitFailed;
    }
    std::string error;
    if (!ListSignals(args[1], std::cout, error, args.size() == 3 ? args[2] : std::string())) {
        std::fprintf(stderr, "vantrel4: %s\n", error.c_str());
        return kExitFailed;
    }
    return OutputStatus();
}

int VersionCommand() {
    std::cout << VersionText() << '\n';
    return OutputStatus();
}

// Replaces this process by the window program beside this one; returns only when that fails.
int StartWindowProgram(char** argv) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    const fs::path program = (ec ? fs::path(argv[0]) : self).parent_path() / kWindowProgram;
    const std::string name = program.string();
    argv[0] = const_cast<char*>(name.c_str());
    ::execv(name.c_str(), argv);
    std::fprintf(stderr, "vantrel4: cannot start the window program \"%s\": %s\n", name.c_str(),
                 std::strerror(errno));
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (IsSignalListRequest(args)) return SignalListCommand(args);
    if (IsVersionRequest(args)) return VersionCommand();
    if (IsExportRequest(args)) return ExportCommand(args);
    if (IsSummaryRequest(args)) return SummaryCommand(args);
    if (IsCheckRequest(args)) {
        if (DrawsHistogram(args)) return StartWindowProgram(argv);  // only it knows the printer
        TBatchWindows windows;
        return RunCheck(WithoutCheckRequest(args), windows);
    }
    if (IsCohortPageRequest(args)) return CohortPageCommand(args);
    if (IsPlotRequest(args)) return StartWindowProgram(argv);

    const bool batch = HasBatchOption(args);
    const bool usage = HasUsageOption(args);
    if (usage && (batch || !HaveDisplay())) {
        PrintUsage();  // a box only when there is a person and a display to show it on
        return kExitUsage;
    }
    if (batch && !Draws(args)) {
        TBatchWindows windows;
        return TBatchRun(args, windows).Run();
    }
    if (!batch && !HaveDisplay()) {
        std::fprintf(stderr, "%s\n", kNoDisplayMessage);
        return kExitFailed;
    }
    return StartWindowProgram(argv);
}
