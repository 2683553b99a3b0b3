#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gentl/DebugTrace.h"
#include "tests/gentl/FakeProducer.h"

namespace {
using Lines = std::vector<std::string>;

const std::string kTL = "0000000000007100";
const std::string kIface = "0000000000007200";
const std::string kDevice = "0000000000007400";
const std::string kPort = "0000000000008400";

struct CallCase {
    const char* function;
    std::function<GC_ERROR(TQGenTLWrapper&)> call;
    std::string success;
    std::string failure;
};

// One interface with one device, already opened, so every handle in the table is live.
void PrepareProducer() {
    fake::Producer& p = fake::Reset();
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}};
    p.devices["DEV-A"].serial = "SN-A";
    p.openedDevices = {"DEV-A"};
}

std::vector<CallCase> Cases() {
    void* tl = fake::kSystemHandle;
    void* iface = fake::InterfaceHandle(0);
    void* device = fake::DeviceHandle(0);
    void* port = fake::PortHandle(0);
    const std::string w = "TQGenTLWrapper::";
    return {
        {"GCInitLib", [](TQGenTLWrapper& g) { return g.GCInitLib(); }, w + "GCInitLib Successful!",
         w + "GCInitLib Failed!"},
        {"GCCloseLib", [](TQGenTLWrapper& g) { return g.GCCloseLib(); },
         w + "GCCloseLib Successful", w + "GCCloseLib Failed!"},
        {"GCReadPort",
         [port](TQGenTLWrapper& g) {
             char buffer[32] = {};
             size_t size = sizeof buffer;
             return g.GCReadPort(port, 0x2020, buffer, &size);
         },
         w + "GCReadPort hPort:0x" + kPort + " Address:0x0000000000002020",
         w + "GCReadPort Failed! hPort:0x" + kPort + " Address:0x0000000000002020"},
        {"GCWritePort",
         [port](TQGenTLWrapper& g) {
             const char data[4] = {1, 2, 3, 4};
             size_t size = sizeof data;
             return g.GCWritePort(port, 0x70000400, data, &size);
         },
         w + "GCWritePort hPort:0x" + kPort + " Address:0x70000400",
         w + "GCWritePort Failed! hPort:0x" + kPort + " Address:0x70000400"},
        {"TLOpen",
         [](TQGenTLWrapper& g) {
             TL_HANDLE h = nullptr;
             return g.TLOpen(&h);
         },
         w + "TLOpen hTL:0x" + kTL, w + "TLOpen Failed!"},
        {"TLClose", [tl](TQGenTLWrapper& g) { return g.TLClose(tl); }, w + "TLClose hTL:0x" + kTL,
         w + "TLClose Failed! hTL:0x" + kTL},
        {"TLGetInfo",
         [tl](TQGenTLWrapper& g) {
             char buffer[256] = {};
             size_t size = sizeof buffer;
             INFO_DATATYPE type = 0;
             return g.TLGetInfo(tl, TL_INFO_VERSION, &type, buffer, &size);
         },
         w + "TLGetInfo hTL:0x" + kTL + " iInfoCmd:3",
         w + "TLGetInfo Failed! hTL:0x" + kTL + " iInfoCmd:3"},
        {"TLGetNumInterfaces",
         [tl](TQGenTLWrapper& g) {
             uint32_t n = 0;
             return g.TLGetNumInterfaces(tl, &n);
         },
         w + "TLGetNumInterfaces hTL:0x" + kTL + " iNumIfaces:1",
         w + "TLGetNumInterfaces Failed! hTL:0x" + kTL},
        {"TLGetInterfaceID",
         [tl](TQGenTLWrapper& g) {
             char id[256] = {};
             size_t size = sizeof id;
             return g.TLGetInterfaceID(tl, 0, id, &size);
         },
         w + "TLGetInterfaceID hTL:0x" + kTL + " iIndex:0  sID:IF-A",
         w + "TLGetInterfaceID Failed! hTL:0x" + kTL + " iIndex:0"},
        {"TLGetInterfaceInfo",
         [tl](TQGenTLWrapper& g) {
             char buffer[256] = {};
             size_t size = sizeof buffer;
             INFO_DATATYPE type = 0;
             return g.TLGetInterfaceInfo(tl, "IF-A", INTERFACE_INFO_DISPLAYNAME, &type, buffer,
                                         &size);
         },
         w + "TLGetInterfaceInfo hTL:0x" + kTL + " sID:IF-A iInfoCmd:1",
         w + "TLGetInterfaceInfo Failed! hTL:0x" + kTL + " sID:IF-A iInfoCmd:1"},
        {"TLOpenInterface",
         [tl](TQGenTLWrapper& g) {
             IF_HANDLE h = nullptr;
             return g.TLOpenInterface(tl, "IF-A", &h);
         },
         w + "TLOpenInterface hTL:0x" + kTL + " sID:IF-A hIface:0x" + kIface,
         w + "TLOpenInterface Failed! hTL:0x" + kTL + " sID:IF-A"},
        {"TLUpdateInterfaceList",
         [tl](TQGenTLWrapper& g) {
             bool8_t changed = 0;
             return g.TLUpdateInterfaceList(tl, &changed, 1000);
         },
         w + "TLUpdateInterfaceList hTL:0x" + kTL + " bChanged:1",
         w + "TLUpdateInterfaceList Failed! hTL:0x" + kTL},
        {"IFClose", [iface](TQGenTLWrapper& g) { return g.IFClose(iface); },
         w + "IFClose hIface:0x" + kIface, w + "IFClose Failed! hIface:0x" + kIface},
        {"IFGetInfo",
         [iface](TQGenTLWrapper& g) {
             char buffer[128] = {};
             size_t size = sizeof buffer;
             INFO_DATATYPE type = 0;
             return g.IFGetInfo(iface, INTERFACE_INFO_TLTYPE, &type, buffer, &size);
         },
         w + "IFGetInfo hIface:0x" + kIface + " iInfoCmd:2",
         w + "IFGetInfo Failed! hIface:0x" + kIface + " iInfoCmd:2"},
        {"IFGetNumDevices",
         [iface](TQGenTLWrapper& g) {
             uint32_t n = 0;
             return g.IFGetNumDevices(iface, &n);
         },
         w + "IFGetNumDevices hIface:0x" + kIface + " iNumDevices:1",
         w + "IFGetNumDevices Failed! hIface:0x" + kIface + " "},
        {"IFGetDeviceID",
         [iface](TQGenTLWrapper& g) {
             char id[128] = {};
             size_t size = sizeof id;
             return g.IFGetDeviceID(iface, 0, id, &size);
         },
         w + "IFGetDeviceID hIface:0x" + kIface + " iIndex:0 sIDeviceID:DEV-A",
         w + "IFGetDeviceID Failed! hIface:0x" + kIface + " iIndex:0 sIDeviceID:"},
        {"IFUpdateDeviceList",
         [iface](TQGenTLWrapper& g) {
             bool8_t changed = 0;
             return g.IFUpdateDeviceList(iface, &changed, 3000);
         },
         w + "IFUpdateDeviceList hIface:0x" + kIface + " bChanged:1",
         w + "IFUpdateDeviceList Failed! hIface:0x" + kIface},
        {"IFGetDeviceInfo",
         [iface](TQGenTLWrapper& g) {
             char buffer[128] = {};
             size_t size = sizeof buffer;
             INFO_DATATYPE type = 0;
             return g.IFGetDeviceInfo(iface, "DEV-A", DEVICE_INFO_SERIAL_NUMBER, &type, buffer,
                                      &size);
         },
         w + "IFGetDeviceInfo hIface:0x" + kIface + " sDeviceID:DEV-A iInfoCmd:7",
         w + "IFGetDeviceInfo Failed! hIface:0x" + kIface + " sDeviceID:DEV-A iInfoCmd:7"},
        {"IFOpenDevice",
         [iface](TQGenTLWrapper& g) {
             DEV_HANDLE h = nullptr;
             return g.IFOpenDevice(iface, "DEV-A", DEVICE_ACCESS_CONTROL, &h);
         },
         // The fake hands out the next device handle: one device is open already.
         w + "IFOpenDevice hIface:0x" + kIface + " sDeviceID:DEV-A Flags:0x3 hDevice:0x" +
             "0000000000007410",
         w + "IFOpenDevice Failed! hIface:0x" + kIface + " sDeviceID:DEV-A Flags:0x3"},
        {"DevGetPort",
         [device](TQGenTLWrapper& g) {
             PORT_HANDLE h = nullptr;
             return g.DevGetPort(device, &h);
         },
         w + "DevGetPort hDevice:0x" + kDevice + " hRemoteDevice:0x" + kPort,
         w + "DevGetPort Failed! hDevice:0x" + kDevice},
        {"DevGetInfo",
         [device](TQGenTLWrapper& g) {
             uint64_t frequency = 0;
             size_t size = sizeof frequency;
             INFO_DATATYPE type = 0;
             return g.DevGetInfo(device, DEVICE_INFO_TIMESTAMP_FREQUENCY, &type, &frequency, &size);
         },
         w + "DevGetInfo hDevice:0x" + kDevice + " iInfoCmd:9",
         w + "DevGetInfo Failed! hDevice:0x" + kDevice + " iInfoCmd:9"},
        {"DevClose", [device](TQGenTLWrapper& g) { return g.DevClose(device); },
         w + "DevClose hDevice:0x" + kDevice, w + "DevClose Failed! hDevice:0x" + kDevice},
    };
}
} // namespace

