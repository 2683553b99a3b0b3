#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The firmware files of a directory: every entry whose name contains ".bin", numbered from 0
// in listing order.
class FirmwareFile {
public:
    // Adds the directory's firmware files; count says how many were new. 0, or -1 with errno
    // set when the directory cannot be listed.
    int32_t ScanFirmwareFiles(std::string directory, int32_t& count);

    std::vector<std::string> firmwareFiles; // a file's number is its place
};
