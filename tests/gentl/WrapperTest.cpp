// The binding to a producer: each logged call, the refusal of unusable producers, and the
// enumeration and shutdown built on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gentl/DebugTrace.h"
#include "gentl/GenTLContext.h"
#include "gentl/TQGenTLWrapper.h"
#include "tests/TraceCapture.h"

// An in-process producer: interfaces and devices from a table, faults on demand, and a log of
// the functions called. Unlike the simulator, a failed call still fills counts and buffers, as
// a careless producer may, but hands out no handle.
namespace fake {

struct Interface {
    std::string id;
    std::vector<std::string> devices;
};

// The 1-based number of the call that fails (0: every call), and the code it returns.
using Fault = std::pair<int, GC_ERROR>;

// A device's serial number is its ID; its camera registers are texts by address, others zero.
struct Producer {
    std::vector<Interface> interfaces;
    std::map<std::string, std::map<uint64_t, std::string>> registers; // by device ID
    std::map<std::string, Fault> faults;                              // by function name
    std::set<std::string> omitted;   // names the library does not export
    std::vector<std::string> calls;  // function names in call order
    std::vector<std::string> opened; // device ID per handed-out device handle
};
Producer producer;

const auto Reset = []() -> Producer& { return producer = Producer(); };

// Handles: the system 0x7100, interface i 0x7200 + 0x10 i, the n-th opened device
// 0x7400 + 0x10 n and its port 0x8400 + 0x10 n.
const auto H = [](uintptr_t value) { return reinterpret_cast<void*>(value); };
constexpr uintptr_t kSystem = 0x7100, kInterfaces = 0x7200, kDevices = 0x7400, kPorts = 0x8400;

// The entry points, each named like the producer function it stands for, and their helpers.
struct Entry {
    // Logs the call; the fault code due for it, else the answer.
    static GC_ERROR Done(const char* name, GC_ERROR answer, void** handle = nullptr) {
        producer.calls.push_back(name);
        const auto [nth, code] = producer.faults.count(name) ? producer.faults[name] : Fault{-1, 0};
        if (nth != 0 && nth != std::count(producer.calls.begin(), producer.calls.end(), name))
            return answer;
        if (handle)
            *handle = nullptr;
        return code;
    }
    static size_t IndexOf(const void* h, uintptr_t base) { return (uintptr_t(h) - base) / 0x10; }
    static const Interface* InterfaceAt(const void* h) {
        size_t i = IndexOf(h, kInterfaces); // huge below the base
        return i < producer.interfaces.size() ? &producer.interfaces[i] : nullptr;
    }
    // The device ID behind a device or port handle, "" for none.
    static std::string OpenedAt(const void* h, uintptr_t base) {
        size_t i = IndexOf(h, base);
        return i < producer.opened.size() ? producer.opened[i] : std::string();
    }
    static GC_ERROR Put(const std::string& text, void* buffer, size_t* size) {
        if (*size < text.size() + 1)
            return GC_ERR_BUFFER_TOO_SMALL;
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return GC_ERR_SUCCESS;
    }
    // Information commands answer the ID (command 0) and a device's serial number; every other
    // command, and an opened interface, leaves the buffer as it is.
    static GC_ERROR Answer(const std::string& id, int32_t cmd, void* buffer, size_t* size) {
        return cmd == 0 || cmd == DEVICE_INFO_SERIAL_NUMBER ? Put(id, buffer, size) : 0;
    }

