#include "gentl/TQGenTLWrapper.h"

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "gentl/DebugTrace.h"
#include "gentl/GenTLFunctions.h"
#include "platform/DynamicLibrary.h"

static_assert(TQGenTLWrapper::kSlotCount == kGenTLFunctionCount + 1, "one slot per function");

const char* TQGenTLWrapper::EntryPointName(int slot) {
    return slot >= 1 && slot < kSlotCount ? kGenTLFunctionNames[slot - 1] : nullptr;
}

namespace {
// Slots of the functions the tool calls.
enum Slot : int {
    kGCInitLib = 3,
    kGCCloseLib = 4,
    kGCReadPort = 5,
    kGCWritePort = 6,
    kTLOpen = 16,
    kTLClose = 17,
    kTLGetInfo = 18,
    kTLGetNumInterfaces = 19,
    kTLGetInterfaceID = 20,
    kTLGetInterfaceInfo = 21,
    kTLOpenInterface = 22,
    kTLUpdateInterfaceList = 23,
    kIFClose = 24,
    kIFGetInfo = 25,
    kIFGetNumDevices = 26,
    kIFGetDeviceID = 27,
    kIFUpdateDeviceList = 28,
    kIFGetDeviceInfo = 29,
    kIFOpenDevice = 30,
    kDevGetPort = 31,
    kDevGetInfo = 35,
    kDevClose = 36,
};

// Every one of these is called without a null test, so a producer must export all of them.
constexpr int kCalledSlots[] = {
    kGCInitLib,
    kGCCloseLib,
    kGCReadPort,
    kGCWritePort,
    kTLOpen,
    kTLClose,
    kTLGetInfo,
    kTLGetNumInterfaces,
    kTLGetInterfaceID,
    kTLGetInterfaceInfo,
    kTLOpenInterface,
    kTLUpdateInterfaceList,
    kIFClose,
    kIFGetInfo,
    kIFGetNumDevices,
    kIFGetDeviceID,
    kIFUpdateDeviceList,
    kIFGetDeviceInfo,
    kIFOpenDevice,
    kDevGetPort,
    kDevGetInfo,
    kDevClose,
};

template <typename Fn> Fn Entry(void* const* slots, int slot) {
    return reinterpret_cast<Fn>(slots[slot]);
}

// Out-values may be unset when a faulty caller passes no address; trace them as null/0.
const void* HandleAt(void* const* handle) {
    return handle ? *handle : nullptr;
}
unsigned CountAt(const uint32_t* count) {
    return count ? *count : 0;
}
const char* TextOf(const char* text) {
    return text ? text : "";
}

// Length of an identifier the producer wrote, never past the buffer it was given.
int BoundedLength(const char* text, size_t capacity) {
    if (!text) {
        return 0;
    }
    const void* zero = std::memchr(text, 0, capacity);
    size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : capacity;
    return static_cast<int>(length);
}

std::vector<std::string> ResolveEntryPoints(void** slots,
                                            const TQGenTLWrapper::SymbolSource& resolve) {
    for (int slot = 1; slot < TQGenTLWrapper::kSlotCount; ++slot) {
        slots[slot] = resolve(TQGenTLWrapper::EntryPointName(slot));
    }
    std::vector<std::string> missing;
    for (int slot : kCalledSlots) {
        if (!slots[slot]) {
            missing.push_back(TQGenTLWrapper::EntryPointName(slot));
        }
    }
    return missing;
}

// One trace line per missing function, then the operator's message.
ProducerLoadError MissingEntryPoints(const std::string& file,
                                     const std::vector<std::string>& missing) {
    std::string names;
    for (const std::string& name : missing) {
        DebugTrace("GetProcAddress Failed! File:%s Function:%s", file.c_str(), name.c_str());
        names += names.empty() ? "" : ", ";
        names += name;
    }
    return ProducerLoadError{"!!! Can not use producer " + file +
                             ": it does not export the GenTL functions " + names + "\n"};
}

const char kInProcess[] = "(in-process producer)";

// "<name> hPort:0x<16 digits> Address:0x<hex>", the line of every register write and so of every
// chunk of an upload: built without printf, which is much of the tool's time between chunks.
void TraceWrite(const char* name, PORT_HANDLE hPort, uint64_t address) {
    const HandleHex handle(hPort);
    char line[128];
    char* at = line;
    for (const char* part : {name, " hPort:0x", handle.c_str(), " Address:0x"}) {
        const size_t length = std::strlen(part);
        std::memcpy(at, part, length);
        at += length;
    }
    at = std::to_chars(at, line + sizeof line - 1, address, 16).ptr;
    *at = '\0';
    DebugTraceText(line);
}
} // namespace

