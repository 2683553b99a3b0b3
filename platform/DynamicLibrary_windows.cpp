#include "platform/DynamicLibrary.h"

#include <windows.h>

namespace platform {

void* LoadDynamicLibrary(const std::string& path, LibraryLoadFailure& failure) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) {
        DWORD code = GetLastError();
        failure.code = static_cast<int>(code);
        char text[512] = {};
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, sizeof text, nullptr);
        while (length > 0 &&
               (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
            text[--length] = '\0';
        failure.reason = length > 0 ? text : "error " + std::to_string(code);
    }
    return reinterpret_cast<void*>(library);
}

void* ResolveSymbol(void* library, const char* name) {
    if (library == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeDynamicLibrary(void* library) {
    if (library != nullptr)
        FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace platform
