#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/E2eSupport.h"

namespace {
using e2e::Contains;
using e2e::Count;
using Lines = std::vector<std::string>;

// Stops at the camera prompt: the listing is complete, then input ends and the producer is
// torn down.
e2e::ToolResult RunToCameraPrompt(const std::string& name, const std::string& simConfig) {
    return e2e::RunTool(e2e::RunInScratch(name, "", "", "0\n", simConfig));
}

// Each distinct handle (16 upper-case hex digits after "hName:0x" or "hName: 0x") becomes {W},
// {T}, {I}, {D} or {P} by the order of its first appearance, so one handle always reads alike.
Lines NameHandles(const Lines& lines, Lines& handles) {
    static const std::regex handle("(h[A-Za-z]+: ?0x)([0-9A-F]{16})");
    Lines named;
    for (const std::string& line : lines) {
        std::string text;
        size_t tail = 0;
        for (std::sregex_iterator m(line.begin(), line.end(), handle), end; m != end; ++m) {
            const size_t n = std::find(handles.begin(), handles.end(), (*m)[2]) - handles.begin();
            if (n == handles.size())
                handles.push_back((*m)[2]);
            text +=
                m->prefix().str() + (*m)[1].str() + "{" + "WTIDP?"[std::min<size_t>(n, 5)] + "}";
            tail = m->position() + m->length();
        }
        named.push_back(text + line.substr(tail));
    }
    return named;
}

// Appends "head iInfoCmd:N" for each command, and then `more`.
void Append(Lines& to, const std::string& head, std::initializer_list<int> commands,
            const Lines& more = {}) {
    for (int command : commands)
        to.push_back(head + "iInfoCmd:" + std::to_string(command));
    to.insert(to.end(), more.begin(), more.end());
}

const std::string kBanner = "Tevrak CXP-Firmware Update Tool v1.0.0.546\n\n";
const std::string kCtiHeading = "Discover all available CTI Files:\n"
                                "---------------------------------\n";
} // namespace

TEST(EnumerationE2e, HappyPathTracesEveryCallFromLoadToShutdownAndListsTheCamera) {
    e2e::ToolResult r = RunToCameraPrompt("enum-happy", "");
    ASSERT_FALSE(r.timedOut);

    const std::string w = "TQGenTLWrapper::";
    const std::string dev = "hIface:0x{I} sDeviceID:CXP-DEV0 ";
    Lines expected = {"hWrapper: 0x{W}", w + "GCInitLib Successful!", w + "TLOpen hTL:0x{T}",
                      "hSystem: 0x{T}"};
    Append(expected, w + "TLGetInfo hTL:0x{T} ", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
           {w + "TLUpdateInterfaceList hTL:0x{T} bChanged:1",
            w + "TLGetNumInterfaces hTL:0x{T} iNumIfaces:1",
            w + "TLGetInterfaceID hTL:0x{T} iIndex:0  sID:CXP-IF0"});
    Append(expected, w + "TLGetInterfaceInfo hTL:0x{T} sID:CXP-IF0 ", {0, 1, 2},
           {w + "TLOpenInterface hTL:0x{T} sID:CXP-IF0 hIface:0x{I}", "hInterface: 0x{I}",
            w + "IFUpdateDeviceList hIface:0x{I} bChanged:1",
            w + "IFGetNumDevices hIface:0x{I} iNumDevices:1", "Device found",
            w + "IFGetDeviceID hIface:0x{I} iIndex:0 sIDeviceID:CXP-DEV0"});
    const std::initializer_list<int> deviceCommands = {0, 1, 2, 4, 3, 5, 6, 7, 8, 9};
    Append(expected, w + "IFGetDeviceInfo " + dev, deviceCommands,
           {w + "IFOpenDevice " + dev + "Flags:0x3 hDevice:0x{D}", "hDevice: 0x{D}"});
    // The port is asked for once while opening, once for the camera.
    const std::string port = w + "DevGetPort hDevice:0x{D} hRemoteDevice:0x{P}";
    Append(expected, w + "DevGetInfo hDevice:0x{D} ", deviceCommands,
           {port, "hRemoteDevice: 0x{P}", port, "hRemoteDevice: 0x{P}"});
    Append(expected, w + "DevGetInfo hDevice:0x{D} ", deviceCommands);
    for (const char* address : {"2020", "2040", "20B0"}) // the camera listing
        expected.push_back(w + "GCReadPort hPort:0x{P} Address:0x000000000000" + address);
    expected.insert(expected.end(), {w + "DevClose hDevice:0x{D}", w + "IFClose hIface:0x{I}",
                                     w + "TLClose hTL:0x{T}", w + "GCCloseLib Successful"});

    const Lines& trace = r.traceLines;
    auto first = std::find_if(trace.begin(), trace.end(), [](const std::string& line) {
        return line.rfind("hWrapper: 0x", 0) == 0;
    });
    Lines handles; // and nothing after the shutdown
    EXPECT_EQ(NameHandles(Lines(first, trace.end()), handles), expected) << r.trace;
    ASSERT_EQ(handles.size(), 5u);
    EXPECT_NE(handles[1], "0000000000000000");
    EXPECT_NE(handles[4], "0000000000000000");

    // The identity block shows the device handle as 16 upper-case digits; the prompt follows.
    const std::string block = "\nCamera Nr: [0]\n\nhParentDEV: 0x" + handles[3] +
                              "\nmodel: TQ-12M-CXP\nmanufacturerInfo: TQ-12M-CXP rev.B 12MP "
                              "CoaXPress\nserialNumber: TQ12M0001\n\n\nchoose a camera >>>\n";
    EXPECT_TRUE(Contains(r.console, block)) << r.console;
}

