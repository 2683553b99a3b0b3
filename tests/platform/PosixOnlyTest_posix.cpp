#include <gtest/gtest.h>

#include <csignal>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utmp.h>

#include "platform/Interrupt.h"
#include "platform/Wait.h"

namespace {

// The final wait on a pseudo-terminal in a child: whatever ends it must leave the terminal
// echoing and reading lines again.
TEST(WaitForKey, LeavesTheTerminalAsItFoundItWhenInterrupted) {
    auto Cooked = [](int fd) {
        termios settings{};
        return tcgetattr(fd, &settings) == 0 && !(~settings.c_lflag & (ECHO | ICANON));
    };
    for (int signal : {SIGINT, SIGHUP, SIGTERM}) {
        int master = -1, slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) // the wait on the terminal, whose settings stay with the parent
            _exit((close(master), login_tty(dup(slave)), platform::WaitForKey(), 0));
        for (int i = 0; i < 1000 && Cooked(slave); ++i)
            usleep(5000);
        EXPECT_FALSE(Cooked(slave)) << signal << ": the wait never switched to single keys";
        // SIGINT as Ctrl-C typed on the terminal, the others sent.
        EXPECT_EQ(signal == SIGINT ? write(master, "\x03", 1) : 1 + kill(child, signal), 1);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_TRUE(Cooked(slave)) << signal;
        close(slave), close(master);
    }
}

TEST(InterruptDeathTest, ArmedSignalsAreCountedOthersEndTheProcessIgnoredOnesStayIgnored) {
    // Each death in a fresh process; first an ignored SIGHUP (nohup) stays ignored.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT((signal(SIGHUP, SIG_IGN), platform::InstallInterruptHandlers(), raise(SIGHUP),
                 std::_Exit(7)),
                testing::ExitedWithCode(7), "");
    platform::InstallInterruptHandlers();
    const int before = platform::InterruptCount();
    {
        platform::InterruptDeferral outer;
        {
            platform::InterruptDeferral inner;
            raise(SIGINT);
        }
        raise(SIGTERM);                            // the outer scope still holds
        std::thread([] { raise(SIGHUP); }).join(); // a worker's signal counts the same
    }
    EXPECT_EQ(platform::InterruptCount(), before + 3);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        EXPECT_EXIT(raise(signal), testing::KilledBySignal(signal), "") << signal;
}

} // namespace
