#pragma once
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Environment.h"

namespace platform {
namespace trace_detail {

// The CXP_FWUPDATE_TRACE override, shared by both platforms' sinks. The file is opened at
// the first message and kept; each message is one write, flushed, so a crash loses nothing.
struct FileOverride {
    bool checked = false;
    FILE* file = nullptr;
    bool active = false;

    void Check() {
        if (checked)
            return;
        checked = true;
        std::string target;
        if (!ReadEnvironment("CXP_FWUPDATE_TRACE", target) || target.empty())
            return;
        active = true;
        file = target == "-" ? stderr : std::fopen(target.c_str(), "ab");
    }
    void Reset() {
        if (file != nullptr && file != stderr)
            std::fclose(file);
        *this = FileOverride{};
    }
    void Write(const char* message) {
        if (file == nullptr)
            return;
        std::string line(message);
        if (line.empty() || line.back() != '\n')
            line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), file);
        std::fflush(file);
    }
};

inline FileOverride& Override() {
    static FileOverride instance;
    return instance;
}

} // namespace trace_detail
} // namespace platform