TQGenTLWrapper::TQGenTLWrapper(const std::string& path) {
    platform::LibraryLoadFailure failure;
    void* library = platform::LoadDynamicLibrary(path, failure);
    if (!library) {
        DebugTrace("LoadLibrary Failed! File:%s Error:0x%i", path.c_str(), failure.code);
        std::string reason =
            failure.reason.empty() ? "error code " + std::to_string(failure.code) : failure.reason;
        throw ProducerLoadError{"!!! Can not load producer " + path + ": " + reason + "\n"};
    }
    slots[0] = library;
    std::vector<std::string> missing = ResolveEntryPoints(
        slots, [library](const char* name) { return platform::ResolveSymbol(library, name); });
    if (!missing.empty()) {
        // Refused before any of its functions runs.
        ProducerLoadError error = MissingEntryPoints(path, missing);
        platform::FreeDynamicLibrary(library);
        slots[0] = nullptr;
        throw error;
    }
}

TQGenTLWrapper::TQGenTLWrapper(const SymbolSource& resolve) {
    std::vector<std::string> missing = ResolveEntryPoints(slots, resolve);
    if (!missing.empty()) {
        throw MissingEntryPoints(kInProcess, missing);
    }
}

// The library stays loaded until the process ends: a producer may leave threads running in
// its code after GCCloseLib.
TQGenTLWrapper::~TQGenTLWrapper() = default;

GC_ERROR TQGenTLWrapper::GCInitLib() {
    const char* name = "TQGenTLWrapper::GCInitLib";
    GC_ERROR status = Entry<PGCInitLib>(slots, kGCInitLib)();
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s Successful!", name);
    } else {
        DebugTrace("%s Failed!", name);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::GCCloseLib() {
    const char* name = "TQGenTLWrapper::GCCloseLib";
    GC_ERROR status = Entry<PGCCloseLib>(slots, kGCCloseLib)();
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s Successful", name);
    } else {
        DebugTrace("%s Failed!", name);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::GCReadPort(PORT_HANDLE hPort, uint64_t iAddress, void* pBuffer,
                                    size_t* piSize) {
    const char* name = "TQGenTLWrapper::GCReadPort";
    GC_ERROR status = Entry<PGCReadPort>(slots, kGCReadPort)(hPort, iAddress, pBuffer, piSize);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hPort:0x%s Address:0x%s", name, HandleHex(hPort).c_str(),
                   HandleHex(iAddress).c_str());
    } else {
        DebugTrace("%s Failed! hPort:0x%s Address:0x%s", name, HandleHex(hPort).c_str(),
                   HandleHex(iAddress).c_str());
    }
    return status;
}

