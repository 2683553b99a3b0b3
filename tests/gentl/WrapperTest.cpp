// The binding to a producer: its logged calls and refusals, and the enumeration built on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "gentl/GenTLContext.h"
#include "gentl/TQGenTLWrapper.h"
#include "tests/TraceCapture.h"

// An in-process producer from a table, with faults on demand and a log of the calls. Unlike the
// simulator, a failed call still fills counts and buffers, as a careless one may, but no handle.
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
    std::vector<size_t> closed;      // devices by opening order, in closing order
} producer;
const auto Reset = []() -> Producer& { return producer = Producer(); };
// Handles: the system 0x7100, interface i 0x7200 + 0x10 i, the n-th device opened 0x7400 + 0x10 n
// and its port 0x8400 + 0x10 n.
const auto H = [](uintptr_t value) { return reinterpret_cast<void*>(value); };
constexpr uintptr_t kSystem = 0x7100, kInterfaces = 0x7200, kDevices = 0x7400, kPorts = 0x8400;
using V = void*; // every handle is one
using T = INFO_DATATYPE*;
using S = size_t*;
#define ENTRY static GC_ERROR GC_CALLTYPE
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
    template <class L> static auto* Nth(L& l, size_t i) { return i < l.size() ? &l[i] : nullptr; }
    static size_t At(V h, uintptr_t base) { return (uintptr_t(h) - base) / 0x10; } // huge below
    static Interface* If(V h) { return Nth(producer.interfaces, At(h, kInterfaces)); }
    static std::string* Opened(V h, uintptr_t base) { return Nth(producer.opened, At(h, base)); }
    // Information commands answer the ID (command 0) and a device's serial number.
    static GC_ERROR Put(const std::string& text, V buffer, S size, int32_t command = 0) {
        if (command != 0 && command != DEVICE_INFO_SERIAL_NUMBER)
            return 0;
        std::memcpy(buffer, text.c_str(), std::min(*size, text.size() + 1));
        return 0;
    }
    ENTRY GCInitLib() { return Done(__func__, 0); }
    ENTRY GCCloseLib() { return Done(__func__, 0); }
    ENTRY GCReadPort(V h, uint64_t at, V b, S size) {
        const std::string* id = Opened(h, kPorts);
        const std::string& text = producer.registers[id ? *id : ""][at];
        std::memset(b, 0, *size);
        std::memcpy(b, text.data(), std::min(*size, text.size()));
        return Done(__func__, id ? 0 : GC_ERR_INVALID_HANDLE);
    }
    ENTRY GCWritePort(V, uint64_t, const void*, S) { return Done(__func__, 0); }
    ENTRY TLOpen(V* h) { return Done(__func__, 0, &(*h = H(kSystem))); }
    ENTRY TLClose(V h) { return Done(__func__, h == H(kSystem) ? 0 : GC_ERR_INVALID_HANDLE); }
    ENTRY TLGetInfo(V, int32_t, T, V, S) { return Done(__func__, 0); }
    ENTRY TLGetNumInterfaces(V, uint32_t* n) {
        *n = uint32_t(producer.interfaces.size());
        return Done(__func__, 0);
    }
    ENTRY TLGetInterfaceID(V, uint32_t i, char* id, S n) {
        const Interface* listed = Nth(producer.interfaces, i);
        return Done(__func__, listed ? Put(listed->id, id, n) : GC_ERR_INVALID_INDEX);
    }
    ENTRY TLGetInterfaceInfo(V, const char* id, int32_t c, T, V b, S n) {
        const GC_ERROR code = Done(__func__, 0); // a failed one leaves no ID
        return code ? code : Put(id, b, n, c);
    }
    ENTRY TLOpenInterface(V, const char* id, V* h) {
        const std::vector<Interface>& all = producer.interfaces;
        auto found = std::find_if(all.begin(), all.end(), [id](auto& i) { return i.id == id; });
        *h = found != all.end() ? H(kInterfaces + 0x10 * (found - all.begin())) : nullptr;
        return Done(__func__, *h ? 0 : GC_ERR_INVALID_ID, h);
    }
    ENTRY TLUpdateInterfaceList(V, bool8_t*, uint64_t) { return Done(__func__, 0); }
    ENTRY IFClose(V) { return Done(__func__, 0); }
    ENTRY IFGetInfo(V, int32_t, T, V, S) { return Done(__func__, 0); }
    ENTRY IFGetNumDevices(V h, uint32_t* n) {
        *n = If(h) ? uint32_t(If(h)->devices.size()) : *n;
        return Done(__func__, If(h) ? 0 : GC_ERR_INVALID_HANDLE);
    }
    ENTRY IFGetDeviceID(V h, uint32_t i, char* id, S n) {
        const std::string* listed = If(h) ? Nth(If(h)->devices, i) : nullptr;
        return Done(__func__, listed ? Put(*listed, id, n) : GC_ERR_INVALID_INDEX);
    }
    ENTRY IFUpdateDeviceList(V, bool8_t*, uint64_t) { return Done(__func__, 0); }
    ENTRY IFGetDeviceInfo(V, const char*, int32_t, T, V, S) { return Done(__func__, 0); }
    ENTRY IFOpenDevice(V h, const char* id, int32_t, V* device) {
        *device = If(h) ? H(kDevices + 0x10 * producer.opened.size()) : nullptr;
        const GC_ERROR status = Done(__func__, *device ? 0 : GC_ERR_INVALID_HANDLE, device);
        if (status == GC_ERR_SUCCESS)
            producer.opened.push_back(id);
        return status;
    }
    ENTRY DevGetPort(V h, V* port) {
        *port = Opened(h, kDevices) ? H(kPorts + 0x10 * At(h, kDevices)) : nullptr;
        return Done(__func__, *port ? 0 : GC_ERR_INVALID_HANDLE, port);
    }
    ENTRY DevGetInfo(V h, int32_t c, T, V b, S n) {
        const std::string* id = Opened(h, kDevices);
        return Done(__func__, id ? Put(*id, b, n, c) : GC_ERR_INVALID_HANDLE);
    }
    ENTRY DevClose(V h) { return producer.closed.push_back(At(h, kDevices)), Done(__func__, 0); }
};

