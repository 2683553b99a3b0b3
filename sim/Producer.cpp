// The exported GenTL functions of the simulated producer.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gentl/GenTL.h"
#include "platform/Environment.h"
#include "platform/Utf8.h"
#include "sim/Camera.h"
#include "sim/SimConfig.h"

namespace {

// Consumers may call from several threads at once (one per camera in a parallel update). One
// lock guards the library and its objects; a port access holds it only to find its camera,
// and the camera's link waits on that camera's own lock, so cameras run side by side.
std::mutex libraryMutex;

// Handles are numbers that are never handed out twice in a process, so a closed handle stays
// invalid even when a later object lands at the same address.
uintptr_t lastHandle = 0;
void* NewHandle() {
    lastHandle += 0x10;
    return reinterpret_cast<void*>(lastHandle);
}

struct TLObject {
    void* handle = NewHandle();
};
struct IFObject {
    void* handle = NewHandle();
    size_t index = 0; // into config.interfaces
    bool updated = false;
};
struct DevObject;
struct PortObject {
    void* handle = NewHandle();
    DevObject* device = nullptr;
    std::shared_ptr<sim::Camera> camera; // kept by an access in flight past GCCloseLib
};
struct DevObject {
    void* handle = NewHandle();
    std::string id;
    IF_HANDLE parent = nullptr;
    std::shared_ptr<sim::Camera> camera;
};

// Everything of one GCInitLib .. GCCloseLib.
struct Library {
    sim::SimConfig config;
    std::map<std::string, std::shared_ptr<sim::Camera>> cameras;
    std::map<std::string, unsigned> calls;
    std::unique_ptr<TLObject> tl;
    bool tlUpdated = false;
    std::vector<std::unique_ptr<IFObject>> interfaces;
    std::vector<std::unique_ptr<DevObject>> devices;
    std::vector<std::unique_ptr<PortObject>> ports;
};

Library* library = nullptr;

// linger_thread: a thread that keeps running the library's code after GCCloseLib, as some
// producers leave one behind. GCCloseLib returns once it spins, so that an unloaded library
// fails at once rather than by chance.
enum LingerPhase { kOpen, kClosing, kSpinning };
std::atomic<bool> lingerStarted{false};
std::atomic<int> lingerPhase{kOpen};
void Linger() {
    while (lingerPhase == kOpen)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lingerPhase = kSpinning;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours(1));
}

// The configured fault for this call of `function`, or success.
// Only the calls of a function with faults are counted: the others pay no lookup, which would
// otherwise weigh on every register access of an upload.
GC_ERROR Injected(const char* function) {
    if (library->config.faults.empty())
        return GC_ERR_SUCCESS;
    auto faults = library->config.faults.find(function);
    if (faults == library->config.faults.end())
        return GC_ERR_SUCCESS;
    const unsigned call = ++library->calls[function];
    for (const sim::Fault& fault : faults->second)
        if (fault.nth == 0 || fault.nth == call)
            return fault.code;
    return GC_ERR_SUCCESS;
}

// A call that takes its configured time longer, as a producer stuck in it would.
void Delayed(const char* function) {
    if (library->config.delays.empty())
        return;
    auto delay = library->config.delays.find(function);
    if (delay != library->config.delays.end())
        std::this_thread::sleep_for(std::chrono::milliseconds(delay->second));
}

template <typename T> T* Find(std::vector<std::unique_ptr<T>>& list, void* handle) {
    if (handle == nullptr)
        return nullptr;
    for (auto& item : list)
        if (item->handle == handle)
            return item.get();
    return nullptr;
}

bool IsTL(TL_HANDLE handle) {
    return handle != nullptr && library->tl != nullptr && library->tl->handle == handle;
}

template <typename T> void Drop(std::vector<std::unique_ptr<T>>& list, const T* item) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->get() == item) {
            list.erase(it);
            return;
        }
    }
}

