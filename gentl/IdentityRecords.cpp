#include "gentl/IdentityRecords.h"

#include <cstring>

std::string BoundedText(const char* buffer, size_t width) {
    if (!buffer) {
        return std::string();
    }
    const void* zero = std::memchr(buffer, 0, width);
    size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - buffer) : width;
    return std::string(buffer, length);
}
