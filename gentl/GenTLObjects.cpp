#include "gentl/GenTLObjects.h"

#include <cstring>
#include <string>

#include "gentl/DebugTrace.h"
#include "gentl/Listed.h"

namespace {
constexpr uint64_t kInterfaceListTimeoutMs = 1000;
constexpr uint64_t kDeviceListTimeoutMs = 3000;

// The text registers of RemoteDeviceInfo, in address order after the standard's.
struct TextRegister {
    IdentityRegisters bit;
    uint64_t address;
    size_t width;
    std::string RemoteDeviceInfo::*text;
    bool RemoteDeviceInfo::*unreadable;
};
using R = RemoteDeviceInfo;
constexpr TextRegister kTextRegisters[] = {
    {kVendorRegister, 0x2000, 32, &R::vendor, &R::vendorUnreadable},
    {kModelRegister, 0x2020, 32, &R::model, &R::modelUnreadable},
    {kManufacturerInfoRegister, 0x2040, 48, &R::manufacturerInfo, &R::manufacturerInfoUnreadable},
    {kDeviceVersionRegister, 0x2070, 32, &R::deviceVersion, &R::deviceVersionUnreadable},
    {kSerialNumberRegister, 0x20B0, 16, &R::serialNumber, &R::serialNumberUnreadable},
    {kUserIdRegister, 0x20C0, 16, &R::userId, &R::userIdUnreadable},
};
constexpr size_t kWidestRegister = 48;
constexpr uint64_t kStandardAddress = 0x0000; // 4 bytes, big-endian

// One information command into a text field: a fresh zeroed buffer of the capacity, whatever
// the producer wrote is kept (a failed command usually leaves it empty).
template <size_t Capacity, typename Ask> GC_ERROR AskText(std::string& field, Ask ask) {
    char buffer[Capacity] = {};
    size_t size = Capacity;
    INFO_DATATYPE type = INFO_DATATYPE_UNKNOWN;
    GC_ERROR status = ask(&type, buffer, &size);
    field = BoundedText(buffer, Capacity);
    return status;
}

// A numeric command: the buffer starts at zero, so a failed command leaves 0.
template <typename Number, typename Ask> GC_ERROR AskNumber(Number& field, Ask ask) {
    unsigned char buffer[sizeof(Number)] = {};
    size_t size = sizeof(Number);
    INFO_DATATYPE type = INFO_DATATYPE_UNKNOWN;
    GC_ERROR status = ask(&type, buffer, &size);
    std::memcpy(&field, buffer, sizeof(Number));
    return status;
}

// The device commands in the record's field order (display name before transport type).
template <size_t Capacity, typename Ask> GC_ERROR AskDeviceInfo(DeviceInfo& info, Ask ask) {
    auto command = [&ask](DEVICE_INFO_CMD cmd) {
        return [&ask, cmd](INFO_DATATYPE* type, void* buffer, size_t* size) {
            return ask(cmd, type, buffer, size);
        };
    };
    // A failed ID command gives no ID, whatever the producer left in the buffer.
    if (AskText<Capacity>(info.id, command(DEVICE_INFO_ID)) != GC_ERR_SUCCESS)
        info.id.clear();
    AskText<Capacity>(info.vendor, command(DEVICE_INFO_VENDOR));
    AskText<Capacity>(info.model, command(DEVICE_INFO_MODEL));
    AskText<Capacity>(info.displayName, command(DEVICE_INFO_DISPLAYNAME));
    AskText<Capacity>(info.tlType, command(DEVICE_INFO_TLTYPE));
    AskNumber(info.accessStatus, command(DEVICE_INFO_ACCESS_STATUS));
    AskText<Capacity>(info.userDefinedName, command(DEVICE_INFO_USER_DEFINED_NAME));
    AskText<Capacity>(info.serialNumber, command(DEVICE_INFO_SERIAL_NUMBER));
    AskText<Capacity>(info.version, command(DEVICE_INFO_VERSION));
    return AskNumber(info.timestampFrequency, command(DEVICE_INFO_TIMESTAMP_FREQUENCY));
}

// False when the read failed; the field is then empty.
bool ReadRegisterText(TQGenTLWrapper* wrapper, PORT_HANDLE port, uint64_t address, size_t width,
                      std::string& field) {
    char buffer[kWidestRegister] = {};
    size_t size = width;
    GC_ERROR status = wrapper->GCReadPort(port, address, buffer, &size);
    // Bytes from a failed or short read are not the camera's answer.
    const bool done = status == GC_ERR_SUCCESS && size == width;
    field = done ? BoundedText(buffer, width) : std::string();
    return done;
}
} // namespace

