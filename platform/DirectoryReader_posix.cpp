#include "platform/DirectoryReader.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <new>
#include <string>
#include <sys/stat.h>

// The same contract as the Windows realisation, over the POSIX directory stream.
struct DirectoryStream {
    DirectoryEntry entry;
    DIR* dir = nullptr;
    std::string path;
};

namespace DirectoryReader {

DirectoryStream* opendir(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        errno = ENOENT;
        return nullptr;
    }
    DIR* dir = ::opendir(name);
    if (dir == nullptr) {
        if (errno != EACCES && errno != ENOTDIR)
            errno = ENOENT;
        return nullptr;
    }
    auto* stream = new (std::nothrow) DirectoryStream;
    if (stream == nullptr) {
        ::closedir(dir);
        return nullptr;
    }
    stream->dir = dir;
    stream->path = name;
    return stream;
}

DirectoryEntry* readdir(DirectoryStream* stream) {
    if (stream == nullptr || stream->dir == nullptr)
        return nullptr;
    const dirent* found = ::readdir(stream->dir);
    if (found == nullptr) {
        // The end stays the end: later calls give null without touching the stream again.
        ::closedir(stream->dir);
        stream->dir = nullptr;
        return nullptr;
    }
    DirectoryEntry& entry = stream->entry;
    entry = DirectoryEntry{};
    size_t length = std::strlen(found->d_name);
    if (length >= sizeof entry.name) {
        // A name the entry record cannot hold: the placeholder, as for an unconvertible name.
        entry.offset = -1;
        entry.nameLength = 1;
        std::strcpy(entry.name, "?");
        return &entry;
    }
    std::memcpy(entry.name, found->d_name, length + 1);
    entry.nameLength = length;
    entry.recordLength = sizeof(DirectoryEntry);
    // Symbolic links count as what they point to, as the Windows listing reports targets.
    struct stat info {};
    const std::string full = stream->path + "/" + found->d_name;
    const bool known = ::stat(full.c_str(), &info) == 0;
    if (known && S_ISCHR(info.st_mode))
        entry.type = kTypeCharDevice;
    else if (known && S_ISDIR(info.st_mode))
        entry.type = kTypeDirectory;
    else
        entry.type = kTypeRegular;
    return &entry;
}

int closedir(DirectoryStream* stream) {
    if (stream == nullptr) {
        errno = EBADF;
        return -1;
    }
    if (stream->dir != nullptr)
        ::closedir(stream->dir);
    delete stream;
    return 0;
}

} // namespace DirectoryReader