    static GC_ERROR GC_CALLTYPE GCInitLib() { return Done(__func__, 0); }
    static GC_ERROR GC_CALLTYPE GCCloseLib() { return Done(__func__, 0); }
    static GC_ERROR GC_CALLTYPE GCReadPort(PORT_HANDLE h, uint64_t at, void* b, size_t* size) {
        std::string id = OpenedAt(h, kPorts);
        const std::string& text = producer.registers[id][at];
        std::memset(b, 0, *size);
        std::memcpy(b, text.data(), std::min(*size, text.size()));
        return Done(__func__, id.empty() ? GC_ERR_INVALID_HANDLE : 0);
    }
    static GC_ERROR GC_CALLTYPE GCWritePort(PORT_HANDLE, uint64_t, const void*, size_t*) {
        return Done(__func__, 0);
    }
    static GC_ERROR GC_CALLTYPE TLOpen(TL_HANDLE* h) {
        *h = H(kSystem);
        return Done(__func__, 0, h);
    }
    static GC_ERROR GC_CALLTYPE TLClose(TL_HANDLE h) {
        return Done(__func__, h == H(kSystem) ? 0 : GC_ERR_INVALID_HANDLE);
    }
    static GC_ERROR GC_CALLTYPE TLGetInfo(TL_HANDLE, TL_INFO_CMD, INFO_DATATYPE*, void*, size_t*) {
        return Done(__func__, 0);
    }
    static GC_ERROR GC_CALLTYPE TLGetNumInterfaces(TL_HANDLE, uint32_t* n) {
        *n = static_cast<uint32_t>(producer.interfaces.size());
        return Done(__func__, 0);
    }
    static GC_ERROR GC_CALLTYPE TLGetInterfaceID(TL_HANDLE, uint32_t i, char* id, size_t* size) {
        const std::vector<Interface>& all = producer.interfaces;
        return Done(__func__, i < all.size() ? Put(all[i].id, id, size) : GC_ERR_INVALID_INDEX);
    }
    static GC_ERROR GC_CALLTYPE TLGetInterfaceInfo(TL_HANDLE, const char* id, INTERFACE_INFO_CMD c,
                                                   INFO_DATATYPE*, void* b, size_t* size) {
        return Done(__func__, Answer(id, c, b, size));
    }
    static GC_ERROR GC_CALLTYPE TLOpenInterface(TL_HANDLE, const char* id, IF_HANDLE* h) {
        const std::vector<Interface>& all = producer.interfaces;
        auto found = std::find_if(all.begin(), all.end(), [id](auto& i) { return i.id == id; });
        *h = found != all.end() ? H(kInterfaces + 0x10 * (found - all.begin())) : nullptr;
        return Done(__func__, *h ? 0 : GC_ERR_INVALID_ID, h);
    }
    static GC_ERROR GC_CALLTYPE TLUpdateInterfaceList(TL_HANDLE, bool8_t* changed, uint64_t) {
        *changed = 1;
        return Done(__func__, 0);
    }
    static GC_ERROR GC_CALLTYPE IFClose(IF_HANDLE) { return Done(__func__, 0); }
    static GC_ERROR GC_CALLTYPE IFGetInfo(IF_HANDLE h, INTERFACE_INFO_CMD, INFO_DATATYPE*, void*,
                                          size_t*) {
        return Done(__func__, InterfaceAt(h) ? 0 : GC_ERR_INVALID_HANDLE);
    }
    static GC_ERROR GC_CALLTYPE IFGetNumDevices(IF_HANDLE h, uint32_t* n) {
        const Interface* i = InterfaceAt(h);
        *n = i ? static_cast<uint32_t>(i->devices.size()) : *n;
        return Done(__func__, i ? 0 : GC_ERR_INVALID_HANDLE);
    }
    static GC_ERROR GC_CALLTYPE IFGetDeviceID(IF_HANDLE h, uint32_t index, char* id, size_t* size) {
        const Interface* i = InterfaceAt(h);
        bool listed = i && index < i->devices.size();
        return Done(__func__, listed ? Put(i->devices[index], id, size) : GC_ERR_INVALID_INDEX);
    }
    static GC_ERROR GC_CALLTYPE IFUpdateDeviceList(IF_HANDLE h, bool8_t* changed, uint64_t) {
        *changed = 1;
        return Done(__func__, InterfaceAt(h) ? 0 : GC_ERR_INVALID_HANDLE);
    }
    static GC_ERROR GC_CALLTYPE IFGetDeviceInfo(IF_HANDLE, const char* id, DEVICE_INFO_CMD cmd,
                                                INFO_DATATYPE*, void* buffer, size_t* size) {
        return Done(__func__, Answer(id, cmd, buffer, size));
    }
    static GC_ERROR GC_CALLTYPE IFOpenDevice(IF_HANDLE h, const char* id, DEVICE_ACCESS_FLAGS,
                                             DEV_HANDLE* device) {
        *device = InterfaceAt(h) ? H(kDevices + 0x10 * producer.opened.size()) : nullptr;
        GC_ERROR status = Done(__func__, *device ? 0 : GC_ERR_INVALID_HANDLE, device);
        if (status == GC_ERR_SUCCESS)
            producer.opened.push_back(id);
        return status;
    }
    static GC_ERROR GC_CALLTYPE DevGetPort(DEV_HANDLE h, PORT_HANDLE* port) {
        bool open = !OpenedAt(h, kDevices).empty();
        *port = open ? H(kPorts + 0x10 * IndexOf(h, kDevices)) : nullptr;
        return Done(__func__, open ? 0 : GC_ERR_INVALID_HANDLE, port);
    }
    static GC_ERROR GC_CALLTYPE DevGetInfo(DEV_HANDLE h, DEVICE_INFO_CMD cmd, INFO_DATATYPE*,
                                           void* buffer, size_t* size) {
        std::string id = OpenedAt(h, kDevices);
        return Done(__func__, id.empty() ? GC_ERR_INVALID_HANDLE : Answer(id, cmd, buffer, size));
    }
    static GC_ERROR GC_CALLTYPE DevClose(DEV_HANDLE) { return Done(__func__, 0); }
};

// Only the functions the tool calls are exported, as by an older producer, which the tool
// accepts: nothing else may be required.
// clang-format off
#define FAKE_ENTRIES(X) X(GCInitLib) X(GCCloseLib) X(GCReadPort) X(GCWritePort) X(TLOpen)          \
    X(TLClose) X(TLGetInfo) X(TLGetNumInterfaces) X(TLGetInterfaceID) X(TLGetInterfaceInfo)        \
    X(TLOpenInterface) X(TLUpdateInterfaceList) X(IFClose) X(IFGetInfo) X(IFGetNumDevices)         \
    X(IFGetDeviceID) X(IFUpdateDeviceList) X(IFGetDeviceInfo) X(IFOpenDevice) X(DevGetPort)        \
    X(DevGetInfo) X(DevClose)
#define FAKE_SYMBOL(fn) {#fn, reinterpret_cast<void*>(&Entry::fn)},
// clang-format on
TQGenTLWrapper::SymbolSource Symbols() {
    return [](const char* name) -> void* {
        static const std::map<std::string, void*> table = {FAKE_ENTRIES(FAKE_SYMBOL)};
        auto found = table.find(name);
        return found != table.end() && !producer.omitted.count(name) ? found->second : nullptr;
    };
}

} // namespace fake

