// Termination signals during an unattended run: SIGTERM (a cluster's time limit), SIGINT and
// SIGHUP. The first one is only noted; the run sees it at its next Cancel check (at least once
// per data record), stops as if Cancel had been pressed and still writes its log, ending with
// "Interrupted by signal SIGTERM" and the exit code 128 + the signal's number. A second signal
// of the same kind ends the process at once with that code.
//
// Example:
//   TInterruptHandlers handlers;               // for the life of the run
//   ... if (InterruptSignal() != 0) ... stop ...
#pragma once

#include <csignal>
#include <string>

namespace vantrel {

// The signals handled: SIGTERM, SIGINT, SIGHUP.
inline constexpr int kInterruptSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Installs the handlers for its lifetime and puts the earlier ones back afterwards. The handler
// does only async-signal-safe work: it stores the signal's number, or calls _exit for a second
// signal of the same kind.
class TInterruptHandlers {
  public:
    TInterruptHandlers();
    ~TInterruptHandlers();
    TInterruptHandlers(const TInterruptHandlers&) = delete;
    TInterruptHandlers& operator=(const TInterruptHandlers&) = delete;

  private:
    struct sigaction FPrevious[std::size(kInterruptSignals)]{};
};

// The first termination signal received, 0 when none.
int InterruptSignal();
// Forgets a received signal (tests).
void ClearInterruptSignal();

// "SIGTERM", "SIGINT", "SIGHUP", or "signal N".
std::string SignalName(int signalNumber);
// The exit code of a run ended by the signal: 128 + its number, as shells report it.
inline int InterruptExitCode(int signalNumber) {
    return 128 + signalNumber;
}

}  // namespace vantrel
