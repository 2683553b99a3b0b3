#include "tests/gentl/FakeProducer.h"

#include <algorithm>
#include <cstring>

#include "gentl/DebugTrace.h"

namespace fake {
namespace {
Producer& Global() {
    static Producer producer;
    return producer;
}

// Logs the call and tells whether a fault is due for it.
bool Failing(const char* name, GC_ERROR& code) {
    Producer& p = Global();
    p.calls.push_back(name);
    int count = ++p.callCounts[name];
    auto fault = p.faults.find(name);
    if (fault == p.faults.end() || (fault->second.nth != 0 && fault->second.nth != count)) {
        return false;
    }
    code = fault->second.code;
    return true;
}

#define FAKE_ENTER(name)                                                                           \
    GC_ERROR fault_ = GC_ERR_SUCCESS;                                                              \
    if (Failing(name, fault_))                                                                     \
    return fault_

uintptr_t Raw(const void* handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

const Interface* InterfaceAt(IF_HANDLE h) {
    Producer& p = Global();
    for (size_t i = 0; i < p.interfaces.size(); ++i) {
        if (InterfaceHandle(i) == h) {
            return &p.interfaces[i];
        }
    }
    return nullptr;
}

const Interface* InterfaceNamed(const char* id) {
    for (const Interface& i : Global().interfaces) {
        if (id && i.id == id) {
            return &i;
        }
    }
    return nullptr;
}

// The device ID behind a device or port handle, or "" for none.
std::string OpenedDevice(const void* handle, bool port) {
    Producer& p = Global();
    for (size_t n = 0; n < p.openedDevices.size(); ++n) {
        if ((port ? PortHandle(n) : DeviceHandle(n)) == handle) {
            return p.openedDevices[n];
        }
    }
    return std::string();
}

GC_ERROR PutText(const std::string& text, void* buffer, size_t* size) {
    if (!size || *size < text.size() + 1) {
        return GC_ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *size = text.size() + 1;
    return GC_ERR_SUCCESS;
}

// Text info is "<what>:<cmd>" so each command's answer is recognisable; numbers are the command.
GC_ERROR PutInfo(const std::string& what, int32_t cmd, bool numeric, void* buffer, size_t* size) {
    if (!numeric) {
        return PutText(what + ":" + std::to_string(cmd), buffer, size);
    }
    std::memset(buffer, 0, *size);
    std::memcpy(buffer, &cmd, std::min(*size, sizeof cmd));
    return GC_ERR_SUCCESS;
}

GC_ERROR PutDeviceInfo(const std::string& id, DEVICE_INFO_CMD cmd, void* buffer, size_t* size) {
    if (cmd == DEVICE_INFO_ID) {
        return PutText(id, buffer, size);
    }
    if (cmd == DEVICE_INFO_SERIAL_NUMBER) {
        return PutText(Global().devices[id].serial, buffer, size);
    }
    bool numeric = cmd == DEVICE_INFO_ACCESS_STATUS || cmd == DEVICE_INFO_TIMESTAMP_FREQUENCY;
    return PutInfo(id, cmd, numeric, buffer, size);
}

GC_ERROR GC_CALLTYPE GCInitLib() {
    FAKE_ENTER("GCInitLib");
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE GCCloseLib() {
    FAKE_ENTER("GCCloseLib");
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE GCReadPort(PORT_HANDLE h, uint64_t address, void* buffer, size_t* size) {
    FAKE_ENTER("GCReadPort");
    std::string id = OpenedDevice(h, true);
    if (id.empty()) {
        return GC_ERR_INVALID_HANDLE;
    }
    const std::string& text = Global().devices[id].registers[address];
    std::memset(buffer, 0, *size);
    std::memcpy(buffer, text.data(), std::min(*size, text.size()));
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE GCWritePort(PORT_HANDLE, uint64_t, const void*, size_t*) {
    FAKE_ENTER("GCWritePort");
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE TLOpen(TL_HANDLE* h) {
    FAKE_ENTER("TLOpen");
    *h = kSystemHandle;
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE TLClose(TL_HANDLE h) {
    FAKE_ENTER("TLClose");
    return h == kSystemHandle ? GC_ERR_SUCCESS : GC_ERR_INVALID_HANDLE;
}
GC_ERROR GC_CALLTYPE TLGetInfo(TL_HANDLE, TL_INFO_CMD cmd, INFO_DATATYPE*, void* buffer,
                               size_t* size) {
    FAKE_ENTER("TLGetInfo");
    return PutInfo("tl", cmd, cmd >= TL_INFO_CHAR_ENCODING, buffer, size);
}
GC_ERROR GC_CALLTYPE TLGetNumInterfaces(TL_HANDLE, uint32_t* n) {
    FAKE_ENTER("TLGetNumInterfaces");
    *n = static_cast<uint32_t>(Global().interfaces.size());
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE TLGetInterfaceID(TL_HANDLE, uint32_t index, char* id, size_t* size) {
    FAKE_ENTER("TLGetInterfaceID");
    if (index >= Global().interfaces.size()) {
        return GC_ERR_INVALID_INDEX;
    }
    return PutText(Global().interfaces[index].id, id, size);
}
GC_ERROR GC_CALLTYPE TLGetInterfaceInfo(TL_HANDLE, const char* id, INTERFACE_INFO_CMD cmd,
                                        INFO_DATATYPE*, void* buffer, size_t* size) {
    FAKE_ENTER("TLGetInterfaceInfo");
    if (!InterfaceNamed(id)) {
        return GC_ERR_INVALID_ID;
    }
    return cmd == INTERFACE_INFO_ID ? PutText(id, buffer, size)
                                    : PutInfo(id, cmd, false, buffer, size);
}
GC_ERROR GC_CALLTYPE TLOpenInterface(TL_HANDLE, const char* id, IF_HANDLE* h) {
    FAKE_ENTER("TLOpenInterface");
    Producer& p = Global();
    for (size_t i = 0; i < p.interfaces.size(); ++i) {
        if (id && p.interfaces[i].id == id) {
            *h = InterfaceHandle(i);
            return GC_ERR_SUCCESS;
        }
    }
    return GC_ERR_INVALID_ID;
}
GC_ERROR GC_CALLTYPE TLUpdateInterfaceList(TL_HANDLE, bool8_t* changed, uint64_t) {
    FAKE_ENTER("TLUpdateInterfaceList");
    *changed = 1;
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE IFClose(IF_HANDLE h) {
    FAKE_ENTER("IFClose");
    return InterfaceAt(h) ? GC_ERR_SUCCESS : GC_ERR_INVALID_HANDLE;
}
GC_ERROR GC_CALLTYPE IFGetInfo(IF_HANDLE h, INTERFACE_INFO_CMD cmd, INFO_DATATYPE*, void* buffer,
                               size_t* size) {
    FAKE_ENTER("IFGetInfo");
    const Interface* iface = InterfaceAt(h);
    if (!iface) {
        return GC_ERR_INVALID_HANDLE;
    }
    return cmd == INTERFACE_INFO_ID ? PutText(iface->id, buffer, size)
                                    : PutInfo(iface->id, cmd, false, buffer, size);
}
GC_ERROR GC_CALLTYPE IFGetNumDevices(IF_HANDLE h, uint32_t* n) {
    FAKE_ENTER("IFGetNumDevices");
    const Interface* iface = InterfaceAt(h);
    if (!iface) {
        return GC_ERR_INVALID_HANDLE;
    }
    *n = static_cast<uint32_t>(iface->devices.size());
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE IFGetDeviceID(IF_HANDLE h, uint32_t index, char* id, size_t* size) {
    FAKE_ENTER("IFGetDeviceID");
    const Interface* iface = InterfaceAt(h);
    if (!iface || index >= iface->devices.size()) {
        return GC_ERR_INVALID_INDEX;
    }
    return PutText(iface->devices[index], id, size);
}
GC_ERROR GC_CALLTYPE IFUpdateDeviceList(IF_HANDLE h, bool8_t* changed, uint64_t) {
    FAKE_ENTER("IFUpdateDeviceList");
    if (!InterfaceAt(h)) {
        return GC_ERR_INVALID_HANDLE;
    }
    *changed = 1;
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE IFGetDeviceInfo(IF_HANDLE, const char* id, DEVICE_INFO_CMD cmd, INFO_DATATYPE*,
                                     void* buffer, size_t* size) {
    FAKE_ENTER("IFGetDeviceInfo");
    return PutDeviceInfo(id ? id : "", cmd, buffer, size);
}
GC_ERROR GC_CALLTYPE IFOpenDevice(IF_HANDLE h, const char* id, DEVICE_ACCESS_FLAGS,
                                  DEV_HANDLE* device) {
    FAKE_ENTER("IFOpenDevice");
    const Interface* iface = InterfaceAt(h);
    if (!iface || !id || iface->refuseOpen.count(id) != 0) {
        return GC_ERR_ACCESS_DENIED;
    }
    Producer& p = Global();
    *device = DeviceHandle(p.openedDevices.size());
    p.openedDevices.push_back(id);
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE DevGetPort(DEV_HANDLE h, PORT_HANDLE* port) {
    FAKE_ENTER("DevGetPort");
    std::string id = OpenedDevice(h, false);
    if (id.empty()) {
        return GC_ERR_INVALID_HANDLE;
    }
    *port = Global().devices[id].nullPort ? nullptr : PortHandle((Raw(h) - 0x7400) / 0x10);
    return GC_ERR_SUCCESS;
}
GC_ERROR GC_CALLTYPE DevGetInfo(DEV_HANDLE h, DEVICE_INFO_CMD cmd, INFO_DATATYPE*, void* buffer,
                                size_t* size) {
    FAKE_ENTER("DevGetInfo");
    std::string id = OpenedDevice(h, false);
    if (id.empty()) {
        return GC_ERR_INVALID_HANDLE;
    }
    return PutDeviceInfo(id, cmd, buffer, size);
}
GC_ERROR GC_CALLTYPE DevClose(DEV_HANDLE h) {
    FAKE_ENTER("DevClose");
    return OpenedDevice(h, false).empty() ? GC_ERR_INVALID_HANDLE : GC_ERR_SUCCESS;
}

GC_ERROR GC_CALLTYPE NeverCalled() {
    return GC_ERR_NOT_IMPLEMENTED;
}

#define FAKE_SYMBOL(fn)                                                                            \
    { #fn, reinterpret_cast < void*>(&fn) }
const std::map<std::string, void*>& Table() {
    static const std::map<std::string, void*> table = {
        FAKE_SYMBOL(GCInitLib),
        FAKE_SYMBOL(GCCloseLib),
        FAKE_SYMBOL(GCReadPort),
        FAKE_SYMBOL(GCWritePort),
        FAKE_SYMBOL(TLOpen),
        FAKE_SYMBOL(TLClose),
        FAKE_SYMBOL(TLGetInfo),
        FAKE_SYMBOL(TLGetNumInterfaces),
        FAKE_SYMBOL(TLGetInterfaceID),
        FAKE_SYMBOL(TLGetInterfaceInfo),
        FAKE_SYMBOL(TLOpenInterface),
        FAKE_SYMBOL(TLUpdateInterfaceList),
        FAKE_SYMBOL(IFClose),
        FAKE_SYMBOL(IFGetInfo),
        FAKE_SYMBOL(IFGetNumDevices),
        FAKE_SYMBOL(IFGetDeviceID),
        FAKE_SYMBOL(IFUpdateDeviceList),
        FAKE_SYMBOL(IFGetDeviceInfo),
        FAKE_SYMBOL(IFOpenDevice),
        FAKE_SYMBOL(DevGetPort),
        FAKE_SYMBOL(DevGetInfo),
        FAKE_SYMBOL(DevClose),
    };
    return table;
}
} // namespace

void* InterfaceHandle(size_t index) {
    return reinterpret_cast<void*>(0x7200 + 0x10 * index);
}
void* DeviceHandle(size_t opened) {
    return reinterpret_cast<void*>(0x7400 + 0x10 * opened);
}
void* PortHandle(size_t opened) {
    return reinterpret_cast<void*>(0x8400 + 0x10 * opened);
}

Producer& Reset() {
    Global() = Producer();
    return Global();
}
Producer& State() {
    return Global();
}

TQGenTLWrapper::SymbolSource Symbols() {
    return [](const char* name) -> void* {
        if (Global().omitted.count(name) != 0) {
            return nullptr;
        }
        auto found = Table().find(name);
        // The functions the tool never calls only need to be there.
        return found != Table().end() ? found->second : reinterpret_cast<void*>(&NeverCalled);
    };
}

TraceCapture::TraceCapture() {
    SetTraceObserver([this](const std::string& message) { lines.push_back(message); });
}
TraceCapture::~TraceCapture() {
    SetTraceObserver(nullptr);
}

} // namespace fake
