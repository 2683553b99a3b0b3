#pragma once
// Our declarations of the GenTL C interface: the basic types, the codes the tool uses and the
// signatures of the 22 producer functions that it calls.
#include <cstddef>
#include <cstdint>

#include "platform/GenTLCall.h"

using GC_ERROR = int32_t;
using bool8_t = uint8_t;

using TL_HANDLE = void*;
using IF_HANDLE = void*;
using DEV_HANDLE = void*;
using PORT_HANDLE = void*;
using DS_HANDLE = void*;
using BUFFER_HANDLE = void*;
using EVENT_HANDLE = void*;
using EVENTSRC_HANDLE = void*;

using INFO_DATATYPE = int32_t;
using TL_INFO_CMD = int32_t;
using INTERFACE_INFO_CMD = int32_t;
using DEVICE_INFO_CMD = int32_t;
using DEVICE_ACCESS_FLAGS = int32_t;

enum : GC_ERROR {
    GC_ERR_SUCCESS = 0,
    GC_ERR_ERROR = -1001,
    GC_ERR_NOT_INITIALIZED = -1002,
    GC_ERR_NOT_IMPLEMENTED = -1003,
    GC_ERR_RESOURCE_IN_USE = -1004,
    GC_ERR_ACCESS_DENIED = -1005,
    GC_ERR_INVALID_HANDLE = -1006,
    GC_ERR_INVALID_ID = -1007,
    GC_ERR_NO_DATA = -1008,
    GC_ERR_INVALID_PARAMETER = -1009,
    GC_ERR_IO = -1010,
    GC_ERR_TIMEOUT = -1011,
    GC_ERR_ABORT = -1012,
    GC_ERR_INVALID_BUFFER = -1013,
    GC_ERR_NOT_AVAILABLE = -1014,
    GC_ERR_INVALID_ADDRESS = -1015,
    GC_ERR_BUFFER_TOO_SMALL = -1016,
    GC_ERR_INVALID_INDEX = -1017,
    GC_ERR_PARSING_CHUNK_DATA = -1018,
    GC_ERR_INVALID_VALUE = -1019,
    GC_ERR_RESOURCE_EXHAUSTED = -1020,
    GC_ERR_OUT_OF_MEMORY = -1021,
    GC_ERR_BUSY = -1022,
    GC_ERR_AMBIGUOUS = -1023,
};

enum : int32_t {
    TL_INFO_ID = 0,
    TL_INFO_VENDOR = 1,
    TL_INFO_MODEL = 2,
    TL_INFO_VERSION = 3,
    TL_INFO_TLTYPE = 4,
    TL_INFO_NAME = 5,
    TL_INFO_PATHNAME = 6,
    TL_INFO_DISPLAYNAME = 7,
    TL_INFO_CHAR_ENCODING = 8,
    TL_INFO_GENTL_VER_MAJOR = 9,
    TL_INFO_GENTL_VER_MINOR = 10,
};

enum : int32_t {
    INTERFACE_INFO_ID = 0,
    INTERFACE_INFO_DISPLAYNAME = 1,
    INTERFACE_INFO_TLTYPE = 2,
};

enum : int32_t {
    DEVICE_INFO_ID = 0,
    DEVICE_INFO_VENDOR = 1,
    DEVICE_INFO_MODEL = 2,
    DEVICE_INFO_TLTYPE = 3,
    DEVICE_INFO_DISPLAYNAME = 4,
    DEVICE_INFO_ACCESS_STATUS = 5,
    DEVICE_INFO_USER_DEFINED_NAME = 6,
    DEVICE_INFO_SERIAL_NUMBER = 7,
    DEVICE_INFO_VERSION = 8,
    DEVICE_INFO_TIMESTAMP_FREQUENCY = 9,
};

enum : int32_t {
    INFO_DATATYPE_UNKNOWN = 0,
    INFO_DATATYPE_STRING = 1,
    INFO_DATATYPE_STRINGLIST = 2,
    INFO_DATATYPE_INT16 = 3,
    INFO_DATATYPE_UINT16 = 4,
    INFO_DATATYPE_INT32 = 5,
    INFO_DATATYPE_UINT32 = 6,
    INFO_DATATYPE_INT64 = 7,
    INFO_DATATYPE_UINT64 = 8,
    INFO_DATATYPE_FLOAT64 = 9,
    INFO_DATATYPE_PTR = 10,
    INFO_DATATYPE_BOOL8 = 11,
    INFO_DATATYPE_SIZET = 12,
    INFO_DATATYPE_BUFFER = 13,
    INFO_DATATYPE_PTRDIFF = 14,
};

enum : int32_t {
    DEVICE_ACCESS_UNKNOWN = 0,
    DEVICE_ACCESS_NONE = 1,
    DEVICE_ACCESS_READONLY = 2,
    DEVICE_ACCESS_CONTROL = 3,
    DEVICE_ACCESS_EXCLUSIVE = 4,
};