// IF-B lists DEV-A, which IF-A has opened: the producer refuses it. IF-A's DEV-B is not
// offered to IF-B.
TEST(EnumerationE2e, CamerasAreNumberedInProducerOrderAndEmptyInterfacesAreClosedAtOnce) {
    e2e::ToolResult r = RunToCameraPrompt("enum-two", R"(
[interface IF-EMPTY]
devices =
[interface IF-A]
devices = DEV-A, DEV-B
[interface IF-B]
devices = DEV-A
[camera DEV-A]
model = MODEL-A
serial = SN-A
[camera DEV-B]
serial = SN-B
model_read_fails = yes
)");
    ASSERT_FALSE(r.timedOut);
    const std::string& c = r.console;
    EXPECT_TRUE(Contains(c, "\nchoose a file >>>\n!!! Can not open device on DEV-A\n"
                            "\nDiscover all available Cameras:"))
        << c;
    const size_t zero = c.find("\nCamera Nr: [0]\n"), one = c.find("\nCamera Nr: [1]\n");
    ASSERT_NE(one, std::string::npos) << c;
    ASSERT_LT(zero, one);
    EXPECT_TRUE(Contains(c.substr(zero, one - zero), "\nmodel: MODEL-A\n"));
    // A model register that cannot be read shows as an empty model.
    EXPECT_TRUE(Contains(c.substr(one), "\nmodel: \nmanufacturerInfo: ")) << c;
    EXPECT_TRUE(Contains(c.substr(one), "serialNumber: SN-B\n\n\nchoose a camera >>>\n"));

    // The empty interface is closed right after its count, before anything else is opened.
    EXPECT_TRUE(Contains(r.trace, "\n!!!No Device found!!!\nTQGenTLWrapper::IFClose hIface:0x"))
        << r.trace;
    EXPECT_EQ(Count(r.trace, "TQGenTLWrapper::IFClose "), 3u); // and the kept ones at the end
}