int32_t TQSystem::EnumInterfaces(uint32_t& count, const char*& failed) {
    count = 0;
    bool8_t changed = 0;
    GC_ERROR status = wrapper->TLUpdateInterfaceList(hTL, &changed, kInterfaceListTimeoutMs);
    if (status != GC_ERR_SUCCESS) {
        DebugTrace(":%s TLUpdateInterfaceList failed!:%d", "TQSystem::EnumInterfaces", status);
        failed = "TLUpdateInterfaceList";
        return status;
    }
    status = wrapper->TLGetNumInterfaces(hTL, &count);
    if (status != GC_ERR_SUCCESS) {
        DebugTrace(":%s TLGetNumInterfaces failed!:%d", "TQSystem::EnumInterfaces", status);
        failed = "TLGetNumInterfaces";
        count = 0; // a failed count may have left anything there
        return status;
    }
    numInterfaces = count;
    return status;
}

int32_t TQSystem::QuerySystemInfo(SystemInfo& info) {
    info.hWrapper = wrapper;
    auto command = [this](TL_INFO_CMD cmd) {
        return [this, cmd](INFO_DATATYPE* type, void* buffer, size_t* size) {
            return wrapper->TLGetInfo(hTL, cmd, type, buffer, size);
        };
    };
    AskText<256>(info.id, command(TL_INFO_ID));
    AskText<256>(info.vendor, command(TL_INFO_VENDOR));
    AskText<256>(info.model, command(TL_INFO_MODEL));
    AskText<256>(info.version, command(TL_INFO_VERSION));
    AskText<256>(info.tlType, command(TL_INFO_TLTYPE));
    AskText<256>(info.name, command(TL_INFO_NAME));
    AskText<256>(info.pathName, command(TL_INFO_PATHNAME));
    AskText<256>(info.displayName, command(TL_INFO_DISPLAYNAME));
    AskNumber(info.charEncoding, command(TL_INFO_CHAR_ENCODING));
    AskNumber(info.genTLVersionMajor, command(TL_INFO_GENTL_VER_MAJOR));
    return AskNumber(info.genTLVersionMinor, command(TL_INFO_GENTL_VER_MINOR));
}

int32_t TQSystem::GetInterfacesInfo(std::vector<InterfaceInfo>& infos,
                                    const UnidentifiedEntry& unidentified) {
    constexpr size_t kCapacity = 256;
    GC_ERROR status = GC_ERR_SUCCESS;
    for (uint32_t index = 0; index < numInterfaces; ++index) {
        char idBuffer[kCapacity] = {};
        size_t idSize = kCapacity;
        status = wrapper->TLGetInterfaceID(hTL, index, idBuffer, &idSize);
        if (status != GC_ERR_SUCCESS) {
            DebugTrace(":%s TLGetInterfaceID failed!:%d", "TQSystem::GetInterfacesInfo", status);
            if (unidentified(index, status))
                continue;
            return -1;
        }
        const std::string identifier = BoundedText(idBuffer, kCapacity);
        auto command = [this, &identifier](INTERFACE_INFO_CMD cmd) {
            return [this, &identifier, cmd](INFO_DATATYPE* type, void* buffer, size_t* size) {
                return wrapper->TLGetInterfaceInfo(hTL, identifier.c_str(), cmd, type, buffer,
                                                   size);
            };
        };
        InterfaceInfo info;
        info.hTL = hTL;
        info.listedId = identifier;
        AskText<kCapacity>(info.id, command(INTERFACE_INFO_ID));
        AskText<kCapacity>(info.displayName, command(INTERFACE_INFO_DISPLAYNAME));
        status = AskText<kCapacity>(info.tlType, command(INTERFACE_INFO_TLTYPE));

        auto sameId = [&info](const InterfaceInfo& listed) { return listed.id == info.id; };
        if (!ListedAlready(infos, sameId, "Interface Existed")) {
            infos.push_back(std::move(info));
        }
    }
    return status;
}