GC_ERROR PutString(const std::string& text, INFO_DATATYPE* type, void* buffer, size_t* size) {
    if (size == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    if (type != nullptr)
        *type = INFO_DATATYPE_STRING;
    const size_t needed = text.size() + 1;
    if (buffer == nullptr) {
        *size = needed;
        return GC_ERR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return GC_ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, text.c_str(), needed);
    *size = needed;
    return GC_ERR_SUCCESS;
}

template <typename T>
GC_ERROR PutValue(T value, INFO_DATATYPE kind, INFO_DATATYPE* type, void* buffer, size_t* size) {
    if (size == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    if (type != nullptr)
        *type = kind;
    if (buffer == nullptr) {
        *size = sizeof(T);
        return GC_ERR_SUCCESS;
    }
    if (*size < sizeof(T)) {
        *size = sizeof(T);
        return GC_ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, &value, sizeof(T));
    *size = sizeof(T);
    return GC_ERR_SUCCESS;
}

const sim::InterfaceConfig* InterfaceById(const char* id, size_t* index = nullptr) {
    if (id == nullptr)
        return nullptr;
    const auto& list = library->config.interfaces;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].id == id) {
            if (index != nullptr)
                *index = i;
            return &list[i];
        }
    }
    return nullptr;
}

const sim::DeviceConfig* DeviceOf(const sim::InterfaceConfig& iface, const char* id) {
    if (id == nullptr)
        return nullptr;
    for (const std::string& listed : iface.devices)
        if (listed == id)
            return &library->config.devices.at(listed);
    return nullptr;
}

bool DeviceOpen(const std::string& id) {
    for (auto& device : library->devices)
        if (device->id == id)
            return true;
    return false;
}

GC_ERROR DeviceInfo(const sim::DeviceConfig& device, DEVICE_INFO_CMD cmd, INFO_DATATYPE* type,
                    void* buffer, size_t* size) {
    const sim::CameraConfig& camera = library->config.cameras.at(device.camera);
    switch (cmd) {
    case DEVICE_INFO_ID:
        return PutString(device.id, type, buffer, size);
    case DEVICE_INFO_VENDOR:
        return PutString(device.vendor, type, buffer, size);
    case DEVICE_INFO_MODEL:
        return PutString(device.model, type, buffer, size);
    case DEVICE_INFO_TLTYPE:
        return PutString(device.tlType, type, buffer, size);
    case DEVICE_INFO_DISPLAYNAME:
        return PutString(device.displayName, type, buffer, size);
    case DEVICE_INFO_ACCESS_STATUS:
        return PutValue<int32_t>(DeviceOpen(device.id) ? DEVICE_ACCESS_STATUS_OPEN_READWRITE
                                                       : DEVICE_ACCESS_STATUS_READWRITE,
                                 INFO_DATATYPE_INT32, type, buffer, size);
    case DEVICE_INFO_USER_DEFINED_NAME:
        return PutString(device.userDefinedName, type, buffer, size);
    case DEVICE_INFO_SERIAL_NUMBER:
        return PutString(device.serial.empty() ? camera.serial : device.serial, type, buffer, size);
    case DEVICE_INFO_VERSION:
        return PutString(device.version, type, buffer, size);
    case DEVICE_INFO_TIMESTAMP_FREQUENCY:
        return PutValue<uint64_t>(1000000000ull, INFO_DATATYPE_UINT64, type, buffer, size);
    default:
        return GC_ERR_INVALID_PARAMETER;
    }
}

GC_ERROR InterfaceInfo(const sim::InterfaceConfig& iface, INTERFACE_INFO_CMD cmd,
                       INFO_DATATYPE* type, void* buffer, size_t* size) {
    switch (cmd) {
    case INTERFACE_INFO_ID:
        return PutString(iface.id, type, buffer, size);
    case INTERFACE_INFO_DISPLAYNAME:
        return PutString(iface.displayName, type, buffer, size);
    case INTERFACE_INFO_TLTYPE:
        return PutString(iface.tlType, type, buffer, size);
    default:
        return GC_ERR_INVALID_PARAMETER;
    }
}

GC_ERROR PutId(const std::string& id, char* buffer, size_t* size) {
    return PutString(id, nullptr, buffer, size);
}