TEST(EnumerationE2e, DevicesWithoutASerialNumberAreNeverOneCamera) {
    // Blank on both sides, and a failed register read against a blank producer serial. DEV-D
    // reports DEV-A's ID once opened: the same device, closed at once.
    e2e::ToolResult r = RunToCameraPrompt("enum-no-serial", R"(
[interface IF-A]
devices = DEV-A, DEV-B, DEV-C, DEV-D
[device DEV-D]
opened_id = DEV-A
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
    EXPECT_FALSE(Contains(r.trace, "REMOTEDEV Exited")) << r.trace;
    EXPECT_TRUE(Contains(r.trace, "\nDevice Existed\nTQGenTLWrapper::DevClose hDevice:0x"))
        << r.trace;
    EXPECT_TRUE(Contains(r.console, "\nCamera Nr: [2]\n")) << r.console;
    EXPECT_FALSE(Contains(r.console, "\nCamera Nr: [3]\n")) << r.console;
    EXPECT_EQ(Count(r.console, "serialNumber: \n\n"), 3u);
}

TEST(EnumerationE2e, NoInterfaceMeansNoCamera) {
    e2e::ToolResult r = RunToCameraPrompt("enum-none", "[link]\nlatency_us = 0\n");
    ASSERT_FALSE(r.timedOut);
    size_t none = r.console.find("!!!No Interface Found!!!\n");
    ASSERT_NE(none, std::string::npos) << r.console;
    EXPECT_NE(r.console.find("!!!No camera found!!!\n", none), std::string::npos);
    EXPECT_FALSE(Contains(r.console, "choose a camera"));
    // Nothing was opened: the shutdown closes only the system and the library.
    EXPECT_TRUE(Contains(r.trace, "\n!!!No Interface Found!!!\nTQGenTLWrapper::TLClose hTL:0x"));
    EXPECT_EQ(Count(r.trace, "Close"), 2u) << r.trace;
    EXPECT_EQ(r.traceLines.back(), "TQGenTLWrapper::GCCloseLib Successful");
}

// A file that is not a library (its trace line, and a library that lacks a function: the
// wrapper's and the command line's tests).
TEST(EnumerationE2e, UnusableProducersAreRefusedBeforeAnyCall) {
    e2e::ToolRun run = e2e::RunInScratch("enum-broken", "", "", "0\n");
    e2e::ScratchDir producers("enum-broken-cti");
    producers.Write("broken.cti", "this is not a library\n");
    run.genTLPath = producers.Path();
    e2e::ToolResult r = e2e::RunTool(run);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, e2e::StatusFor(1));
    // The loader's own reason follows, not the stand-in for a missing one.
    const std::string refusal = "!!! Can not load producer " + producers.File("broken.cti") + ": ";
    ASSERT_TRUE(Contains(r.console, refusal)) << r.console;
    const std::string reason = r.console.substr(r.console.find(refusal) + refusal.size());
    EXPECT_TRUE(reason[0] != '\n' && reason.rfind("error code ", 0) != 0) << reason;
    EXPECT_FALSE(Contains(r.trace, "hWrapper"));
    EXPECT_FALSE(Contains(r.console, "choose a camera"));
}

// Without a search path, without a producer in it, and with input that ends before a choice.
TEST(Foundation, RunsWithoutAProducerEndInOrder) {
    e2e::ToolRun run = e2e::RunInScratch("no-search-path", "", "", "0\n");
    run.genTLPathSet = false;
    e2e::ToolResult r = e2e::RunTool(run);
    EXPECT_EQ(r.console, kBanner + "LIB doesn't exist!\n"); // and no final wait
    EXPECT_EQ(r.status, e2e::StatusFor(-1));
    EXPECT_TRUE(Contains(r.trace, "LIB doesn't exist!\n")) << r.trace;

    run = e2e::RunInScratch("no-producer", "", "", "0\n");
    run.genTLPath = e2e::ScratchDir("no-producer-cti").Path();
    r = e2e::RunTool(run);
    EXPECT_EQ(r.console.rfind(kBanner + kCtiHeading + "No cti file found!\n", 0), 0u) << r.console;
    EXPECT_FALSE(Contains(r.console, "choose a file"));
    EXPECT_TRUE(Contains(r.console, "Press any key to continue"));
    EXPECT_EQ(r.status, 1);

    r = e2e::RunTool(e2e::RunInScratch("closed-input", "", "", "7\n"));
    const std::string listing = kBanner + kCtiHeading + "\nCTI File: [0]\nName: " + e2e::SimPath();
    EXPECT_EQ(r.console.rfind(listing + "\n", 0), 0u) << r.console;
    EXPECT_TRUE(Contains(r.console, "\nchoose a file >>>\nInvalid choice: [7]\n\n"
                                    "\nchoose a file >>>\n\nend of input, program exits\n"))
        << r.console;
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(Contains(r.trace, "GCInitLib")) << r.trace; // nothing of the producer called
}
