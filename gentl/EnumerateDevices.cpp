#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gentl/DebugTrace.h"
#include "gentl/GenTLContext.h"
#include "gentl/Listed.h"

namespace {
constexpr DEVICE_ACCESS_FLAGS kOpenFlags = DEVICE_ACCESS_CONTROL;

// Port of an opened device; a null port is traced but kept, so its camera still shows up.
GC_ERROR GetPort(TQGenTLWrapper& wrapper, TQDevice& device) {
    const GC_ERROR status = wrapper.DevGetPort(device.hDevice, &device.hRemoteDevice);
    if (!device.hRemoteDevice) {
        DebugTrace("PortHandle not valid");
    }
    DebugTrace("hRemoteDevice: 0x%s", HandleHex(device.hRemoteDevice).c_str());
    return status;
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}
} // namespace

int32_t GenTLContext::EnumerateDevices(EnumerationReport& report, const EnumerationRules& rules) {
    using Kind = EnumerationProblem::Kind;
    closeNullSystem = !rules.strict;
    // Library and system.
    system = std::make_unique<TQSystem>();
    system->wrapper = wrapper.get();
    GC_ERROR status = wrapper->GCInitLib();
    if (status != GC_ERR_SUCCESS && rules.strict) {
        system.reset(); // nothing to close
        report.ProducerNotStarted("GCInitLib", status);
        return -1;
    }
    status = wrapper->TLOpen(&system->hTL);
    if (!system->hTL) {
        DebugTrace("TLHandle not valid");
    }
    DebugTrace("hSystem: 0x%s", HandleHex(system->hTL).c_str());
    if (status != GC_ERR_SUCCESS && rules.strict) {
        system->hTL = nullptr;
        report.ProducerNotStarted("TLOpen", status);
        return -1;
    }
    system->QuerySystemInfo(systemInfo);

    // Interfaces.
    uint32_t interfaceCount = 0;
    const char* failed = "";
    status = system->EnumInterfaces(interfaceCount, failed);
    if (status != GC_ERR_SUCCESS && rules.strict) {
        report.ProducerNotStarted(failed, status);
        return -1;
    }
    if (interfaceCount == 0) {
        report.NoInterfaceFound();
        DebugTrace("!!!No Interface Found!!!");
        return -1;
    }
    system->GetInterfacesInfo(interfaceInfos, [&](uint32_t index, GC_ERROR code) {
        report.Problem({Kind::InterfaceNotIdentified, "", "", index, "TLGetInterfaceID", code});
        return rules.strict;
    });
    for (const InterfaceInfo& entry : interfaceInfos) {
        // The command line opens an interface by the ID the list gave: a failed information
        // command leaves no ID of its own.
        const std::string& id = rules.strict ? entry.listedId : entry.id;
        IF_HANDLE hIface = nullptr;
        // A failed open still goes through the device count, which then fails on the null handle.
        const GC_ERROR opened = wrapper->TLOpenInterface(system->hTL, id.c_str(), &hIface);
        DebugTrace("hInterface: 0x%s", HandleHex(hIface).c_str());
        if (opened != GC_ERR_SUCCESS) {
            report.Problem({Kind::InterfaceNotOpened, id, "", 0, "TLOpenInterface", opened});
        }
        auto iface = std::make_unique<TQInterface>();
        iface->id = id;
        iface->hIface = hIface;
        iface->wrapper = wrapper.get();

        uint32_t deviceCount = 0;
        status = iface->EnumDevices(deviceCount, failed);
        if (deviceCount == 0) {
            if (status != GC_ERR_SUCCESS && opened == GC_ERR_SUCCESS) {
                report.Problem({Kind::DevicesNotListed, id, "", 0, failed, status});
            }
            DebugTrace("!!!No Device found!!!");
            wrapper->IFClose(hIface);
            iface.reset();
            continue;
        }
        DebugTrace("Device found");
        auto sameInterface = [&id](const std::unique_ptr<TQInterface>& kept) {
            InterfaceInfo keptInfo;
            kept->QueryInterfaceInfo(keptInfo);
            return keptInfo.id == id;
        };
        if (ListedAlready(interfaces, sameInterface, "Interface Existed")) {
            iface.reset();
        } else {
            interfaces.push_back(std::move(iface));
        }
    }

    // Devices: each interface opens the devices it listed itself.
    for (const std::unique_ptr<TQInterface>& iface : interfaces) {
        deviceInfos.clear();
        iface->GetDevicesInfo(deviceInfos, [&](uint32_t index, GC_ERROR code) {
            report.Problem(
                {Kind::DeviceNotIdentified, iface->id, "", index, "IFGetDeviceID", code});
            return rules.strict;
        });
        for (const DeviceInfo& entry : deviceInfos) {
            const std::string& id = entry.Id();
            DEV_HANDLE hDevice = nullptr;
            GC_ERROR status =
                wrapper->IFOpenDevice(iface->hIface, id.c_str(), kOpenFlags, &hDevice);
            DebugTrace("hDevice: 0x%s", HandleHex(hDevice).c_str());
            if (status != GC_ERR_SUCCESS) {
                report.DeviceNotOpened(id);
                // In use, with a device of this ID open here: the same one, through another
                // interface, and its camera is listed.
                auto sameId = [&entry](const std::unique_ptr<TQDevice>& kept) {
                    return kept->listedId == entry.listedId;
                };
                if (status != GC_ERR_RESOURCE_IN_USE ||
                    std::none_of(devices.begin(), devices.end(), sameId)) {
                    report.Problem(
                        {Kind::DeviceNotOpened, iface->id, id, 0, "IFOpenDevice", status});
                }
                DebugTrace("!!! Can not open device on %s", id.c_str());
                continue;
            }
            auto device = std::make_unique<TQDevice>();
            device->hDevice = hDevice;
            device->hIface = entry.hIface;
            device->wrapper = wrapper.get();
            device->listedId = entry.listedId;
            DeviceInfo deviceInfo;
            device->QueryDeviceInfo(deviceInfo);
            // Without its port the camera can be neither identified nor written.
            status = GetPort(*wrapper, *device);
            if (status != GC_ERR_SUCCESS && rules.strict) {
                report.Problem({Kind::CameraNotReached, iface->id, id, 0, "DevGetPort", status});
                wrapper->DevClose(hDevice);
                continue;
            }

            auto sameDevice = [&deviceInfo](const std::unique_ptr<TQDevice>& kept) {
                DeviceInfo keptInfo;
                kept->QueryDeviceInfo(keptInfo);
                return keptInfo.Id() == deviceInfo.Id();
            };
            if (ListedAlready(devices, sameDevice, "Device Existed")) {
                wrapper->DevClose(device->hDevice);
                device.reset();
            } else {
                devices.push_back(std::move(device));
            }
        }
    }

    // Cameras: a device that reaches a camera already listed is closed at once.
    for (size_t n = 0; n < devices.size();) {
        TQDevice& device = *devices[n];
        if (!rules.strict) // the interactive run asks for the port again
            GetPort(*wrapper, device);
        if (!device.hIface) {
            DebugTrace("IFHandle not valid");
        }
        if (!device.hDevice) {
            DebugTrace("DEVHandle not valid");
        }
        auto remote = std::make_unique<TQRemoteDevice>();
        remote->hPort = device.hRemoteDevice;
        remote->hDevice = device.hDevice;
        remote->hIface = device.hIface;
        remote->wrapper = wrapper.get();
        DeviceInfo deviceInfo;
        device.QueryDeviceInfo(deviceInfo);
        remote->identity.deviceId = deviceInfo.Id();
        remote->identity.listedDeviceId = device.listedId;
        for (const std::unique_ptr<TQInterface>& iface : interfaces) {
            if (iface->hIface == device.hIface)
                remote->identity.interfaceId = iface->id;
        }

        // An empty serial number identifies nothing: two such devices are never one camera.
        RemoteDeviceInfo& identity = remote->identity;
        bool duplicate = false;
        if (rules.sameSerialRegisters) {
            remote->ReadRemoteDeviceInfo(identity, kSerialNumberRegister);
            auto sameSerial = [&identity](const std::unique_ptr<TQRemoteDevice>& kept) {
                return !IsBlank(kept->identity.serialNumber) &&
                       kept->identity.serialNumber == identity.serialNumber;
            };
            duplicate = ListedAlready(remoteDevices, sameSerial, "REMOTEDEV Exited");
            // A kept camera is read whole, once: its identity serves every later step.
            if (!duplicate)
                remote->ReadRemoteDeviceInfo(identity, kAllRegisters & ~kSerialNumberRegister);
        } else {
            auto sameCamera = [&deviceInfo](const std::unique_ptr<TQRemoteDevice>& kept) {
                RemoteDeviceInfo keptInfo;
                kept->ReadRemoteDeviceInfo(keptInfo);
                return !IsBlank(keptInfo.serialNumber) &&
                       keptInfo.serialNumber == deviceInfo.serialNumber;
            };
            duplicate = ListedAlready(remoteDevices, sameCamera, "REMOTEDEV Exited");
        }
        if (duplicate) {
            wrapper->DevClose(device.hDevice);
            devices.erase(devices.begin() + static_cast<std::ptrdiff_t>(n));
            continue;
        }
        remoteDevices.push_back(std::move(remote));
        ++n;
    }
    return 0;
}
