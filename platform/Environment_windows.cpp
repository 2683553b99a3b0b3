#include <cstdlib>
#include <vector>
#include <windows.h>

#include "platform/Environment.h"

namespace platform {
// The process block, not the C runtime's copy: the runtime cannot hold an empty value
// (_putenv_s with "" removes the variable), the process block can.
bool ReadEnvironment(const char* name, std::string& value) {
    SetLastError(0);
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return false;
        }
        value.clear();
        return true;
    }
    for (;;) {
        std::vector<char> buffer(size);
        SetLastError(0);
        DWORD length = GetEnvironmentVariableA(name, buffer.data(), size);
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return false;
        }
        if (length < size) {
            value.assign(buffer.data(), length);
            return true;
        }
        size = length; // grew in between: try again with the new size
    }
}

bool SetEnvironment(const std::string& name, const std::string& value) {
    // The runtime's copy first: _putenv_s also writes the process block, and for an empty
    // value it removes the variable there, so the process block is set afterwards.
    _putenv_s(name.c_str(), value.c_str());
    return SetEnvironmentVariableA(name.c_str(), value.c_str()) != 0;
}

bool UnsetEnvironment(const std::string& name) {
    if (!SetEnvironmentVariableA(name.c_str(), nullptr) &&
        GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
        return false;
    }
    _putenv_s(name.c_str(), "");
    return true;
}
} // namespace platform
