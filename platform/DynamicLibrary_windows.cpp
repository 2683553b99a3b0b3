#include "platform/DynamicLibrary.h"

#include <windows.h>

#include "platform/Utf8.h"

namespace platform {

void HardenLibrarySearch() {
    // Any DLL directory takes the current folder's place in the search. Windows documents ""
    // for that, but wine ignores an empty one; the system folder, searched anyway, does the
    // same on both.
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    SetDllDirectoryW(length > 0 && length < MAX_PATH ? system : L"");
}

void* LoadDynamicLibrary(const std::string& path, LibraryLoadFailure& failure) {
    // The altered search (the library's own folder first) is defined for full paths only; a
    // relative one would otherwise be looked for along the search path.
    const std::wstring full = SystemPath(Widen(path));
    HMODULE library = LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) {
        DWORD code = GetLastError();
        failure.code = static_cast<int>(code);
        wchar_t text[512] = {};
        DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, 512, nullptr);
        while (length > 0 &&
               (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' '))
            text[--length] = L'\0';
        failure.reason = length > 0 ? Narrow(text) : "error " + std::to_string(code);
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