namespace {
using Lines = std::vector<std::string>;

std::string Refusal(void (*make)()) {
    try {
        make();
    } catch (const ProducerLoadError& error) {
        return error.consoleMessage;
    }
    return "(accepted)";
}

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

// One enumeration and shutdown with a fault in `function`: its result, console text, camera
// count, and the trace lines that are among `lines`, which must be `lines` in their order.
void Check(const std::string& function, fake::Fault fault, int32_t result, size_t cameras,
           const std::string& console, const Lines& lines,
           std::vector<fake::Interface> interfaces = {{"IF-A", {"DEV-A"}}, {"IF-B", {"DEV-B"}}},
           std::map<std::string, std::map<uint64_t, std::string>> registers = {}) {
    SCOPED_TRACE(function + ": " + lines.front());
    fake::Producer& p = fake::Reset();
    p.faults[function] = fault;
    p.interfaces = std::move(interfaces);
    p.registers = std::move(registers);
    TraceCapture trace;
    std::unique_ptr<GenTLContext> context = MakeContext();
    ReportText report;
    EXPECT_EQ(context->EnumerateDevices(report), result);
    EXPECT_EQ(report.text, console);
    EXPECT_EQ(context->remoteDevices.size(), cameras);
    context.reset();
    Lines seen;
    std::copy_if(trace.lines.begin(), trace.lines.end(), std::back_inserter(seen),
                 [&lines](auto& line) { return std::count(lines.begin(), lines.end(), line); });
    EXPECT_EQ(seen, lines);
}
} // namespace

