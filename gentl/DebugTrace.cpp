#include "gentl/DebugTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/TraceSink.h"

namespace {
TraceObserver& Observer() {
    static TraceObserver observer;
    return observer;
}

// Uploads to several cameras trace from several threads: one line at a time reaches the
// sink, and the sink sets itself up once.
std::mutex& EmitMutex() {
    static std::mutex mutex;
    return mutex;
}

void Emit(const char* message) {
    std::lock_guard<std::mutex> lock(EmitMutex());
    TraceObserver& observer = Observer();
    if (observer) {
        observer(message);
        return;
    }
    platform::EmitTrace(message);
}
} // namespace

void DebugTrace(const char* format, ...) {
    // Built on the stack: tracing sits on the upload's per-chunk path and allocates nothing.
    char message[kTraceMessageMax + 1];
    message[0] = '\0';
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    Emit(message);
}

void DebugTraceText(const char* message) {
    if (std::strlen(message) > kTraceMessageMax) {
        DebugTrace("%s", message); // cut there like every other message
        return;
    }
    Emit(message);
}

void SetTraceObserver(TraceObserver observer) {
    std::lock_guard<std::mutex> lock(EmitMutex());
    Observer() = std::move(observer);
}

HandleHex::HandleHex(const void* handle)
    : HandleHex(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle))) {}

HandleHex::HandleHex(uint64_t value) {
    static const char digits[] = "0123456789ABCDEF";
    for (int i = 15; i >= 0; --i) {
        text[i] = digits[value & 0xF];
        value >>= 4;
    }
    text[16] = '\0';
}
