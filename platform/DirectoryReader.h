#pragma once
#include <cstddef>
#include <cstdint>

// A POSIX-style directory stream over the platform's own listing calls. Entries come in the
// platform's order, nothing filtered (dot entries included).
struct DirectoryEntry {
    int32_t inode = 0;         // always 0
    int32_t offset = 0;        // 0; -1 in a placeholder entry
    uint16_t recordLength = 0; // sizeof(DirectoryEntry); 0 in a placeholder entry
    size_t nameLength = 0;     // bytes of name, terminator not counted
    int32_t type = 0;          // kTypeCharDevice, kTypeDirectory, kTypeRegular; 0 in a placeholder
    // Zero-terminated UTF-8 (Linux: the bytes); "?" when it does not fit. Room for the longest
    // Windows name, 255 UTF-16 units of up to 3 bytes each.
    char name[766] = {};
};

constexpr int32_t kTypeCharDevice = 0x2000;
constexpr int32_t kTypeDirectory = 0x4000;
constexpr int32_t kTypeRegular = 0x8000;

struct DirectoryStream; // opaque; one entry record per stream, overwritten by every read

namespace DirectoryReader {
// Null with errno ENOENT for a null or empty name; ENOENT, EACCES or ENOTDIR when the
// directory is missing, not accessible, or not a directory.
DirectoryStream* opendir(const char* name);
// The next entry, or null at the end (and on every call after it).
DirectoryEntry* readdir(DirectoryStream* stream);
// 0; -1 with errno EBADF for null.
int closedir(DirectoryStream* stream);
} // namespace DirectoryReader
