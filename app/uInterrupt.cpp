#include "app/uInterrupt.h"

#include <unistd.h>

#include <cstring>

namespace vantrel {

namespace {

volatile std::sig_atomic_t gInterruptSignal = 0;

// Only async-signal-safe calls here: write and _exit.
void OnInterrupt(int signalNumber) {
    if (gInterruptSignal == signalNumber) {
        constexpr char kText[] = "Interrupted again: ended at once\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kText, sizeof kText - 1);
        ::_exit(InterruptExitCode(signalNumber));
    }
    if (gInterruptSignal == 0) gInterruptSignal = signalNumber;
}

}  // namespace

TInterruptHandlers::TInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // reads and writes in progress go on; the flag is seen later
    for (std::size_t i = 0; i < std::size(kInterruptSignals); ++i)
        ::sigaction(kInterruptSignals[i], &action, &FPrevious[i]);
}

TInterruptHandlers::~TInterruptHandlers() {
    for (std::size_t i = 0; i < std::size(kInterruptSignals); ++i)
        ::sigaction(kInterruptSignals[i], &FPrevious[i], nullptr);
}

int InterruptSignal() {
    return gInterruptSignal;
}

void ClearInterruptSignal() {
    gInterruptSignal = 0;
}

std::string SignalName(int signalNumber) {
    switch (signalNumber) {
        case SIGTERM:
            return "SIGTERM";
        case SIGINT:
            return "SIGINT";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signalNumber);
    }
}

}  // namespace vantrel
