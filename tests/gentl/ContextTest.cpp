#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "gentl/DebugTrace.h"
#include "tests/gentl/FakeProducer.h"

namespace {
using Lines = std::vector<std::string>;

std::string Hex(const void* handle) {
    return HandleHex(handle).c_str();
}

std::unique_ptr<GenTLContext> MakeContext() {
    return std::make_unique<GenTLContext>(std::make_unique<TQGenTLWrapper>(fake::Symbols()));
}

// A camera answering its identification registers.
fake::Device Camera(const std::string& serial, const std::string& model) {
    fake::Device d;
    d.serial = serial;
    d.registers[0x2020] = model;
    d.registers[0x2040] = "maker of " + model;
    d.registers[0x20B0] = serial;
    return d;
}

// Trace lines of the shutdown alone.
Lines Shutdown(std::unique_ptr<GenTLContext>& context) {
    fake::TraceCapture trace;
    context.reset();
    return trace.lines;
}

bool Has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

size_t CountOf(const Lines& lines, const std::string& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

// The enumeration, its trace and its console output.
struct Enumerated {
    std::unique_ptr<GenTLContext> context;
    int32_t result = 0;
    Lines trace;
    std::string console;
};

// Renders what the enumeration reports as the interactive run words it.
struct ReportText : EnumerationReport {
    std::string text;
    void ProducerNotLoaded(const std::string& message) override { text += message; }
    void NoInterfaceFound() override { text += "!!!No Interface Found!!!\n"; }
    void DeviceNotOpened(const std::string& id) override {
        text += "!!! Can not open device on " + id + "\n";
    }
};

Enumerated Enumerate() {
    Enumerated e;
    fake::TraceCapture trace;
    e.context = MakeContext();
    ReportText report;
    e.result = e.context->EnumerateDevices(report);
    e.console = report.text;
    e.trace = trace.lines;
    return e;
}

// Closes the last context before the fake starts afresh, so its shutdown cannot mix in.
fake::Producer& Next(Enumerated& e) {
    e.context.reset();
    return fake::Reset();
}

const std::string kClosed = "TQGenTLWrapper::GCCloseLib Successful";
} // namespace

TEST(GenTLContext, OneInterfaceWithTwoDevicesOpensEverythingAndClosesInOpeningOrder) {
    fake::Producer& p = fake::Reset();
    p.interfaces = {{"IF-A", {"DEV-A", "DEV-B"}, {}}};
    p.devices["DEV-A"] = Camera("SN-A", "MODEL-A");
    p.devices["DEV-B"] = Camera("SN-B", "MODEL-B");
    Enumerated e = Enumerate();

    EXPECT_EQ(e.trace.front(), "hWrapper: 0x" + Hex(e.context->wrapper.get()));
    EXPECT_EQ(e.context->systemInfo.hWrapper, e.context->wrapper.get());
    EXPECT_EQ(e.console, "");
    ASSERT_EQ(e.context->interfaces.size(), 1u);
    ASSERT_EQ(e.context->deviceInfos.size(), 2u);
    ASSERT_EQ(e.context->devices.size(), 2u);
    ASSERT_EQ(e.context->remoteDevices.size(), 2u);
    EXPECT_EQ(e.context->remoteDevices[0]->hPort, fake::PortHandle(0));
    EXPECT_EQ(e.context->remoteDevices[1]->hPort, fake::PortHandle(1));
    EXPECT_EQ(e.context->remoteDevices[1]->hIface, fake::InterfaceHandle(0));
    EXPECT_EQ(e.context->remoteDevices[0]->wrapper, e.context->wrapper.get());
    // The first camera has nothing to be compared with; the second reads the first's registers.
    EXPECT_EQ(p.callCounts["GCReadPort"], 3);
    for (const char* line :
         {"hSystem: 0x0000000000007100", "hInterface: 0x0000000000007200", "Device found",
          "hDevice: 0x0000000000007410", "hRemoteDevice: 0x0000000000008410"}) {
        EXPECT_TRUE(Has(e.trace, line)) << line;
    }
    EXPECT_EQ(CountOf(e.trace, "TQGenTLWrapper::IFOpenDevice hIface:0x0000000000007200 "
                               "sDeviceID:DEV-A Flags:0x3 hDevice:0x0000000000007400"),
              1u);

    p.faults["DevClose"] = {1, GC_ERR_IO}; // the first close fails, the second still happens
    EXPECT_EQ(Shutdown(e.context),
              (Lines{"TQGenTLWrapper::DevClose Failed! hDevice:0x0000000000007400",
                     "TQGenTLWrapper::DevClose hDevice:0x0000000000007410",
                     "TQGenTLWrapper::IFClose hIface:0x0000000000007200",
                     "TQGenTLWrapper::TLClose hTL:0x0000000000007100", kClosed}));
}

TEST(GenTLContext, InformationQueriesAskEveryCommandInFieldOrderWithTheirCapacities) {
    fake::Producer& p = fake::Reset();
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}};
    p.devices["DEV-A"] = Camera("SN-A", "MODEL-A");
    Enumerated e = Enumerate();

    const SystemInfo& s = e.context->systemInfo;
    EXPECT_EQ(s.id, "tl:0");
    EXPECT_EQ(s.displayName, "tl:7");
    EXPECT_EQ(s.charEncoding, 8);
    EXPECT_EQ(s.genTLVersionMajor, 9u);
    EXPECT_EQ(s.genTLVersionMinor, 10u);
    const InterfaceInfo& i = e.context->interfaceInfos.at(0);
    EXPECT_EQ(i.hTL, fake::kSystemHandle);
    EXPECT_EQ(i.id, "IF-A");
    EXPECT_EQ(i.displayName, "IF-A:1");
    EXPECT_EQ(i.tlType, "IF-A:2");
    const DeviceInfo& d = e.context->deviceInfos.at(0);
    EXPECT_EQ(d.hIface, fake::InterfaceHandle(0));
    EXPECT_EQ(d.id, "DEV-A");
    EXPECT_EQ(d.displayName, "DEV-A:4");
    EXPECT_EQ(d.tlType, "DEV-A:3");
    EXPECT_EQ(d.accessStatus, 5);
    EXPECT_EQ(d.serialNumber, "SN-A");
    EXPECT_EQ(d.timestampFrequency, 9u);

    Lines deviceCommands;
    const std::string prefix = "TQGenTLWrapper::IFGetDeviceInfo hIface:0x0000000000007200 "
                               "sDeviceID:DEV-A iInfoCmd:";
    for (const std::string& line : e.trace) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            deviceCommands.push_back(line.substr(prefix.size()));
        }
    }
    EXPECT_EQ(deviceCommands, (Lines{"0", "1", "2", "4", "3", "5", "6", "7", "8", "9"}));

    TQDevice& device = *e.context->devices.at(0);
    DeviceInfo queried;
    {
        fake::TraceCapture trace;
        EXPECT_EQ(device.QueryDeviceInfo(queried), GC_ERR_SUCCESS);
        ASSERT_EQ(trace.lines.size(), 10u);
        EXPECT_EQ(trace.lines[3], "TQGenTLWrapper::DevGetInfo hDevice:0x0000000000007400 "
                                  "iInfoCmd:4");
    }
    EXPECT_EQ(queried.hIface, fake::InterfaceHandle(0));
    EXPECT_EQ(queried.model, "DEV-A:2");
}

