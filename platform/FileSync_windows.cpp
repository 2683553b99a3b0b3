#include "platform/FileSync.h"

#include <io.h>
#include <windows.h>

namespace platform {

std::string SyncToDisk(std::FILE* file) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE)
        return "the file has no system handle";
    // A pipe or the console would wait for its reader, NUL refuses: only files are synced.
    if (GetFileType(handle) != FILE_TYPE_DISK || FlushFileBuffers(handle))
        return std::string();
    const DWORD code = GetLastError();
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                          text[length - 1] == ' ' || text[length - 1] == '.'))
        text[--length] = '\0';
    return length > 0 ? text : "error " + std::to_string(code);
}

} // namespace platform
