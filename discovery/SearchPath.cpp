#include <cstdlib>
#include <new>

#include "app/ConsolePrint.h"
#include "discovery/ProducerManager.h"
#include "gentl/DebugTrace.h"
#include "platform/Environment.h"
#include "platform/PathRules.h"

void SplitSearchPath(const std::string& value, std::vector<std::string>& paths) {
    // The appended separator makes the text after the last one an entry, even when empty.
    const std::string working = value + platform::kPathListSeparator;
    size_t start = 0;
    for (size_t end = working.find(platform::kPathListSeparator); end != std::string::npos;
         start = end + 1, end = working.find(platform::kPathListSeparator, start)) {
        const std::string token = working.substr(start, end - start);
        DebugTrace("GenTLPath: %s", token.c_str());
        bool known = false;
        for (const std::string& path : paths) {
            if (path == token) {
                known = true;
                break;
            }
        }
        if (known)
            DebugTrace("CTI Path Existed");
        else
            paths.push_back(token);
    }
}

namespace {
[[noreturn]] void OutOfMemory() {
    ConsolePrint("Failed to allocate memory!\n");
    DebugTrace("Failed to allocate memory!\n");
    std::exit(-1);
}
} // namespace

int32_t ProducerManager::ReadSearchPath(std::vector<std::string>& paths) {
    DebugTrace("64bit");
    std::string value;
    bool defined = false;
    try {
        defined = platform::ReadEnvironment("GENICAM_GENTL64_PATH", value);
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
    if (!defined) {
        ConsolePrint("LIB doesn't exist!\n");
        DebugTrace("LIB doesn't exist!\n");
        std::exit(-1);
    }
    DebugTrace("libvar: %s", value.c_str());
    // The split copies the value once more; without memory for that the run cannot go on either.
    try {
        SplitSearchPath(value, paths);
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
    return 0;
}