TEST(GenTLContext, NoInterfaceEndsTheEnumerationAndTheShutdownClosesOnlyTheSystem) {
    fake::Producer& p = fake::Reset();
    Enumerated e = Enumerate();
    EXPECT_EQ(e.result, -1);
    EXPECT_EQ(e.console, "!!!No Interface Found!!!\n");
    EXPECT_EQ(e.trace.back(), "!!!No Interface Found!!!");
    EXPECT_EQ(p.callCounts["TLGetInterfaceID"], 0);
    EXPECT_TRUE(e.context->interfaceInfos.empty());
    EXPECT_EQ(Shutdown(e.context),
              (Lines{"TQGenTLWrapper::TLClose hTL:0x0000000000007100", kClosed}));

    // A failed TLOpen: the system handle stays null and is still handed to TLClose.
    Next(e).faults["TLOpen"] = {0, GC_ERR_ERROR};
    e = Enumerate();
    EXPECT_TRUE(Has(e.trace, "TLHandle not valid"));
    EXPECT_TRUE(Has(e.trace, "hSystem: 0x0000000000000000"));
    EXPECT_EQ(Shutdown(e.context),
              (Lines{"TQGenTLWrapper::TLClose Failed! hTL:0x0000000000000000", kClosed}));

    // A failed list update counts as no interface; the count is not asked.
    Next(e);
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}};
    p.faults["TLUpdateInterfaceList"] = {0, GC_ERR_TIMEOUT};
    e = Enumerate();
    EXPECT_EQ(e.result, -1);
    EXPECT_EQ(e.console, "!!!No Interface Found!!!\n");
    EXPECT_TRUE(Has(e.trace, ":TQSystem::EnumInterfaces TLUpdateInterfaceList failed!:-1011"));
    EXPECT_EQ(p.callCounts["TLGetNumInterfaces"], 0);

    // A context that was never enumerated has nothing of the producer to close.
    Next(e);
    std::unique_ptr<GenTLContext> idle = MakeContext();
    EXPECT_TRUE(Shutdown(idle).empty());
}

