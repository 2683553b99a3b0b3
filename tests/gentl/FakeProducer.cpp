#include "tests/gentl/FakeProducer.h"

#include <algorithm>
#include <cstring>

namespace fake {
namespace {
constexpr uintptr_t kSystem = 0x7100, kInterfaces = 0x7200, kDevices = 0x7400, kPorts = 0x8400;

Producer producer;

// Logs the call; the fault code due for it, else the answer. A failed call still leaves what
// it wrote into counts and buffers, as a producer may, but hands out no handle.
GC_ERROR Done(const char* name, GC_ERROR answer, void** handle = nullptr) {
    producer.calls.push_back(name);
    auto fault = producer.faults.find(name);
    long count = std::count(producer.calls.begin(), producer.calls.end(), name);
    if (fault == producer.faults.end() || (fault->second.nth != 0 && fault->second.nth != count)) {
        return answer;
    }
    if (handle) {
        *handle = nullptr;
    }
    return fault->second.code;
}

size_t IndexOf(const void* handle, uintptr_t base) {
    return (reinterpret_cast<uintptr_t>(handle) - base) / 0x10; // huge below the base
}

const Interface* InterfaceAt(const void* handle) {
    size_t index = IndexOf(handle, kInterfaces);
    return index < producer.interfaces.size() ? &producer.interfaces[index] : nullptr;
}

// The device ID behind a device or port handle, "" for none.
std::string OpenedAt(const void* handle, uintptr_t base) {
    size_t index = IndexOf(handle, base);
    return index < producer.opened.size() ? producer.opened[index] : std::string();
}

GC_ERROR Put(const std::string& text, void* buffer, size_t* size) {
    if (*size < text.size() + 1) {
        return GC_ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return GC_ERR_SUCCESS;
}

// Information commands answer the ID (command 0 on every level) and a device's serial number;
// every other command leaves the buffer as it is.
GC_ERROR Answer(const std::string& id, int32_t cmd, void* buffer, size_t* size,
                bool device = false) {
    if (device && cmd == DEVICE_INFO_SERIAL_NUMBER) {
        const std::string& serial = producer.devices[id].serial;
        return Put(serial.empty() ? id : serial, buffer, size);
    }
    return cmd == 0 ? Put(id, buffer, size) : GC_ERR_SUCCESS;
}

// The entry points, each named like the producer function it stands for.
struct Entry {
    static GC_ERROR GC_CALLTYPE GCInitLib() { return Done(__func__, 0); }
    static GC_ERROR GC_CALLTYPE GCCloseLib() { return Done(__func__, 0); }
    static GC_ERROR GC_CALLTYPE GCReadPort(PORT_HANDLE h, uint64_t address, void* buffer,
                                           size_t* size) {
        std::string id = OpenedAt(h, kPorts);
        const std::string& text = producer.devices[id].registers[address];
        std::memset(buffer, 0, *size);
        std::memcpy(buffer, text.data(), std::min(*size, text.size()));
        return Done(__func__, id.empty() ? GC_ERR_INVALID_HANDLE : 0);
    }
    static GC_ERROR GC_CALLTYPE GCWritePort(PORT_HANDLE, uint64_t, const void*, size_t*) {
        return Done(__func__, 0);
    }
    static GC_ERROR GC_CALLTYPE TLOpen(TL_HANDLE* h) {
        *h = H(kSystem);
        return Done(__func__, 0, h);
    }
    static GC_ERROR GC_CALLTYPE TLClose(TL_HANDLE h) {
        return Done(__func__, h == H(kSystem) ? 0 : GC_ERR_INVALID_HANDLE);
    }
    static GC_ERROR GC_CALLTYPE TLGetInfo(TL_HANDLE, TL_INFO_CMD, INFO_DATATYPE*, void*, size_t*) {
        return Done(__func__, 0);
    }
    static GC_ERROR GC_CALLTYPE TLGetNumInterfaces(TL_HANDLE, uint32_t* n) {
        *n = static_cast<uint32_t>(producer.interfaces.size());
        return Done(__func__, 0);
    }
    static GC_ERROR GC_CALLTYPE TLGetInterfaceID(TL_HANDLE, uint32_t index, char* id,
                                                 size_t* size) {
        const std::vector<Interface>& all = producer.interfaces;
        return Done(__func__,
                    index < all.size() ? Put(all[index].id, id, size) : GC_ERR_INVALID_INDEX);
    }
    static GC_ERROR GC_CALLTYPE TLGetInterfaceInfo(TL_HANDLE, const char* id,
                                                   INTERFACE_INFO_CMD cmd, INFO_DATATYPE*,
                                                   void* buffer, size_t* size) {
        return Done(__func__, Answer(id, cmd, buffer, size));
    }
    static GC_ERROR GC_CALLTYPE TLOpenInterface(TL_HANDLE, const char* id, IF_HANDLE* h) {
        const std::vector<Interface>& all = producer.interfaces;
        auto found = std::find_if(all.begin(), all.end(), [id](auto& i) { return i.id == id; });
        *h = found != all.end() ? H(kInterfaces + 0x10 * (found - all.begin())) : nullptr;
        return Done(__func__, *h ? 0 : GC_ERR_INVALID_ID, h);
    }
    static GC_ERROR GC_CALLTYPE TLUpdateInterfaceList(TL_HANDLE, bool8_t* changed, uint64_t) {
        *changed = 1;
        return Done(__func__, 0);
    }
    static GC_ERROR GC_CALLTYPE IFClose(IF_HANDLE) { return Done(__func__, 0); }
    static GC_ERROR GC_CALLTYPE IFGetInfo(IF_HANDLE h, INTERFACE_INFO_CMD cmd, INFO_DATATYPE*,
                                          void* buffer, size_t* size) {
        const Interface* i = InterfaceAt(h);
        return Done(__func__, i ? Answer(i->id, cmd, buffer, size) : GC_ERR_INVALID_HANDLE);
    }
    static GC_ERROR GC_CALLTYPE IFGetNumDevices(IF_HANDLE h, uint32_t* n) {
        const Interface* i = InterfaceAt(h);
        *n = i ? static_cast<uint32_t>(i->devices.size()) : *n;
        return Done(__func__, i ? 0 : GC_ERR_INVALID_HANDLE);
    }
    static GC_ERROR GC_CALLTYPE IFGetDeviceID(IF_HANDLE h, uint32_t index, char* id, size_t* size) {
        const Interface* i = InterfaceAt(h);
        bool listed = i && index < i->devices.size();
        return Done(__func__, listed ? Put(i->devices[index], id, size) : GC_ERR_INVALID_INDEX);
    }
    static GC_ERROR GC_CALLTYPE IFUpdateDeviceList(IF_HANDLE h, bool8_t* changed, uint64_t) {
        *changed = 1;
        return Done(__func__, InterfaceAt(h) ? 0 : GC_ERR_INVALID_HANDLE);
    }
    static GC_ERROR GC_CALLTYPE IFGetDeviceInfo(IF_HANDLE, const char* id, DEVICE_INFO_CMD cmd,
                                                INFO_DATATYPE*, void* buffer, size_t* size) {
        return Done(__func__, Answer(id, cmd, buffer, size, true));
    }
    static GC_ERROR GC_CALLTYPE IFOpenDevice(IF_HANDLE h, const char* id, DEVICE_ACCESS_FLAGS,
                                             DEV_HANDLE* device) {
        *device = InterfaceAt(h) ? H(kDevices + 0x10 * producer.opened.size()) : nullptr;
        GC_ERROR status = Done(__func__, *device ? 0 : GC_ERR_INVALID_HANDLE, device);
        if (status == GC_ERR_SUCCESS) {
            producer.opened.push_back(id);
        }
        return status;
    }
    static GC_ERROR GC_CALLTYPE DevGetPort(DEV_HANDLE h, PORT_HANDLE* port) {
        bool open = !OpenedAt(h, kDevices).empty();
        *port = open ? H(kPorts + 0x10 * IndexOf(h, kDevices)) : nullptr;
        return Done(__func__, open ? 0 : GC_ERR_INVALID_HANDLE, port);
    }
    static GC_ERROR GC_CALLTYPE DevGetInfo(DEV_HANDLE h, DEVICE_INFO_CMD cmd, INFO_DATATYPE*,
                                           void* buffer, size_t* size) {
        std::string id = OpenedAt(h, kDevices);
        return Done(__func__,
                    id.empty() ? GC_ERR_INVALID_HANDLE : Answer(id, cmd, buffer, size, true));
    }
    static GC_ERROR GC_CALLTYPE DevClose(DEV_HANDLE) { return Done(__func__, 0); }
    // Stands in for the functions the tool never calls: they only need to be there.
    static GC_ERROR GC_CALLTYPE NeverCalled() { return Done(__func__, GC_ERR_NOT_IMPLEMENTED); }
};

template <typename... Entries> std::map<std::string, void*> Table(Entries... entries) {
    return {entries...};
}
#define FAKE_SYMBOL(fn) std::make_pair(#fn, reinterpret_cast<void*>(&Entry::fn))
const std::map<std::string, void*> kTable = Table(
    FAKE_SYMBOL(GCInitLib), FAKE_SYMBOL(GCCloseLib), FAKE_SYMBOL(GCReadPort),
    FAKE_SYMBOL(GCWritePort), FAKE_SYMBOL(TLOpen), FAKE_SYMBOL(TLClose), FAKE_SYMBOL(TLGetInfo),
    FAKE_SYMBOL(TLGetNumInterfaces), FAKE_SYMBOL(TLGetInterfaceID), FAKE_SYMBOL(TLGetInterfaceInfo),
    FAKE_SYMBOL(TLOpenInterface), FAKE_SYMBOL(TLUpdateInterfaceList), FAKE_SYMBOL(IFClose),
    FAKE_SYMBOL(IFGetInfo), FAKE_SYMBOL(IFGetNumDevices), FAKE_SYMBOL(IFGetDeviceID),
    FAKE_SYMBOL(IFUpdateDeviceList), FAKE_SYMBOL(IFGetDeviceInfo), FAKE_SYMBOL(IFOpenDevice),
    FAKE_SYMBOL(DevGetPort), FAKE_SYMBOL(DevGetInfo), FAKE_SYMBOL(DevClose));
} // namespace

Producer& Reset() {
    return producer = Producer();
}

TQGenTLWrapper::SymbolSource Symbols() {
    return [](const char* name) -> void* {
        if (producer.omitted.count(name) != 0) {
            return nullptr;
        }
        auto found = kTable.find(name);
        return found != kTable.end() ? found->second : reinterpret_cast<void*>(&Entry::NeverCalled);
    };
}

} // namespace fake
