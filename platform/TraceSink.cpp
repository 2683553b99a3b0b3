#include "platform/TraceSink.h"

#include <cstdlib>
#include <memory>

#include "platform/Environment.h"
#include "platform/TraceLine.h"
#include "platform/TraceSinkSystem.h"
#include "platform/TraceWriter.h"

namespace platform {
namespace {
enum class Target { Unresolved, File, StandardError, SystemLog, Nowhere };

struct SinkState {
    Target target = Target::Unresolved;
    std::unique_ptr<trace::FileWriter> file;
};

// Never destroyed: whatever still traces while the process ends finds the sink in place.
SinkState& State() {
    static SinkState* state = new SinkState;
    return *state;
}

// However the program ends through exit, the lines handed over are in the file; a line traced
// later is written at once.
void WriteRestAtExit() {
    if (State().file)
        State().file->Stop();
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
        const trace::FileHandle file = trace::OpenFile(destination, error);
        if (file == nullptr) {
            state.target = Target::Nowhere;
            return false;
        }
        static const bool registered = std::atexit(WriteRestAtExit) == 0;
        (void)registered;
        state.file = std::make_unique<trace::FileWriter>(file);
        state.target = Target::File;
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
        state.file->Append(std::string_view(line.data, line.size));
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
    state.file.reset();
    if (state.target == Target::SystemLog)
        trace::CloseSystemLog();
    state.target = Target::Unresolved;
}
} // namespace platform
