#pragma once
// An in-process camera behind a producer that only implements the two port calls: it records
// every access, keeps the bytes written to the data window, and fails on demand.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gentl/GenTLObjects.h"
#include "gentl/TQGenTLWrapper.h"

namespace fake {

struct PortAccess {
    char kind = 'W'; // 'W' or 'R'
    uint64_t address = 0;
    size_t size = 0;
    std::vector<uint8_t> bytes; // written, or handed back by a read
    GC_ERROR status = 0;
};

struct Camera {
    std::vector<PortAccess> accesses;
    std::vector<uint8_t> window;   // the bytes of the data window, by offset
    int failWrite = 0;             // 1-based number of the write that fails; 0: none
    uint64_t failWriteAddress = 0; // every write to this address fails; 0: none
    int busyReads = 0;             // checksum reads that fail before the camera answers
    int writes = 0;

    // "W 0x0000AB00 00005B17" for 4-byte accesses, "W 0x70000000 [1024]" for data chunks.
    std::vector<std::string> Traffic() const;
};

inline void* const kPortHandle = reinterpret_cast<void*>(0xCA0E0);

// A fresh camera, its wrapper and a TQRemoteDevice on it; valid until the next call.
Camera& NewCamera();
TQRemoteDevice& RemoteDevice();

// Sleeps the upload asked for, in order, instead of sleeping.
std::vector<unsigned>& RecordedSleeps();
void RecordSleeps();

// Every trace message while it lives.
class TraceLines {
public:
    TraceLines();
    ~TraceLines();
    std::vector<std::string> lines;
};

} // namespace fake