GC_ERROR TQGenTLWrapper::GCWritePort(PORT_HANDLE hPort, uint64_t iAddress, const void* pBuffer,
                                     size_t* piSize) {
    const char* name = "TQGenTLWrapper::GCWritePort";
    GC_ERROR status = Entry<PGCWritePort>(slots, kGCWritePort)(hPort, iAddress, pBuffer, piSize);
    auto address = static_cast<unsigned long long>(iAddress);
    if (status == GC_ERR_SUCCESS) {
        TraceWrite(name, hPort, iAddress);
    } else {
        DebugTrace("%s Failed! hPort:0x%s Address:0x%llx", name, HandleHex(hPort).c_str(), address);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::TLOpen(TL_HANDLE* phTL) {
    const char* name = "TQGenTLWrapper::TLOpen";
    GC_ERROR status = Entry<PTLOpen>(slots, kTLOpen)(phTL);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hTL:0x%s", name, HandleHex(HandleAt(phTL)).c_str());
    } else {
        DebugTrace("%s Failed!", name);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::TLClose(TL_HANDLE hTL) {
    const char* name = "TQGenTLWrapper::TLClose";
    GC_ERROR status = Entry<PTLClose>(slots, kTLClose)(hTL);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hTL:0x%s", name, HandleHex(hTL).c_str());
    } else {
        DebugTrace("%s Failed! hTL:0x%s", name, HandleHex(hTL).c_str());
    }
    return status;
}

GC_ERROR TQGenTLWrapper::TLGetInfo(TL_HANDLE hTL, TL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                                   void* pBuffer, size_t* piSize) {
    const char* name = "TQGenTLWrapper::TLGetInfo";
    GC_ERROR status = Entry<PTLGetInfo>(slots, kTLGetInfo)(hTL, iInfoCmd, piType, pBuffer, piSize);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hTL:0x%s iInfoCmd:%d", name, HandleHex(hTL).c_str(), iInfoCmd);
    } else {
        DebugTrace("%s Failed! hTL:0x%s iInfoCmd:%d", name, HandleHex(hTL).c_str(), iInfoCmd);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::TLGetNumInterfaces(TL_HANDLE hTL, uint32_t* piNumIfaces) {
    const char* name = "TQGenTLWrapper::TLGetNumInterfaces";
    GC_ERROR status = Entry<PTLGetNumInterfaces>(slots, kTLGetNumInterfaces)(hTL, piNumIfaces);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hTL:0x%s iNumIfaces:%d", name, HandleHex(hTL).c_str(),
                   static_cast<int>(CountAt(piNumIfaces)));
    } else {
        DebugTrace("%s Failed! hTL:0x%s", name, HandleHex(hTL).c_str());
    }
    return status;
}

GC_ERROR TQGenTLWrapper::TLGetInterfaceID(TL_HANDLE hTL, uint32_t iIndex, char* sID,
                                          size_t* piSize) {
    const char* name = "TQGenTLWrapper::TLGetInterfaceID";
    size_t capacity = piSize ? *piSize : 0;
    GC_ERROR status = Entry<PTLGetInterfaceID>(slots, kTLGetInterfaceID)(hTL, iIndex, sID, piSize);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hTL:0x%s iIndex:%d  sID:%.*s", name, HandleHex(hTL).c_str(),
                   static_cast<int>(iIndex), BoundedLength(sID, capacity), TextOf(sID));
    } else {
        DebugTrace("%s Failed! hTL:0x%s iIndex:%d", name, HandleHex(hTL).c_str(),
                   static_cast<int>(iIndex));
    }
    return status;
}

GC_ERROR TQGenTLWrapper::TLGetInterfaceInfo(TL_HANDLE hTL, const char* sIfaceID,
                                            INTERFACE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                                            void* pBuffer, size_t* piSize) {
    const char* name = "TQGenTLWrapper::TLGetInterfaceInfo";
    GC_ERROR status = Entry<PTLGetInterfaceInfo>(slots, kTLGetInterfaceInfo)(
        hTL, sIfaceID, iInfoCmd, piType, pBuffer, piSize);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hTL:0x%s sID:%s iInfoCmd:%d", name, HandleHex(hTL).c_str(), TextOf(sIfaceID),
                   iInfoCmd);
    } else {
        DebugTrace("%s Failed! hTL:0x%s sID:%s iInfoCmd:%d", name, HandleHex(hTL).c_str(),
                   TextOf(sIfaceID), iInfoCmd);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::TLOpenInterface(TL_HANDLE hTL, const char* sIfaceID, IF_HANDLE* phIface) {
    const char* name = "TQGenTLWrapper::TLOpenInterface";
    GC_ERROR status = Entry<PTLOpenInterface>(slots, kTLOpenInterface)(hTL, sIfaceID, phIface);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hTL:0x%s sID:%s hIface:0x%s", name, HandleHex(hTL).c_str(), TextOf(sIfaceID),
                   HandleHex(HandleAt(phIface)).c_str());
    } else {
        DebugTrace("%s Failed! hTL:0x%s sID:%s", name, HandleHex(hTL).c_str(), TextOf(sIfaceID));
    }
    return status;
}

