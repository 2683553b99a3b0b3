#include "discovery/ProducerManager.h"

int32_t ProducerManager::Discover() {
    const int32_t read = ReadSearchPath(genTLPaths);
    if (read != 0)
        return read;
    const int32_t result = ScanCtiFiles(ctiFiles);
    int32_t index = 0;
    for (const std::string& file : ctiFiles)
        ctiFileMap.emplace(index++, file);
    return result;
}

TQRemoteDevice* ProducerManager::SelectedDevice() const {
    const auto entry = cameraMap.find(selectedCamera);
    return entry == cameraMap.end() ? nullptr : entry->second;
}
