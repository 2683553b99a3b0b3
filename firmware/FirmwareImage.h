#pragma once
#include <cstdint>
#include <istream>
#include <vector>

// How reading an image file ended.
enum class ImageLoad {
    Loaded,
    ReadError, // size unknown, or fewer bytes than the size promised
    Empty,
    TooLarge, // 2 GiB or more: the size does not fit the upload's 32-bit count
};

// Files of this size and above are refused before anything is allocated or read.
constexpr uint64_t kImageFileLimit = 0x80000000u;

// The upload size of an n-byte file: n rounded up to a multiple of 4.
constexpr uint32_t UploadSize(uint32_t fileSize) {
    return (fileSize + 3u) & ~3u;
}

// Reads the whole file once into `image`: UploadSize(fileSize) bytes, the zero padding
// included. `fileSize` is the length found at the end of the file.
ImageLoad LoadFirmwareImage(std::istream& file, std::vector<uint8_t>& image, uint32_t& fileSize);
