#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The firmware files of a directory: every entry whose name contains ".bin", numbered from 0
// in listing order.
class FirmwareFile {
public:
    FirmwareFile() = default;
    virtual ~FirmwareFile();

    // 0, or -1 with errno set when the directory cannot be listed.
    int32_t ScanFirmwareFiles(std::string directory, int32_t& count);
    void Clear();

    // Dialogues. ChooseFirmwareFile returns the chosen index, or -1 when input ended first.
    int32_t ListFirmwareFiles(int32_t count);
    int32_t ChooseFirmwareFile(int32_t count, int32_t& choice);
    int32_t GetSelectedFile(int32_t index, std::string& name);

    std::map<int32_t, std::string> firmwareFileMap;
    std::vector<std::string> firmwareFiles;
    std::string selectedFirmwareName;
    int32_t selectedFirmware = 0;
};
