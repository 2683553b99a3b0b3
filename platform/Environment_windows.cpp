#include <cstdlib>
#include <vector>
#include <windows.h>

#include "platform/Environment.h"
#include "platform/Utf8.h"

namespace platform {
// The process block, not the C runtime's copy: the runtime cannot hold an empty value
// (_putenv_s with "" removes the variable), the process block can. Wide, so that a value
// outside the ANSI code page arrives whole, as UTF-8.
bool ReadEnvironment(const char* name, std::string& value) {
    const std::wstring wideName = Widen(name);
    SetLastError(0);
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return false;
        }
        value.clear();
        return true;
    }
    for (;;) {
        std::vector<wchar_t> buffer(size);
        SetLastError(0);
        DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(), size);
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return false;
        }
        if (length < size) {
            value = Narrow(std::wstring(buffer.data(), length));
            return true;
        }
        size = length; // grew in between: try again with the new size
    }
}

bool SetEnvironment(const std::string& name, const std::string& value) {
    // The runtime's copy first: _wputenv_s also writes the process block, and for an empty
    // value it removes the variable there, so the process block is set afterwards.
    const std::wstring wideName = Widen(name), wideValue = Widen(value);
    _wputenv_s(wideName.c_str(), wideValue.c_str());
    return SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str()) != 0;
}

bool UnsetEnvironment(const std::string& name) {
    const std::wstring wideName = Widen(name);
    if (!SetEnvironmentVariableW(wideName.c_str(), nullptr) &&
        GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
        return false;
    }
    _wputenv_s(wideName.c_str(), L"");
    return true;
}
} // namespace platform
