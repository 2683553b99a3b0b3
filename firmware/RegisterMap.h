#pragma once
#include <cstdint>

// The camera's firmware-update registers. Every register is 32 bits, big-endian on the wire.
namespace regs {
constexpr uint64_t kUpdateMagic = 0xAB00;
constexpr uint64_t kUpdateParam = 0xAB04;
constexpr uint64_t kUpdateSize = 0xAB08;
constexpr uint64_t kUpdateChecksum = 0xAB0C;
constexpr uint64_t kUpdateFlash = 0xAB10;
constexpr uint64_t kUpdateTarget = 0xAB14;
constexpr uint64_t kUpdateFinish = 0xB0E8;
constexpr uint32_t kUpdateDataWindow = 0x70000000; // + offset, up to kChunkSize bytes a write

constexpr uint32_t kMagicValue = 0x00005B17;
constexpr uint32_t kParamValue = 0;
constexpr uint32_t kSecondaryTarget = 2;
constexpr uint32_t kFlashCommand = 1;
constexpr uint32_t kFinishValue = 0x0000D2C4;
constexpr uint32_t kChunkSize = 1024;
} // namespace regs
