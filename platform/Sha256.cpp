#include "platform/Sha256.h"

namespace platform {
std::string Sha256::Final() {
    unsigned char digest[32];
    if (!Finish(digest))
        return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 0xF]);
    }
    return text;
}

std::string Sha256Hex(const void* data, size_t size) {
    Sha256 hash;
    hash.Update(data, size);
    return hash.Final();
}
} // namespace platform
