#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tests/gentl/FakeProducer.h"

namespace {
using Lines = std::vector<std::string>;

// Every logged call once, on the handles of an opened device, and the codes they returned.
std::vector<GC_ERROR> CallAll(TQGenTLWrapper& w) {
    void* tl = fake::H(0x7100);
    void* ifc = fake::H(0x7200);
    void* dev = fake::H(0x7400);
    void* port = fake::H(0x8400);
    char text[256] = {};
    size_t size = 0;
    auto capacity = [&size](size_t bytes) { return &(size = bytes); };
    INFO_DATATYPE type = 0;
    uint32_t count = 0;
    bool8_t changed = 0;
    void* handle = nullptr;
    return {w.GCInitLib(),
            w.GCCloseLib(),
            w.GCReadPort(port, 0x20B0, text, capacity(16)),
            w.GCWritePort(port, 0x70000400, text, capacity(4)),
            w.TLOpen(&handle),
            w.TLClose(tl),
            w.TLGetInfo(tl, 3, &type, text, capacity(256)),
            w.TLGetNumInterfaces(tl, &count),
            w.TLGetInterfaceID(tl, 0, text, capacity(256)),
            w.TLGetInterfaceInfo(tl, "IF-A", 1, &type, text, capacity(256)),
            w.TLOpenInterface(tl, "IF-A", &handle),
            w.TLUpdateInterfaceList(tl, &changed, 1000),
            w.IFClose(ifc),
            w.IFGetInfo(ifc, 2, &type, text, capacity(128)),
            w.IFGetNumDevices(ifc, &count),
            w.IFGetDeviceID(ifc, 0, text, capacity(128)),
            w.IFUpdateDeviceList(ifc, &changed, 3000),
            w.IFGetDeviceInfo(ifc, "DEV-A", 7, &type, text, capacity(128)),
            w.IFOpenDevice(ifc, "DEV-A", 3, &handle),
            w.DevGetPort(dev, &handle),
            w.DevGetInfo(dev, 9, &type, text, capacity(8)),
            w.DevClose(dev)};
}

const std::string T = "hTL:0x0000000000007100", I = "hIface:0x0000000000007200",
                  D = "hDevice:0x0000000000007400", P = "hPort:0x0000000000008400";

// Each pair differs in its own way (blanks, "!", address format): the trace is read by tools.
// The failed ID query shows what the producer still wrote into the buffer.
const std::vector<std::pair<std::string, std::string>> kLines = {
    {"GCInitLib Successful!", "GCInitLib Failed!"},
    {"GCCloseLib Successful", "GCCloseLib Failed!"},
    {"GCReadPort " + P + " Address:0x00000000000020B0",
     "GCReadPort Failed! " + P + " Address:0x00000000000020B0"},
    {"GCWritePort " + P + " Address:0x70000400",
     "GCWritePort Failed! " + P + " Address:0x70000400"},
    {"TLOpen " + T, "TLOpen Failed!"},
    {"TLClose " + T, "TLClose Failed! " + T},
    {"TLGetInfo " + T + " iInfoCmd:3", "TLGetInfo Failed! " + T + " iInfoCmd:3"},
    {"TLGetNumInterfaces " + T + " iNumIfaces:1", "TLGetNumInterfaces Failed! " + T},
    {"TLGetInterfaceID " + T + " iIndex:0  sID:IF-A",
     "TLGetInterfaceID Failed! " + T + " iIndex:0"},
    {"TLGetInterfaceInfo " + T + " sID:IF-A iInfoCmd:1",
     "TLGetInterfaceInfo Failed! " + T + " sID:IF-A iInfoCmd:1"},
    {"TLOpenInterface " + T + " sID:IF-A hIface:0x0000000000007200",
     "TLOpenInterface Failed! " + T + " sID:IF-A"},
    {"TLUpdateInterfaceList " + T + " bChanged:1", "TLUpdateInterfaceList Failed! " + T},
    {"IFClose " + I, "IFClose Failed! " + I},
    {"IFGetInfo " + I + " iInfoCmd:2", "IFGetInfo Failed! " + I + " iInfoCmd:2"},
    {"IFGetNumDevices " + I + " iNumDevices:1", "IFGetNumDevices Failed! " + I + " "},
    {"IFGetDeviceID " + I + " iIndex:0 sIDeviceID:DEV-A",
     "IFGetDeviceID Failed! " + I + " iIndex:0 sIDeviceID:DEV-A"},
    {"IFUpdateDeviceList " + I + " bChanged:1", "IFUpdateDeviceList Failed! " + I},
    {"IFGetDeviceInfo " + I + " sDeviceID:DEV-A iInfoCmd:7",
     "IFGetDeviceInfo Failed! " + I + " sDeviceID:DEV-A iInfoCmd:7"},
    {"IFOpenDevice " + I + " sDeviceID:DEV-A Flags:0x3 hDevice:0x0000000000007410",
     "IFOpenDevice Failed! " + I + " sDeviceID:DEV-A Flags:0x3"},
    {"DevGetPort " + D + " hRemoteDevice:0x0000000000008400", "DevGetPort Failed! " + D},
    {"DevGetInfo " + D + " iInfoCmd:9", "DevGetInfo Failed! " + D + " iInfoCmd:9"},
    {"DevClose " + D, "DevClose Failed! " + D}};
} // namespace

