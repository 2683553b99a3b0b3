#pragma once
#include <cstdio>
#include <string>

namespace platform {
// Hands what was written to `file` (already flushed) to the disk: fsync, FlushFileBuffers.
// Empty when done, else the system's error. A file the system cannot sync (a pipe, a terminal,
// a device) has nothing to hand over and counts as synced.
std::string SyncToDisk(std::FILE* file);
} // namespace platform
