#pragma once
#include <string>

#include "firmware/FirmwareImage.h"

namespace cli {

// Reads the whole file once; the workers share it read-only. Empty when usable, else why not.
std::string LoadFile(const std::string& name, LoadedImage& image);

} // namespace cli
