#include "app/cli/ImageFile.h"

#include <filesystem>
#include <system_error>

#include "app/cli/Text.h"
#include "platform/Utf8.h"

namespace cli {

std::string LoadFile(const std::string& name, LoadedImage& image) {
    namespace fs = std::filesystem;
    const std::string file = "firmware file " + Printable(name); // made printable once
    std::error_code error;
    const fs::file_status status = fs::status(platform::FileSystemPath(name), error);
    if (!fs::exists(status))
        return file + " not found";
    if (!fs::is_regular_file(status))
        return file + " is not a regular file";
    switch (LoadImageFile(name, image)) {
    case ImageLoad::Loaded:
        return std::string();
    case ImageLoad::OpenFailed:
        return file + " cannot be opened";
    case ImageLoad::ReadError:
        return file + " could not be read in full";
    case ImageLoad::Empty:
        return file + " is empty";
    case ImageLoad::TooLarge:
        return file + " is too large (2 GiB or more)";
    case ImageLoad::NoMemory:
        return "not enough memory for the firmware image";
    }
    return file + " cannot be used";
}

} // namespace cli