TEST(GenTLContext, DuplicatesAreDroppedByInterfaceIdDeviceIdAndSerialNumber) {
    // Two interfaces reach the same device; the second open is accepted and dropped.
    fake::Producer& p = fake::Reset();
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}, {"IF-B", {"DEV-A"}, {}}};
    p.devices["DEV-A"] = Camera("SN-A", "MODEL-A");
    Enumerated e = Enumerate();
    EXPECT_EQ(e.context->interfaces.size(), 2u);
    EXPECT_EQ(e.context->deviceInfos.size(), 1u);
    EXPECT_EQ(CountOf(e.trace, "DEV Existed"), 1u);
    EXPECT_EQ(CountOf(e.trace, "Device Existed"), 1u);
    EXPECT_EQ(e.context->devices.size(), 1u);
    EXPECT_EQ(e.context->remoteDevices.size(), 1u);

    // The same, but the second interface refuses: the operator is told, the camera stays once.
    Next(e);
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}, {"IF-B", {"DEV-A"}, {"DEV-A"}}};
    p.devices["DEV-A"] = Camera("SN-A", "MODEL-A");
    e = Enumerate();
    EXPECT_EQ(e.console, "!!! Can not open device on DEV-A\n");
    EXPECT_TRUE(Has(e.trace, "!!! Can not open device on DEV-A"));
    EXPECT_TRUE(Has(e.trace, "hDevice: 0x0000000000000000"));
    EXPECT_EQ(e.context->remoteDevices.size(), 1u);

    // Two interfaces with one ID: one record, the second never opened.
    Next(e);
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}, {"IF-A", {"DEV-B"}, {}}};
    e = Enumerate();
    EXPECT_EQ(e.context->interfaceInfos.size(), 1u);
    EXPECT_EQ(CountOf(e.trace, "Interface Existed"), 1u);
    EXPECT_EQ(p.callCounts["TLOpenInterface"], 1);

    // A device whose producer serial is what the first camera's register says: no camera.
    Next(e);
    p.interfaces = {{"IF-A", {"DEV-A", "DEV-B"}, {}}};
    p.devices["DEV-A"] = Camera("SN-PRODUCER", "MODEL-A");
    p.devices["DEV-A"].registers[0x20B0] = "SN-SHARED";
    p.devices["DEV-B"] = Camera("SN-SHARED", "MODEL-B");
    e = Enumerate();
    EXPECT_EQ(e.context->devices.size(), 2u);
    ASSERT_EQ(e.context->remoteDevices.size(), 1u);
    EXPECT_EQ(e.context->remoteDevices[0]->hDevice, fake::DeviceHandle(0));
    EXPECT_EQ(CountOf(e.trace, "REMOTEDEV Exited"), 1u);
}

