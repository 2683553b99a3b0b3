#include "firmware/FirmwareImage.h"

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
    image.assign(UploadSize(fileSize), 0);
    file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(fileSize));
    if (file.gcount() != static_cast<std::streamsize>(fileSize)) {
        std::vector<uint8_t>().swap(image); // zeros in place of the missing bytes: useless
        return ImageLoad::ReadError;
    }
    return ImageLoad::Loaded;
}
