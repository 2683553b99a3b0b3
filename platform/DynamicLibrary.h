#pragma once
#include <string>

namespace platform {
struct LibraryLoadFailure {
    int code = 0;       // GetLastError() on Windows, errno at the failure elsewhere (0 when unset)
    std::string reason; // the platform's own words for the failure, for the console
};

// Takes the current folder out of the search for libraries, so that a planted library there
// is never loaded. Once at start-up; nothing to do on Linux, whose loader does not look there.
void HardenLibrarySearch();
// Loads the library at this path (on Linux always by a path with a slash, so the dynamic
// loader never searches elsewhere; on Windows its dependencies are searched for in its own
// folder first). Returns null and fills failure when it cannot be loaded.
void* LoadDynamicLibrary(const std::string& path, LibraryLoadFailure& failure);
// Address of an exported symbol, or null when the library does not export it.
void* ResolveSymbol(void* library, const char* name);
// Only for a library none of whose functions ran: one that did may have left threads behind.
void FreeDynamicLibrary(void* library);
} // namespace platform
