#include "app/ConsolePrint.h"
#include "app/Dialogues.h"
#include "app/IdentityBlock.h"

void ListCtiFiles(const std::vector<std::string>& files) {
    ConsolePrint("Discover all available CTI Files:\n");
    ConsolePrint("---------------------------------\n");
    if (files.empty()) {
        ConsolePrint("No cti file found!\n");
        return;
    }
    int index = 0;
    for (const std::string& file : files) {
        ConsolePrint("\nCTI File: [%d]\n", index++);
        ConsolePrint("Name: %s\n", file.c_str());
    }
}

bool ListCameras(const std::vector<std::unique_ptr<TQRemoteDevice>>& cameras) {
    ConsolePrint("\nDiscover all available Cameras:\n");
    ConsolePrint("---------------------------------\n");
    if (cameras.empty()) {
        ConsolePrint("!!!No camera found!!!\n");
        return false;
    }
    int number = 0;
    for (const std::unique_ptr<TQRemoteDevice>& camera : cameras) {
        ConsolePrint("\nCamera Nr: [%d]\n", number++);
        RemoteDeviceInfo info;
        camera->ReadRemoteDeviceInfo(info);
        PrintIdentityBlock(info);
    }
    return true;
}

void ShowSelectedCamera(TQRemoteDevice& camera, RemoteDeviceInfo& info) {
    camera.ReadRemoteDeviceInfo(info);
    PrintIdentityBlock(info);
}