TEST(GenTLContext, FailuresArePassedOverWithTheirContextLines) {
    // TLGetInterfaceID fails for index 1 of 3: one record, index 2 is never asked.
    fake::Producer& p = fake::Reset();
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}, {"IF-B", {}, {}}, {"IF-C", {}, {}}};
    p.devices["DEV-A"] = Camera("SN-A", "MODEL-A");
    p.faults["TLGetInterfaceID"] = {2, GC_ERR_ERROR};
    Enumerated e = Enumerate();
    EXPECT_EQ(e.context->interfaceInfos.size(), 1u);
    EXPECT_EQ(p.callCounts["TLGetInterfaceID"], 2);
    EXPECT_TRUE(Has(e.trace, ":TQSystem::GetInterfacesInfo TLGetInterfaceID failed!:-1001"));
    EXPECT_EQ(e.context->remoteDevices.size(), 1u);

    // An interface without devices is closed at once and never kept.
    Next(e);
    p.interfaces = {{"IF-EMPTY", {}, {}}, {"IF-A", {"DEV-A"}, {}}};
    p.devices["DEV-A"] = Camera("SN-A", "MODEL-A");
    e = Enumerate();
    auto none = std::find(e.trace.begin(), e.trace.end(), "!!!No Device found!!!");
    ASSERT_NE(none, e.trace.end());
    EXPECT_EQ(*(none + 1), "TQGenTLWrapper::IFClose hIface:0x0000000000007200");
    ASSERT_EQ(e.context->interfaces.size(), 1u);
    EXPECT_EQ(e.context->interfaces[0]->hIface, fake::InterfaceHandle(1));

    // A failed device count: both lines, and the interface is dropped like an empty one.
    Next(e);
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}};
    p.faults["IFGetNumDevices"] = {0, GC_ERR_IO};
    e = Enumerate();
    EXPECT_TRUE(Has(e.trace, "TQGenTLWrapper::IFGetNumDevices Failed! hIface:0x0000000000007200 "));
    EXPECT_TRUE(Has(e.trace, ":TQInterface::EnumDevices IFGetNumDevices failed!:-1010"));
    EXPECT_TRUE(e.context->interfaces.empty());

    // A device without a port is still a camera, with a null port.
    Next(e);
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}};
    p.devices["DEV-A"] = Camera("SN-A", "MODEL-A");
    p.devices["DEV-A"].nullPort = true;
    e = Enumerate();
    EXPECT_EQ(CountOf(e.trace, "PortHandle not valid"), 2u);
    ASSERT_EQ(e.context->remoteDevices.size(), 1u);
    EXPECT_EQ(e.context->remoteDevices[0]->hPort, nullptr);
}

TEST(TQRemoteDevice, RegisterTextsAreBoundedByTheirWidthAndFailedReadsLeaveThemEmpty) {
    fake::Producer& p = fake::Reset();
    p.interfaces = {{"IF-A", {"DEV-A"}, {}}};
    const std::string model(32, 'M');
    const std::string maker = std::string(47, 'F') + "G";
    const std::string serial = "0123456789ABCDEF";
    p.devices["DEV-A"] = Camera(serial, model + "overflow");
    p.devices["DEV-A"].registers[0x2040] = maker;
    Enumerated e = Enumerate();
    ASSERT_EQ(e.context->remoteDevices.size(), 1u);
    TQRemoteDevice& camera = *e.context->remoteDevices[0];

    RemoteDeviceInfo info;
    {
        fake::TraceCapture trace;
        EXPECT_EQ(camera.ReadRemoteDeviceInfo(info), 0);
        EXPECT_EQ(trace.lines, (Lines{"TQGenTLWrapper::GCReadPort hPort:0x0000000000008400 "
                                      "Address:0x0000000000002020",
                                      "TQGenTLWrapper::GCReadPort hPort:0x0000000000008400 "
                                      "Address:0x0000000000002040",
                                      "TQGenTLWrapper::GCReadPort hPort:0x0000000000008400 "
                                      "Address:0x00000000000020B0"}));
    }
    EXPECT_EQ(info.hDevice, fake::DeviceHandle(0));
    EXPECT_EQ(info.model, model);
    EXPECT_EQ(info.manufacturerInfo, maker);
    EXPECT_EQ(info.serialNumber, serial);

    p.faults["GCReadPort"] = {0, GC_ERR_IO};
    RemoteDeviceInfo silent;
    EXPECT_EQ(camera.ReadRemoteDeviceInfo(silent), 0);
    EXPECT_EQ(silent.hDevice, fake::DeviceHandle(0));
    EXPECT_EQ(silent.model, "");
    EXPECT_EQ(silent.manufacturerInfo, "");
    EXPECT_EQ(silent.serialNumber, "");
}
