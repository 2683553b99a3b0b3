#include "firmware/FirmwareImage.h"

#include <filesystem>
#include <fstream>
#include <new>

#include "firmware/ImageCrc32.h"
#include "platform/Utf8.h"

namespace {
bool IsFolder(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}
} // namespace

ImageLoad LoadFirmwareImage(std::istream& file, std::vector<uint8_t>& image, uint32_t& fileSize) {
    image.clear();
    fileSize = 0;
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    if (end < 0) {
        return ImageLoad::ReadError;
    }
    if (end == 0) {
        return ImageLoad::Empty;
    }
    if (static_cast<uint64_t>(end) >= kImageFileLimit) {
        return ImageLoad::TooLarge;
    }
    fileSize = static_cast<uint32_t>(end);
    file.seekg(0, std::ios::beg);
    // One buffer for the whole image, zero-filled so the padding is already in place.
    try {
        image.assign(UploadSize(fileSize), 0);
    } catch (const std::bad_alloc&) {
        std::vector<uint8_t>().swap(image);
        fileSize = 0;
        return ImageLoad::NoMemory;
    }
    file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(fileSize));
    if (file.gcount() != static_cast<std::streamsize>(fileSize)) {
        std::vector<uint8_t>().swap(image); // zeros in place of the missing bytes: useless
        return ImageLoad::ReadError;
    }
    return ImageLoad::Loaded;
}

ImageLoad LoadImageFile(const std::string& fileName, LoadedImage& image) {
    image = LoadedImage();
    // A folder opens as a stream on some systems and reports a size that is not an image's.
    // One conversion of the name for both calls.
    const std::filesystem::path path = platform::FileSystemPath(fileName);
    if (IsFolder(path)) {
        return ImageLoad::OpenFailed;
    }
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        return ImageLoad::OpenFailed;
    }
    const ImageLoad load = LoadFirmwareImage(file, image.bytes, image.fileSize);
    if (load == ImageLoad::Loaded) {
        image.crc = ImageCrc32(image.bytes.data(), image.Size());
    }
    return load;
}
