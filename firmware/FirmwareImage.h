#pragma once
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

// How reading an image file ended.
enum class ImageLoad {
    Loaded,
    OpenFailed, // missing, unreadable, or a folder
    ReadError,  // size unknown, or fewer bytes than the size promised
    Empty,
    TooLarge, // 2 GiB or more: the size does not fit the upload's 32-bit count
    NoMemory, // no memory for the image buffer
};

// Files of this size and above are refused before anything is allocated or read.
constexpr uint64_t kImageFileLimit = 0x80000000u;

// The upload size of an n-byte file: n rounded up to a multiple of 4.
constexpr uint32_t UploadSize(uint32_t fileSize) {
    return (fileSize + 3u) & ~3u;
}

// A firmware image ready to go out: the padded bytes and their checksum. Several uploads may
// share one, read-only.
struct LoadedImage {
    std::vector<uint8_t> bytes; // UploadSize(fileSize) bytes, the zero padding included
    uint32_t fileSize = 0;
    uint32_t crc = 0;
    uint32_t Size() const { return static_cast<uint32_t>(bytes.size()); }
};

// Reads the whole file once into `image`: UploadSize(fileSize) bytes, the zero padding
// included. `fileSize` is the length found at the end of the file.
ImageLoad LoadFirmwareImage(std::istream& file, std::vector<uint8_t>& image, uint32_t& fileSize);

// Opens the file by name (resolved against the working directory) and loads it with its
// checksum. The file is closed again before this returns.
ImageLoad LoadImageFile(const std::string& fileName, LoadedImage& image);