// Only the functions the tool calls, as by an older producer, which the tool accepts.
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

// The interactive run's words, and each problem.
struct ReportText : EnumerationReport {
    std::string text;
    void ProducerNotLoaded(const std::string&) override {}
    void NoInterfaceFound() override { text += "no interface\n"; }
    void DeviceNotOpened(const std::string& id) override { text += "not opened " + id + "\n"; }
    void Problem(const EnumerationProblem& p) override { text += p.call + (' ' + p.deviceId); }
};
} // namespace fake

// Each failure line differs in its own way (blanks, "!"): tools read the trace. The success lines
// are checked end to end, the port accesses' in the upload protocol test.
TEST(TQGenTLWrapper, EachFailedCallLeavesItsOwnLineAndReturnsTheProducersCode) {
    fake::Producer& p = fake::Reset();
    TraceCapture trace;
    // Producers that cannot be used are refused before any call: one that lacks functions the
    // tool calls, and a file that does not load.
    p.omitted = {"DevClose", "GCReadPort"};
    std::string refusal;
    try {
        TQGenTLWrapper{fake::Symbols()};
    } catch (const ProducerLoadError& error) {
        refusal = error.consoleMessage;
    }
    EXPECT_EQ(refusal, "!!! Can not use producer (in-process producer): it does not export the "
                       "GenTL functions GCReadPort, DevClose\n");
    EXPECT_THROW(TQGenTLWrapper{"./x.cti"}, ProducerLoadError);
    const std::regex loadFailed("LoadLibrary Failed! File:\\./x\\.cti Error:0x-?[0-9]+");
    EXPECT_TRUE(std::regex_match(trace.lines.back(), loadFailed)) << trace.lines.back();
    trace.lines.pop_back();
    const std::string missing = "GetProcAddress Failed! File:(in-process producer) Function:";
    std::vector<std::string> traced = {missing + "GCReadPort", missing + "DevClose"}, called;
    p.omitted.clear();
    p.interfaces = {{"IF-A", {"DEV-A"}}};
    for (int slot = 1; slot < TQGenTLWrapper::kSlotCount; ++slot)
        p.faults[TQGenTLWrapper::EntryPointName(slot)] = {0, GC_ERR_IO};
    TQGenTLWrapper w(fake::Symbols());
    void *tl = fake::H(0x7100), *ifc = fake::H(0x7200), *dev = fake::H(0x7400), *handle = nullptr;
    char text[256] = {};
    size_t size = sizeof text;
    int32_t type = 0;
    uint32_t count = 0;
    bool8_t changed = 0;
    const std::string T = " hTL:0x0000000000007100", I = " hIface:0x0000000000007200",
                      D = " hDevice:0x0000000000007400";
    // Called in this order (a braced list is evaluated in order); the failed ID query shows what
    // the producer still wrote into the buffer.
    // clang-format off
    const std::pair<GC_ERROR, std::string> calls[] = {
        {w.GCInitLib(), "GCInitLib Failed!"},
        {w.GCCloseLib(), "GCCloseLib Failed!"},
        {w.TLOpen(&handle), "TLOpen Failed!"},
        {w.TLClose(tl), "TLClose Failed!" + T},
        {w.TLGetInfo(tl, 3, &type, text, &size), "TLGetInfo Failed!" + T + " iInfoCmd:3"},
        {w.TLGetNumInterfaces(tl, &count), "TLGetNumInterfaces Failed!" + T},
        {w.TLGetInterfaceID(tl, 0, text, &size), "TLGetInterfaceID Failed!" + T + " iIndex:0"},
        {w.TLGetInterfaceInfo(tl, "IF-A", 1, &type, text, &size), "TLGetInterfaceInfo Failed!" + T + " sID:IF-A iInfoCmd:1"},
        {w.TLOpenInterface(tl, "IF-A", &handle), "TLOpenInterface Failed!" + T + " sID:IF-A"},
        {w.TLUpdateInterfaceList(tl, &changed, 1000), "TLUpdateInterfaceList Failed!" + T},
        {w.IFClose(ifc), "IFClose Failed!" + I},
        {w.IFGetInfo(ifc, 2, &type, text, &size), "IFGetInfo Failed!" + I + " iInfoCmd:2"},
        {w.IFGetNumDevices(ifc, &count), "IFGetNumDevices Failed!" + I + " "},
        {w.IFGetDeviceID(ifc, 0, text, &size), "IFGetDeviceID Failed!" + I + " iIndex:0 sIDeviceID:DEV-A"},
        {w.IFUpdateDeviceList(ifc, &changed, 3000), "IFUpdateDeviceList Failed!" + I},
        {w.IFGetDeviceInfo(ifc, "DEV-A", 7, &type, text, &size), "IFGetDeviceInfo Failed!" + I + " sDeviceID:DEV-A iInfoCmd:7"},
        {w.IFOpenDevice(ifc, "DEV-A", 3, &handle), "IFOpenDevice Failed!" + I + " sDeviceID:DEV-A Flags:0x3"},
        {w.DevGetPort(dev, &handle), "DevGetPort Failed!" + D},
        {w.DevGetInfo(dev, 9, &type, text, &size), "DevGetInfo Failed!" + D + " iInfoCmd:9"},
        {w.DevClose(dev), "DevClose Failed!" + D}};
    // clang-format on
    for (const auto& [code, line] : calls) {
        EXPECT_EQ(code, GC_ERR_IO) << line;
        traced.push_back("TQGenTLWrapper::" + line);
        called.push_back(line.substr(0, line.find(' '))); // each reaches its own entry point
    }
    EXPECT_EQ(trace.lines, traced);
    EXPECT_EQ(p.calls, called);
}