// Each failure line differs in its own way (blanks, "!"): the trace is read by tools. The
// success lines are checked in the end-to-end enumeration trace, and the port accesses' lines
// in the upload protocol test.
TEST(TQGenTLWrapper, EachFailedCallLeavesItsOwnLineAndReturnsTheProducersCode) {
    fake::Producer& p = fake::Reset();
    p.interfaces = {{"IF-A", {"DEV-A"}}};
    for (int slot = 1; slot < TQGenTLWrapper::kSlotCount; ++slot)
        p.faults[TQGenTLWrapper::EntryPointName(slot)] = {0, GC_ERR_IO};
    TQGenTLWrapper w(fake::Symbols());
    TraceCapture trace;
    void *tl = fake::H(0x7100), *ifc = fake::H(0x7200), *dev = fake::H(0x7400), *handle = nullptr;
    char text[256] = {};
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    uint32_t count = 0;
    bool8_t changed = 0;
    const std::string T = "hTL:0x0000000000007100", I = "hIface:0x0000000000007200",
                      D = "hDevice:0x0000000000007400";
    // Called in this order (a braced list is evaluated in order); the failed ID query shows
    // what the producer still wrote into the buffer.
    const std::pair<GC_ERROR, std::string> calls[] = {
        {w.GCInitLib(), "GCInitLib Failed!"},
        {w.GCCloseLib(), "GCCloseLib Failed!"},
        {w.TLOpen(&handle), "TLOpen Failed!"},
        {w.TLClose(tl), "TLClose Failed! " + T},
        {w.TLGetInfo(tl, 3, &type, text, &size), "TLGetInfo Failed! " + T + " iInfoCmd:3"},
        {w.TLGetNumInterfaces(tl, &count), "TLGetNumInterfaces Failed! " + T},
        {w.TLGetInterfaceID(tl, 0, text, &size), "TLGetInterfaceID Failed! " + T + " iIndex:0"},
        {w.TLGetInterfaceInfo(tl, "IF-A", 1, &type, text, &size),
         "TLGetInterfaceInfo Failed! " + T + " sID:IF-A iInfoCmd:1"},
        {w.TLOpenInterface(tl, "IF-A", &handle), "TLOpenInterface Failed! " + T + " sID:IF-A"},
        {w.TLUpdateInterfaceList(tl, &changed, 1000), "TLUpdateInterfaceList Failed! " + T},
        {w.IFClose(ifc), "IFClose Failed! " + I},
        {w.IFGetInfo(ifc, 2, &type, text, &size), "IFGetInfo Failed! " + I + " iInfoCmd:2"},
        {w.IFGetNumDevices(ifc, &count), "IFGetNumDevices Failed! " + I + " "},
        {w.IFGetDeviceID(ifc, 0, text, &size),
         "IFGetDeviceID Failed! " + I + " iIndex:0 sIDeviceID:DEV-A"},
        {w.IFUpdateDeviceList(ifc, &changed, 3000), "IFUpdateDeviceList Failed! " + I},
        {w.IFGetDeviceInfo(ifc, "DEV-A", 7, &type, text, &size),
         "IFGetDeviceInfo Failed! " + I + " sDeviceID:DEV-A iInfoCmd:7"},
        {w.IFOpenDevice(ifc, "DEV-A", 3, &handle),
         "IFOpenDevice Failed! " + I + " sDeviceID:DEV-A Flags:0x3"},
        {w.DevGetPort(dev, &handle), "DevGetPort Failed! " + D},
        {w.DevGetInfo(dev, 9, &type, text, &size), "DevGetInfo Failed! " + D + " iInfoCmd:9"},
        {w.DevClose(dev), "DevClose Failed! " + D}};
    Lines traced, called;
    for (const auto& [code, line] : calls) {
        EXPECT_EQ(code, GC_ERR_IO) << line;
        traced.push_back("TQGenTLWrapper::" + line);
        called.push_back(line.substr(0, line.find(' '))); // each reaches its own entry point
    }
    EXPECT_EQ(trace.lines, traced);
    EXPECT_EQ(p.calls, called);
}

TEST(TQGenTLWrapper, RefusesAProducerLackingACalledFunctionBeforeAnyCall) {
    fake::Producer& p = fake::Reset();
    p.omitted = {"DevClose", "GCReadPort"};
    TraceCapture trace;
    EXPECT_EQ(Refusal([] { TQGenTLWrapper{fake::Symbols()}; }),
              "!!! Can not use producer (in-process producer): it does not export the GenTL "
              "functions GCReadPort, DevClose\n");
    EXPECT_TRUE(p.calls.empty());
    // A file that does not load: its name, then the platform's reason.
    const std::string message = Refusal([] { TQGenTLWrapper{"./no-such-producer.cti"}; });
    EXPECT_TRUE(std::regex_match(message, std::regex("!!! Can not load producer "
                                                     "\\./no-such-producer\\.cti: [\\s\\S]+\n")))
        << message;
    ASSERT_EQ(trace.lines.size(), 3u);
    EXPECT_EQ(Lines(trace.lines.begin(), trace.lines.begin() + 2),
              (Lines{"GetProcAddress Failed! File:(in-process producer) Function:GCReadPort",
                     "GetProcAddress Failed! File:(in-process producer) Function:DevClose"}));
    EXPECT_TRUE(std::regex_match(
        trace.lines[2],
        std::regex("LoadLibrary Failed! File:\\./no-such-producer\\.cti Error:0x-?[0-9]+")))
        << trace.lines[2];
}

TEST(GenTLContext, CameraTextsStayWithinTheirRegistersAndAFailedReadGivesNothing) {
    fake::Producer& p = fake::Reset();
    p.opened = {"DEV-A"};
    // Register texts fill their whole width, without a terminator, or overflow it.
    p.registers["DEV-A"] = {{0x2020, std::string(32, 'M') + "overflow"},
                            {0x2040, std::string(48, 'F')},
                            {0x20B0, "0123456789ABCDEF"}};
    TQGenTLWrapper wrapper(fake::Symbols());
    TQRemoteDevice camera{fake::H(0x8400), nullptr, nullptr, &wrapper, {}};
    RemoteDeviceInfo info;
    EXPECT_EQ(camera.ReadRemoteDeviceInfo(info), 0);
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
    // Never enumerated: the producer was not initialised, so nothing is closed.
    TraceCapture trace;
    MakeContext().reset();
    EXPECT_EQ(trace.lines.size(), 1u); // the "hWrapper" line alone
}

