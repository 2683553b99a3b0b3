#include "platform/TraceSink.h"

#include <windows.h>

#include "platform/TraceSink_common.h"

namespace platform {

void EmitTrace(const char* message) {
    auto& override = trace_detail::Override();
    override.Check();
    if (override.active) {
        override.Write(message);
        return;
    }
    OutputDebugStringA(message);
}

void ResetTraceSink() {
    trace_detail::Override().Reset();
}

} // namespace platform
