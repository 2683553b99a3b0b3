#include "platform/DirectoryReader.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/Utf8.h"

namespace {

struct WideDirectoryStream {
    WIN32_FIND_DATAW findData{};
    bool cached = false;
    HANDLE search = INVALID_HANDLE_VALUE;
};

void Release(WideDirectoryStream* wide) {
    if (wide->search != INVALID_HANDLE_VALUE)
        FindClose(wide->search);
    delete wide;
}

int ErrnoFor(DWORD error) {
    switch (error) {
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    default:
        return ENOENT;
    }
}

WideDirectoryStream* OpenWideDirectory(const std::wstring& name) {
    auto* wide = new (std::nothrow) WideDirectoryStream;
    if (wide == nullptr)
        return nullptr;
    // Full and, when long, "\\?\"-prefixed: no length limit on the folder.
    const std::wstring path = platform::SystemPath(name);
    const wchar_t last = path.empty() ? L'\0' : path.back();
    const std::wstring pattern =
        path + (last == L'\\' || last == L'/' || last == L':' ? L"*" : L"\\*");
    // Long names only: the short 8.3 name is never asked for, so never shown.
    wide->search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &wide->findData,
                                    FindExSearchNameMatch, nullptr, 0);
    if (wide->search == INVALID_HANDLE_VALUE) {
        int code = ErrnoFor(GetLastError());
        if (code == ENOENT) {
            // Some find-file realisations (wine's) call "file\*" a missing path; the reader
            // promises ENOTDIR for an existing file on both platforms.
            const DWORD attributes = GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                code = ENOTDIR;
        }
        errno = code;
        Release(wide);
        return nullptr;
    }
    wide->cached = true;
    return wide;
}

} // namespace

struct DirectoryStream {
    DirectoryEntry entry;
    WideDirectoryStream* wide = nullptr;
};

namespace DirectoryReader {

DirectoryStream* opendir(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        errno = ENOENT;
        return nullptr;
    }
    auto* stream = new (std::nothrow) DirectoryStream;
    if (stream == nullptr)
        return nullptr;
    stream->wide = OpenWideDirectory(platform::Widen(name));
    if (stream->wide == nullptr) {
        delete stream;
        return nullptr;
    }
    return stream;
}

DirectoryEntry* readdir(DirectoryStream* stream) {
    if (stream == nullptr || stream->wide == nullptr)
        return nullptr;
    WideDirectoryStream* wide = stream->wide;
    if (wide->cached) {
        wide->cached = false;
    } else if (wide->search == INVALID_HANDLE_VALUE) {
        return nullptr;
    } else if (!FindNextFileW(wide->search, &wide->findData)) {
        FindClose(wide->search);
        wide->search = INVALID_HANDLE_VALUE;
        return nullptr;
    }
    DirectoryEntry& entry = stream->entry;
    entry = DirectoryEntry{};
    const std::string name = platform::Narrow(wide->findData.cFileName);
    if (!name.empty() && name.size() < sizeof entry.name) {
        std::memcpy(entry.name, name.c_str(), name.size() + 1);
        entry.nameLength = name.size();
        const DWORD attributes = wide->findData.dwFileAttributes;
        entry.type = (attributes & FILE_ATTRIBUTE_DEVICE)      ? kTypeCharDevice
                     : (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kTypeDirectory
                                                               : kTypeRegular;
        entry.recordLength = sizeof(DirectoryEntry);
    } else {
        std::strcpy(entry.name, "?");
        entry.nameLength = 1;
        entry.offset = -1;
    }
    return &entry;
}

int closedir(DirectoryStream* stream) {
    if (stream == nullptr) {
        errno = EBADF;
        return -1;
    }
    int result = 0;
    if (stream->wide == nullptr) {
        errno = EBADF;
        result = -1;
    } else {
        Release(stream->wide);
    }
    stream->wide = nullptr;
    delete stream;
    return result;
}

} // namespace DirectoryReader
