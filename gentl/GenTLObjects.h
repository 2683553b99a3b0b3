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
    // Where the producer found it, kept from the enumeration (no call of their own).
    std::string interfaceId;
    std::string deviceId;
    std::string listedDeviceId;

    int32_t ReadRemoteDeviceInfo(RemoteDeviceInfo& info);
    // The serial number alone (0x20B0); empty when the read failed.
    std::string ReadSerialNumber();
    // The command line's identity: every bootstrap register it shows, in address order.
    void ReadIdentity(CameraIdentity& identity);
    // The device version alone (0x2070); false when the read failed.
    bool ReadDeviceVersion(std::string& version);
};
