#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <tuple>

#include "firmware/ImageCrc32.h"
#include "gentl/DebugTrace.h"
#include "gentl/TQGenTLWrapper.h"
#include "platform/Environment.h"
#include "sim/SimConfig.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;
using Writes = std::vector<std::pair<uint64_t, std::string>>;
using Statuses = std::vector<GC_ERROR>; // in the order of the calls that gave them

namespace {
int64_t Us(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - from).count();
}

// One simulator session a test: the library loaded afresh after its environment is set, and
// driven through the tool's own binding, its trace dropped.
class SimSession : public ::testing::Test {
protected:
    void Start(const std::string& config) {
        dir = fs::current_path() / "sim-scratch" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir / "record");
        std::ofstream(dir / "sim.ini") << config;
        platform::SetEnvironment("CXP_SIM_CONFIG", (dir / "sim.ini").string());
        platform::SetEnvironment("CXP_SIM_RECORD_DIR", (dir / "record").string());
        SetTraceObserver([](const std::string&) {});
        sim = std::make_unique<TQGenTLWrapper>(CXP_SIM_PATH);
        ASSERT_EQ(sim->GCInitLib(), GC_ERR_SUCCESS);
    }
    void TearDown() override {
        if (sim)
            sim->GCCloseLib();
        sim.reset();
        SetTraceObserver(nullptr);
        platform::UnsetEnvironment("CXP_SIM_CONFIG");
        platform::UnsetEnvironment("CXP_SIM_RECORD_DIR");
    }
    // A device and its port, the system and the interface opened on the way (once).
    PORT_HANDLE Open(const std::string& device, const std::string& interfaceId = "CXP-IF0",
                     DEV_HANDLE* opened = nullptr) {
        EXPECT_TRUE(tl != nullptr || sim->TLOpen(&tl) == GC_ERR_SUCCESS);
        EXPECT_TRUE(iface != nullptr || sim->TLOpenInterface(tl, interfaceId.c_str(), &iface) == 0);
        DEV_HANDLE handle = nullptr, &kept = opened ? *opened : handle;
        PORT_HANDLE port = nullptr;
        EXPECT_EQ(sim->IFOpenDevice(iface, device.c_str(), DEVICE_ACCESS_CONTROL, &kept), 0);
        EXPECT_EQ(sim->DevGetPort(kept, &port), GC_ERR_SUCCESS);
        return port;
    }
    // A register value as it travels: most significant byte first.
    std::string Be(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
    // Writes that must each succeed.
    void Send(PORT_HANDLE port, const Writes& writes) {
        for (const auto& [address, bytes] : writes) {
            size_t n = bytes.size();
            EXPECT_EQ(sim->GCWritePort(port, address, bytes.data(), &n), 0) << std::hex << address;
        }
    }
    // A read's status; what it gave, up to the first zero byte, in `got`.
    GC_ERROR Read(PORT_HANDLE port, uint64_t address, size_t size = 4) {
        char bytes[64] = {};
        const GC_ERROR status = sim->GCReadPort(port, address, bytes, &size);
        got = bytes;
        return status;
    }
    std::string Record(const std::string& name) {
        std::ifstream in(dir / "record" / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The value of "key = value" in a camera's result record.
    std::string Field(const std::string& camera, const std::string& key) {
        const std::string record = "\n" + Record(camera + ".result.txt"), head = "\n" + key + " = ";
        const size_t at = record.find(head), from = at + head.size();
        return at == std::string::npos ? "?" : record.substr(from, record.find('\n', from) - from);
    }

    std::unique_ptr<TQGenTLWrapper> sim;
    fs::path dir;
    std::string got;
    TL_HANDLE tl = nullptr;
    IF_HANDLE iface = nullptr;
};

// The rules of a careful producer (the tool's own calls are proven by its end-to-end trace).
TEST_F(SimSession, WalksThroughTheCallsByTheHandleAndSizeRules) {
    // Two devices in front of one camera, whose name is as long as names may be.
    const std::string cam(64, 'c');
    Start("[interface IF]\ndevices = D1, D2\n[device D1]\ncamera = " + cam +
          "\nuser_defined_name = bench\n[device D2]\ncamera = " + cam + "\n");
    EXPECT_EQ(sim->GCInitLib(), GC_ERR_RESOURCE_IN_USE);
    DEV_HANDLE a = nullptr, b = nullptr;
    const PORT_HANDLE pa = Open("D1", "IF", &a), pb = Open("D2", "IF", &b);
    EXPECT_EQ(sim->TLOpenInterface(tl, "IF", &b), GC_ERR_RESOURCE_IN_USE);
    char text[80] = {};
    size_t size = sizeof text;
    INFO_DATATYPE type = 0;
    EXPECT_TRUE(sim->DevGetInfo(a, DEVICE_INFO_USER_DEFINED_NAME, nullptr, text, &size) == 0 &&
                text == "bench"s);
    // Text answers: typed, zero-terminated, the size written back with the zero.
    EXPECT_EQ(sim->TLGetInfo(tl, TL_INFO_TLTYPE, &type, text, &size), GC_ERR_SUCCESS);
    EXPECT_TRUE(type == INFO_DATATYPE_STRING && size == sizeof "CXP" && text == "CXP"s) << text;
    EXPECT_EQ(sim->TLGetNumInterfaces(&type, nullptr), GC_ERR_INVALID_HANDLE);
    // Sizes: asked for, too small, enough.
    EXPECT_TRUE(sim->TLGetInterfaceID(tl, 0, nullptr, &size) == 0 && size == sizeof "IF");
    size = 2;
    EXPECT_EQ(sim->TLGetInterfaceID(tl, 0, text, &size), GC_ERR_BUFFER_TOO_SMALL);
    EXPECT_TRUE(sim->TLGetInterfaceID(tl, 0, text, &size) == 0 && text == "IF"s) << "size needed";
    EXPECT_EQ(sim->TLGetInterfaceID(tl, 1, text, &size), GC_ERR_INVALID_INDEX);
    EXPECT_EQ(sim->TLGetInterfaceID(tl, 0, text, nullptr), GC_ERR_INVALID_PARAMETER);
    EXPECT_EQ(sim->IFOpenDevice(iface, "D9", DEVICE_ACCESS_CONTROL, &b), GC_ERR_INVALID_ID);
    EXPECT_EQ(sim->GCReadPort(pa, 0x2020, nullptr, &size), GC_ERR_INVALID_PARAMETER);
    // A closed device takes its port along, the camera's other device keeps its own.
    const GC_ERROR ok = GC_ERR_SUCCESS, gone = GC_ERR_INVALID_HANDLE, none = GC_ERR_NOT_INITIALIZED;
    EXPECT_EQ(Statuses({sim->DevClose(a), sim->DevClose(a), Read(pa, 0x20B0), Read(pb, 0x20B0)}),
              Statuses({ok, gone, gone, ok}));
    EXPECT_NE(Record("traffic.log").find(cam + " R 0x000020B0 4 0 44310000\n"), std::string::npos);
    EXPECT_NE((Open("D1", "IF", &b), b), a) << "a handle is never handed out twice";
    // Nothing closes twice; the system takes the ports along, and the library everything.
    EXPECT_EQ(
        Statuses({sim->IFClose(iface), sim->IFClose(iface), sim->TLClose(tl), sim->TLClose(tl),
                  Read(pb, 0x20B0), sim->GCCloseLib(), sim->TLOpen(&tl), sim->GCCloseLib()}),
        Statuses({ok, gone, ok, gone, gone, ok, none, none}));
    // Every GCInitLib reads the configuration again: a bad or a missing file fails it.
    std::ofstream(dir / "sim.ini") << "[camera c]\nmodel = " + std::string(33, 'm') + "\n";
    EXPECT_EQ(sim->GCInitLib(), GC_ERR_ERROR);
    platform::SetEnvironment("CXP_SIM_CONFIG", (dir / "absent.ini").string());
    EXPECT_EQ(sim->GCInitLib(), GC_ERR_ERROR);
}

// Registers (those the end-to-end tests do not prove), faults, and bad updates with their reasons.
TEST_F(SimSession, AnswersAsConfiguredInjectsFaultsAndRejectsBadUpdates) {
    Start("[interface IF-A]\ndevices = cam0, odd, mute, D1, D2\nrefuse_open = D2\n"
          "[interface IF-B]\ndevices = D3\n[device D3]\nnull_port = yes\n"
          "[camera cam0]\ndevice_version_after_update = 9\n[camera D1]\nfail_read = 2, 4\n"
          "[camera odd]\nserial = 0123456789ABCDEF\nuser_id = line-3\n"
          "[camera mute]\nstandard_read_fails = yes\nuser_id_read_fails = yes\n"
          "[fault]\nTLGetInterfaceID = 2 GC_ERR_IO\nTLGetInterfaceID = 3 -1012\n");
    std::map<std::string, PORT_HANDLE> ports;
    for (const char* device : {"cam0", "odd", "mute", "D1"})
        ports[device] = Open(device, "IF-A");
    // camera, read or write, address, size; status (and bytes moved), what a read gives
    const std::tuple<const char*, char, uint64_t, size_t, GC_ERROR, std::string> cases[] = {
        {"mute", 'R', 0x0000, 4, GC_ERR_IO, ""},
        {"odd", 'R', 0x20B0, 16, GC_ERR_SUCCESS, "0123456789ABCDEF"}, // full: no zero byte
        {"odd", 'R', 0x20C4, 4, GC_ERR_SUCCESS, "-3\0\0"s},
        {"mute", 'R', 0x20C0, 16, GC_ERR_IO, ""},
        {"cam0", 'R', 0x20C4, 16, GC_ERR_INVALID_ADDRESS, ""}, // past the register's end
        {"cam0", 'R', 0x4000, 4, GC_ERR_INVALID_ADDRESS, ""},
        {"cam0", 'W', 0x0000, 4, GC_ERR_ACCESS_DENIED, ""},
        {"cam0", 'W', 0x2000, 4, GC_ERR_ACCESS_DENIED, ""},
        {"cam0", 'W', 0x20C0, 4, GC_ERR_ACCESS_DENIED, ""},
        {"cam0", 'W', 0xAB00, 2, GC_ERR_INVALID_PARAMETER, ""},
        {"cam0", 'W', 0x70000000, 1025, GC_ERR_INVALID_PARAMETER, ""},
    };
    for (const auto& [camera, kind, address, width, expected, read] : cases) {
        char buffer[2048] = {}; // what a read gives, or what a write takes
        size_t size = width;
        const GC_ERROR status = kind == 'R'
                                    ? sim->GCReadPort(ports.at(camera), address, buffer, &size)
                                    : sim->GCWritePort(ports.at(camera), address, buffer, &size);
        EXPECT_EQ(std::tuple(status, size, std::string(buffer, kind == 'R' ? size : 0)),
                  std::tuple(expected, expected == GC_ERR_SUCCESS ? width : 0, read))
            << camera << ' ' << kind << ' ' << std::hex << address;
    }
    for (GC_ERROR status : {GC_ERR_SUCCESS, GC_ERR_IO, GC_ERR_SUCCESS, GC_ERR_IO, GC_ERR_SUCCESS})
        EXPECT_EQ(Read(ports["D1"], 0x20B0), status) << "reads 2 and 4 fail";
    DEV_HANDLE d2 = nullptr;
    EXPECT_EQ(sim->IFOpenDevice(iface, "D2", DEVICE_ACCESS_CONTROL, &d2), GC_ERR_ACCESS_DENIED);

    const uint64_t data = 0x70000000;
    const std::string magic = Be(0x5B17), zero = Be(0), crc = Be(0xED82CD11), chunk(1024, 'y');
    // the announced size after the magic and parameter (-1: no header), then these writes
    const std::tuple<int64_t, Writes, const char*> updates[] = {
        {-1, {{0xAB08, Be(4)}, {data, "abcd"}}, "update size before the update magic"},
        {-1, {{0xAB00, magic}, {0xAB08, Be(4)}}, "update size before the update parameter"},
        {-1, {{0xAB00, magic}, {0xAB04, zero}, {0xAB04, zero}}, "update parameter written twice"},
        {-1, {{0xAB00, Be(1)}}, "wrong update magic 00000001"},
        {-1, {{data, "abcd"}}, "image data before the update header"},
        {-1, {{0xAB0C, zero}}, "checksum before the update header"},
        {-1, {}, "no update header"},
        {4, {{0xAB08, zero}}, "update size written twice"},
        {4, {{data, "abcdefgh"}}, "image data beyond the announced size"},
        {0xFFFFFFFC, {{data, "abcd"}}, "update size beyond the data window"},
        {2048, {{data, "abcd"}, {data + 4, chunk}}, "short chunk of 4 bytes at offset 0 before"},
        {2048, {{data + 1024, chunk}, {data, chunk}}, "image data out of order at offset 1024"},
        {2048, {{data, chunk}, {0xAB0C, zero}}, "image incomplete: 1024 of 2048 bytes"},
        {4, {{data, "abcd"}, {0xAB14, Be(2)}}, "update target after image data"},
        {4, {{0xAB14, Be(3)}}, "unknown update target 3"},
        {4, {{data, "abcd"}, {0xAB0C, zero}, {data, "abcd"}}, "image data after the checksum"},
        {0, {{0xAB0C, zero}}, "empty image"},
        {6, {{data, "abcdef"}}, "update size is not a multiple of 4"},
        {4, {{data, "abcd"}}, "no checksum written"},
        {4, {{0xAB10, Be(2)}, {data, "abcd"}, {0xAB0C, crc}}, "unknown flash command 00000002"},
        {4, {{data, "abcd"}, {0xAB0C, zero}}, "checksum mismatch"},
        {4, {{0xAB14, Be(2)}, {data, "abcd"}, {0xAB0C, crc}}, "camera has no secondary FPGA"},
    };
    for (const auto& [size, writes, reason] : updates) {
        const Writes header = {{0xAB00, magic}, {0xAB04, zero}, {0xAB08, Be(uint32_t(size))}};
        for (const Writes& list : {size >= 0 ? header : Writes{}, writes, {{0xAB10, Be(1)}}})
            Send(ports["cam0"], list);
        const std::string said = Field("cam0", "result") + ": " + Field("cam0", "reason");
        EXPECT_EQ(said.rfind("rejected: "s + reason, 0), 0u) << said;
    }
    EXPECT_TRUE(Read(ports["cam0"], 0x2070, 32) == 0 && got == "1.0.0") << "no rejected update";

    char id[16];
    size_t size = sizeof id;
    for (GC_ERROR status : {GC_ERR_SUCCESS, GC_ERR_IO, GC_ERR_ABORT, GC_ERR_SUCCESS})
        EXPECT_EQ(sim->TLGetInterfaceID(tl, 1, id, &size), status) << "calls 2 and 3 fail";
    iface = nullptr;
    EXPECT_EQ(Open("D3", id), nullptr) << "a null port";
}

// The link model on one camera (several side by side: the parallel update's end-to-end test).
// The image goes to a secondary FPGA, checked as it comes as no copy is kept.
TEST_F(SimSession, ChargesTheLinkAndKeepsItsSchedule) {
    constexpr int kChunks = 32; // 2.56 ms a chunk, 10 us a register
    Start("[link]\nns_per_byte = 2500\nrecord_image = no\n[camera c0]\nsecondary_fpga = yes\n"
          "busy_reads = 1\ndevice_version_after_update = 2\n");
    const PORT_HANDLE port = Open("CXP-DEV-c0");
    const std::string image(kChunks * 1024, 'z');
    const uint32_t crc = ImageCrc32(reinterpret_cast<const uint8_t*>(image.data()), image.size());
    Writes upload = {
        {0xAB00, Be(0x5B17)}, {0xAB04, Be(0)}, {0xAB08, Be(kChunks * 1024)}, {0xAB14, Be(2)}};
    for (int k = 0; k < kChunks; ++k)
        upload.push_back({0x70000000 + k * 1024, image.substr(k * 1024, 1024)});
    upload.insert(upload.end(), {{0xAB0C, Be(crc)}, {0xAB10, Be(1)}});
    auto start = Clock::now();
    Send(port, upload);
    const int64_t tookUs = Us(start), chargedUs = 5 * 10 + kChunks * 2560; // to the flash
    std::string fields;                                                    // of the result record
    for (const char* key : {"target", "size", "received", "result", "port_time_us", "data_writes"})
        fields += Field("c0", key) + " ";
    EXPECT_EQ(fields, "secondary 32768 32768 accepted " + std::to_string(chargedUs) + " 32 ");
    EXPECT_TRUE(std::stoul(Field("c0", "crc_received"), nullptr, 16) == crc &&
                Field("c0", "crc_computed") == Field("c0", "crc_received"));
    EXPECT_FALSE(fs::exists(dir / "record" / "c0.image.bin"));
    EXPECT_TRUE(Read(port, 0x2070, 32) == 0 && got == "1.0.0") << "the new one once it answers";
    // Measured: time inside the chunk writes, within the span from first chunk to checksum.
    const int64_t span = std::stoll(Field("c0", "data_span_us")),
                  inCamera = std::stoll(Field("c0", "data_in_camera_us"));
    EXPECT_TRUE(inCamera > 0 && span >= inCamera && span <= tookUs)
        << inCamera << " in the camera, " << span << " span, " << tookUs << " in all";
    EXPECT_GE(tookUs, chargedUs + 10) << "a link waits at least what it charges";
    EXPECT_LT(tookUs, chargedUs * 4 + 100000) << "a link that falls behind its schedule";
    // A long run of accesses, each cheaper than a wake-up is late, keeps to the model (80 ms).
    start = Clock::now();
    for (int i = 0; i < 8000; ++i)
        EXPECT_EQ(Read(port, 0xAB14), GC_ERR_SUCCESS);
    EXPECT_LT(Us(start), 8000 * 10 * 5) << "the lateness of every wait added up";
    // A refused access costs the round trip only, whatever size it names (1 MiB: 2.6 s moved).
    start = Clock::now();
    EXPECT_EQ(Read(port, 0x2000, size_t(1) << 20), GC_ERR_INVALID_ADDRESS);
    EXPECT_LT(Us(start), 100000);
}

// Errors name file, line and reason (told apart by how it begins), defaults fill what the file
// leaves out, and every shipped example is good.
TEST(SimConfig, ErrorsNameFileLineAndReasonAndDefaultsFillTheRest) {
    const std::pair<std::string, const char*> cases[] = {
        {"[link]\nlatency_us = fast\n", "2: bad value 'fast' for 'latency_us'"},
        {"\n[gadget]\n", "2: unknown section [gadget]"},
        {"[camera c]\nserial = 12345678901234567\n", "2: 'serial' is 17 bytes long"},
        {"[camera c]\nuser_id = 12345678901234567\n", "2: 'user_id' is 17 bytes long"},
        {"[camera c]\ndevice_version_after_update = " + std::string(33, 'v') + "\n",
         "2: 'device_version_after_update' is 33 bytes long, its register holds 32"},
        {"[camera c]\nstandard = 0x1G\n", "2: bad value '0x1G' for 'standard'"},
        {"[camera c]\nfail_read = 2, x\n", "2: bad value '2, x' for 'fail_read'"},
        {"[camera ../up]\n", "1: camera name '../up' is not 1 to 64 letters"},
        {"[device d]\ncamera = my cam\n", "2: camera name 'my cam' is not"},
        {"[interface i]\nrefuse_open = D2\ndevices = D1\n[camera c]\n", "2: refuse_open names D2"},
        {"[interface i]\ndevices = ok, bad/id\n", "2: device ID 'bad/id' cannot name its camera"},
        {"[camera c]\ncolour = red\n", "2: unknown key 'colour' in [camera]"},
        {"key = 1\n", "1: key 'key' outside a section"},
        {"[fault]\nTLOpenNow = 1 GC_ERR_IO\n", "2: 'TLOpenNow' is no producer function"},
        {"[fault]\nTLOpen = 1 GC_ERR_NOPE\n", "2: unknown error code 'GC_ERR_NOPE'"},
        {"[fault]\nTLOpen = never GC_ERR_IO\n", "2: fault needs 'always' or a call number"},
        {"[interface\n", "1: section header without ']'"},
        {"[device d]\n[device d]\n", "2: device d defined twice"},
        {"[camera]\n", "1: section [camera] needs a name"},
        {"[link]\njust text\n", "2: expected 'key = value'"},
        {"[delay]\nGCInitLib = soon\n", "2: bad value 'soon' for 'GCInitLib'"},
        {"[camera c]\nslow_write = 3\n", "2: bad value '3' for 'slow_write'"},
    };
    sim::SimConfig config;
    std::string error;
    for (const auto& [text, expected] : cases) {
        EXPECT_FALSE(sim::ParseConfig(text, "f.ini", config, error)) << text;
        EXPECT_EQ(error.rfind("f.ini:"s + expected, 0), 0u) << error;
    }
    const std::string good = "[interface A]\ndevices = D1, D2\n[device D2]\ncamera = cam\n"
                             "[camera cam]\nstandard = c0a79ae6\ndevice_version_after_update =\n";
    ASSERT_TRUE(sim::ParseConfig(good, "f.ini", config, error)) << error;
    EXPECT_EQ(config.cameras.at("D1").serial, "D1");
    EXPECT_EQ(config.cameras.at("cam").standard, 0xC0A79AE6u);
    EXPECT_EQ(config.cameras.at("cam").versionAfterUpdate, std::string()) << "set, and empty";
    EXPECT_FALSE(config.cameras.at("D1").versionAfterUpdate) << "unchanged by an update";
    size_t examples = 0;
    for (const auto& entry : fs::directory_iterator(CXP_SIM_EXAMPLES)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        EXPECT_TRUE(sim::ParseConfig(text, entry.path().string(), config, error)) << error;
        ++examples;
    }
    EXPECT_GE(examples, 5u);
}

} // namespace
