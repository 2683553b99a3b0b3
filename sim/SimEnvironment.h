#pragma once
#include <string>

namespace sim {
// Reads a variable from the process environment itself, as it is at this moment (the
// simulator reads its settings at every GCInitLib). False, and `value` empty, when unset.
bool ReadSetting(const char* name, std::string& value);
} // namespace sim
