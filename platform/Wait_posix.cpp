#include "platform/Wait.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "platform/Interrupt.h"
#include "platform/TerminalRestore_posix.h"

namespace platform {

void SleepMilliseconds(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void WaitForKey() {
    std::cout << "Press any key to continue . . . " << std::flush;
    termios saved{};
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0) {
        // One key, without waiting for a line end and without echo; a signal that ends us
        // meanwhile must not leave the terminal that way.
        InstallInterruptHandlers();
        RememberTerminal(STDIN_FILENO, saved);
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        char key = 0;
        ssize_t got = read(STDIN_FILENO, &key, 1);
        (void)got;
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        ForgetTerminal();
    } else {
        std::cin.get(); // one character, or the end of input
    }
    std::cout << '\n' << std::flush;
}

} // namespace platform
