#include "gentl/GenTLContext.h"

#include <utility>

#include "gentl/DebugTrace.h"

GenTLContext::GenTLContext(const std::string& ctiPath)
    : GenTLContext(std::make_unique<TQGenTLWrapper>(ctiPath)) {}

GenTLContext::GenTLContext(std::unique_ptr<TQGenTLWrapper> loaded) : wrapper(std::move(loaded)) {
    DebugTrace("hWrapper: 0x%s", HandleHex(wrapper.get()).c_str());
}

// Closes in opening order. Every close is attempted whatever the one before returned.
GenTLContext::~GenTLContext() {
    // The cameras' ports belong to their devices: nothing to close for them.
    for (std::unique_ptr<TQRemoteDevice>& remote : remoteDevices) {
        remote.reset();
    }
    for (std::unique_ptr<TQDevice>& device : devices) {
        wrapper->DevClose(device->hDevice);
        device.reset();
    }
    for (std::unique_ptr<TQInterface>& iface : interfaces) {
        wrapper->IFClose(iface->hIface);
        iface.reset();
    }
    // Without an enumeration, or after a failed GCInitLib, there is nothing to close.
    if (system) {
        if (system->hTL || closeNullSystem)
            wrapper->TLClose(system->hTL);
        wrapper->GCCloseLib();
        system.reset();
    }
    wrapper.reset();
    systemInfo = SystemInfo();
    interfaceInfos.clear();
    interfaces.clear();
    deviceInfos.clear();
    devices.clear();
    remoteDevices.clear();
}
