#include <vector>
#include <windows.h>

#include "sim/SimEnvironment.h"

namespace sim {
// The process block, not a C runtime's copy: a consumer may set variables with
// SetEnvironmentVariable, which no runtime copy sees.
bool ReadSetting(const char* name, std::string& value) {
    value.clear();
    SetLastError(0);
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0)
        return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    for (;;) {
        std::vector<char> buffer(size);
        SetLastError(0);
        const DWORD length = GetEnvironmentVariableA(name, buffer.data(), size);
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
            return false;
        if (length < size) {
            value.assign(buffer.data(), length);
            return true;
        }
        size = length; // grew in between
    }
}
} // namespace sim
