#include <gtest/gtest.h>

#include <string>

#include "firmware/ImageCrc32.h"

namespace {
uint32_t Crc(const std::string& text) {
    return ImageCrc32(reinterpret_cast<const uint8_t*>(text.data()),
                      static_cast<uint32_t>(text.size()));
}
} // namespace

TEST(ImageCrc32, CheckValues) {
    EXPECT_EQ(Crc("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc("abc"), 0x352441C2u);
    EXPECT_EQ(Crc(std::string("abc\0", 4)), 0xA75D6850u); // the padded 3-byte image
    EXPECT_EQ(Crc(""), 0u);
    EXPECT_EQ(ImageCrc32(nullptr, 0), 0u);
    // The table is kept: later calls give the same values.
    EXPECT_EQ(Crc("123456789"), 0xCBF43926u);
}