TEST(GenTLContext, FailuresAndDuplicatesChangeTheFlowAsTraced) {
    const std::string none = "!!!No Interface Found!!!", noDevice = "!!!No Device found!!!",
                      w = "TQGenTLWrapper::";
    // A failed TLOpen: the null system handle is used, and closed, all the same.
    Check("TLOpen", {0, GC_ERR_ERROR}, 0, 2, "",
          {"TLHandle not valid", "hSystem: 0x0000000000000000",
           w + "TLClose Failed! hTL:0x0000000000000000"});
    Check("TLUpdateInterfaceList", {0, GC_ERR_TIMEOUT}, -1, 0, none + "\n",
          {":TQSystem::EnumInterfaces TLUpdateInterfaceList failed!:-1011", none});
    // A failed count leaves no interface, whatever the producer wrote.
    Check("TLGetNumInterfaces", {0, GC_ERR_IO}, -1, 0, none + "\n",
          {":TQSystem::EnumInterfaces TLGetNumInterfaces failed!:-1010", none});
    // The first failed ID ends the list.
    Check("TLGetInterfaceID", {1, GC_ERR_ERROR}, 0, 0, "",
          {":TQSystem::GetInterfacesInfo TLGetInterfaceID failed!:-1001"});
    Check("IFUpdateDeviceList", {1, GC_ERR_IO}, 0, 1, "",
          {":TQInterface::EnumDevices IFUpdateDeviceList failed!:-1010", noDevice});
    // An interface without a device count is not kept.
    Check("IFGetNumDevices", {1, GC_ERR_IO}, 0, 1, "",
          {":TQInterface::EnumDevices IFGetNumDevices failed!:-1010", noDevice});
    // IF-B is compared with the kept IF-A by asking IF-A for its ID.
    Check("IFGetDeviceID", {1, GC_ERR_IO}, 0, 1, "",
          {w + "IFGetInfo hIface:0x0000000000007200 iInfoCmd:0",
           ":TQInterface::GetDevicesInfo IFGetDeviceID Failed!:-1010"});
    // Each interface opens only the devices it listed: DEV-A is not offered to IF-B.
    Check("IFOpenDevice", {1, GC_ERR_ACCESS_DENIED}, 0, 1, "!!! Can not open device on DEV-A\n",
          {"hDevice: 0x0000000000000000", "!!! Can not open device on DEV-A"});
    // A camera without a port is still listed.
    Check("DevGetPort", {0, GC_ERR_IO}, 0, 2, "", Lines(4, "PortHandle not valid"));
    // Shutdown closes in opening order, and every close is attempted whatever the one before
    // returned.
    Check("DevClose", {1, GC_ERR_IO}, 0, 2, "",
          {w + "DevClose Failed! hDevice:0x0000000000007400",
           w + "DevClose hDevice:0x0000000000007410", w + "IFClose hIface:0x0000000000007200",
           w + "TLClose hTL:0x0000000000007100", w + "GCCloseLib Successful"},
          {{"IF-A", {"DEV-A", "DEV-B"}}});

    // Duplicates: one device through two interfaces, two interfaces with one ID, and a device
    // whose producer serial is what a listed camera's register says. A dropped device is
    // closed at once.
    const Lines closedFirst = {w + "DevClose hDevice:0x0000000000007410",
                               w + "DevClose hDevice:0x0000000000007400"};
    Check("", {}, 0, 1, "", {"Device Existed", closedFirst[0], closedFirst[1]},
          {{"IF-A", {"DEV-A"}}, {"IF-B", {"DEV-A"}}});
    Check("", {}, 0, 1, "",
          {"Interface Existed", w + "TLOpenInterface hTL:0x0000000000007100 "
                                    "sID:IF-A hIface:0x0000000000007200"},
          {{"IF-A", {"DEV-A"}}, {"IF-A", {"DEV-B"}}});
    Check("", {}, 0, 1, "", {"REMOTEDEV Exited", closedFirst[0], closedFirst[1]},
          {{"IF-A", {"DEV-A", "DEV-B"}}}, {{"DEV-A", {{0x20B0, "DEV-B"}}}});
}
