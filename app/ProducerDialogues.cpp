#include "app/ConsolePrint.h"
#include "app/IdentityBlock.h"
#include "app/ReadChoice.h"
#include "discovery/ProducerManager.h"

int32_t ProducerManager::ListCtiFiles() {
    ConsolePrint("Discover all available CTI Files:\n");
    ConsolePrint("---------------------------------\n");
    if (ctiFileMap.empty()) {
        ConsolePrint("No cti file found!\n");
        return 0;
    }
    for (const auto& [index, path] : ctiFileMap) {
        ConsolePrint("\nCTI File: [%d]\n", index);
        ConsolePrint("Name: %s\n", path.c_str());
    }
    return 0;
}

int32_t ProducerManager::ChooseCtiFile(int32_t& choice) {
    const int32_t count = static_cast<int32_t>(ctiFileMap.size());
    if (!ReadChoice("\nchoose a file >>>", count, choice, selectedCti))
        return -1;
    return selectedCti;
}

int32_t ProducerManager::ListCameras() {
    ConsolePrint("\nDiscover all available Cameras:\n");
    ConsolePrint("---------------------------------\n");
    if (cameraMap.empty()) {
        ConsolePrint("!!!No camera found!!!\n");
        return -1;
    }
    for (const auto& [number, camera] : cameraMap) {
        ConsolePrint("\nCamera Nr: [%d]\n", number);
        RemoteDeviceInfo info;
        camera->ReadRemoteDeviceInfo(info);
        PrintIdentityBlock(info);
    }
    return 0;
}

int32_t ProducerManager::ChooseCamera(int32_t& choice) {
    const int32_t count = static_cast<int32_t>(cameraMap.size());
    if (!ReadChoice("\nchoose a camera >>>", count, choice, selectedCamera))
        return -1;
    return selectedCamera;
}

int32_t ProducerManager::ShowSelectedCamera(int32_t camera, RemoteDeviceInfo& info) {
    auto entry = cameraMap.find(camera);
    if (entry == cameraMap.end())
        return -1; // only a number the camera prompt accepted reaches here
    entry->second->ReadRemoteDeviceInfo(info);
    PrintIdentityBlock(info);
    return 0;
}
