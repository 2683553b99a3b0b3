#include <memory>
#include <string>
#include <utility>

#include "gentl/DebugTrace.h"
#include "gentl/GenTLContext.h"
#include "gentl/Listed.h"

namespace {
constexpr DEVICE_ACCESS_FLAGS kOpenFlags = DEVICE_ACCESS_CONTROL;

// Port of an opened device; a null port is traced but kept, so its camera still shows up.
void GetPort(TQGenTLWrapper& wrapper, TQDevice& device) {
    wrapper.DevGetPort(device.hDevice, &device.hRemoteDevice);
    if (!device.hRemoteDevice) {
        DebugTrace("PortHandle not valid");
    }
    DebugTrace("hRemoteDevice: 0x%s", HandleHex(device.hRemoteDevice).c_str());
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}
} // namespace

int32_t GenTLContext::EnumerateDevices(EnumerationReport& report) {
    // Library and system.
    system = std::make_unique<TQSystem>();
    system->wrapper = wrapper.get();
    wrapper->GCInitLib();
    wrapper->TLOpen(&system->hTL);
    if (!system->hTL) {
        DebugTrace("TLHandle not valid");
    }
    DebugTrace("hSystem: 0x%s", HandleHex(system->hTL).c_str());
    system->QuerySystemInfo(systemInfo);

    // Interfaces.
    uint32_t interfaceCount = 0;
    system->EnumInterfaces(interfaceCount);
    if (interfaceCount == 0) {
        report.NoInterfaceFound();
        DebugTrace("!!!No Interface Found!!!");
        return -1;
    }
    system->GetInterfacesInfo(interfaceInfos);
    for (const InterfaceInfo& entry : interfaceInfos) {
        IF_HANDLE hIface = nullptr;
        // A failed open still goes through the device count, which then fails on the null handle.
        wrapper->TLOpenInterface(system->hTL, entry.id.c_str(), &hIface);
        DebugTrace("hInterface: 0x%s", HandleHex(hIface).c_str());
        auto iface = std::make_unique<TQInterface>();
        iface->id = entry.id;
        iface->hIface = hIface;
        iface->wrapper = wrapper.get();

        uint32_t deviceCount = 0;
        iface->EnumDevices(deviceCount);
        if (deviceCount == 0) {
            DebugTrace("!!!No Device found!!!");
            wrapper->IFClose(hIface);
            iface.reset();
            continue;
        }
        DebugTrace("Device found");
        auto sameInterface = [&entry](const std::unique_ptr<TQInterface>& kept) {
            InterfaceInfo keptInfo;
            kept->QueryInterfaceInfo(keptInfo);
            return keptInfo.id == entry.id;
        };
        if (ListedAlready(interfaces, sameInterface, "Interface Existed")) {
            iface.reset();
        } else {
            interfaces.push_back(std::move(iface));
        }
    }

    // Devices: every device listed so far is offered to each interface in turn.
    for (const std::unique_ptr<TQInterface>& iface : interfaces) {
        iface->GetDevicesInfo(deviceInfos);
        for (const DeviceInfo& entry : deviceInfos) {
            DEV_HANDLE hDevice = nullptr;
            GC_ERROR status =
                wrapper->IFOpenDevice(iface->hIface, entry.id.c_str(), kOpenFlags, &hDevice);
            DebugTrace("hDevice: 0x%s", HandleHex(hDevice).c_str());
            if (status != GC_ERR_SUCCESS) {
                report.DeviceNotOpened(entry.id);
                DebugTrace("!!! Can not open device on %s", entry.id.c_str());
                continue;
            }
            auto device = std::make_unique<TQDevice>();
            device->hDevice = hDevice;
            device->hIface = entry.hIface;
            device->wrapper = wrapper.get();
            DeviceInfo deviceInfo;
            device->QueryDeviceInfo(deviceInfo);
            GetPort(*wrapper, *device);

            auto sameDevice = [&deviceInfo](const std::unique_ptr<TQDevice>& kept) {
                DeviceInfo keptInfo;
                kept->QueryDeviceInfo(keptInfo);
                return keptInfo.id == deviceInfo.id;
            };
            if (ListedAlready(devices, sameDevice, "Device Existed")) {
                device.reset();
            } else {
                devices.push_back(std::move(device));
            }
        }
    }

    // Cameras: one per serial number, compared with what each kept camera's registers say.
    for (const std::unique_ptr<TQDevice>& device : devices) {
        GetPort(*wrapper, *device);
        if (!device->hIface) {
            DebugTrace("IFHandle not valid");
        }
        if (!device->hDevice) {
            DebugTrace("DEVHandle not valid");
        }
        auto remote = std::make_unique<TQRemoteDevice>();
        remote->hPort = device->hRemoteDevice;
        remote->hDevice = device->hDevice;
        remote->hIface = device->hIface;
        remote->wrapper = wrapper.get();
        DeviceInfo deviceInfo;
        device->QueryDeviceInfo(deviceInfo);
        remote->deviceId = deviceInfo.id;
        for (const std::unique_ptr<TQInterface>& iface : interfaces) {
            if (iface->hIface == device->hIface)
                remote->interfaceId = iface->id;
        }

        // An empty serial number identifies nothing: two such devices are never one camera.
        auto sameCamera = [&deviceInfo](const std::unique_ptr<TQRemoteDevice>& kept) {
            RemoteDeviceInfo keptInfo;
            kept->ReadRemoteDeviceInfo(keptInfo);
            return !IsBlank(keptInfo.serialNumber) &&
                   keptInfo.serialNumber == deviceInfo.serialNumber;
        };
        if (ListedAlready(remoteDevices, sameCamera, "REMOTEDEV Exited")) {
            remote.reset();
        } else {
            remoteDevices.push_back(std::move(remote));
        }
    }
    return 0;
}
