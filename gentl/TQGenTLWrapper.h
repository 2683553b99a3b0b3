#pragma once
#include <functional>
#include <string>

#include "gentl/GenTL.h"

// Thrown by the constructor when a producer cannot be used: the library does not load, or it
// lacks a function that the tool calls. consoleMessage is ready for the operator (ends in "\n").
struct ProducerLoadError {
    std::string consoleMessage;
};

// The loaded producer library, its entry points in a fixed slot order, and one logged call per
// producer function that the tool uses: each calls the producer, leaves exactly one trace line
// and returns the producer's result unchanged.
class TQGenTLWrapper {
public:
    static constexpr int kSlotCount = 58;        // slot 0: the library handle; 1..57: entry points
    static const char* EntryPointName(int slot); // the GenTL name of slot 1..57

    // Loads the producer file and resolves its entry points; throws ProducerLoadError. The
    // library is never unloaded once its entry points are resolved.
    explicit TQGenTLWrapper(const std::string& path);
    // An in-process producer (tests): every entry point comes from `resolve`, and no library
    // is loaded or freed. Throws ProducerLoadError like the loading constructor.
    using SymbolSource = std::function<void*(const char* name)>;
    explicit TQGenTLWrapper(const SymbolSource& resolve);
    ~TQGenTLWrapper();
    TQGenTLWrapper(const TQGenTLWrapper&) = delete;
    TQGenTLWrapper& operator=(const TQGenTLWrapper&) = delete;

    GC_ERROR GCInitLib();
    GC_ERROR GCCloseLib();
    GC_ERROR GCReadPort(PORT_HANDLE hPort, uint64_t iAddress, void* pBuffer, size_t* piSize);
    GC_ERROR GCWritePort(PORT_HANDLE hPort, uint64_t iAddress, const void* pBuffer, size_t* piSize);
    GC_ERROR TLOpen(TL_HANDLE* phTL);
    GC_ERROR TLClose(TL_HANDLE hTL);
    GC_ERROR TLGetInfo(TL_HANDLE hTL, TL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                       size_t* piSize);
    GC_ERROR TLGetNumInterfaces(TL_HANDLE hTL, uint32_t* piNumIfaces);
    GC_ERROR TLGetInterfaceID(TL_HANDLE hTL, uint32_t iIndex, char* sID, size_t* piSize);
    GC_ERROR TLGetInterfaceInfo(TL_HANDLE hTL, const char* sIfaceID, INTERFACE_INFO_CMD iInfoCmd,
                                INFO_DATATYPE* piType, void* pBuffer, size_t* piSize);
    GC_ERROR TLOpenInterface(TL_HANDLE hTL, const char* sIfaceID, IF_HANDLE* phIface);
    GC_ERROR TLUpdateInterfaceList(TL_HANDLE hTL, bool8_t* pbChanged, uint64_t iTimeout);
    GC_ERROR IFClose(IF_HANDLE hIface);
    GC_ERROR IFGetInfo(IF_HANDLE hIface, INTERFACE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                       void* pBuffer, size_t* piSize);
    GC_ERROR IFGetNumDevices(IF_HANDLE hIface, uint32_t* piNumDevices);
    GC_ERROR IFGetDeviceID(IF_HANDLE hIface, uint32_t iIndex, char* sIDeviceID, size_t* piSize);
    GC_ERROR IFUpdateDeviceList(IF_HANDLE hIface, bool8_t* pbChanged, uint64_t iTimeout);
    GC_ERROR IFGetDeviceInfo(IF_HANDLE hIface, const char* sDeviceID, DEVICE_INFO_CMD iInfoCmd,
                             INFO_DATATYPE* piType, void* pBuffer, size_t* piSize);
    GC_ERROR IFOpenDevice(IF_HANDLE hIface, const char* sDeviceID, DEVICE_ACCESS_FLAGS iOpenFlag,
                          DEV_HANDLE* phDevice);
    GC_ERROR DevGetPort(DEV_HANDLE hDevice, PORT_HANDLE* phRemoteDevice);
    GC_ERROR DevGetInfo(DEV_HANDLE hDevice, DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                        void* pBuffer, size_t* piSize);
    GC_ERROR DevClose(DEV_HANDLE hDevice);

private:
    void* slots[kSlotCount] = {};
};