GC_ERROR TQGenTLWrapper::TLUpdateInterfaceList(TL_HANDLE hTL, bool8_t* pbChanged,
                                               uint64_t iTimeout) {
    const char* name = "TQGenTLWrapper::TLUpdateInterfaceList";
    GC_ERROR status =
        Entry<PTLUpdateInterfaceList>(slots, kTLUpdateInterfaceList)(hTL, pbChanged, iTimeout);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hTL:0x%s bChanged:%d", name, HandleHex(hTL).c_str(),
                   pbChanged ? static_cast<int>(*pbChanged) : 0);
    } else {
        DebugTrace("%s Failed! hTL:0x%s", name, HandleHex(hTL).c_str());
    }
    return status;
}

GC_ERROR TQGenTLWrapper::IFClose(IF_HANDLE hIface) {
    const char* name = "TQGenTLWrapper::IFClose";
    GC_ERROR status = Entry<PIFClose>(slots, kIFClose)(hIface);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hIface:0x%s", name, HandleHex(hIface).c_str());
    } else {
        DebugTrace("%s Failed! hIface:0x%s", name, HandleHex(hIface).c_str());
    }
    return status;
}

GC_ERROR TQGenTLWrapper::IFGetInfo(IF_HANDLE hIface, INTERFACE_INFO_CMD iInfoCmd,
                                   INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    const char* name = "TQGenTLWrapper::IFGetInfo";
    GC_ERROR status =
        Entry<PIFGetInfo>(slots, kIFGetInfo)(hIface, iInfoCmd, piType, pBuffer, piSize);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hIface:0x%s iInfoCmd:%d", name, HandleHex(hIface).c_str(), iInfoCmd);
    } else {
        DebugTrace("%s Failed! hIface:0x%s iInfoCmd:%d", name, HandleHex(hIface).c_str(), iInfoCmd);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::IFGetNumDevices(IF_HANDLE hIface, uint32_t* piNumDevices) {
    const char* name = "TQGenTLWrapper::IFGetNumDevices";
    GC_ERROR status = Entry<PIFGetNumDevices>(slots, kIFGetNumDevices)(hIface, piNumDevices);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hIface:0x%s iNumDevices:%d", name, HandleHex(hIface).c_str(),
                   static_cast<int>(CountAt(piNumDevices)));
    } else {
        DebugTrace("%s Failed! hIface:0x%s ", name, HandleHex(hIface).c_str());
    }
    return status;
}

GC_ERROR TQGenTLWrapper::IFGetDeviceID(IF_HANDLE hIface, uint32_t iIndex, char* sIDeviceID,
                                       size_t* piSize) {
    const char* name = "TQGenTLWrapper::IFGetDeviceID";
    size_t capacity = piSize ? *piSize : 0;
    GC_ERROR status =
        Entry<PIFGetDeviceID>(slots, kIFGetDeviceID)(hIface, iIndex, sIDeviceID, piSize);
    // Both lines show the buffer: on failure it holds what the producer got to write.
    int length = BoundedLength(sIDeviceID, capacity);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hIface:0x%s iIndex:%d sIDeviceID:%.*s", name, HandleHex(hIface).c_str(),
                   static_cast<int>(iIndex), length, TextOf(sIDeviceID));
    } else {
        DebugTrace("%s Failed! hIface:0x%s iIndex:%d sIDeviceID:%.*s", name,
                   HandleHex(hIface).c_str(), static_cast<int>(iIndex), length, TextOf(sIDeviceID));
    }
    return status;
}