int32_t TQInterface::EnumDevices(uint32_t& count, const char*& failed) {
    count = 0;
    bool8_t changed = 0;
    GC_ERROR status = wrapper->IFUpdateDeviceList(hIface, &changed, kDeviceListTimeoutMs);
    if (status != GC_ERR_SUCCESS) {
        DebugTrace(":%s IFUpdateDeviceList failed!:%d", "TQInterface::EnumDevices", status);
        failed = "IFUpdateDeviceList";
        return status;
    }
    status = wrapper->IFGetNumDevices(hIface, &count);
    if (status != GC_ERR_SUCCESS) {
        DebugTrace(":%s IFGetNumDevices failed!:%d", "TQInterface::EnumDevices", status);
        failed = "IFGetNumDevices";
        count = 0;
        return status;
    }
    numDevices = count;
    return status;
}

int32_t TQInterface::QueryInterfaceInfo(InterfaceInfo& info) {
    constexpr size_t kCapacity = 128;
    auto command = [this](INTERFACE_INFO_CMD cmd) {
        return [this, cmd](INFO_DATATYPE* type, void* buffer, size_t* size) {
            return wrapper->IFGetInfo(hIface, cmd, type, buffer, size);
        };
    };
    AskText<kCapacity>(info.id, command(INTERFACE_INFO_ID));
    AskText<kCapacity>(info.displayName, command(INTERFACE_INFO_DISPLAYNAME));
    return AskText<kCapacity>(info.tlType, command(INTERFACE_INFO_TLTYPE));
}

int32_t TQInterface::GetDevicesInfo(std::vector<DeviceInfo>& infos,
                                    const UnidentifiedEntry& unidentified) {
    constexpr size_t kCapacity = 128;
    GC_ERROR status = GC_ERR_SUCCESS;
    for (uint32_t index = 0; index < numDevices; ++index) {
        char idBuffer[kCapacity] = {};
        size_t idSize = kCapacity;
        status = wrapper->IFGetDeviceID(hIface, index, idBuffer, &idSize);
        if (status != GC_ERR_SUCCESS) {
            DebugTrace(":%s IFGetDeviceID Failed!:%d", "TQInterface::GetDevicesInfo", status);
            if (unidentified(index, status))
                continue;
            return -1;
        }
        const std::string identifier = BoundedText(idBuffer, kCapacity);
        DeviceInfo info;
        info.hIface = hIface;
        info.listedId = identifier;
        status = AskDeviceInfo<kCapacity>(info, [this, &identifier](DEVICE_INFO_CMD cmd,
                                                                    INFO_DATATYPE* type,
                                                                    void* buffer, size_t* size) {
            return wrapper->IFGetDeviceInfo(hIface, identifier.c_str(), cmd, type, buffer, size);
        });

        auto sameId = [&info](const DeviceInfo& listed) { return listed.Id() == info.Id(); };
        if (!ListedAlready(infos, sameId, "DEV Existed")) {
            infos.push_back(std::move(info));
        }
    }
    return status;
}

int32_t TQDevice::QueryDeviceInfo(DeviceInfo& info) {
    info.hIface = hIface;
    info.listedId = listedId;
    return AskDeviceInfo<256>(
        info, [this](DEVICE_INFO_CMD cmd, INFO_DATATYPE* type, void* buffer, size_t* size) {
            return wrapper->DevGetInfo(hDevice, cmd, type, buffer, size);
        });
}

int32_t TQRemoteDevice::ReadRemoteDeviceInfo(RemoteDeviceInfo& info, IdentityRegisters registers) {
    info.hDevice = hDevice;
    info.interfaceId = identity.interfaceId;
    info.deviceId = identity.deviceId;
    info.listedDeviceId = identity.listedDeviceId;
    if (registers & kStandardRegister) {
        unsigned char standard[4] = {};
        size_t size = sizeof standard;
        info.standardUnreadable =
            wrapper->GCReadPort(hPort, kStandardAddress, standard, &size) != GC_ERR_SUCCESS ||
            size != sizeof standard;
        info.standard = info.standardUnreadable
                            ? 0
                            : (uint32_t{standard[0]} << 24) | (uint32_t{standard[1]} << 16) |
                                  (uint32_t{standard[2]} << 8) | uint32_t{standard[3]};
    }
    for (const TextRegister& text : kTextRegisters) {
        if (registers & text.bit)
            info.*text.unreadable =
                !ReadRegisterText(wrapper, hPort, text.address, text.width, info.*text.text);
    }
    return 0;
}

bool TQRemoteDevice::ReadDeviceVersion(std::string& version) {
    RemoteDeviceInfo info;
    ReadRemoteDeviceInfo(info, kDeviceVersionRegister);
    version = info.deviceVersion;
    return !info.deviceVersionUnreadable;
}
