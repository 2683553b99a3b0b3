#include <cstdlib>
#include <windows.h>

#include "platform/Environment.h"

namespace platform {
// The C runtime keeps its own copy of the environment; both are updated so getenv and child
// processes agree. The runtime cannot hold an empty value (_putenv_s removes the variable).
bool SetEnvironment(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
    return _putenv_s(name.c_str(), value.c_str()) == 0;
}
bool UnsetEnvironment(const std::string& name) {
    SetEnvironmentVariableA(name.c_str(), nullptr);
    return _putenv_s(name.c_str(), "") == 0;
}
} // namespace platform
