#include "platform/Interrupt.h"

#include <atomic>
#include <windows.h>

#include "platform/InterruptState.h"

namespace platform {
namespace {
using interrupts::armed;
std::atomic<bool> installed{false};

// The system ends the process a few seconds after a close event whatever we do, and as soon
// as the handler returns: stay here while the program is stopping, but not past that limit.
constexpr DWORD kCloseGraceMilliseconds = 4000;
constexpr DWORD kPollMilliseconds = 10;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (armed.load() == 0)
        return FALSE; // the default handler ends the process
    interrupts::counted.fetch_add(1);
    if (event == CTRL_CLOSE_EVENT) {
        for (DWORD waited = 0; armed.load() > 0 && waited < kCloseGraceMilliseconds;
             waited += kPollMilliseconds)
            Sleep(kPollMilliseconds);
    }
    return TRUE;
}
} // namespace

void InstallInterruptHandlers() {
    if (installed.exchange(true))
        return;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void IgnoreBrokenPipes() {}
} // namespace platform
