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

// Scratch arguments for the calls; the fake writes its answers here.
struct Args {
    char buffer[256] = {};
    size_t size = 0;
    INFO_DATATYPE type = 0;
    uint32_t count = 0;
    bool8_t changed = 0;
    void* handle = nullptr;
    size_t* Size(size_t capacity) { return &(size = capacity); }
};

struct CallCase {
    const char* function;
    std::function<GC_ERROR(TQGenTLWrapper&, Args&)> call;
    std::string success;
    std::string failure; // "" stands for the success text with " Failed!" after the name
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
    void* ifc = fake::InterfaceHandle(0);
    void* dev = fake::DeviceHandle(0);
    void* port = fake::PortHandle(0);
    using W = TQGenTLWrapper;
    const std::string hTL = "hTL:0x" + kTL, hIface = "hIface:0x" + kIface;
    const std::string hDevice = "hDevice:0x" + kDevice, hPort = "hPort:0x" + kPort;
    return {
        {"GCInitLib", [](W& g, Args&) { return g.GCInitLib(); }, "Successful!", "Failed!"},
        {"GCCloseLib", [](W& g, Args&) { return g.GCCloseLib(); }, "Successful", "Failed!"},
        {"GCReadPort",
         [=](W& g, Args& a) { return g.GCReadPort(port, 0x2020, a.buffer, a.Size(32)); },
         hPort + " Address:0x0000000000002020", ""},
        {"GCWritePort",
         [=](W& g, Args& a) { return g.GCWritePort(port, 0x70000400, a.buffer, a.Size(4)); },
         hPort + " Address:0x70000400", ""},
        {"TLOpen", [](W& g, Args& a) { return g.TLOpen(&a.handle); }, hTL, "Failed!"},
        {"TLClose", [=](W& g, Args&) { return g.TLClose(tl); }, hTL, ""},
        {"TLGetInfo",
         [=](W& g, Args& a) { return g.TLGetInfo(tl, 3, &a.type, a.buffer, a.Size(256)); },
         hTL + " iInfoCmd:3", ""},
        {"TLGetNumInterfaces", [=](W& g, Args& a) { return g.TLGetNumInterfaces(tl, &a.count); },
         hTL + " iNumIfaces:1", "Failed! " + hTL},
        {"TLGetInterfaceID",
         [=](W& g, Args& a) { return g.TLGetInterfaceID(tl, 0, a.buffer, a.Size(256)); },
         hTL + " iIndex:0  sID:IF-A", "Failed! " + hTL + " iIndex:0"},
        {"TLGetInterfaceInfo",
         [=](W& g, Args& a) {
             return g.TLGetInterfaceInfo(tl, "IF-A", 1, &a.type, a.buffer, a.Size(256));
         },
         hTL + " sID:IF-A iInfoCmd:1", ""},
        {"TLOpenInterface", [=](W& g, Args& a) { return g.TLOpenInterface(tl, "IF-A", &a.handle); },
         hTL + " sID:IF-A hIface:0x" + kIface, "Failed! " + hTL + " sID:IF-A"},
        {"TLUpdateInterfaceList",
         [=](W& g, Args& a) { return g.TLUpdateInterfaceList(tl, &a.changed, 1000); },
         hTL + " bChanged:1", "Failed! " + hTL},
        {"IFClose", [=](W& g, Args&) { return g.IFClose(ifc); }, hIface, ""},
        {"IFGetInfo",
         [=](W& g, Args& a) { return g.IFGetInfo(ifc, 2, &a.type, a.buffer, a.Size(128)); },
         hIface + " iInfoCmd:2", ""},
        {"IFGetNumDevices", [=](W& g, Args& a) { return g.IFGetNumDevices(ifc, &a.count); },
         hIface + " iNumDevices:1", "Failed! " + hIface + " "},
        {"IFGetDeviceID",
         [=](W& g, Args& a) { return g.IFGetDeviceID(ifc, 0, a.buffer, a.Size(128)); },
         hIface + " iIndex:0 sIDeviceID:DEV-A", "Failed! " + hIface + " iIndex:0 sIDeviceID:"},
        {"IFUpdateDeviceList",
         [=](W& g, Args& a) { return g.IFUpdateDeviceList(ifc, &a.changed, 3000); },
         hIface + " bChanged:1", "Failed! " + hIface},
        {"IFGetDeviceInfo",
         [=](W& g, Args& a) {
             return g.IFGetDeviceInfo(ifc, "DEV-A", 7, &a.type, a.buffer, a.Size(128));
         },
         hIface + " sDeviceID:DEV-A iInfoCmd:7", ""},
        // The fake hands out the next device handle: one device is open already.
        {"IFOpenDevice", [=](W& g, Args& a) { return g.IFOpenDevice(ifc, "DEV-A", 3, &a.handle); },
         hIface + " sDeviceID:DEV-A Flags:0x3 hDevice:0x0000000000007410",
         "Failed! " + hIface + " sDeviceID:DEV-A Flags:0x3"},
        {"DevGetPort", [=](W& g, Args& a) { return g.DevGetPort(dev, &a.handle); },
         hDevice + " hRemoteDevice:0x" + kPort, "Failed! " + hDevice},
        {"DevGetInfo",
         [=](W& g, Args& a) { return g.DevGetInfo(dev, 9, &a.type, a.buffer, a.Size(8)); },
         hDevice + " iInfoCmd:9", ""},
        {"DevClose", [=](W& g, Args&) { return g.DevClose(dev); }, hDevice, ""},
    };
}
} // namespace

TEST(TQGenTLWrapper, EachLoggedCallLeavesItsOneSuccessOrFailureLine) {
    std::vector<CallCase> cases = Cases();
    ASSERT_EQ(cases.size(), 22u);
    for (const CallCase& c : cases) {
        SCOPED_TRACE(c.function);
        const std::string name = std::string("TQGenTLWrapper::") + c.function + " ";
        const std::string failure = c.failure.empty() ? "Failed! " + c.success : c.failure;
        PrepareProducer();
        TQGenTLWrapper wrapper(fake::Symbols());
        Args args;
        {
            fake::TraceCapture trace;
            EXPECT_EQ(c.call(wrapper, args), GC_ERR_SUCCESS);
            EXPECT_EQ(trace.lines, Lines{name + c.success});
        }
        fake::State().faults[c.function] = {0, GC_ERR_IO};
        Args fresh;
        {
            fake::TraceCapture trace;
            EXPECT_EQ(c.call(wrapper, fresh), GC_ERR_IO); // the producer's code, unchanged
            EXPECT_EQ(trace.lines, Lines{name + failure});
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
