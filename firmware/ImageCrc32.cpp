#include "firmware/ImageCrc32.h"

#include <array>

namespace {
std::array<uint32_t, 256> BuildTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        }
        table[i] = c;
    }
    return table;
}
} // namespace

uint32_t ImageCrc32(const uint8_t* data, uint32_t length) {
    // Built on the first call and kept for the life of the process.
    static const std::array<uint32_t, 256> table = BuildTable();
    uint32_t r = 0xFFFFFFFFu;
    for (uint32_t i = 0; i < length; ++i) {
        r = (r >> 8) ^ table[(r ^ data[i]) & 0xFF];
    }
    return r ^ 0xFFFFFFFFu;
}
