#pragma once
#include <string>

namespace platform {
// Reads an environment variable. Returns false when it is not defined; a variable that is
// defined but empty gives true and an empty value.
bool ReadEnvironment(const char* name, std::string& value);
// Defines (or replaces) a variable of this process; an empty value stays defined. Children
// started afterwards inherit it. False when the platform refuses.
bool SetEnvironment(const std::string& name, const std::string& value);
// Removes a variable of this process; removing an undefined one succeeds.
bool UnsetEnvironment(const std::string& name);
} // namespace platform
