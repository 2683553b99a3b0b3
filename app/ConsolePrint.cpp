#include "app/ConsolePrint.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/Utf8.h"

namespace {
using Clock = std::chrono::steady_clock;
Clock::time_point lastProgressFlush;

// The names in a message are UTF-8: the console gets them through the platform so that it
// shows them; a pipe or file gets the bytes.
void Write(const char* format, va_list args) {
    char small[1024];
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(length) < sizeof small) {
        platform::WriteConsoleText(stdout, std::string_view(small, static_cast<size_t>(length)));
    } else {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, again);
        text.pop_back();
        platform::WriteConsoleText(stdout, text);
    }
    va_end(again);
}
} // namespace

void ConsolePrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Write(format, args);
    va_end(args);
    std::fflush(stdout);
}

void ConsoleProgress(std::string_view line) {
    platform::WriteConsoleText(stdout, line);
    const Clock::time_point now = Clock::now();
    if (now - lastProgressFlush >= std::chrono::milliseconds(50)) {
        std::fflush(stdout);
        lastProgressFlush = now;
    }
}