TEST(TQGenTLWrapper, EachLoggedCallLeavesItsOneSuccessOrFailureLine) {
    std::vector<CallCase> cases = Cases();
    ASSERT_EQ(cases.size(), 22u);
    for (const CallCase& c : cases) {
        SCOPED_TRACE(c.function);
        PrepareProducer();
        TQGenTLWrapper wrapper(fake::Symbols());
        {
            fake::TraceCapture trace;
            EXPECT_EQ(c.call(wrapper), GC_ERR_SUCCESS);
            EXPECT_EQ(trace.lines, Lines{c.success});
        }
        fake::State().faults[c.function] = {0, GC_ERR_IO};
        {
            fake::TraceCapture trace;
            EXPECT_EQ(c.call(wrapper), GC_ERR_IO); // the producer's code, unchanged
            EXPECT_EQ(trace.lines, Lines{c.failure});
        }
        EXPECT_EQ(fake::State().callCounts[c.function], 2);
    }
}

TEST(TQGenTLWrapper, RefusesProducerLackingACalledFunctionAndAcceptsOlderOnes) {
    fake::Producer& p = fake::Reset();
    p.omitted = {"DevClose", "GCReadPort"};
    {
        fake::TraceCapture trace;
        try {
            TQGenTLWrapper wrapper(fake::Symbols());
            FAIL() << "a producer without DevClose was accepted";
        } catch (const ProducerLoadError& error) {
            EXPECT_NE(error.consoleMessage.find("GCReadPort, DevClose"), std::string::npos)
                << error.consoleMessage;
            EXPECT_EQ(error.consoleMessage.back(), '\n');
        }
        EXPECT_EQ(trace.lines,
                  (Lines{"GetProcAddress Failed! File:(in-process producer) Function:GCReadPort",
                         "GetProcAddress Failed! File:(in-process producer) Function:DevClose"}));
    }
    EXPECT_TRUE(p.calls.empty()) << "nothing of a refused producer may run";

    // An older producer: none of the later additions, no library information, no events.
    p.omitted.clear();
    for (int slot = 48; slot < TQGenTLWrapper::kSlotCount; ++slot) {
        p.omitted.insert(TQGenTLWrapper::kEntryPointNames[slot]);
    }
    p.omitted.insert({"GCGetInfo", "GCGetLastError", "EventKill", "DSClose"});
    fake::TraceCapture trace;
    TQGenTLWrapper wrapper(fake::Symbols());
    EXPECT_TRUE(trace.lines.empty());
    EXPECT_EQ(wrapper.GCInitLib(), GC_ERR_SUCCESS);
}

