#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/E2eSupport.h"

namespace {
using Lines = std::vector<std::string>;

// Stops at the camera prompt: the listing is complete, then input ends and the producer is
// torn down.
e2e::ToolResult RunToCameraPrompt(const std::string& name, const std::string& simConfig) {
    e2e::ScratchDir dir(name);
    e2e::ToolRun run;
    run.input = "0\n";
    run.workingDirectory = dir.Path();
    run.simConfig = simConfig;
    return e2e::RunTool(run);
}

bool Has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// Matches trace lines against patterns in which {X} stands for a handle: 16 upper-case hex
// digits, the same digits every time the same letter appears.
class HandlePattern {
public:
    bool Match(const std::string& pattern, const std::string& line) {
        std::string regex;
        std::vector<std::string> names;
        for (size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] == '{') {
                size_t close = pattern.find('}', i);
                names.push_back(pattern.substr(i + 1, close - i - 1));
                regex += "([0-9A-F]{16})";
                i = close;
            } else if (std::string("\\^$.|?*+()[]{}").find(pattern[i]) != std::string::npos) {
                regex += std::string("\\") + pattern[i];
            } else {
                regex += pattern[i];
            }
        }
        std::smatch match;
        if (!std::regex_match(line, match, std::regex(regex))) {
            return false;
        }
        for (size_t n = 0; n < names.size(); ++n) {
            auto bound = handles.emplace(names[n], match[n + 1].str());
            if (bound.first->second != match[n + 1].str()) {
                return false;
            }
        }
        return true;
    }
    std::map<std::string, std::string> handles;
};

Lines InfoLines(const std::string& head, std::initializer_list<int> commands) {
    Lines lines;
    for (int command : commands) {
        lines.push_back(head + "iInfoCmd:" + std::to_string(command));
    }
    return lines;
}

void Append(Lines& to, const Lines& more) {
    to.insert(to.end(), more.begin(), more.end());
}
} // namespace

