#pragma once
#include <cstdint>
#include <string>

#include "gentl/GenTL.h"

// What the producer reports about its system (TLGetInfo).
struct SystemInfo {
    const void* hWrapper = nullptr;
    std::string id;
    std::string vendor;
    std::string model;
    std::string version;
    std::string tlType;
    std::string name;
    std::string pathName;
    std::string displayName;
    int32_t charEncoding = 0;
    uint32_t genTLVersionMajor = 0;
    uint32_t genTLVersionMinor = 0;
};

// One interface (TLGetInterfaceInfo or IFGetInfo).
struct InterfaceInfo {
    TL_HANDLE hTL = nullptr;
    std::string listedId; // as TLGetInterfaceID gave it
    std::string id;
    std::string displayName;
    std::string tlType;
};

// One device as the producer sees it (IFGetDeviceInfo or DevGetInfo).
struct DeviceInfo {
    IF_HANDLE hIface = nullptr;
    std::string listedId; // as IFGetDeviceID gave it
    std::string id;       // empty when the information command failed
    std::string vendor;
    std::string model;
    std::string displayName;
    std::string tlType;
    int32_t accessStatus = 0;
    std::string userDefinedName;
    std::string serialNumber;
    std::string version;
    uint64_t timestampFrequency = 0;
    // What tells devices apart: the producer's device ID, else the one the interface listed.
    const std::string& Id() const { return id.empty() ? listedId : id; }
};

// The value of bootstrap register 0x0000 in every CoaXPress device.
constexpr uint32_t kCoaXPressStandard = 0xC0A79AE5;

// A camera's identity: where the producer found it, and its own bootstrap registers.
struct RemoteDeviceInfo {
    DEV_HANDLE hDevice = nullptr;
    std::string interfaceId; // as the producer reports them
    std::string deviceId;
    std::string listedDeviceId;   // as the interface listed the device (IFGetDeviceID)
    uint32_t standard = 0;        // 0x0000, 4 bytes big-endian
    std::string vendor;           // 0x2000, 32 bytes
    std::string model;            // 0x2020, 32
    std::string manufacturerInfo; // 0x2040, 48
    std::string deviceVersion;    // 0x2070, 32
    std::string serialNumber;     // 0x20B0, 16
    std::string userId;           // 0x20C0, 16
    // A failed read leaves its text empty; these tell that apart from an empty register.
    bool standardUnreadable = false;
    bool vendorUnreadable = false;
    bool modelUnreadable = false;
    bool manufacturerInfoUnreadable = false;
    bool deviceVersionUnreadable = false;
    bool serialNumberUnreadable = false;
    bool userIdUnreadable = false;
    bool IsCoaXPress() const { return !standardUnreadable && standard == kCoaXPressStandard; }
};

// The registers a reading of RemoteDeviceInfo covers, as bits; it reads them in address order
// and leaves the others as they were.
using IdentityRegisters = unsigned;
constexpr IdentityRegisters kStandardRegister = 1u << 0;
constexpr IdentityRegisters kVendorRegister = 1u << 1;
constexpr IdentityRegisters kModelRegister = 1u << 2;
constexpr IdentityRegisters kManufacturerInfoRegister = 1u << 3;
constexpr IdentityRegisters kDeviceVersionRegister = 1u << 4;
constexpr IdentityRegisters kSerialNumberRegister = 1u << 5;
constexpr IdentityRegisters kUserIdRegister = 1u << 6;
// What the interactive run shows of a camera.
constexpr IdentityRegisters kShownRegisters =
    kModelRegister | kManufacturerInfoRegister | kSerialNumberRegister;
constexpr IdentityRegisters kAllRegisters = (1u << 7) - 1;

// Text of a producer buffer or a register: the bytes up to the first zero, never more than
// the width.
std::string BoundedText(const char* buffer, size_t width);
