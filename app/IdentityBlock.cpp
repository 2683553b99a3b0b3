#include "app/IdentityBlock.h"

#include "app/ConsolePrint.h"
#include "gentl/DebugTrace.h"

void PrintIdentityBlock(const RemoteDeviceInfo& info) {
    ConsolePrint("\nhParentDEV: 0x%s\n", HandleHex(info.hDevice).c_str());
    ConsolePrint("model: %s\n", info.model.c_str());
    ConsolePrint("manufacturerInfo: %s\n", info.manufacturerInfo.c_str());
    ConsolePrint("serialNumber: %s\n\n", info.serialNumber.c_str());
}
