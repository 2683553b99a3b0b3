#include "discovery/ProducerManager.h"
#include "firmware/UploadProtocol.h"

UploadOutcome ProducerManager::RunFirmwareUpdate(std::string fileName, UploadReport& report,
                                                 const UploadControl& control) {
    auto entry = cameraMap.find(selectedCamera);
    if (entry == cameraMap.end() || !entry->second) {
        return UploadOutcome(); // the camera prompt only accepts mapped numbers
    }
    TQRemoteDevice& camera = *entry->second;
    const UploadOutcome outcome = UploadFirmware(camera, fileName, report, control);
    // After every attempt, whatever its outcome; a failure here is only traced.
    FinishUpdate(camera);
    return outcome;
}
