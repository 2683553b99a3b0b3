#include <cstdlib>

#include "platform/Environment.h"

namespace platform {
bool ReadEnvironment(const char* name, std::string& value) {
    const char* found = std::getenv(name);
    if (found == nullptr) {
        return false;
    }
    value = found;
    return true;
}

bool SetEnvironment(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnvironment(const std::string& name) {
    return ::unsetenv(name.c_str()) == 0;
}
} // namespace platform
