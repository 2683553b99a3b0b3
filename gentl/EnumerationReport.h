#pragma once
#include <string>

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
};
