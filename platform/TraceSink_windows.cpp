#include <cstdio>
#include <windows.h>

#include "platform/Environment.h"
#include "platform/TraceLine.h"
#include "platform/TraceSink.h"

namespace platform {
namespace {
enum class Target { Unresolved, File, StandardError, Debugger, Nowhere };

struct SinkState {
    Target target = Target::Unresolved;
    HANDLE file = INVALID_HANDLE_VALUE;
};

SinkState& State() {
    static SinkState state;
    return state;
}

void Resolve(SinkState& state) {
    std::string path;
    if (!ReadEnvironment("CXP_FWUPDATE_TRACE", path) || path.empty()) {
        state.target = Target::Debugger;
    } else if (path == "-") {
        state.target = Target::StandardError;
    } else {
        // Append-only access: every write lands at the end, also beside other writers.
        state.file = CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        // A trace file that cannot be opened must not disturb the run.
        state.target = state.file != INVALID_HANDLE_VALUE ? Target::File : Target::Nowhere;
    }
}
} // namespace

void EmitTrace(const char* message) {
    SinkState& state = State();
    if (state.target == Target::Unresolved) {
        Resolve(state);
    }
    switch (state.target) {
    case Target::File: {
        TraceLine line(message);
        // Once the system holds the line it outlives a crash of the tool; a disk flush per
        // register write would only slow the upload down.
        DWORD written = 0;
        WriteFile(state.file, line.data, static_cast<DWORD>(line.size), &written, nullptr);
        break;
    }
    case Target::StandardError: {
        TraceLine line(message);
        std::fwrite(line.data, 1, line.size, stderr);
        std::fflush(stderr);
        break;
    }
    case Target::Debugger:
        OutputDebugStringA(message);
        break;
    default:
        break;
    }
}

void ResetTraceSink() {
    SinkState& state = State();
    if (state.file != INVALID_HANDLE_VALUE) {
        CloseHandle(state.file);
    }
    state = SinkState();
}
} // namespace platform
