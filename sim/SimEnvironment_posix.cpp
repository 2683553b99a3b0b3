#include <cstdlib>

#include "sim/SimEnvironment.h"

namespace sim {
bool ReadSetting(const char* name, std::string& value) {
    const char* text = std::getenv(name);
    value = text != nullptr ? text : "";
    return text != nullptr;
}
} // namespace sim