// What a failure or a duplicate changes: the result, the report, the cameras kept, how often the
// calls that matter are made, and the devices closed: one dropped at once, the others at the
// shutdown in opening order, whatever the one before returned.
TEST(GenTLContext, FailuresAndDuplicatesChangeTheFlow) {
    const EnumerationRules I = {}, C = {true, true}; // the interactive run's, the command line's
    const std::vector<fake::Interface> two = {{"IF-A", {"DEV-A"}}, {"IF-B", {"DEV-B"}}},
                                       both = {{"IF-A", {"DEV-A", "DEV-B"}}};
    const GC_ERROR io = GC_ERR_IO;
    const std::string full(16, 'S'); // fills the serial-number register
    // clang-format off
    struct Case {
        std::string function; fake::Fault fault; EnumerationRules rules; int32_t result;
        size_t cameras; std::string report; std::map<std::string, long> calls;
        std::vector<size_t> closed; std::vector<fake::Interface> interfaces;
        std::map<std::string, std::string> serials = {}; // register 0x20B0 by device
    } const cases[] = {
        // A failed TLOpen: the null system handle is used, and closed, all the same.
        {"TLOpen", {0, GC_ERR_ERROR}, I, 0, 2, "", {{"TLClose", 1}}, {0, 1}, two},
        {"TLUpdateInterfaceList", {0, io}, I, -1, 0, "no interface\n", {{"TLGetNumInterfaces", 0}}, {}, two},
        // A failed count leaves no interface, whatever the producer wrote; so for devices.
        {"TLGetNumInterfaces", {0, io}, I, -1, 0, "no interface\n", {}, {}, two},
        {"IFGetNumDevices", {1, io}, I, 0, 1, "IFGetNumDevices ", {{"IFClose", 2}}, {0}, two},
        {"IFUpdateDeviceList", {1, io}, I, 0, 1, "IFUpdateDeviceList ", {{"IFGetNumDevices", 1}}, {0}, two},
        // The first failed ID ends the list.
        {"TLGetInterfaceID", {1, io}, I, 0, 0, "TLGetInterfaceID ", {{"TLGetInterfaceID", 1}}, {}, two},
        {"IFGetDeviceID", {1, io}, I, 0, 1, "IFGetDeviceID ", {{"IFOpenDevice", 1}}, {0}, two},
        // Each interface opens only the devices it listed: DEV-A is not offered to IF-B.
        {"IFOpenDevice", {1, GC_ERR_ACCESS_DENIED}, I, 0, 1, "not opened DEV-A\nIFOpenDevice DEV-A",
         {{"IFOpenDevice", 2}}, {0}, two},
        // Without its port a camera is listed by the interactive run, which asks twice; the
        // command line reports the device and closes it.
        {"DevGetPort", {0, io}, I, 0, 2, "", {{"DevGetPort", 4}}, {0, 1}, two},
        {"DevGetPort", {2, io}, C, 0, 1, "DevGetPort DEV-B", {{"DevGetPort", 2}}, {1, 0}, both},
        {"DevClose", {1, io}, I, 0, 2, "", {}, {0, 1}, both},
        // Duplicates: one device through two interfaces, two interfaces with one ID, a producer
        // serial a listed camera's register says, registers that agree (the kept camera's seven
        // read once, the other's serial alone; a full one ends at its width; a failed read gives
        // nothing, whatever the buffer holds). An interface without information: its listed ID.
        {"", {}, I, 0, 1, "", {}, {1, 0}, {{"IF-A", {"DEV-A"}}, {"IF-B", {"DEV-A"}}}},
        {"", {}, I, 0, 1, "", {{"TLOpenInterface", 1}}, {0}, {{"IF-A", {"DEV-A"}}, {"IF-A", {"DEV-B"}}}},
        {"", {}, I, 0, 1, "", {}, {1, 0}, both, {{"DEV-A", "DEV-B"}}},
        {"", {}, C, 0, 1, "", {{"GCReadPort", 8}}, {1, 0}, both, {{"DEV-A", "SN"}, {"DEV-B", "SN"}}},
        {"TLGetInterfaceInfo", {0, io}, C, 0, 2, "", {{"GCReadPort", 14}}, {0, 1}, both, {{"DEV-A", "SN"}}},
        {"", {}, C, 0, 1, "", {}, {1, 0}, both, {{"DEV-A", full + "A"}, {"DEV-B", full + "B"}}},
        {"GCReadPort", {0, io}, C, 0, 2, "", {}, {0, 1}, both, {{"DEV-A", "SN"}, {"DEV-B", "SN"}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function + " case " + std::to_string(&c - cases));
        fake::Producer& p = fake::Reset();
        p.faults[c.function] = c.fault;
        p.interfaces = c.interfaces;
        for (const auto& [device, serial] : c.serials)
            p.registers[device][0x20B0] = serial;
        {
            GenTLContext context(std::make_unique<TQGenTLWrapper>(fake::Symbols()));
            fake::ReportText report;
            EXPECT_EQ(context.EnumerateDevices(report, c.rules), c.result);
            EXPECT_EQ(report.text, c.report);
            EXPECT_EQ(context.remoteDevices.size(), c.cameras);
        } // the shutdown
        EXPECT_EQ(p.closed, c.closed);
        for (const auto& [function, times] : c.calls)
            EXPECT_EQ(std::count(p.calls.begin(), p.calls.end(), function), times) << function;
    }
}
