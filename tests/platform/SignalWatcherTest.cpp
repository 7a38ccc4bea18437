#include "platform/SignalWatcher.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

// Before the window runs, a signal ends the program at once with a failing
// status, whatever it was doing (a start blocked on a file never finishes).
TEST(SignalDuringStartUp, EndsTheProgramAtOnceWithAFailingStatus) {
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SignalWatcher::exitOnSignal();
            ::raise(sig);
            ::pause(); // a start-up that never ends
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
    }
}
