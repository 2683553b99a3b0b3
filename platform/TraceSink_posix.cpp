#include <cstdio>
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include "platform/Environment.h"
#include "platform/TraceLine.h"
#include "platform/TraceSink.h"

namespace platform {
namespace {
enum class Target { Unresolved, File, StandardError, SystemLog, Nowhere };

struct SinkState {
    Target target = Target::Unresolved;
    int fd = -1;
};

SinkState& State() {
    static SinkState state;
    return state;
}

void Resolve(SinkState& state) {
    std::string path;
    if (!ReadEnvironment("CXP_FWUPDATE_TRACE", path) || path.empty()) {
        openlog("cxp-fwupdate", LOG_PID, LOG_USER);
        state.target = Target::SystemLog;
    } else if (path == "-") {
        state.target = Target::StandardError;
    } else {
        state.fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        // A trace file that cannot be opened must not disturb the run.
        state.target = state.fd >= 0 ? Target::File : Target::Nowhere;
    }
}

void WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written <= 0) {
            return;
        }
        data += written;
        size -= static_cast<size_t>(written);
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
        WriteAll(state.fd, line.data, line.size);
        break;
    }
    case Target::StandardError: {
        TraceLine line(message);
        std::fflush(stderr);
        WriteAll(STDERR_FILENO, line.data, line.size);
        break;
    }
    case Target::SystemLog:
        syslog(LOG_DEBUG, "%s", message);
        break;
    default:
        break;
    }
}

void ResetTraceSink() {
    SinkState& state = State();
    if (state.fd >= 0) {
        ::close(state.fd);
    }
    if (state.target == Target::SystemLog) {
        closelog();
    }
    state = SinkState();
}
} // namespace platform
