#include "platform/DirectoryReader.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

namespace {

constexpr size_t kNameCapacity = 261;

struct WideDirectoryStream {
    WIN32_FIND_DATAW findData{};
    int cached = 0;
    HANDLE search = INVALID_HANDLE_VALUE;
    wchar_t* pattern = nullptr;
};

void Release(WideDirectoryStream* wide) {
    if (wide->search != INVALID_HANDLE_VALUE)
        FindClose(wide->search);
    std::free(wide->pattern);
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

WideDirectoryStream* OpenWideDirectory(const wchar_t* name) {
    if (name == nullptr || name[0] == L'\0') {
        errno = ENOENT;
        return nullptr;
    }
    auto* wide = new (std::nothrow) WideDirectoryStream;
    if (wide == nullptr)
        return nullptr;
    wide->search = INVALID_HANDLE_VALUE;
    wide->cached = 0;
    DWORD size = GetFullPathNameW(name, 0, nullptr, nullptr);
    wide->pattern = static_cast<wchar_t*>(std::malloc(size * sizeof(wchar_t) + 16));
    if (size == 0 || wide->pattern == nullptr) {
        Release(wide);
        return nullptr;
    }
    DWORD length = GetFullPathNameW(name, size, wide->pattern, nullptr);
    if (length == 0 || length >= size) {
        Release(wide);
        return nullptr;
    }
    const DWORD pathLength = length;
    wchar_t last = wide->pattern[length - 1];
    if (last == L'\\' || last == L'/' || last == L':') {
        wide->pattern[length++] = L'*';
    } else {
        wide->pattern[length++] = L'\\';
        wide->pattern[length++] = L'*';
    }
    wide->pattern[length] = L'\0';
    wide->search = FindFirstFileExW(wide->pattern, FindExInfoStandard, &wide->findData,
                                    FindExSearchNameMatch, nullptr, 0);
    if (wide->search == INVALID_HANDLE_VALUE) {
        wide->cached = 0;
        int code = ErrnoFor(GetLastError());
        if (code == ENOENT) {
            // Some find-file realisations (wine's) call "file\*" a missing path; the reader
            // promises ENOTDIR for an existing file on both platforms.
            wide->pattern[pathLength] = L'\0';
            DWORD attributes = GetFileAttributesW(wide->pattern);
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                code = ENOTDIR;
        }
        errno = code;
        Release(wide);
        return nullptr;
    }
    wide->cached = 1;
    return wide;
}

bool ToNarrow(const wchar_t* source, char* target, size_t& count) {
    return source[0] != L'\0' &&
           wcstombs_s(&count, target, kNameCapacity, source, kNameCapacity) == 0;
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
    wchar_t wideName[kNameCapacity];
    size_t converted = 0;
    if (mbstowcs_s(&converted, wideName, kNameCapacity, name, kNameCapacity) != 0) {
        delete stream;
        return nullptr;
    }
    stream->wide = OpenWideDirectory(wideName);
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
    if (wide->cached == 1) {
        wide->cached = 0;
    } else if (wide->search == INVALID_HANDLE_VALUE) {
        return nullptr;
    } else if (!FindNextFileW(wide->search, &wide->findData)) {
        FindClose(wide->search);
        wide->search = INVALID_HANDLE_VALUE;
        return nullptr;
    }
    DirectoryEntry& entry = stream->entry;
    entry = DirectoryEntry{};
    size_t count = 0;
    if (ToNarrow(wide->findData.cFileName, entry.name, count) ||
        ToNarrow(wide->findData.cAlternateFileName, entry.name, count)) {
        entry.nameLength = count - 1;
        DWORD attributes = wide->findData.dwFileAttributes;
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
