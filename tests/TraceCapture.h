#pragma once
#include <string>
#include <vector>

#include "gentl/DebugTrace.h"

// Every trace message while it lives, in place of the trace channel.
struct TraceCapture {
    TraceCapture() {
        SetTraceObserver([this](const std::string& message) { lines.push_back(message); });
    }
    ~TraceCapture() { SetTraceObserver(nullptr); }
    std::vector<std::string> lines;
};
