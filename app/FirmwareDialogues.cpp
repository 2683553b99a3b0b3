#include <iostream>

#include "app/ConsolePrint.h"
#include "app/ReadChoice.h"
#include "firmware/FirmwareFile.h"
#include "gentl/DebugTrace.h"

int32_t FirmwareFile::ListFirmwareFiles(int32_t count) {
    if (count < 1) {
        ConsolePrint("No firmware file found!\n");
        DebugTrace("No firmware file found!\n");
        return 0;
    }
    for (const auto& [index, name] : firmwareFileMap) {
        ConsolePrint("\nFW File: [%d]\n", index);
        ConsolePrint("Name: %s\n", name.c_str());
        DebugTrace("\nFW File: [%d]\n", index);
        DebugTrace("Name: %s\n", name.c_str());
    }
    return 0;
}

int32_t FirmwareFile::ChooseFirmwareFile(int32_t count, int32_t& choice) {
    if (!ReadChoice("\nchoose a file >>>", count, choice, selectedFirmware))
        return -1;
    return selectedFirmware;
}

int32_t FirmwareFile::GetSelectedFile(int32_t index, std::string& name) {
    auto entry = firmwareFileMap.find(index);
    if (entry == firmwareFileMap.end())
        return -1; // only a number the firmware prompt accepted reaches here
    selectedFirmwareName = entry->second;
    ConsolePrint("selected firmware file: %s\n", selectedFirmwareName.c_str());
    name = selectedFirmwareName;
    return 0;
}
