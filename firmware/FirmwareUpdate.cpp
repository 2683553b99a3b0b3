#include "discovery/ProducerManager.h"
#include "firmware/RegisterMap.h"
#include "firmware/UploadProtocol.h"

int32_t ProducerManager::RunFirmwareUpdate(std::string fileName) {
    auto entry = cameraMap.find(selectedCamera);
    if (entry == cameraMap.end() || !entry->second) {
        return -1; // the camera prompt only accepts mapped numbers
    }
    TQRemoteDevice& camera = *entry->second;
    const bool completed = UploadFirmware(camera, fileName);
    // After every attempt, whatever its outcome; a failure here is only traced.
    WriteRegister32(camera, regs::kUpdateFinish, regs::kFinishValue);
    return completed ? 0 : -1;
}
