#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gentl/GenTLContext.h"
#include "tests/gentl/FakeProducer.h"

namespace {
using Lines = std::vector<std::string>;

std::unique_ptr<GenTLContext> MakeContext() {
    return std::make_unique<GenTLContext>(std::make_unique<TQGenTLWrapper>(fake::Symbols()));
}

// Renders what the enumeration reports as the interactive run words it.
struct ReportText : EnumerationReport {
    std::string text;
    void ProducerNotLoaded(const std::string& message) override { text += message; }
    void NoInterfaceFound() override { text += "!!!No Interface Found!!!\n"; }
    void DeviceNotOpened(const std::string& id) override {
        text += "!!! Can not open device on " + id + "\n";
    }
};

size_t Count(const Lines& lines, const std::string& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

// One enumeration and shutdown with a fault in `function`: its result, console text, camera
// count, and trace lines that appear exactly as often as in `lines`.
void Check(const std::string& function, fake::Fault fault, int32_t result, size_t cameras,
           const std::string& console, const Lines& lines,
           std::vector<fake::Interface> interfaces = {{"IF-A", {"DEV-A"}}, {"IF-B", {"DEV-B"}}},
           std::map<std::string, fake::Device> devices = {}) {
    SCOPED_TRACE(function + ": " + lines.front());
    fake::Producer& p = fake::Reset();
    if (!function.empty()) {
        p.faults[function] = fault;
    }
    p.interfaces = std::move(interfaces);
    p.devices = std::move(devices);
    fake::TraceCapture trace;
    std::unique_ptr<GenTLContext> context = MakeContext();
    ReportText report;
    EXPECT_EQ(context->EnumerateDevices(report), result);
    EXPECT_EQ(report.text, console);
    EXPECT_EQ(context->remoteDevices.size(), cameras);
    context.reset();
    for (const std::string& line : std::set<std::string>(lines.begin(), lines.end())) {
        EXPECT_EQ(Count(trace.lines, line), Count(lines, line)) << line;
    }
}
} // namespace

TEST(GenTLContext, OpensEveryCameraAndClosesInOpeningOrderWhateverACloseReturns) {
    fake::Producer& p = fake::Reset();
    p.interfaces = {{"IF-A", {"DEV-A", "DEV-B"}}};
    // Register texts fill their whole width, without a terminator, or overflow it.
    p.devices["DEV-A"].registers = {{0x2020, std::string(32, 'M') + "overflow"},
                                    {0x2040, std::string(48, 'F')},
                                    {0x20B0, "0123456789ABCDEF"}};
    fake::TraceCapture trace;
    std::unique_ptr<GenTLContext> context = MakeContext();
    ReportText report;
    EXPECT_EQ(context->EnumerateDevices(report), 0);
    EXPECT_EQ(report.text, "");
    ASSERT_EQ(context->remoteDevices.size(), 2u);
    EXPECT_EQ(context->remoteDevices[1]->hDevice, fake::H(0x7410));
    EXPECT_EQ(context->remoteDevices[1]->hPort, fake::H(0x8410));

    TQRemoteDevice& camera = *context->remoteDevices[0];
    RemoteDeviceInfo info;
    EXPECT_EQ(camera.ReadRemoteDeviceInfo(info), 0);
    EXPECT_EQ(info.hDevice, fake::H(0x7400));
    EXPECT_EQ(info.model, std::string(32, 'M'));
    EXPECT_EQ(info.manufacturerInfo, std::string(48, 'F'));
    EXPECT_EQ(info.serialNumber, "0123456789ABCDEF");
    EXPECT_FALSE(info.modelUnreadable || info.manufacturerInfoUnreadable ||
                 info.serialNumberUnreadable);
    p.faults["GCReadPort"] = {0, GC_ERR_IO}; // the fake still fills the buffer
    EXPECT_EQ(camera.ReadRemoteDeviceInfo(info), 0);
    EXPECT_EQ(info.model + info.manufacturerInfo + info.serialNumber, "");
    EXPECT_TRUE(info.modelUnreadable && info.manufacturerInfoUnreadable &&
                info.serialNumberUnreadable);

    p.faults["DevClose"] = {1, GC_ERR_IO};
    trace.lines.clear();
    context.reset();
    EXPECT_EQ(trace.lines, (Lines{"TQGenTLWrapper::DevClose Failed! hDevice:0x0000000000007400",
                                  "TQGenTLWrapper::DevClose hDevice:0x0000000000007410",
                                  "TQGenTLWrapper::IFClose hIface:0x0000000000007200",
                                  "TQGenTLWrapper::TLClose hTL:0x0000000000007100",
                                  "TQGenTLWrapper::GCCloseLib Successful"}));
    // Never enumerated: the producer was not initialised, so nothing is closed.
    trace.lines.clear();
    MakeContext().reset();
    EXPECT_EQ(trace.lines.size(), 1u); // the "hWrapper" line alone
}

TEST(GenTLContext, FailuresAndDuplicatesChangeTheFlowAsTraced) {
    const std::string none = "!!!No Interface Found!!!", noDevice = "!!!No Device found!!!";
    // A failed TLOpen: the null system handle is used, and closed, all the same.
    Check("TLOpen", {}, 0, 2, "",
          {"TLHandle not valid", "hSystem: 0x0000000000000000",
           "TQGenTLWrapper::TLClose Failed! hTL:0x0000000000000000"});
    Check("TLUpdateInterfaceList", {0, GC_ERR_TIMEOUT}, -1, 0, none + "\n",
          {":TQSystem::EnumInterfaces TLUpdateInterfaceList failed!:-1011", none});
    // A failed count leaves no interface, whatever the producer wrote.
    Check("TLGetNumInterfaces", {0, GC_ERR_IO}, -1, 0, none + "\n",
          {":TQSystem::EnumInterfaces TLGetNumInterfaces failed!:-1010", none});
    // The first failed ID ends the list.
    Check("TLGetInterfaceID", {1}, 0, 0, "",
          {":TQSystem::GetInterfacesInfo TLGetInterfaceID failed!:-1001"});
    Check("IFUpdateDeviceList", {1, GC_ERR_IO}, 0, 1, "",
          {":TQInterface::EnumDevices IFUpdateDeviceList failed!:-1010", noDevice});
    // An interface without a device count is closed at once and not kept.
    Check("IFGetNumDevices", {1, GC_ERR_IO}, 0, 1, "",
          {":TQInterface::EnumDevices IFGetNumDevices failed!:-1010", noDevice,
           "TQGenTLWrapper::IFClose hIface:0x0000000000007200",
           "TQGenTLWrapper::IFClose hIface:0x0000000000007210"});
    Check("IFGetDeviceID", {1, GC_ERR_IO}, 0, 1, "",
          {":TQInterface::GetDevicesInfo IFGetDeviceID Failed!:-1010"});
    // Every device listed so far is offered to each interface: IF-B opens DEV-A after all.
    Check("IFOpenDevice", {1, GC_ERR_ACCESS_DENIED}, 0, 2, "!!! Can not open device on DEV-A\n",
          {"!!! Can not open device on DEV-A", "hDevice: 0x0000000000000000"});
    // A camera without a port is still listed.
    Check("DevGetPort", {0, GC_ERR_IO}, 0, 2, "", Lines(5, "PortHandle not valid"));

    // Duplicates: one device through two interfaces, two interfaces with one ID, and a device
    // whose producer serial is what a listed camera's register says.
    Check("", {}, 0, 1, "", {"DEV Existed", "Device Existed"},
          {{"IF-A", {"DEV-A"}}, {"IF-B", {"DEV-A"}}});
    Check("", {}, 0, 1, "",
          {"Interface Existed", "TQGenTLWrapper::TLOpenInterface hTL:0x0000000000007100 "
                                "sID:IF-A hIface:0x0000000000007200"},
          {{"IF-A", {"DEV-A"}}, {"IF-A", {"DEV-B"}}});
    Check("", {}, 0, 1, "", {"REMOTEDEV Exited"}, {{"IF-A", {"DEV-A", "DEV-B"}}},
          {{"DEV-A", {"", {{0x20B0, "DEV-B"}}}}});
}
