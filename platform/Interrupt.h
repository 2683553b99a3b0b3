#pragma once

// Ctrl-C, Ctrl-Break, closing the console window, SIGINT, SIGTERM and SIGHUP. Outside a
// deferral they end the process at once, as if no handler existed (the terminal restored
// first); inside one they are only counted, and the program decides between register writes
// how far to stop (1: no more uploads, 2: no more waiting either).
namespace platform {
// Installs the handlers. Once at start-up; later calls do nothing. A signal the process was
// started with ignored (nohup, background jobs) stays ignored.
void InstallInterruptHandlers();

// A closed pipe on an output is a write error for the program to handle, never a signal that
// ends it (SIGPIPE ignored; Windows has none).
void IgnoreBrokenPipes();

// Interrupts counted while a deferral was armed, since the process started.
int InterruptCount();

// Arms the deferral for its lifetime. Scopes nest and may be held from any thread; the
// deferral ends with the last of them. On Windows a console close waits (a few seconds at
// most) for that end before the system ends the process.
class InterruptDeferral {
public:
    InterruptDeferral();
    ~InterruptDeferral();
    InterruptDeferral(const InterruptDeferral&) = delete;
    InterruptDeferral& operator=(const InterruptDeferral&) = delete;
};
} // namespace platform
