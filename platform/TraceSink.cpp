#include "platform/TraceSink.h"

#include "platform/Environment.h"
#include "platform/TraceLine.h"
#include "platform/TraceSinkSystem.h"

namespace platform {
namespace {
enum class Target { Unresolved, File, StandardError, SystemLog, Nowhere };

struct SinkState {
    Target target = Target::Unresolved;
    trace::FileHandle file = nullptr;
};

SinkState& State() {
    static SinkState state;
    return state;
}

bool Choose(SinkState& state, const std::string& destination, std::string& error) {
    if (destination.empty()) {
        state.target = Target::Nowhere;
    } else if (destination == "-") {
        state.target = Target::StandardError;
    } else if (destination == "syslog") {
        trace::OpenSystemLog();
        state.target = Target::SystemLog;
    } else {
        state.file = trace::OpenFile(destination, error);
        state.target = state.file ? Target::File : Target::Nowhere;
        return state.file != nullptr;
    }
    return true;
}
} // namespace

bool SetTraceDestination(const std::string& destination, std::string& error) {
    ResetTraceSink();
    return Choose(State(), destination, error);
}

void EmitTrace(const char* message) {
    SinkState& state = State();
    if (state.target == Target::Unresolved) {
        std::string path, ignored;
        if (!ReadEnvironment("CXP_FWUPDATE_TRACE", path) || path.empty())
            path = "syslog";
        // A trace file that cannot be opened must not disturb the interactive run.
        Choose(state, path, ignored);
    }
    switch (state.target) {
    case Target::File: {
        TraceLine line(message);
        trace::WriteFile(state.file, line.data, line.size);
        break;
    }
    case Target::StandardError: {
        TraceLine line(message);
        trace::WriteStandardError(line.data, line.size);
        break;
    }
    case Target::SystemLog:
        trace::WriteSystemLog(message);
        break;
    default:
        break;
    }
}

void ResetTraceSink() {
    SinkState& state = State();
    if (state.file)
        trace::CloseFile(state.file);
    if (state.target == Target::SystemLog)
        trace::CloseSystemLog();
    state = SinkState();
}
} // namespace platform
