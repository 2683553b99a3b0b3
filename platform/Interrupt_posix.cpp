#include "platform/Interrupt.h"

#include <atomic>
#include <csignal>
#include <termios.h>

#include "platform/InterruptState.h"
#include "platform/TerminalRestore_posix.h"

namespace platform {
namespace {
// The handler touches nothing else: lock-free atomics and a plain struct written before the
// descriptor that publishes it.
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the signal handler needs lock-free atomics");
using interrupts::armed;
std::atomic<bool> installed{false};
std::atomic<int> terminalFd{-1};
termios terminalSettings{};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int signal) {
    if (armed.load() > 0) {
        interrupts::counted.fetch_add(1);
        return;
    }
    const int fd = terminalFd.load();
    if (fd >= 0)
        tcsetattr(fd, TCSANOW, &terminalSettings);
    // End the way the signal would have without us; it stays blocked until we return.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}
} // namespace

void InstallInterruptHandlers() {
    if (installed.exchange(true))
        return;
    for (int signal : kSignals) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals)
            sigaddset(&action.sa_mask, other);
        action.sa_flags = SA_RESTART; // counted interrupts must not break reads or writes
        sigaction(signal, &action, nullptr);
    }
}

void IgnoreBrokenPipes() {
    signal(SIGPIPE, SIG_IGN);
}

void RememberTerminal(int fd, const termios& saved) {
    terminalFd.store(-1);
    terminalSettings = saved;
    terminalFd.store(fd);
}

void ForgetTerminal() {
    terminalFd.store(-1);
}
} // namespace platform
