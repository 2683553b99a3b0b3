#include "app/ConsolePrint.h"
#include "app/Dialogues.h"
#include "gentl/DebugTrace.h"

void ListFirmwareFiles(const std::vector<std::string>& names) {
    if (names.empty()) {
        ConsolePrint("No firmware file found!\n");
        DebugTrace("No firmware file found!\n");
        return;
    }
    int index = 0;
    for (const std::string& name : names) {
        ConsolePrint("\nFW File: [%d]\n", index);
        ConsolePrint("Name: %s\n", name.c_str());
        DebugTrace("\nFW File: [%d]\n", index);
        DebugTrace("Name: %s\n", name.c_str());
        ++index;
    }
}

void ShowSelectedFirmware(const std::string& name) {
    ConsolePrint("selected firmware file: %s\n", name.c_str());
}