TEST(TQGenTLWrapper, EntryPointNamesFollowTheSlotOrder) {
    const char* const* names = TQGenTLWrapper::kEntryPointNames;
    EXPECT_EQ(names[0], nullptr);
    EXPECT_STREQ(names[1], "GCGetInfo");
    EXPECT_STREQ(names[3], "GCInitLib");
    EXPECT_STREQ(names[16], "TLOpen");
    EXPECT_STREQ(names[30], "IFOpenDevice");
    EXPECT_STREQ(names[35], "DevGetInfo");
    EXPECT_STREQ(names[36], "DevClose");
    EXPECT_STREQ(names[48], "GCGetNumPortURLs");
    EXPECT_STREQ(names[57], "DSGetBufferPartInfo");
}

TEST(TQGenTLWrapper, UnloadableFileIsReportedWithItsNameAndReason) {
    const std::string path = "./no-such-producer.cti";
    fake::TraceCapture trace;
    try {
        TQGenTLWrapper wrapper(path);
        FAIL() << "a missing file loaded";
    } catch (const ProducerLoadError& error) {
        EXPECT_NE(error.consoleMessage.find(path), std::string::npos) << error.consoleMessage;
        // The platform's reason follows the name.
        EXPECT_GT(error.consoleMessage.size(), error.consoleMessage.find(path) + path.size() + 3);
    }
    ASSERT_EQ(trace.lines.size(), 1u);
    const std::string prefix = "LoadLibrary Failed! File:" + path + " Error:0x";
    ASSERT_EQ(trace.lines[0].compare(0, prefix.size(), prefix), 0) << trace.lines[0];
    std::string code = trace.lines[0].substr(prefix.size());
    EXPECT_FALSE(code.empty());
    EXPECT_EQ(code.find_first_not_of("-0123456789"), std::string::npos) << code;
}

TEST(BoundedText, StopsAtTheFirstZeroAndNeverPassesTheWidth) {
    const char full[4] = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(BoundedText(full, 4), "ABCD");
    EXPECT_EQ(BoundedText(full, 2), "AB");
    const char inner[6] = {'x', 0, 'y', 0, 0, 0};
    EXPECT_EQ(BoundedText(inner, 6), "x");
    const char bytes[3] = {'\xff', ' ', 0};
    EXPECT_EQ(BoundedText(bytes, 3), "\xff "); // kept as is: no trimming, no conversion
    EXPECT_EQ(BoundedText(nullptr, 8), "");
}
