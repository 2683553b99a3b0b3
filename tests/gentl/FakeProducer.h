#pragma once
// An in-process producer for the binding's unit tests: interfaces and devices from a table,
// faults on demand, and a log of the functions called.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gentl/DebugTrace.h"
#include "gentl/TQGenTLWrapper.h"

namespace fake {

struct Interface {
    std::string id;
    std::vector<std::string> devices;
};

struct Device {
    std::string serial;                        // as the producer reports it; "" for the ID
    std::map<uint64_t, std::string> registers; // camera register texts by address; others zero
};

// A failed call still fills counts and buffers, as a producer may, but hands out no handle.
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
    std::vector<std::string> opened;     // device ID per handed-out device handle
};

// Handles: the system 0x7100, interface i 0x7200 + 0x10 i, the n-th opened device
// 0x7400 + 0x10 n and its port 0x8400 + 0x10 n.
inline void* H(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

Producer& Reset(); // fresh state: no interfaces, devices, faults or calls
TQGenTLWrapper::SymbolSource Symbols();

// Every trace message while it lives.
struct TraceCapture {
    TraceCapture() {
        SetTraceObserver([this](const std::string& message) { lines.push_back(message); });
    }
    ~TraceCapture() { SetTraceObserver(nullptr); }
    std::vector<std::string> lines;
};

} // namespace fake
