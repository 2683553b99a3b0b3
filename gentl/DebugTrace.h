#pragma once
#include <cstdint>
#include <functional>
#include <string>

// One message to the trace channel, printf-style, cut to its first 4095 characters.
// Text from outside (names, producer strings, register contents) is always an argument,
// never the format.
void DebugTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

constexpr size_t kTraceMessageMax = 4095;

// The same for a message formatted by the caller, for the lines of an upload's every chunk:
// printf's machinery is much of the tool's time between chunks.
void DebugTraceText(const char* message);

// Tests observe the trace in process: while an observer is set, messages go to it instead of
// the platform's channel.
using TraceObserver = std::function<void(const std::string& message)>;
void SetTraceObserver(TraceObserver observer);

// A handle or a register address as the trace and the console show it after "0x": 16 upper-case
// hexadecimal digits with leading zeros on every platform. Use with "%s"; the text lives until
// the end of the full expression.
class HandleHex {
public:
    explicit HandleHex(const void* handle);
    explicit HandleHex(uint64_t value);
    const char* c_str() const { return text; }

private:
    char text[17];
};
