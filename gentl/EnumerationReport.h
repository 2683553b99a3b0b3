#pragma once
#include <cstdint>
#include <string>

#include "gentl/GenTL.h"

// A producer call that failed so that an interface or a device, and the cameras behind it,
// could not be listed.
struct EnumerationProblem {
    enum class Kind {
        InterfaceNotIdentified, // TLGetInterfaceID; interfaceId is empty, index tells which
        InterfaceNotOpened,     // TLOpenInterface
        DevicesNotListed,       // IFUpdateDeviceList or IFGetNumDevices
        DeviceNotIdentified,    // IFGetDeviceID; deviceId is empty, index tells which
        DeviceNotOpened,        // IFOpenDevice
        CameraNotReached,       // DevGetPort; the device is closed again
    };
    Kind kind;
    std::string interfaceId;
    std::string deviceId;
    uint32_t index = 0;
    const char* call = "";
    GC_ERROR code = GC_ERR_SUCCESS;
};

// What opening a producer and its devices tells the front end. Each front end renders these
// in its own words; the trace lines stay with the calls that cause them.
class EnumerationReport {
public:
    virtual ~EnumerationReport() = default;
    // The producer could not be loaded or lacks a function; `message` is ready for the
    // operator and ends in a line end.
    virtual void ProducerNotLoaded(const std::string& message) = 0;
    virtual void NoInterfaceFound() = 0;
    virtual void DeviceNotOpened(const std::string& deviceId) = 0;
    // Under EnumerationRules::strict only: the producer did not start, `call` failed.
    virtual void ProducerNotStarted(const char* call, GC_ERROR code) {
        (void)call;
        (void)code;
    }
    virtual void Problem(const EnumerationProblem& problem) { (void)problem; }
};
