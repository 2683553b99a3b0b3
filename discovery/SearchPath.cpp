#include <new>

#include "discovery/ProducerManager.h"
#include "gentl/DebugTrace.h"
#include "gentl/Listed.h"
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
        auto same = [&token](const std::string& path) { return path == token; };
        if (!ListedAlready(paths, same, "CTI Path Existed"))
            paths.push_back(token);
    }
}

int32_t ProducerManager::ReadSearchPath(std::vector<std::string>& paths) {
    DebugTrace("64bit");
    std::string value;
    bool defined = false;
    try {
        defined = platform::ReadEnvironment("GENICAM_GENTL64_PATH", value);
    } catch (const std::bad_alloc&) {
        DebugTrace("Failed to allocate memory!\n");
        return kSearchPathNoMemory;
    }
    if (!defined) {
        DebugTrace("LIB doesn't exist!\n");
        return kSearchPathUndefined;
    }
    DebugTrace("libvar: %s", value.c_str());
    // The split copies the value once more; without memory for that the run cannot go on either.
    try {
        SplitSearchPath(value, paths);
    } catch (const std::bad_alloc&) {
        DebugTrace("Failed to allocate memory!\n");
        return kSearchPathNoMemory;
    }
    return 0;
}