TEST(EnumerationE2e, HappyPathTracesEveryCallFromLoadToShutdownAndListsTheCamera) {
    e2e::ToolResult r = RunToCameraPrompt("enum-happy", "");
    ASSERT_FALSE(r.timedOut);

    const std::string w = "TQGenTLWrapper::";
    const std::string dev = "hIface:0x{I} sDeviceID:CXP-DEV0 ";
    Lines expected = {"hWrapper: 0x{W}", w + "GCInitLib Successful!", w + "TLOpen hTL:0x{T}",
                      "hSystem: 0x{T}"};
    Append(expected, InfoLines(w + "TLGetInfo hTL:0x{T} ", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    Append(expected, {w + "TLUpdateInterfaceList hTL:0x{T} bChanged:1",
                      w + "TLGetNumInterfaces hTL:0x{T} iNumIfaces:1",
                      w + "TLGetInterfaceID hTL:0x{T} iIndex:0  sID:CXP-IF0"});
    Append(expected, InfoLines(w + "TLGetInterfaceInfo hTL:0x{T} sID:CXP-IF0 ", {0, 1, 2}));
    Append(expected, {w + "TLOpenInterface hTL:0x{T} sID:CXP-IF0 hIface:0x{I}", "hInterface: 0x{I}",
                      w + "IFUpdateDeviceList hIface:0x{I} bChanged:1",
                      w + "IFGetNumDevices hIface:0x{I} iNumDevices:1", "Device found",
                      w + "IFGetDeviceID hIface:0x{I} iIndex:0 sIDeviceID:CXP-DEV0"});
    const std::initializer_list<int> deviceCommands = {0, 1, 2, 4, 3, 5, 6, 7, 8, 9};
    Append(expected, InfoLines(w + "IFGetDeviceInfo " + dev, deviceCommands));
    Append(expected, {w + "IFOpenDevice " + dev + "Flags:0x3 hDevice:0x{D}", "hDevice: 0x{D}"});
    Append(expected, InfoLines(w + "DevGetInfo hDevice:0x{D} ", deviceCommands));
    for (int pass = 0; pass < 2; ++pass) { // once while opening, once for the camera
        Append(expected,
               {w + "DevGetPort hDevice:0x{D} hRemoteDevice:0x{P}", "hRemoteDevice: 0x{P}"});
    }
    Append(expected, InfoLines(w + "DevGetInfo hDevice:0x{D} ", deviceCommands));
    for (const char* address : {"2020", "2040", "20B0"}) { // the camera listing
        expected.push_back(w + "GCReadPort hPort:0x{P} Address:0x000000000000" + address);
    }
    Append(expected, {w + "DevClose hDevice:0x{D}", w + "IFClose hIface:0x{I}",
                      w + "TLClose hTL:0x{T}", w + "GCCloseLib Successful"});

    const Lines& trace = r.traceLines;
    auto first = std::find_if(trace.begin(), trace.end(), [](const std::string& line) {
        return line.rfind("hWrapper: 0x", 0) == 0;
    });
    auto last = std::find(trace.rbegin(), trace.rend(), w + "GCCloseLib Successful");
    ASSERT_NE(first, trace.end()) << r.trace;
    ASSERT_NE(last, trace.rend()) << r.trace;
    Lines actual(first, last.base());
    HandlePattern pattern;
    ASSERT_EQ(actual.size(), expected.size()) << r.trace;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(pattern.Match(expected[i], actual[i]))
            << "line " << i << ": " << actual[i] << "\n  expected " << expected[i];
    }
    EXPECT_NE(pattern.handles["T"], "0000000000000000");
    EXPECT_NE(pattern.handles["P"], "0000000000000000");

    // The identity block shows the device handle as 16 upper-case digits.
    const std::string block = "\nCamera Nr: [0]\n\nhParentDEV: 0x" + pattern.handles["D"] +
                              "\nmodel: TQ-12M-CXP\nmanufacturerInfo: ";
    EXPECT_TRUE(Contains(r.console, block)) << r.console;
    EXPECT_TRUE(Contains(r.console, "serialNumber: TQ12M0001\n\n")) << r.console;
    EXPECT_FALSE(Contains(r.console, "Camera Nr: [1]"));
    EXPECT_TRUE(Contains(r.console, "\nchoose a camera >>>"));
}

TEST(EnumerationE2e, CamerasAreNumberedInProducerOrderAndEmptyInterfacesAreClosedAtOnce) {
    e2e::ToolResult r = RunToCameraPrompt("enum-two", R"(
[interface IF-EMPTY]
devices =
[interface IF-A]
devices = DEV-A, DEV-B
[device DEV-A]
serial = SN-A
camera = camA
[device DEV-B]
serial = SN-B
camera = camB
[camera camA]
model = MODEL-A
serial = SN-A
[camera camB]
model = MODEL-B
serial = SN-B
model_read_fails = yes
)");
    ASSERT_FALSE(r.timedOut);
    const std::string& c = r.console;
    size_t zero = c.find("\nCamera Nr: [0]\n");
    size_t one = c.find("\nCamera Nr: [1]\n");
    ASSERT_NE(zero, std::string::npos) << c;
    ASSERT_NE(one, std::string::npos) << c;
    EXPECT_LT(zero, one);
    EXPECT_TRUE(Contains(c.substr(zero, one - zero), "\nmodel: MODEL-A\n"));
    // A model register that cannot be read shows as an empty model.
    EXPECT_TRUE(Contains(c.substr(one), "\nmodel: \nmanufacturerInfo: ")) << c;
    EXPECT_TRUE(Contains(c.substr(one), "serialNumber: SN-B\n\n"));
    EXPECT_FALSE(Contains(c, "Camera Nr: [2]"));

    // The empty interface is closed right after its count, before anything else is opened.
    const Lines& t = r.traceLines;
    auto none = std::find(t.begin(), t.end(), "!!!No Device found!!!");
    ASSERT_NE(none, t.end()) << r.trace;
    ASSERT_NE(none + 1, t.end());
    EXPECT_EQ((none + 1)->rfind("TQGenTLWrapper::IFClose hIface:0x", 0), 0u) << *(none + 1);
    EXPECT_EQ(Count(r.trace, "TQGenTLWrapper::IFClose "), 2u); // and the kept one at the end
}

TEST(EnumerationE2e, ADeviceReachedTwiceIsListedOnceAndASharedSerialGivesNoSecondCamera) {
    e2e::ToolResult r = RunToCameraPrompt("enum-dup", R"(
[interface IF-A]
devices = DEV-A
[interface IF-B]
devices = DEV-A, DEV-C
[device DEV-A]
serial = SN-A-PRODUCER
camera = camA
[device DEV-C]
serial = SN-SHARED
camera = camC
[camera camA]
model = MODEL-A
serial = SN-SHARED
[camera camC]
model = MODEL-C
serial = SN-C
)");
    ASSERT_FALSE(r.timedOut);
    // DEV-A is offered again through IF-B: refused, or opened and dropped by its ID.
    EXPECT_TRUE(Contains(r.console, "!!! Can not open device on DEV-A\n") ||
                Has(r.traceLines, "Device Existed"))
        << r.trace;
    EXPECT_TRUE(Has(r.traceLines, "DEV Existed"));
    // DEV-C's producer serial is what camera A's register says.
    EXPECT_TRUE(Has(r.traceLines, "REMOTEDEV Exited"));
    EXPECT_TRUE(Contains(r.console, "\nCamera Nr: [0]\n"));
    EXPECT_FALSE(Contains(r.console, "Camera Nr: [1]")) << r.console;
    EXPECT_EQ(Count(r.console, "model: MODEL-A\n"), 1u);
}

TEST(EnumerationE2e, DevicesWithoutASerialNumberAreNeverOneCamera) {
    // Blank on both sides, and a failed register read against a blank producer serial.
    e2e::ToolResult r = RunToCameraPrompt("enum-no-serial", R"(
[interface IF-A]
devices = DEV-A, DEV-B, DEV-C
[camera DEV-A]
serial =
[camera DEV-B]
serial =
[camera DEV-C]
serial = SN-C
serial_read_fails = yes
[device DEV-C]
serial =
)");
    ASSERT_FALSE(r.timedOut);
    EXPECT_FALSE(Has(r.traceLines, "REMOTEDEV Exited")) << r.trace;
    EXPECT_TRUE(Contains(r.console, "\nCamera Nr: [2]\n")) << r.console;
    EXPECT_EQ(Count(r.console, "serialNumber: \n\n"), 3u);
}

TEST(EnumerationE2e, NoInterfaceMeansNoCamera) {
    e2e::ToolResult r = RunToCameraPrompt("enum-none", "[link]\nlatency_us = 0\n");
    ASSERT_FALSE(r.timedOut);
    size_t none = r.console.find("!!!No Interface Found!!!\n");
    ASSERT_NE(none, std::string::npos) << r.console;
    EXPECT_NE(r.console.find("!!!No camera found!!!\n", none), std::string::npos);
    EXPECT_FALSE(Contains(r.console, "choose a camera"));
    EXPECT_TRUE(Has(r.traceLines, "!!!No Interface Found!!!"));
    // Nothing was opened: the shutdown closes only the system and the library.
    auto wrapper = std::find_if(r.traceLines.begin(), r.traceLines.end(),
                                [](auto& line) { return line.rfind("hWrapper", 0) == 0; });
    ASSERT_NE(wrapper, r.traceLines.end());
    Lines closes;
    for (auto it = wrapper; it != r.traceLines.end(); ++it) {
        if (Contains(*it, "Close")) {
            closes.push_back(it->substr(0, it->find(' ')));
        }
    }
    EXPECT_EQ(closes, (Lines{"TQGenTLWrapper::TLClose", "TQGenTLWrapper::GCCloseLib"}));
}

TEST(EnumerationE2e, AFailedInterfaceIdEndsTheInterfaceList) {
    e2e::ToolResult r = RunToCameraPrompt("enum-ifid", R"(
[interface IF-0]
devices = DEV-0
[interface IF-1]
devices = DEV-1
[interface IF-2]
devices = DEV-2
[fault]
TLGetInterfaceID = 2 GC_ERR_ERROR
)");
    ASSERT_FALSE(r.timedOut);
    EXPECT_TRUE(Has(r.traceLines, ":TQSystem::GetInterfacesInfo TLGetInterfaceID failed!:-1001"))
        << r.trace;
    EXPECT_FALSE(Contains(r.trace, "iIndex:2"));
    EXPECT_FALSE(Contains(r.trace, "sID:IF-1"));
    EXPECT_TRUE(Contains(r.trace, "TQGenTLWrapper::TLOpenInterface hTL:0x"));
    EXPECT_EQ(Count(r.trace, "TQGenTLWrapper::TLOpenInterface "), 1u);
    EXPECT_TRUE(Contains(r.console, "\nCamera Nr: [0]\n"));
    EXPECT_FALSE(Contains(r.console, "Camera Nr: [1]"));
}

TEST(EnumerationE2e, UnusableProducersAreRefusedBeforeAnyCall) {
    // A file that is not a library.
    e2e::ScratchDir dir("enum-broken");
    std::string producers = dir.MakeSubdir("producers");
    e2e::WriteFile((std::filesystem::path(producers) / "broken.cti").string(),
                   "this is not a library\n");
    e2e::ToolRun run;
    run.input = "0\n";
    run.workingDirectory = dir.Path();
    run.genTLPath = producers;
    e2e::ToolResult r = e2e::RunTool(run);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, e2e::StatusFor(1));
    EXPECT_TRUE(Contains(r.console, "!!! Can not load producer ")) << r.console;
    EXPECT_TRUE(Contains(r.console, "broken.cti: "));
    EXPECT_TRUE(Contains(r.trace, "LoadLibrary Failed! File:")) << r.trace;
    EXPECT_FALSE(Contains(r.trace, "hWrapper"));
    EXPECT_FALSE(Contains(r.console, "choose a camera"));

    // A producer without DevClose.
    run.genTLPath = e2e::LackingSimDirectory();
    r = e2e::RunTool(run);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, e2e::StatusFor(1));
    EXPECT_TRUE(Contains(r.console, "does not export the GenTL functions DevClose\n")) << r.console;
    EXPECT_TRUE(Contains(r.trace, " Function:DevClose")) << r.trace;
    EXPECT_EQ(Count(r.trace, "GetProcAddress Failed!"), 1u);
    EXPECT_FALSE(Contains(r.trace, "TQGenTLWrapper::"));
    EXPECT_FALSE(Contains(r.trace, "hWrapper"));
}
