#pragma once
#include <termios.h>

// Between the key wait and the signal handler: a terminal whose settings we changed, to be put
// back when a signal ends the process.
namespace platform {
void RememberTerminal(int fd, const termios& saved);
void ForgetTerminal();
} // namespace platform
