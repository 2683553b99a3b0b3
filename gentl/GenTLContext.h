#pragma once
#include <memory>
#include <string>
#include <vector>

#include "gentl/EnumerationReport.h"
#include "gentl/GenTLObjects.h"

// Everything made through the one opened producer. Destroying it is the shutdown: devices,
// interfaces and the system are closed in opening order, then the library.
class GenTLContext {
public:
    // Loads the producer; throws ProducerLoadError.
    explicit GenTLContext(const std::string& ctiPath);
    // Takes a wrapper already made (tests use an in-process producer).
    explicit GenTLContext(std::unique_ptr<TQGenTLWrapper> loaded);
    ~GenTLContext();
    GenTLContext(const GenTLContext&) = delete;
    GenTLContext& operator=(const GenTLContext&) = delete;

    // Opens the system, every interface with devices, every device and its port, and builds
    // remoteDevices. -1 when the producer reports no interface.
    int32_t EnumerateDevices(EnumerationReport& report);

    std::vector<std::unique_ptr<TQRemoteDevice>> remoteDevices;
    std::vector<std::unique_ptr<TQDevice>> devices;
    std::vector<DeviceInfo> deviceInfos;
    std::vector<std::unique_ptr<TQInterface>> interfaces;
    std::vector<InterfaceInfo> interfaceInfos;
    SystemInfo systemInfo;
    std::unique_ptr<TQSystem> system;
    std::unique_ptr<TQGenTLWrapper> wrapper;
};
