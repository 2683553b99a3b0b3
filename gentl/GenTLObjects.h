#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gentl/IdentityRecords.h"
#include "gentl/TQGenTLWrapper.h"

// Told about an ID that could not be read (its index and the producer's code); true to go on
// with the next index, false to end the list there.
using UnidentifiedEntry = std::function<bool(uint32_t index, GC_ERROR code)>;

// The transport-layer system of the opened producer.
struct TQSystem {
    uint32_t numInterfaces = 0;
    TL_HANDLE hTL = nullptr;
    TQGenTLWrapper* wrapper = nullptr; // not owned

    // On failure `failed` names the call that failed.
    int32_t EnumInterfaces(uint32_t& count, const char*& failed);
    int32_t QuerySystemInfo(SystemInfo& info);
    int32_t GetInterfacesInfo(std::vector<InterfaceInfo>& infos,
                              const UnidentifiedEntry& unidentified);
};

struct TQInterface {
    std::string id; // as the transport layer listed it
    uint32_t numDevices = 0;
    IF_HANDLE hIface = nullptr;
    TQGenTLWrapper* wrapper = nullptr; // not owned

    int32_t EnumDevices(uint32_t& count, const char*& failed); // as TQSystem::EnumInterfaces
    int32_t QueryInterfaceInfo(InterfaceInfo& info);
    int32_t GetDevicesInfo(std::vector<DeviceInfo>& infos, const UnidentifiedEntry& unidentified);
};

struct TQDevice {
    PORT_HANDLE hRemoteDevice = nullptr;
    DEV_HANDLE hDevice = nullptr;
    IF_HANDLE hIface = nullptr;
    TQGenTLWrapper* wrapper = nullptr; // not owned
    std::string listedId;              // as IFGetDeviceID gave it

    int32_t QueryDeviceInfo(DeviceInfo& info);
};

// A camera: register access goes through hPort, its remote-device port.
struct TQRemoteDevice {
    PORT_HANDLE hPort = nullptr;
    DEV_HANDLE hDevice = nullptr;
    IF_HANDLE hIface = nullptr;
    TQGenTLWrapper* wrapper = nullptr; // not owned
    // The enumeration's reading: where the producer found the camera (no call of their own),
    // and under EnumerationRules::sameSerialRegisters every register, each read once.
    RemoteDeviceInfo identity;

    // The IDs of `identity` and the registers asked for, read afresh.
    int32_t ReadRemoteDeviceInfo(RemoteDeviceInfo& info,
                                 IdentityRegisters registers = kShownRegisters);
    // The device version alone (0x2070); false when the read failed.
    bool ReadDeviceVersion(std::string& version);
};
