#pragma once
// An in-process producer for the binding's unit tests: a few interfaces and devices, faults on
// demand, and a log of the functions called.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gentl/GenTLContext.h"
#include "gentl/TQGenTLWrapper.h"

namespace fake {

struct Device {
    std::string serial;                        // as the producer reports it
    std::map<uint64_t, std::string> registers; // camera register texts, by address
    bool nullPort = false;
};

struct Interface {
    std::string id;
    std::vector<std::string> devices;
    std::set<std::string> refuseOpen;
};

struct Fault {
    int nth = 0; // 1-based call number that fails; 0: every call
    GC_ERROR code = GC_ERR_ERROR;
};

struct Producer {
    std::vector<Interface> interfaces;
    std::map<std::string, Device> devices;
    std::map<std::string, Fault> faults; // by function name
    std::set<std::string> omitted;       // names the library does not export
    std::vector<std::string> calls;      // function names in call order
    std::map<std::string, int> callCounts;
    std::vector<std::string> openedDevices; // device ID per handed-out device handle
};

// Handles the fake hands out.
inline void* const kSystemHandle = reinterpret_cast<void*>(0x7100);
void* InterfaceHandle(size_t index); // 0x7200 + 0x10 * index
void* DeviceHandle(size_t opened);   // 0x7400 + 0x10 * n, n-th successful open from 0
void* PortHandle(size_t opened);     // 0x8400 + 0x10 * n

// Fresh state: no interfaces, devices, faults or calls.
Producer& Reset();
Producer& State();
TQGenTLWrapper::SymbolSource Symbols();

// Every trace message while it lives.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    std::vector<std::string> lines;
};

} // namespace fake