enum : int32_t {
    DEVICE_ACCESS_STATUS_UNKNOWN = 0,
    DEVICE_ACCESS_STATUS_READWRITE = 1,
    DEVICE_ACCESS_STATUS_READONLY = 2,
    DEVICE_ACCESS_STATUS_NOACCESS = 3,
    DEVICE_ACCESS_STATUS_BUSY = 4,
    DEVICE_ACCESS_STATUS_OPEN_READWRITE = 5,
    DEVICE_ACCESS_STATUS_OPEN_READONLY = 6,
};

enum : int32_t {
    TL_CHAR_ENCODING_ASCII = 0,
    TL_CHAR_ENCODING_UTF8 = 1,
};

constexpr uint64_t GENTL_INFINITE = 0xFFFFFFFFFFFFFFFFull;

// The functions the tool calls.
using PGCInitLib = GC_ERROR(GC_CALLTYPE*)();
using PGCCloseLib = GC_ERROR(GC_CALLTYPE*)();
using PGCReadPort = GC_ERROR(GC_CALLTYPE*)(PORT_HANDLE hPort, uint64_t iAddress, void* pBuffer,
                                           size_t* piSize);
using PGCWritePort = GC_ERROR(GC_CALLTYPE*)(PORT_HANDLE hPort, uint64_t iAddress,
                                            const void* pBuffer, size_t* piSize);
using PTLOpen = GC_ERROR(GC_CALLTYPE*)(TL_HANDLE* phTL);
using PTLClose = GC_ERROR(GC_CALLTYPE*)(TL_HANDLE hTL);
using PTLGetInfo = GC_ERROR(GC_CALLTYPE*)(TL_HANDLE hTL, TL_INFO_CMD iInfoCmd,
                                          INFO_DATATYPE* piType, void* pBuffer, size_t* piSize);
using PTLGetNumInterfaces = GC_ERROR(GC_CALLTYPE*)(TL_HANDLE hTL, uint32_t* piNumIfaces);
using PTLGetInterfaceID = GC_ERROR(GC_CALLTYPE*)(TL_HANDLE hTL, uint32_t iIndex, char* sID,
                                                 size_t* piSize);
using PTLGetInterfaceInfo = GC_ERROR(GC_CALLTYPE*)(TL_HANDLE hTL, const char* sIfaceID,
                                                   INTERFACE_INFO_CMD iInfoCmd,
                                                   INFO_DATATYPE* piType, void* pBuffer,
                                                   size_t* piSize);
using PTLOpenInterface = GC_ERROR(GC_CALLTYPE*)(TL_HANDLE hTL, const char* sIfaceID,
                                                IF_HANDLE* phIface);
using PTLUpdateInterfaceList = GC_ERROR(GC_CALLTYPE*)(TL_HANDLE hTL, bool8_t* pbChanged,
                                                      uint64_t iTimeout);
using PIFClose = GC_ERROR(GC_CALLTYPE*)(IF_HANDLE hIface);
using PIFGetInfo = GC_ERROR(GC_CALLTYPE*)(IF_HANDLE hIface, INTERFACE_INFO_CMD iInfoCmd,
                                          INFO_DATATYPE* piType, void* pBuffer, size_t* piSize);
using PIFGetNumDevices = GC_ERROR(GC_CALLTYPE*)(IF_HANDLE hIface, uint32_t* piNumDevices);
using PIFGetDeviceID = GC_ERROR(GC_CALLTYPE*)(IF_HANDLE hIface, uint32_t iIndex, char* sIDeviceID,
                                              size_t* piSize);
using PIFUpdateDeviceList = GC_ERROR(GC_CALLTYPE*)(IF_HANDLE hIface, bool8_t* pbChanged,
                                                   uint64_t iTimeout);
using PIFGetDeviceInfo = GC_ERROR(GC_CALLTYPE*)(IF_HANDLE hIface, const char* sDeviceID,
                                                DEVICE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                                                void* pBuffer, size_t* piSize);
using PIFOpenDevice = GC_ERROR(GC_CALLTYPE*)(IF_HANDLE hIface, const char* sDeviceID,
                                             DEVICE_ACCESS_FLAGS iOpenFlag, DEV_HANDLE* phDevice);
using PDevGetPort = GC_ERROR(GC_CALLTYPE*)(DEV_HANDLE hDevice, PORT_HANDLE* phRemoteDevice);
using PDevGetInfo = GC_ERROR(GC_CALLTYPE*)(DEV_HANDLE hDevice, DEVICE_INFO_CMD iInfoCmd,
                                           INFO_DATATYPE* piType, void* pBuffer, size_t* piSize);
using PDevClose = GC_ERROR(GC_CALLTYPE*)(DEV_HANDLE hDevice);