bool LoadConfiguration(sim::SimConfig& config) {
    std::string file;
    if (!platform::ReadEnvironment("CXP_SIM_CONFIG", file) || file.empty()) {
        config = sim::DefaultConfig();
        return true;
    }
    std::ifstream in(platform::FileSystemPath(file), std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s:0: cannot read the simulator configuration\n", file.c_str());
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (!sim::ParseConfig(text.str(), file, config, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

} // namespace

// SIM_VISIBLE comes from the build: default visibility on Linux, where everything else of the
// library stays hidden; the module definition file names the exports on Windows.
#define SIM_EXPORT extern "C" SIM_VISIBLE GC_ERROR GC_CALLTYPE

// Guards every function but GCInitLib: takes the library's lock (held to the function's
// end unless released), the library must be initialised, then a configured delay and fault may
// strike.
#define SIM_ENTER(name)                                                                            \
    std::unique_lock<std::mutex> lock(libraryMutex);                                               \
    if (library == nullptr)                                                                        \
        return GC_ERR_NOT_INITIALIZED;                                                             \
    Delayed(name);                                                                                 \
    if (GC_ERROR injected = Injected(name))                                                        \
    return injected

SIM_EXPORT GCInitLib() {
    std::lock_guard<std::mutex> lock(libraryMutex);
    if (library != nullptr)
        return GC_ERR_RESOURCE_IN_USE;
    auto made = std::make_unique<Library>();
    if (!LoadConfiguration(made->config))
        return GC_ERR_ERROR;
    std::string records;
    platform::ReadEnvironment("CXP_SIM_RECORD_DIR", records);
    // The cameras share the recorder; the last one to go closes the traffic log.
    auto recorder = std::make_shared<sim::Recorder>(records, made->config.recordTraffic,
                                                    made->config.recordImage);
    for (const auto& [name, camera] : made->config.cameras)
        made->cameras[name] = std::make_shared<sim::Camera>(
            camera, recorder, made->config.latencyUs, made->config.nsPerByte);
    if (made->config.lingerThread && !lingerStarted.exchange(true))
        std::thread(Linger).detach();
    library = made.release();
    Delayed("GCInitLib");
    if (GC_ERROR injected = Injected("GCInitLib")) {
        delete library;
        library = nullptr;
        return injected;
    }
    return GC_ERR_SUCCESS;
}

SIM_EXPORT GCCloseLib() {
    SIM_ENTER("GCCloseLib");
    if (library->config.lingerThread && lingerPhase == kOpen) {
        lingerPhase = kClosing;
        while (lingerPhase != kSpinning)
            std::this_thread::yield();
    }
    delete library;
    library = nullptr;
    return GC_ERR_SUCCESS;
}

SIM_EXPORT GCReadPort(PORT_HANDLE hPort, uint64_t iAddress, void* pBuffer, size_t* piSize) {
    SIM_ENTER("GCReadPort");
    PortObject* port = Find(library->ports, hPort);
    if (port == nullptr)
        return GC_ERR_INVALID_HANDLE;
    if (pBuffer == nullptr || piSize == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    const std::shared_ptr<sim::Camera> camera = port->camera;
    lock.unlock();
    GC_ERROR status = camera->Read(iAddress, pBuffer, *piSize);
    if (status != GC_ERR_SUCCESS)
        *piSize = 0;
    return status;
}

SIM_EXPORT GCWritePort(PORT_HANDLE hPort, uint64_t iAddress, const void* pBuffer, size_t* piSize) {
    SIM_ENTER("GCWritePort");
    PortObject* port = Find(library->ports, hPort);
    if (port == nullptr)
        return GC_ERR_INVALID_HANDLE;
    if (pBuffer == nullptr || piSize == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    const std::shared_ptr<sim::Camera> camera = port->camera;
    lock.unlock();
    GC_ERROR status = camera->Write(iAddress, pBuffer, *piSize);
    if (status != GC_ERR_SUCCESS)
        *piSize = 0;
    return status;
}

SIM_EXPORT TLOpen(TL_HANDLE* phTL) {
    SIM_ENTER("TLOpen");
    if (phTL == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    if (library->tl != nullptr)
        return GC_ERR_RESOURCE_IN_USE;
    library->tl = std::make_unique<TLObject>();
    *phTL = library->tl->handle;
    return GC_ERR_SUCCESS;
}

SIM_EXPORT TLClose(TL_HANDLE hTL) {
    SIM_ENTER("TLClose");
    if (!IsTL(hTL))
        return GC_ERR_INVALID_HANDLE;
    library->ports.clear();
    library->devices.clear();
    library->interfaces.clear();
    library->tl.reset();
    library->tlUpdated = false;
    return GC_ERR_SUCCESS;
}

SIM_EXPORT TLGetInfo(TL_HANDLE hTL, TL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                     size_t* piSize) {
    SIM_ENTER("TLGetInfo");
    if (!IsTL(hTL))
        return GC_ERR_INVALID_HANDLE;
    switch (iInfoCmd) {
    case TL_INFO_ID:
        return PutString("cxp-sim", piType, pBuffer, piSize);
    case TL_INFO_VENDOR:
        return PutString("Tevrak Imaging", piType, pBuffer, piSize);
    case TL_INFO_MODEL:
        return PutString("CoaXPress simulator", piType, pBuffer, piSize);
    case TL_INFO_VERSION:
        return PutString("1.0", piType, pBuffer, piSize);
    case TL_INFO_TLTYPE:
        return PutString("CXP", piType, pBuffer, piSize);
    case TL_INFO_NAME:
        return PutString("cxp-sim.cti", piType, pBuffer, piSize);
    case TL_INFO_PATHNAME:
        return PutString("cxp-sim.cti", piType, pBuffer, piSize);
    case TL_INFO_DISPLAYNAME:
        return PutString("Simulated CoaXPress producer", piType, pBuffer, piSize);
    case TL_INFO_CHAR_ENCODING:
        return PutValue<int32_t>(TL_CHAR_ENCODING_ASCII, INFO_DATATYPE_INT32, piType, pBuffer,
                                 piSize);
    case TL_INFO_GENTL_VER_MAJOR:
        return PutValue<uint32_t>(1, INFO_DATATYPE_UINT32, piType, pBuffer, piSize);
    case TL_INFO_GENTL_VER_MINOR:
        return PutValue<uint32_t>(5, INFO_DATATYPE_UINT32, piType, pBuffer, piSize);
    default:
        return GC_ERR_INVALID_PARAMETER;
    }
}

SIM_EXPORT TLGetNumInterfaces(TL_HANDLE hTL, uint32_t* piNumIfaces) {
    SIM_ENTER("TLGetNumInterfaces");
    if (!IsTL(hTL))
        return GC_ERR_INVALID_HANDLE;
    if (piNumIfaces == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    *piNumIfaces = static_cast<uint32_t>(library->config.interfaces.size());
    return GC_ERR_SUCCESS;
}

SIM_EXPORT TLGetInterfaceID(TL_HANDLE hTL, uint32_t iIndex, char* sID, size_t* piSize) {
    SIM_ENTER("TLGetInterfaceID");
    if (!IsTL(hTL))
        return GC_ERR_INVALID_HANDLE;
    if (iIndex >= library->config.interfaces.size())
        return GC_ERR_INVALID_INDEX;
    return PutId(library->config.interfaces[iIndex].id, sID, piSize);
}

SIM_EXPORT TLGetInterfaceInfo(TL_HANDLE hTL, const char* sIfaceID, INTERFACE_INFO_CMD iInfoCmd,
                              INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    SIM_ENTER("TLGetInterfaceInfo");
    if (!IsTL(hTL))
        return GC_ERR_INVALID_HANDLE;
    const sim::InterfaceConfig* iface = InterfaceById(sIfaceID);
    if (iface == nullptr)
        return GC_ERR_INVALID_ID;
    return InterfaceInfo(*iface, iInfoCmd, piType, pBuffer, piSize);
}

SIM_EXPORT TLOpenInterface(TL_HANDLE hTL, const char* sIfaceID, IF_HANDLE* phIface) {
    SIM_ENTER("TLOpenInterface");
    if (!IsTL(hTL))
        return GC_ERR_INVALID_HANDLE;
    if (phIface == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    size_t index = 0;
    if (InterfaceById(sIfaceID, &index) == nullptr)
        return GC_ERR_INVALID_ID;
    for (auto& open : library->interfaces)
        if (open->index == index)
            return GC_ERR_RESOURCE_IN_USE;
    library->interfaces.push_back(std::make_unique<IFObject>());
    library->interfaces.back()->index = index;
    *phIface = library->interfaces.back()->handle;
    return GC_ERR_SUCCESS;
}

SIM_EXPORT TLUpdateInterfaceList(TL_HANDLE hTL, bool8_t* pbChanged, uint64_t iTimeout) {
    (void)iTimeout;
    SIM_ENTER("TLUpdateInterfaceList");
    if (!IsTL(hTL))
        return GC_ERR_INVALID_HANDLE;
    if (pbChanged != nullptr)
        *pbChanged = library->tlUpdated ? 0 : 1;
    library->tlUpdated = true;
    return GC_ERR_SUCCESS;
}

SIM_EXPORT IFClose(IF_HANDLE hIface) {
    SIM_ENTER("IFClose");
    IFObject* iface = Find(library->interfaces, hIface);
    if (iface == nullptr)
        return GC_ERR_INVALID_HANDLE;
    Drop(library->interfaces, iface);
    return GC_ERR_SUCCESS;
}

SIM_EXPORT IFGetInfo(IF_HANDLE hIface, INTERFACE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                     void* pBuffer, size_t* piSize) {
    SIM_ENTER("IFGetInfo");
    IFObject* iface = Find(library->interfaces, hIface);
    if (iface == nullptr)
        return GC_ERR_INVALID_HANDLE;
    return InterfaceInfo(library->config.interfaces[iface->index], iInfoCmd, piType, pBuffer,
                         piSize);
}

SIM_EXPORT IFGetNumDevices(IF_HANDLE hIface, uint32_t* piNumDevices) {
    SIM_ENTER("IFGetNumDevices");
    IFObject* iface = Find(library->interfaces, hIface);
    if (iface == nullptr)
        return GC_ERR_INVALID_HANDLE;
    if (piNumDevices == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    *piNumDevices = static_cast<uint32_t>(library->config.interfaces[iface->index].devices.size());
    return GC_ERR_SUCCESS;
}

SIM_EXPORT IFGetDeviceID(IF_HANDLE hIface, uint32_t iIndex, char* sIDeviceID, size_t* piSize) {
    SIM_ENTER("IFGetDeviceID");
    IFObject* iface = Find(library->interfaces, hIface);
    if (iface == nullptr)
        return GC_ERR_INVALID_HANDLE;
    const auto& devices = library->config.interfaces[iface->index].devices;
    if (iIndex >= devices.size())
        return GC_ERR_INVALID_INDEX;
    return PutId(devices[iIndex], sIDeviceID, piSize);
}

SIM_EXPORT IFUpdateDeviceList(IF_HANDLE hIface, bool8_t* pbChanged, uint64_t iTimeout) {
    (void)iTimeout;
    SIM_ENTER("IFUpdateDeviceList");
    IFObject* iface = Find(library->interfaces, hIface);
    if (iface == nullptr)
        return GC_ERR_INVALID_HANDLE;
    if (pbChanged != nullptr)
        *pbChanged = iface->updated ? 0 : 1;
    iface->updated = true;
    return GC_ERR_SUCCESS;
}

SIM_EXPORT IFGetDeviceInfo(IF_HANDLE hIface, const char* sDeviceID, DEVICE_INFO_CMD iInfoCmd,
                           INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    SIM_ENTER("IFGetDeviceInfo");
    IFObject* iface = Find(library->interfaces, hIface);
    if (iface == nullptr)
        return GC_ERR_INVALID_HANDLE;
    const sim::DeviceConfig* device = DeviceOf(library->config.interfaces[iface->index], sDeviceID);
    if (device == nullptr)
        return GC_ERR_INVALID_ID;
    return DeviceInfo(*device, iInfoCmd, piType, pBuffer, piSize);
}

SIM_EXPORT IFOpenDevice(IF_HANDLE hIface, const char* sDeviceID, DEVICE_ACCESS_FLAGS iOpenFlag,
                        DEV_HANDLE* phDevice) {
    SIM_ENTER("IFOpenDevice");
    IFObject* iface = Find(library->interfaces, hIface);
    if (iface == nullptr)
        return GC_ERR_INVALID_HANDLE;
    if (phDevice == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    if (iOpenFlag < DEVICE_ACCESS_READONLY || iOpenFlag > DEVICE_ACCESS_EXCLUSIVE)
        return GC_ERR_INVALID_PARAMETER;
    const sim::InterfaceConfig& config = library->config.interfaces[iface->index];
    const sim::DeviceConfig* device = DeviceOf(config, sDeviceID);
    if (device == nullptr)
        return GC_ERR_INVALID_ID;
    for (const std::string& refused : config.refuseOpen)
        if (refused == device->id)
            return GC_ERR_ACCESS_DENIED;
    if (DeviceOpen(device->id))
        return GC_ERR_RESOURCE_IN_USE;
    auto made = std::make_unique<DevObject>();
    made->id = device->id;
    made->parent = hIface;
    made->camera = library->cameras.at(device->camera);
    *phDevice = made->handle;
    library->devices.push_back(std::move(made));
    return GC_ERR_SUCCESS;
}

SIM_EXPORT DevGetPort(DEV_HANDLE hDevice, PORT_HANDLE* phRemoteDevice) {
    SIM_ENTER("DevGetPort");
    DevObject* device = Find(library->devices, hDevice);
    if (device == nullptr)
        return GC_ERR_INVALID_HANDLE;
    if (phRemoteDevice == nullptr)
        return GC_ERR_INVALID_PARAMETER;
    if (library->config.devices.at(device->id).nullPort) {
        *phRemoteDevice = nullptr;
        return GC_ERR_SUCCESS;
    }
    // One port per device, however often it is asked for.
    for (auto& port : library->ports) {
        if (port->device == device) {
            *phRemoteDevice = port->handle;
            return GC_ERR_SUCCESS;
        }
    }
    library->ports.push_back(std::make_unique<PortObject>());
    library->ports.back()->device = device;
    library->ports.back()->camera = device->camera;
    *phRemoteDevice = library->ports.back()->handle;
    return GC_ERR_SUCCESS;
}

SIM_EXPORT DevGetInfo(DEV_HANDLE hDevice, DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                      void* pBuffer, size_t* piSize) {
    SIM_ENTER("DevGetInfo");
    DevObject* device = Find(library->devices, hDevice);
    if (device == nullptr)
        return GC_ERR_INVALID_HANDLE;
    const sim::DeviceConfig& config = library->config.devices.at(device->id);
    if (iInfoCmd == DEVICE_INFO_ID && !config.openedId.empty())
        return PutString(config.openedId, piType, pBuffer, piSize);
    return DeviceInfo(config, iInfoCmd, piType, pBuffer, piSize);
}

#ifndef CXP_SIM_WITHOUT_DEVCLOSE
SIM_EXPORT DevClose(DEV_HANDLE hDevice) {
    SIM_ENTER("DevClose");
    DevObject* device = Find(library->devices, hDevice);
    if (device == nullptr)
        return GC_ERR_INVALID_HANDLE;
    // The device's port goes with it; another device of the same camera keeps its own.
    for (auto it = library->ports.begin(); it != library->ports.end();) {
        if ((*it)->device == device)
            it = library->ports.erase(it);
        else
            ++it;
    }
    Drop(library->devices, device);
    return GC_ERR_SUCCESS;
}
#endif

// What the tool never calls: a producer of this kind has no streams, events or URLs to offer.
#define SIM_NOT_IMPLEMENTED(name, ...)                                                             \
    SIM_EXPORT name(__VA_ARGS__) {                                                                 \
        SIM_ENTER(#name);                                                                          \
        return GC_ERR_NOT_IMPLEMENTED;                                                             \
    }

SIM_NOT_IMPLEMENTED(GCGetInfo, int32_t, INFO_DATATYPE*, void*, size_t*)
SIM_NOT_IMPLEMENTED(GCGetLastError, GC_ERROR*, char*, size_t*)
SIM_NOT_IMPLEMENTED(GCGetPortURL, PORT_HANDLE, char*, size_t*)
SIM_NOT_IMPLEMENTED(GCGetPortInfo, PORT_HANDLE, int32_t, INFO_DATATYPE*, void*, size_t*)
SIM_NOT_IMPLEMENTED(GCRegisterEvent, EVENTSRC_HANDLE, int32_t, EVENT_HANDLE*)
SIM_NOT_IMPLEMENTED(GCUnregisterEvent, EVENTSRC_HANDLE, int32_t)
SIM_NOT_IMPLEMENTED(EventGetData, EVENT_HANDLE, void*, size_t*, uint64_t)
SIM_NOT_IMPLEMENTED(EventGetDataInfo, EVENT_HANDLE, const void*, size_t, int32_t, INFO_DATATYPE*,
                    void*, size_t*)
SIM_NOT_IMPLEMENTED(EventGetInfo, EVENT_HANDLE, int32_t, INFO_DATATYPE*, void*, size_t*)
SIM_NOT_IMPLEMENTED(EventFlush, EVENT_HANDLE)
SIM_NOT_IMPLEMENTED(EventKill, EVENT_HANDLE)
SIM_NOT_IMPLEMENTED(DevGetNumDataStreams, DEV_HANDLE, uint32_t*)
SIM_NOT_IMPLEMENTED(DevGetDataStreamID, DEV_HANDLE, uint32_t, char*, size_t*)
SIM_NOT_IMPLEMENTED(DevOpenDataStream, DEV_HANDLE, const char*, DS_HANDLE*)
SIM_NOT_IMPLEMENTED(DSAnnounceBuffer, DS_HANDLE, void*, size_t, void*, BUFFER_HANDLE*)
SIM_NOT_IMPLEMENTED(DSAllocAndAnnounceBuffer, DS_HANDLE, size_t, void*, BUFFER_HANDLE*)
SIM_NOT_IMPLEMENTED(DSFlushQueue, DS_HANDLE, int32_t)
SIM_NOT_IMPLEMENTED(DSStartAcquisition, DS_HANDLE, int32_t, uint64_t)
SIM_NOT_IMPLEMENTED(DSStopAcquisition, DS_HANDLE, int32_t)
SIM_NOT_IMPLEMENTED(DSGetInfo, DS_HANDLE, int32_t, INFO_DATATYPE*, void*, size_t*)
SIM_NOT_IMPLEMENTED(DSGetBufferID, DS_HANDLE, uint32_t, BUFFER_HANDLE*)
SIM_NOT_IMPLEMENTED(DSClose, DS_HANDLE)
SIM_NOT_IMPLEMENTED(DSRevokeBuffer, DS_HANDLE, BUFFER_HANDLE, void**, void**)
SIM_NOT_IMPLEMENTED(DSQueueBuffer, DS_HANDLE, BUFFER_HANDLE)
SIM_NOT_IMPLEMENTED(DSGetBufferInfo, DS_HANDLE, BUFFER_HANDLE, int32_t, INFO_DATATYPE*, void*,
                    size_t*)
SIM_NOT_IMPLEMENTED(GCGetNumPortURLs, PORT_HANDLE, uint32_t*)
SIM_NOT_IMPLEMENTED(GCGetPortURLInfo, PORT_HANDLE, uint32_t, int32_t, INFO_DATATYPE*, void*,
                    size_t*)
SIM_NOT_IMPLEMENTED(GCReadPortStacked, PORT_HANDLE, void*, size_t*)
SIM_NOT_IMPLEMENTED(GCWritePortStacked, PORT_HANDLE, void*, size_t*)
SIM_NOT_IMPLEMENTED(DSGetBufferChunkData, DS_HANDLE, BUFFER_HANDLE, void*, size_t*)
SIM_NOT_IMPLEMENTED(IFGetParentTL, IF_HANDLE, TL_HANDLE*)
SIM_NOT_IMPLEMENTED(DevGetParentIF, DEV_HANDLE, IF_HANDLE*)
SIM_NOT_IMPLEMENTED(DSGetParentDev, DS_HANDLE, DEV_HANDLE*)
SIM_NOT_IMPLEMENTED(DSGetNumBufferParts, DS_HANDLE, BUFFER_HANDLE, uint32_t*)
SIM_NOT_IMPLEMENTED(DSGetBufferPartInfo, DS_HANDLE, BUFFER_HANDLE, uint32_t, int32_t,
                    INFO_DATATYPE*, void*, size_t*)
