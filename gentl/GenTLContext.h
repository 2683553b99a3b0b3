#pragma once
#include <memory>
#include <string>
#include <vector>

#include "gentl/EnumerationReport.h"
#include "gentl/GenTLObjects.h"

// How an enumeration treats what it meets; the defaults are the interactive run's.
struct EnumerationRules {
    // Two devices are one camera when their serial-number registers agree and are not empty,
    // and a kept camera's identity is read whole, once. Otherwise a device's producer serial is
    // compared with the kept cameras' registers, and the identity holds the IDs alone.
    bool sameSerialRegisters = false;
    // A failed GCInitLib, TLOpen or interface list means the producer is not started: nothing
    // more is called and only what was opened is closed. An interface or device whose ID
    // cannot be read is passed over (otherwise the list ends there); a device whose port cannot
    // be had is reported and closed.
    bool strict = false;
};

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

    // Opens the system, every interface with devices, every device it lists and its port, and
    // builds remoteDevices; a device dropped as a duplicate is closed at once. -1 when the
    // producer reports no interface or was not started.
    int32_t EnumerateDevices(EnumerationReport& report, const EnumerationRules& rules = {});

    std::vector<std::unique_ptr<TQRemoteDevice>> remoteDevices;
    std::vector<std::unique_ptr<TQDevice>> devices;
    std::vector<DeviceInfo> deviceInfos;
    std::vector<std::unique_ptr<TQInterface>> interfaces;
    std::vector<InterfaceInfo> interfaceInfos;
    SystemInfo systemInfo;
    std::unique_ptr<TQSystem> system;
    std::unique_ptr<TQGenTLWrapper> wrapper;

private:
    bool closeNullSystem = true; // the interactive run closes a system it did not get
};