TEST(TQGenTLWrapper, EachLoggedCallLeavesOneLineAndReturnsTheProducersCode) {
    fake::Producer& p = fake::Reset();
    p.interfaces = {{"IF-A", {"DEV-A"}}};
    p.opened = {"DEV-A"};
    TQGenTLWrapper wrapper(fake::Symbols());
    for (const GC_ERROR code : {GC_ERR_SUCCESS, GC_ERR_IO}) {
        p.calls.clear();
        fake::TraceCapture trace;
        EXPECT_EQ(CallAll(wrapper), std::vector<GC_ERROR>(kLines.size(), code));
        Lines expected, called;
        for (const auto& [success, failure] : kLines) {
            expected.push_back("TQGenTLWrapper::" + (code == GC_ERR_SUCCESS ? success : failure));
            called.push_back(success.substr(0, success.find(' ')));
        }
        EXPECT_EQ(trace.lines, expected);
        EXPECT_EQ(p.calls, called); // each reaches its own entry point
        for (int slot = 1; slot < TQGenTLWrapper::kSlotCount; ++slot) {
            p.faults[TQGenTLWrapper::kEntryPointNames[slot]] = {0, GC_ERR_IO}; // for the next pass
        }
    }
}

TEST(TQGenTLWrapper, RefusesUnusableProducersBeforeAnyCallAndAcceptsOlderOnes) {
    auto refusal = [](auto make) {
        try {
            make();
        } catch (const ProducerLoadError& error) {
            return error.consoleMessage;
        }
        return std::string("(accepted)");
    };
    fake::Producer& p = fake::Reset();
    p.omitted = {"DevClose", "GCReadPort"};
    fake::TraceCapture trace;
    EXPECT_EQ(refusal([] { TQGenTLWrapper{fake::Symbols()}; }),
              "!!! Can not use producer (in-process producer): it does not export the GenTL "
              "functions GCReadPort, DevClose\n");
    EXPECT_TRUE(p.calls.empty());

    // An older producer: none of the later additions, no library information, no events.
    p.omitted = {"GCGetInfo", "GCGetLastError", "EventKill", "DSClose"};
    for (int slot = 48; slot < TQGenTLWrapper::kSlotCount; ++slot) {
        p.omitted.insert(TQGenTLWrapper::kEntryPointNames[slot]);
    }
    EXPECT_EQ(refusal([] { TQGenTLWrapper{fake::Symbols()}; }), "(accepted)");

    // A file that does not load: its name, then the platform's reason.
    const std::string message = refusal([] { TQGenTLWrapper{"./no-such-producer.cti"}; });
    EXPECT_TRUE(std::regex_match(message, std::regex("!!! Can not load producer "
                                                     "\\./no-such-producer\\.cti: [\\s\\S]+\n")))
        << message;
    ASSERT_EQ(trace.lines.size(), 3u);
    EXPECT_EQ(trace.lines[0],
              "GetProcAddress Failed! File:(in-process producer) Function:GCReadPort");
    EXPECT_EQ(trace.lines[1],
              "GetProcAddress Failed! File:(in-process producer) Function:DevClose");
    EXPECT_TRUE(std::regex_match(
        trace.lines[2],
        std::regex("LoadLibrary Failed! File:\\./no-such-producer\\.cti Error:0x-?[0-9]+")))
        << trace.lines[2];
}
