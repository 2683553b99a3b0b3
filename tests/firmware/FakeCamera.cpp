#include "tests/firmware/FakeCamera.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "firmware/RegisterMap.h"
#include "firmware/UploadInternals.h"
#include "gentl/DebugTrace.h"

namespace fake {
namespace {
struct State {
    Camera camera;
    std::unique_ptr<TQGenTLWrapper> wrapper;
    TQRemoteDevice device;
    std::vector<unsigned> sleeps;
};

State& Global() {
    static State state;
    return state;
}

void Put32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value >> 24);
    bytes[1] = static_cast<uint8_t>(value >> 16);
    bytes[2] = static_cast<uint8_t>(value >> 8);
    bytes[3] = static_cast<uint8_t>(value);
}

GC_ERROR GC_CALLTYPE WritePort(PORT_HANDLE hPort, uint64_t iAddress, const void* pBuffer,
                               size_t* piSize) {
    Camera& c = Global().camera;
    EXPECT_EQ(hPort, kPortHandle);
    const auto* bytes = static_cast<const uint8_t*>(pBuffer);
    PortAccess access{'W', iAddress, *piSize, std::vector<uint8_t>(bytes, bytes + *piSize), 0};
    ++c.writes;
    if (c.writes == c.failWrite || (c.failWriteAddress != 0 && iAddress == c.failWriteAddress)) {
        access.status = GC_ERR_IO;
    } else if (iAddress >= regs::kUpdateDataWindow) {
        size_t offset = static_cast<size_t>(iAddress - regs::kUpdateDataWindow);
        if (c.window.size() < offset + *piSize) {
            c.window.resize(offset + *piSize);
        }
        std::memcpy(c.window.data() + offset, bytes, *piSize);
    }
    c.accesses.push_back(access);
    return access.status;
}

GC_ERROR GC_CALLTYPE ReadPort(PORT_HANDLE hPort, uint64_t iAddress, void* pBuffer, size_t* piSize) {
    Camera& c = Global().camera;
    EXPECT_EQ(hPort, kPortHandle);
    EXPECT_EQ(*piSize, 4u);
    PortAccess access{'R', iAddress, *piSize, {}, 0};
    auto* bytes = static_cast<uint8_t*>(pBuffer);
    if (iAddress == regs::kUpdateChecksum) {
        if (c.busyReads > 0) {
            --c.busyReads;
            access.status = GC_ERR_TIMEOUT;
        } else {
            Put32(bytes, 0x12345678);
        }
    } else {
        access.status = GC_ERR_INVALID_ADDRESS;
    }
    if (access.status == 0) {
        access.bytes.assign(bytes, bytes + 4);
    }
    c.accesses.push_back(access);
    return access.status;
}

// The wrapper insists on every function the tool calls; the upload uses only the port calls.
GC_ERROR GC_CALLTYPE NotUsed() {
    ADD_FAILURE() << "the upload called a producer function other than the port calls";
    return GC_ERR_NOT_IMPLEMENTED;
}

void* Resolve(const char* name) {
    if (std::strcmp(name, "GCWritePort") == 0) {
        return reinterpret_cast<void*>(&WritePort);
    }
    if (std::strcmp(name, "GCReadPort") == 0) {
        return reinterpret_cast<void*>(&ReadPort);
    }
    return reinterpret_cast<void*>(&NotUsed);
}

void Sleep(unsigned milliseconds) {
    Global().sleeps.push_back(milliseconds);
}
} // namespace

std::vector<std::string> Camera::Traffic() const {
    std::vector<std::string> lines;
    for (const PortAccess& a : accesses) {
        char line[64];
        if (a.size == 4 && a.bytes.size() == 4) {
            std::snprintf(line, sizeof line, "%c 0x%08llX %02X%02X%02X%02X", a.kind,
                          static_cast<unsigned long long>(a.address), a.bytes[0], a.bytes[1],
                          a.bytes[2], a.bytes[3]);
        } else if (a.address >= regs::kUpdateDataWindow) {
            std::snprintf(line, sizeof line, "%c 0x%08llX [%zu]", a.kind,
                          static_cast<unsigned long long>(a.address), a.size);
        } else {
            std::snprintf(line, sizeof line, "%c 0x%08llX", a.kind,
                          static_cast<unsigned long long>(a.address));
        }
        lines.push_back(line);
    }
    return lines;
}

Camera& NewCamera() {
    State& s = Global();
    s.camera = Camera{};
    s.wrapper = std::make_unique<TQGenTLWrapper>(TQGenTLWrapper::SymbolSource(Resolve));
    s.device = TQRemoteDevice{};
    s.device.hPort = kPortHandle;
    s.device.wrapper = s.wrapper.get();
    s.sleeps.clear();
    return s.camera;
}

TQRemoteDevice& RemoteDevice() {
    return Global().device;
}

std::vector<unsigned>& RecordedSleeps() {
    return Global().sleeps;
}

void RecordSleeps() {
    SetUploadSleep(Sleep);
}

TraceLines::TraceLines() {
    SetTraceObserver([this](const std::string& message) { lines.push_back(message); });
}

TraceLines::~TraceLines() {
    SetTraceObserver(nullptr);
}

} // namespace fake
