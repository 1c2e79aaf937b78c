// The termination-signal handler: the first signal is only noted, a second one of the same kind
// ends the process at once with 128 + its number. Each case runs in a child process.
#include "app/uInterrupt.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(Interrupt, TheFirstSignalIsNotedASecondOfTheSameKindEndsTheProcess) {
    for (const int signal : vantrel::kInterruptSignals) {
        SCOPED_TRACE(vantrel::SignalName(signal));
        const int other = signal == SIGHUP ? SIGTERM : SIGHUP;
        const pid_t child = fork();
        if (child == 0) {
            const vantrel::TInterruptHandlers handlers;
            raise(signal);
            if (vantrel::InterruptSignal() != signal) _exit(10);
            raise(other);  // another kind: noted nowhere, the first one stays
            if (vantrel::InterruptSignal() != signal) _exit(11);
            raise(signal);
            _exit(12);  // not reached: the second signal ended the process
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    }
}

}  // namespace
