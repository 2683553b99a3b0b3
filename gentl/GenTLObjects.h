#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gentl/IdentityRecords.h"
#include "gentl/TQGenTLWrapper.h"

// The transport-layer system of the opened producer.
struct TQSystem {
    uint32_t numInterfaces = 0;
    TL_HANDLE hTL = nullptr;
    TQGenTLWrapper* wrapper = nullptr; // not owned

    int32_t EnumInterfaces(uint32_t& count);
    int32_t QuerySystemInfo(SystemInfo& info);
    int32_t GetInterfacesInfo(std::vector<InterfaceInfo>& infos);
};

struct TQInterface {
    std::string id; // as the transport layer listed it
    uint32_t numDevices = 0;
    IF_HANDLE hIface = nullptr;
    TQGenTLWrapper* wrapper = nullptr; // not owned

    int32_t EnumDevices(uint32_t& count);
    int32_t QueryInterfaceInfo(InterfaceInfo& info);
    int32_t GetDevicesInfo(std::vector<DeviceInfo>& infos);
};

struct TQDevice {
    PORT_HANDLE hRemoteDevice = nullptr;
    DEV_HANDLE hDevice = nullptr;
    IF_HANDLE hIface = nullptr;
    TQGenTLWrapper* wrapper = nullptr; // not owned

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

    int32_t ReadRemoteDeviceInfo(RemoteDeviceInfo& info);
    // The command line's identity: every bootstrap register it shows, in address order.
    void ReadIdentity(CameraIdentity& identity);
    // The device version alone (0x2070); false when the read failed.
    bool ReadDeviceVersion(std::string& version);
};