GC_ERROR TQGenTLWrapper::IFUpdateDeviceList(IF_HANDLE hIface, bool8_t* pbChanged,
                                            uint64_t iTimeout) {
    const char* name = "TQGenTLWrapper::IFUpdateDeviceList";
    GC_ERROR status =
        Entry<PIFUpdateDeviceList>(slots, kIFUpdateDeviceList)(hIface, pbChanged, iTimeout);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hIface:0x%s bChanged:%d", name, HandleHex(hIface).c_str(),
                   pbChanged ? static_cast<int>(*pbChanged) : 0);
    } else {
        DebugTrace("%s Failed! hIface:0x%s", name, HandleHex(hIface).c_str());
    }
    return status;
}

GC_ERROR TQGenTLWrapper::IFGetDeviceInfo(IF_HANDLE hIface, const char* sDeviceID,
                                         DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                                         void* pBuffer, size_t* piSize) {
    const char* name = "TQGenTLWrapper::IFGetDeviceInfo";
    GC_ERROR status = Entry<PIFGetDeviceInfo>(slots, kIFGetDeviceInfo)(hIface, sDeviceID, iInfoCmd,
                                                                       piType, pBuffer, piSize);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hIface:0x%s sDeviceID:%s iInfoCmd:%d", name, HandleHex(hIface).c_str(),
                   TextOf(sDeviceID), iInfoCmd);
    } else {
        DebugTrace("%s Failed! hIface:0x%s sDeviceID:%s iInfoCmd:%d", name,
                   HandleHex(hIface).c_str(), TextOf(sDeviceID), iInfoCmd);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::IFOpenDevice(IF_HANDLE hIface, const char* sDeviceID,
                                      DEVICE_ACCESS_FLAGS iOpenFlag, DEV_HANDLE* phDevice) {
    const char* name = "TQGenTLWrapper::IFOpenDevice";
    GC_ERROR status =
        Entry<PIFOpenDevice>(slots, kIFOpenDevice)(hIface, sDeviceID, iOpenFlag, phDevice);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hIface:0x%s sDeviceID:%s Flags:0x%i hDevice:0x%s", name,
                   HandleHex(hIface).c_str(), TextOf(sDeviceID), iOpenFlag,
                   HandleHex(HandleAt(phDevice)).c_str());
    } else {
        DebugTrace("%s Failed! hIface:0x%s sDeviceID:%s Flags:0x%i", name,
                   HandleHex(hIface).c_str(), TextOf(sDeviceID), iOpenFlag);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::DevGetPort(DEV_HANDLE hDevice, PORT_HANDLE* phRemoteDevice) {
    const char* name = "TQGenTLWrapper::DevGetPort";
    GC_ERROR status = Entry<PDevGetPort>(slots, kDevGetPort)(hDevice, phRemoteDevice);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hDevice:0x%s hRemoteDevice:0x%s", name, HandleHex(hDevice).c_str(),
                   HandleHex(HandleAt(phRemoteDevice)).c_str());
    } else {
        DebugTrace("%s Failed! hDevice:0x%s", name, HandleHex(hDevice).c_str());
    }
    return status;
}

GC_ERROR TQGenTLWrapper::DevGetInfo(DEV_HANDLE hDevice, DEVICE_INFO_CMD iInfoCmd,
                                    INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    const char* name = "TQGenTLWrapper::DevGetInfo";
    GC_ERROR status =
        Entry<PDevGetInfo>(slots, kDevGetInfo)(hDevice, iInfoCmd, piType, pBuffer, piSize);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hDevice:0x%s iInfoCmd:%d", name, HandleHex(hDevice).c_str(), iInfoCmd);
    } else {
        DebugTrace("%s Failed! hDevice:0x%s iInfoCmd:%d", name, HandleHex(hDevice).c_str(),
                   iInfoCmd);
    }
    return status;
}

GC_ERROR TQGenTLWrapper::DevClose(DEV_HANDLE hDevice) {
    const char* name = "TQGenTLWrapper::DevClose";
    GC_ERROR status = Entry<PDevClose>(slots, kDevClose)(hDevice);
    if (status == GC_ERR_SUCCESS) {
        DebugTrace("%s hDevice:0x%s", name, HandleHex(hDevice).c_str());
    } else {
        DebugTrace("%s Failed! hDevice:0x%s", name, HandleHex(hDevice).c_str());
    }
    return status;
}
