#include "app/ConsolePrint.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>

namespace {
using Clock = std::chrono::steady_clock;
Clock::time_point lastProgressFlush;
} // namespace

void ConsolePrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

void ConsoleProgress(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    const Clock::time_point now = Clock::now();
    if (now - lastProgressFlush >= std::chrono::milliseconds(50)) {
        std::fflush(stdout);
        lastProgressFlush = now;
    }
}
