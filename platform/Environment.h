#pragma once
#include <string>

namespace platform {
// Reads an environment variable. Returns false when it is not defined; a variable that is
// defined but empty gives true and an empty value.
bool ReadEnvironment(const char* name, std::string& value);
} // namespace platform

namespace platform {
// Defines or replaces a variable of this process (tests prepare their children with it).
bool SetEnvironment(const std::string& name, const std::string& value);
bool UnsetEnvironment(const std::string& name);
} // namespace platform
