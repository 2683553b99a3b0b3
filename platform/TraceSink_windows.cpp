#include <cstdio>
#include <windows.h>

#include "platform/TraceSinkSystem.h"
#include "platform/Utf8.h"

namespace platform::trace {

FileHandle OpenFile(const std::string& path, std::string& error) {
    // Append-only access: every write lands at the end, also beside other writers.
    HANDLE file = CreateFileW(SystemPath(Widen(path)).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "Windows error " + std::to_string(GetLastError());
        return nullptr;
    }
    return file;
}

void WriteFile(FileHandle file, const char* data, size_t size) {
    // Once the system holds the line it outlives a crash of the tool; a disk flush per
    // register write would only slow the upload down.
    DWORD written = 0;
    ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
}

void CloseFile(FileHandle file) {
    CloseHandle(file);
}

void WriteStandardError(const char* data, size_t size) {
    std::fwrite(data, 1, size, stderr);
    std::fflush(stderr);
}

// The debugger output needs no connection.
void OpenSystemLog() {}

void WriteSystemLog(const char* message) {
    OutputDebugStringW(Widen(message).c_str());
}

void CloseSystemLog() {}
} // namespace platform::trace
