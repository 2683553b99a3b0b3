#include <memory>
#include <string>

#include "discovery/ProducerManager.h"

int32_t ProducerManager::OpenProducer(EnumerationReport& report) {
    const std::string path = ctiFileMap[selectedCti];
    try {
        context = std::make_unique<GenTLContext>(path);
    } catch (const ProducerLoadError& error) {
        // Nothing of this producer may run: no context, the run ends here.
        report.ProducerNotLoaded(error.consoleMessage);
        context.reset();
        return -1;
    }
    // Failures are reported inside; whatever cameras result are numbered next.
    context->EnumerateDevices(report);
    return 0;
}

int32_t ProducerManager::MapCameras() {
    int32_t index = 0;
    for (const std::unique_ptr<TQRemoteDevice>& camera : context->remoteDevices) {
        cameraMap.emplace(index, camera.get());
        ++index;
    }
    return 0;
}
