#pragma once
#include <cstdint>

// CRC-32 (IEEE 802.3, reflected, init and final XOR 0xFFFFFFFF) of a byte buffer.
uint32_t ImageCrc32(const uint8_t* data, uint32_t length);
