#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/ImageCrc32.h"
#include "gentl/GenTL.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "sim/SimConfig.h"

namespace fs = std::filesystem;

namespace {

// The simulator loaded as the tool loads a producer. Each session loads it afresh, after its
// environment is set: a library with its own C runtime copies the environment when loaded.
struct Producer {
    void* library = nullptr;
    PGCInitLib GCInitLib = nullptr;
    PGCCloseLib GCCloseLib = nullptr;
    PGCReadPort GCReadPort = nullptr;
    PGCWritePort GCWritePort = nullptr;
    PTLOpen TLOpen = nullptr;
    PTLClose TLClose = nullptr;
    PTLGetNumInterfaces TLGetNumInterfaces = nullptr;
    PTLGetInterfaceID TLGetInterfaceID = nullptr;
    PTLOpenInterface TLOpenInterface = nullptr;
    PIFGetNumDevices IFGetNumDevices = nullptr;
    PIFGetDeviceID IFGetDeviceID = nullptr;
    PIFGetDeviceInfo IFGetDeviceInfo = nullptr;
    PIFOpenDevice IFOpenDevice = nullptr;
    PDevGetPort DevGetPort = nullptr;
    PDevClose DevClose = nullptr;
    PTLGetInfo TLGetInfo = nullptr;
    PTLGetInterfaceInfo TLGetInterfaceInfo = nullptr;
    PTLUpdateInterfaceList TLUpdateInterfaceList = nullptr;
    PIFClose IFClose = nullptr;
    PIFGetInfo IFGetInfo = nullptr;
    PIFUpdateDeviceList IFUpdateDeviceList = nullptr;
    PDevGetInfo DevGetInfo = nullptr;
    GC_ERROR(GC_CALLTYPE* DSClose)(DS_HANDLE) = nullptr;

    template <typename F> void Bind(F& slot, const char* name) {
        slot = reinterpret_cast<F>(platform::ResolveSymbol(library, name));
        ASSERT_NE(slot, nullptr) << name;
    }
    void Load() {
        platform::LibraryLoadFailure failure;
        library = platform::LoadDynamicLibrary(CXP_SIM_PATH, failure);
        ASSERT_NE(library, nullptr) << failure.reason;
        Bind(GCInitLib, "GCInitLib");
        Bind(GCCloseLib, "GCCloseLib");
        Bind(GCReadPort, "GCReadPort");
        Bind(GCWritePort, "GCWritePort");
        Bind(TLOpen, "TLOpen");
        Bind(TLClose, "TLClose");
        Bind(TLGetNumInterfaces, "TLGetNumInterfaces");
        Bind(TLGetInterfaceID, "TLGetInterfaceID");
        Bind(TLOpenInterface, "TLOpenInterface");
        Bind(IFGetNumDevices, "IFGetNumDevices");
        Bind(IFGetDeviceID, "IFGetDeviceID");
        Bind(IFGetDeviceInfo, "IFGetDeviceInfo");
        Bind(IFOpenDevice, "IFOpenDevice");
        Bind(DevGetPort, "DevGetPort");
        Bind(DevClose, "DevClose");
        Bind(DSClose, "DSClose");
        Bind(TLGetInfo, "TLGetInfo");
        Bind(TLGetInterfaceInfo, "TLGetInterfaceInfo");
        Bind(TLUpdateInterfaceList, "TLUpdateInterfaceList");
        Bind(IFClose, "IFClose");
        Bind(IFGetInfo, "IFGetInfo");
        Bind(IFUpdateDeviceList, "IFUpdateDeviceList");
        Bind(DevGetInfo, "DevGetInfo");
    }
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One simulator session: configuration and record folder set before GCInitLib.
class SimSession : public ::testing::Test {
protected:
    void Start(const std::string& config, GC_ERROR expected = GC_ERR_SUCCESS) {
        dir = fs::current_path() / "sim-scratch" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir / "record");
        if (config.empty()) {
            platform::UnsetEnvironment("CXP_SIM_CONFIG");
        } else {
            std::ofstream(dir / "sim.ini") << config;
            platform::SetEnvironment("CXP_SIM_CONFIG", (dir / "sim.ini").string());
        }
        platform::SetEnvironment("CXP_SIM_RECORD_DIR", (dir / "record").string());
        Reload();
        ASSERT_EQ(sim.GCInitLib(), expected);
        started = expected == GC_ERR_SUCCESS;
    }
    void Reload() {
        if (sim.library != nullptr) {
            if (started)
                sim.GCCloseLib();
            started = false;
            platform::FreeDynamicLibrary(sim.library);
        }
        sim = Producer{};
        sim.Load();
    }
    void TearDown() override {
        if (started)
            sim.GCCloseLib();
        platform::FreeDynamicLibrary(sim.library);
        platform::UnsetEnvironment("CXP_SIM_CONFIG");
        platform::UnsetEnvironment("CXP_SIM_RECORD_DIR");
    }
    // Opens the first device of interface `index` and its port.
    PORT_HANDLE OpenCamera(uint32_t index = 0) {
        if (tl == nullptr) {
            EXPECT_EQ(sim.TLOpen(&tl), GC_ERR_SUCCESS);
        }
        char id[64];
        size_t size = sizeof id;
        EXPECT_EQ(sim.TLGetInterfaceID(tl, index, id, &size), GC_ERR_SUCCESS);
        IF_HANDLE iface = nullptr;
        EXPECT_EQ(sim.TLOpenInterface(tl, id, &iface), GC_ERR_SUCCESS);
        size = sizeof id;
        EXPECT_EQ(sim.IFGetDeviceID(iface, 0, id, &size), GC_ERR_SUCCESS);
        EXPECT_EQ(sim.IFOpenDevice(iface, id, DEVICE_ACCESS_CONTROL, &device), GC_ERR_SUCCESS);
        PORT_HANDLE port = nullptr;
        EXPECT_EQ(sim.DevGetPort(device, &port), GC_ERR_SUCCESS);
        return port;
    }
    GC_ERROR Write32(PORT_HANDLE port, uint64_t address, uint32_t value) {
        uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                            uint8_t(value)};
        size_t size = 4;
        return sim.GCWritePort(port, address, bytes, &size);
    }
    GC_ERROR Read32(PORT_HANDLE port, uint64_t address, uint32_t& value) {
        uint8_t bytes[4] = {};
        size_t size = 4;
        GC_ERROR status = sim.GCReadPort(port, address, bytes, &size);
        value = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) |
                (uint32_t(bytes[2]) << 8) | bytes[3];
        return status;
    }
    // The tool's sequence up to the flash command, for an already padded image.
    void Upload(PORT_HANDLE port, const std::string& image, uint32_t crc, bool secondary = false) {
        EXPECT_EQ(Write32(port, 0xAB00, 0x5B17), GC_ERR_SUCCESS);
        EXPECT_EQ(Write32(port, 0xAB04, 0), GC_ERR_SUCCESS);
        EXPECT_EQ(Write32(port, 0xAB08, static_cast<uint32_t>(image.size())), GC_ERR_SUCCESS);
        if (secondary) {
            EXPECT_EQ(Write32(port, 0xAB14, 2), GC_ERR_SUCCESS);
        }
        for (size_t offset = 0; offset < image.size(); offset += 1024) {
            size_t size = std::min<size_t>(1024, image.size() - offset);
            EXPECT_EQ(sim.GCWritePort(port, 0x70000000 + offset, image.data() + offset, &size),
                      GC_ERR_SUCCESS);
        }
        EXPECT_EQ(Write32(port, 0xAB0C, crc), GC_ERR_SUCCESS);
        EXPECT_EQ(Write32(port, 0xAB10, 1), GC_ERR_SUCCESS);
    }
    std::string Record(const std::string& name) { return Slurp(dir / "record" / name); }

    Producer sim;
    fs::path dir;
    bool started = false;
    TL_HANDLE tl = nullptr;
    DEV_HANDLE device = nullptr;
};

TEST_F(SimSession, HonoursTheInitCloseAndHandleRules) {
    Reload();
    TL_HANDLE none = nullptr;
    EXPECT_EQ(sim.TLOpen(&none), GC_ERR_NOT_INITIALIZED);
    Start("");
    EXPECT_EQ(sim.GCInitLib(), GC_ERR_RESOURCE_IN_USE);
    EXPECT_EQ(sim.TLOpen(nullptr), GC_ERR_INVALID_PARAMETER);
    EXPECT_EQ(sim.TLOpen(&tl), GC_ERR_SUCCESS);
    uint32_t count = 0;
    int bogus = 0;
    EXPECT_EQ(sim.TLGetNumInterfaces(&bogus, &count), GC_ERR_INVALID_HANDLE);
    EXPECT_EQ(sim.TLGetNumInterfaces(tl, &count), GC_ERR_SUCCESS);
    EXPECT_EQ(count, 1u);

    // Sizes: asked for, too small, enough.
    size_t size = 0;
    EXPECT_EQ(sim.TLGetInterfaceID(tl, 0, nullptr, &size), GC_ERR_SUCCESS);
    EXPECT_EQ(size, sizeof "CXP-IF0");
    char id[8] = "xxxxxxx";
    size = 3;
    EXPECT_EQ(sim.TLGetInterfaceID(tl, 0, id, &size), GC_ERR_BUFFER_TOO_SMALL);
    size = sizeof id;
    EXPECT_EQ(sim.TLGetInterfaceID(tl, 0, id, &size), GC_ERR_SUCCESS);
    EXPECT_STREQ(id, "CXP-IF0");
    EXPECT_EQ(sim.TLGetInterfaceID(tl, 1, id, &size), GC_ERR_INVALID_INDEX);
    EXPECT_EQ(sim.TLGetInterfaceID(tl, 0, id, nullptr), GC_ERR_INVALID_PARAMETER);

    PORT_HANDLE port = OpenCamera();
    ASSERT_NE(port, nullptr);
    uint32_t value = 0;
    EXPECT_EQ(Read32(port, 0x4000, value), GC_ERR_INVALID_ADDRESS);
    EXPECT_EQ(sim.GCReadPort(port, 0x2020, nullptr, &size), GC_ERR_INVALID_PARAMETER);
    char model[40] = {};
    size = 32;
    EXPECT_EQ(sim.GCReadPort(port, 0x2020, model, &size), GC_ERR_SUCCESS);
    EXPECT_STREQ(model, "TQ-12M-CXP");
    size = 40;
    EXPECT_EQ(sim.GCReadPort(port, 0x2020, model, &size), GC_ERR_INVALID_ADDRESS);
    EXPECT_EQ(sim.DSClose(nullptr), GC_ERR_NOT_IMPLEMENTED);

    // A closed device takes its port along; both handles are stale from then on.
    EXPECT_EQ(sim.DevClose(device), GC_ERR_SUCCESS);
    EXPECT_EQ(sim.DevClose(device), GC_ERR_INVALID_HANDLE);
    EXPECT_EQ(Read32(port, 0x2020, value), GC_ERR_INVALID_HANDLE);
    EXPECT_EQ(sim.TLClose(tl), GC_ERR_SUCCESS);
    EXPECT_EQ(sim.TLClose(tl), GC_ERR_INVALID_HANDLE);
    EXPECT_EQ(sim.GCCloseLib(), GC_ERR_SUCCESS);
    started = false;
    EXPECT_EQ(sim.TLOpen(&tl), GC_ERR_NOT_INITIALIZED);
    EXPECT_EQ(sim.GCCloseLib(), GC_ERR_NOT_INITIALIZED);

    // The same loaded library reads its configuration again at the next GCInitLib.
    std::ofstream(dir / "two.ini") << "[interface A]\ndevices = D\n[interface B]\ndevices = D\n";
    platform::SetEnvironment("CXP_SIM_CONFIG", (dir / "two.ini").string());
    ASSERT_EQ(sim.GCInitLib(), GC_ERR_SUCCESS);
    started = true;
    ASSERT_EQ(sim.TLOpen(&tl), GC_ERR_SUCCESS);
    EXPECT_EQ(sim.TLGetNumInterfaces(tl, &count), GC_ERR_SUCCESS);
    EXPECT_EQ(count, 2u);
}

TEST_F(SimSession, AcceptsACompleteImageAndRecordsTrafficAndImage) {
    Start("[camera cam0]\nbusy_reads = 2\n");
    PORT_HANDLE port = OpenCamera();
    Upload(port, std::string("abc\0", 4), 0xA75D6850);
    uint32_t value = 0;
    EXPECT_EQ(Read32(port, 0xAB0C, value), GC_ERR_TIMEOUT);
    EXPECT_EQ(Read32(port, 0xAB0C, value), GC_ERR_TIMEOUT);
    EXPECT_EQ(Read32(port, 0xAB0C, value), GC_ERR_SUCCESS);
    EXPECT_EQ(value, 0xA75D6850u);
    EXPECT_EQ(Read32(port, 0xAB14, value), GC_ERR_SUCCESS);
    EXPECT_NE(value, 2u) << "no secondary FPGA configured";

    EXPECT_EQ(Record("cam0.image.bin"), std::string("abc\0", 4));
    const std::string result = Record("cam0.result.txt");
    EXPECT_NE(result.find("result = accepted\nreason = ok\n"), std::string::npos) << result;
    EXPECT_NE(result.find("crc_computed = a75d6850\n"), std::string::npos) << result;
    const std::string traffic = Record("traffic.log");
    EXPECT_NE(traffic.find("cam0 W 0x0000AB00 4 0 00005B17\n"
                           "cam0 W 0x0000AB04 4 0 00000000\n"
                           "cam0 W 0x0000AB08 4 0 00000004\n"
                           "cam0 W 0x70000000 4 0 61626300\n"
                           "cam0 W 0x0000AB0C 4 0 A75D6850\n"
                           "cam0 W 0x0000AB10 4 0 00000001\n"
                           "cam0 R 0x0000AB0C 4 -1011\n"
                           "cam0 R 0x0000AB0C 4 -1011\n"
                           "cam0 R 0x0000AB0C 4 0 A75D6850\n"),
              std::string::npos)
        << traffic;
}

TEST_F(SimSession, ChecksAnImageItKeepsNoCopyOf) {
    Start("[link]\nrecord_image = no\n[camera cam0]\n");
    PORT_HANDLE port = OpenCamera();
    std::string image(2500, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7 + 3);
    // The camera sums chunk by chunk what the tool's checksum sums here in one go.
    const uint32_t crc = ImageCrc32(reinterpret_cast<const uint8_t*>(image.data()),
                                    static_cast<uint32_t>(image.size()));
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", crc);
    Upload(port, image, crc);
    std::string result = Record("cam0.result.txt");
    EXPECT_NE(result.find("received = 2500\ncrc_received = " + std::string(hex) +
                          "\ncrc_computed = " + hex + "\nresult = accepted\n"),
              std::string::npos)
        << result;
    EXPECT_FALSE(fs::exists(dir / "record" / "cam0.image.bin"));
    Upload(port, image, crc ^ 1);
    result = Record("cam0.result.txt");
    EXPECT_NE(result.find("reason = checksum mismatch\n"), std::string::npos) << result;
}

TEST_F(SimSession, RejectsAWrongChecksumAnIncompleteImageAndAnUnsupportedTarget) {
    Start("[camera cam0]\n");
    PORT_HANDLE port = OpenCamera();
    Upload(port, "abcd", 0x12345678);
    EXPECT_NE(Record("cam0.result.txt").find("result = rejected\nreason = checksum mismatch\n"),
              std::string::npos);

    // Announce two chunks, send one.
    std::string image(2048, 'x');
    EXPECT_EQ(Write32(port, 0xAB00, 0x5B17), GC_ERR_SUCCESS);
    EXPECT_EQ(Write32(port, 0xAB04, 0), GC_ERR_SUCCESS);
    EXPECT_EQ(Write32(port, 0xAB08, 2048), GC_ERR_SUCCESS);
    size_t size = 1024;
    EXPECT_EQ(sim.GCWritePort(port, 0x70000000, image.data(), &size), GC_ERR_SUCCESS);
    EXPECT_EQ(Write32(port, 0xAB0C, 0), GC_ERR_SUCCESS);
    EXPECT_EQ(Write32(port, 0xAB10, 1), GC_ERR_SUCCESS);
    EXPECT_NE(Record("cam0.result.txt").find("reason = image incomplete: 1024 of 2048 bytes"),
              std::string::npos);

    Upload(port, "abcd", 0xED82CD11, true);
    const std::string result = Record("cam0.result.txt");
    EXPECT_NE(result.find("target = secondary\n"), std::string::npos) << result;
    EXPECT_NE(result.find("reason = camera has no secondary FPGA"), std::string::npos) << result;
}

TEST_F(SimSession, SecondaryFpgaReadsBackTwoAndTakesTheImage) {
    Start("[camera cam0]\nsecondary_fpga = yes\n");
    PORT_HANDLE port = OpenCamera();
    uint32_t value = 0;
    EXPECT_EQ(Read32(port, 0xAB14, value), GC_ERR_SUCCESS);
    EXPECT_EQ(value, 2u);
    Upload(port, "abcd", 0xED82CD11, true);
    EXPECT_NE(Record("cam0.result.txt").find("target = secondary\nsize = 4\nreceived = 4\n"),
              std::string::npos);
    EXPECT_NE(Record("cam0.result.txt").find("result = accepted"), std::string::npos);
}

TEST_F(SimSession, InjectsConfiguredFaults) {
    Start("[interface IF-A]\ndevices = D1, D2\nrefuse_open = D2\n"
          "[interface IF-B]\ndevices = D3\n"
          "[device D3]\nnull_port = yes\n"
          "[camera D1]\nfail_read = 2, 4\nfail_write = 1\nmodel_read_fails = yes\n"
          "serial = 0123456789ABCDEF\n"
          "[fault]\nTLGetInterfaceID = 2 GC_ERR_IO\nTLGetInterfaceID = 3 -1012\n");
    PORT_HANDLE port = OpenCamera(0);
    char text[32];
    size_t size = 16;
    EXPECT_EQ(sim.GCReadPort(port, 0x20B0, text, &size), GC_ERR_SUCCESS);
    EXPECT_EQ(std::string(text, 16), "0123456789ABCDEF") << "a full register has no zero byte";
    size = 16;
    EXPECT_EQ(sim.GCReadPort(port, 0x20B0, text, &size), GC_ERR_IO) << "second read fails";
    size = 32;
    EXPECT_EQ(sim.GCReadPort(port, 0x2020, text, &size), GC_ERR_IO) << "model unreadable";
    size = 16;
    EXPECT_EQ(sim.GCReadPort(port, 0x20B0, text, &size), GC_ERR_IO) << "fourth read fails";
    EXPECT_EQ(size, 0u) << "nothing transferred";
    size = 16;
    EXPECT_EQ(sim.GCReadPort(port, 0x20B0, text, &size), GC_ERR_SUCCESS);
    EXPECT_EQ(Write32(port, 0xB0E8, 0xD2C4), GC_ERR_IO) << "first write fails";
    EXPECT_EQ(Write32(port, 0xB0E8, 0xD2C4), GC_ERR_SUCCESS);

    IF_HANDLE iface = nullptr;
    EXPECT_EQ(sim.TLOpenInterface(tl, "IF-A", &iface), GC_ERR_RESOURCE_IN_USE);
    char id[16];
    size = sizeof id;
    EXPECT_EQ(sim.TLGetInterfaceID(tl, 1, id, &size), GC_ERR_IO) << "its 2nd call";
    size = sizeof id;
    EXPECT_EQ(sim.TLGetInterfaceID(tl, 1, id, &size), GC_ERR_ABORT) << "its 3rd call";
    size = sizeof id;
    EXPECT_EQ(sim.TLGetInterfaceID(tl, 1, id, &size), GC_ERR_SUCCESS);
    IF_HANDLE other = nullptr;
    EXPECT_EQ(sim.TLOpenInterface(tl, id, &other), GC_ERR_SUCCESS);
    DEV_HANDLE dev = nullptr;
    EXPECT_EQ(sim.IFOpenDevice(other, "D3", DEVICE_ACCESS_CONTROL, &dev), GC_ERR_SUCCESS);
    PORT_HANDLE nullPort = &dev;
    EXPECT_EQ(sim.DevGetPort(dev, &nullPort), GC_ERR_SUCCESS);
    EXPECT_EQ(nullPort, nullptr);
}

TEST_F(SimSession, RefusedOpenAndBadConfigurations) {
    Start("[interface IF-A]\ndevices = D1\nrefuse_open = D1\n");
    ASSERT_EQ(sim.TLOpen(&tl), GC_ERR_SUCCESS);
    IF_HANDLE iface = nullptr;
    ASSERT_EQ(sim.TLOpenInterface(tl, "IF-A", &iface), GC_ERR_SUCCESS);
    DEV_HANDLE dev = nullptr;
    EXPECT_EQ(sim.IFOpenDevice(iface, "D1", DEVICE_ACCESS_CONTROL, &dev), GC_ERR_ACCESS_DENIED);
    EXPECT_EQ(sim.IFOpenDevice(iface, "nope", DEVICE_ACCESS_CONTROL, &dev), GC_ERR_INVALID_ID);
    Start("[camera c]\nmodel = " + std::string(33, 'm') + "\n", GC_ERR_ERROR);
    platform::SetEnvironment("CXP_SIM_CONFIG", (dir / "absent.ini").string());
    Reload();
    EXPECT_EQ(sim.GCInitLib(), GC_ERR_ERROR);
    Start("[fault]\nGCInitLib = always GC_ERR_ERROR\n", GC_ERR_ERROR);
}

TEST_F(SimSession, RefusesMalformedUpdatesWithoutCrashing) {
    Start("[camera cam0]\n");
    PORT_HANDLE port = OpenCamera();
    auto flash = [&](const std::vector<std::pair<uint64_t, std::string>>& writes) {
        for (const auto& [address, bytes] : writes) {
            size_t size = bytes.size();
            EXPECT_EQ(sim.GCWritePort(port, address, bytes.data(), &size), GC_ERR_SUCCESS);
        }
        EXPECT_EQ(Write32(port, 0xAB10, 1), GC_ERR_SUCCESS);
        const std::string result = Record("cam0.result.txt");
        const size_t at = result.find("reason = ") + 9;
        return result.substr(at, result.find('\n', at) - at);
    };
    using namespace std::string_literals;
    const uint64_t data = 0x70000000;
    const std::string magic = "\0\0\x5B\x17"s, zero = "\0\0\0\0"s, four = "\0\0\0\4"s,
                      kib2 = "\0\0\x08\0"s, chunk(1024, 'y');
    const struct {
        std::vector<std::pair<uint64_t, std::string>> writes;
        const char* reason;
    } cases[] = {
        {{{0xAB08, four}, {data, "abcd"}}, "update size before the update magic"},
        {{{0xAB00, magic}, {0xAB08, four}}, "update size before the update parameter"},
        {{{0xAB00, "\0\0\0\1"s}}, "wrong update magic 00000001"},
        {{{data, "abcd"}}, "image data before the update header"},
        {{}, "no update header"},
        {{{0xAB00, magic}, {0xAB04, zero}, {0xAB08, four}, {data, "abcdefgh"}},
         "image data beyond the announced size"},
        {{{0xAB00, magic}, {0xAB04, zero}, {0xAB08, "\xFF\xFF\xFF\xFC"s}, {data, "abcd"}},
         "update size beyond the data window"},
        {{{0xAB00, magic}, {0xAB04, zero}, {0xAB08, kib2}, {data, "abcd"}, {data + 4, chunk}},
         "short chunk of 4 bytes at offset 0 before the end of the image"},
        {{{0xAB00, magic}, {0xAB04, zero}, {0xAB08, kib2}, {data + 1024, chunk}, {data, chunk}},
         "image data out of order at offset 1024"},
        {{{0xAB00, magic}, {0xAB04, zero}, {0xAB08, four}, {data, "abcd"}, {0xAB14, "\0\0\0\2"s}},
         "update target after image data"},
        {{{0xAB00, magic}, {0xAB04, zero}, {0xAB08, four}, {0xAB14, "\0\0\0\3"s}},
         "unknown update target 3"},
        {{{0xAB00, magic},
          {0xAB04, zero},
          {0xAB08, four},
          {data, "abcd"},
          {0xAB0C, zero},
          {data, "abcd"}},
         "image data after the checksum"},
        {{{0xAB00, magic}, {0xAB04, zero}, {0xAB08, zero}, {0xAB0C, zero}}, "empty image"},
        {{{0xAB00, magic}, {0xAB04, zero}, {0xAB08, "\0\0\0\6"s}, {data, "abcdef"}},
         "update size is not a multiple of 4"},
        {{{0xAB00, magic}, {0xAB04, zero}, {0xAB08, four}, {data, "abcd"}}, "no checksum written"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(flash(c.writes), c.reason);

    // Sizes a consumer gets wrong are refused, with nothing transferred.
    char text[32];
    size_t size = SIZE_MAX;
    EXPECT_EQ(sim.GCReadPort(port, 0x2000, text, &size), GC_ERR_INVALID_ADDRESS);
    EXPECT_EQ(size, 0u);
    size = 2;
    EXPECT_EQ(sim.GCWritePort(port, 0xAB00, "ab", &size), GC_ERR_INVALID_PARAMETER);
    const std::string big(1025, 'x');
    size = big.size();
    EXPECT_EQ(sim.GCWritePort(port, 0x70000000, big.data(), &size), GC_ERR_INVALID_PARAMETER);
    size = 4;
    EXPECT_EQ(sim.GCWritePort(port, 0x2000, "abcd", &size), GC_ERR_ACCESS_DENIED);
}

TEST_F(SimSession, HandlesStayDistinctAndPortsBelongToTheirDevice) {
    // Two devices in front of one camera, whose name is as long as names may be.
    const std::string cam(64, 'c');
    Start("[interface IF]\ndevices = D1, D2\n[device D1]\ncamera = " + cam +
          "\n[device D2]\ncamera = " + cam + "\n");
    ASSERT_EQ(sim.TLOpen(&tl), GC_ERR_SUCCESS);
    IF_HANDLE iface = nullptr;
    ASSERT_EQ(sim.TLOpenInterface(tl, "IF", &iface), GC_ERR_SUCCESS);
    DEV_HANDLE a = nullptr, b = nullptr;
    PORT_HANDLE pa = nullptr, pb = nullptr, again = nullptr;
    ASSERT_EQ(sim.IFOpenDevice(iface, "D1", DEVICE_ACCESS_CONTROL, &a), GC_ERR_SUCCESS);
    ASSERT_EQ(sim.IFOpenDevice(iface, "D2", DEVICE_ACCESS_CONTROL, &b), GC_ERR_SUCCESS);
    ASSERT_EQ(sim.DevGetPort(a, &pa), GC_ERR_SUCCESS);
    ASSERT_EQ(sim.DevGetPort(b, &pb), GC_ERR_SUCCESS);
    ASSERT_EQ(sim.DevGetPort(a, &again), GC_ERR_SUCCESS);
    EXPECT_EQ(again, pa) << "one port per device";
    EXPECT_NE(pa, pb);
    uint32_t value = 0;
    EXPECT_EQ(sim.DevClose(a), GC_ERR_SUCCESS);
    EXPECT_EQ(Read32(pa, 0x20B0, value), GC_ERR_INVALID_HANDLE);
    EXPECT_EQ(Read32(pb, 0x20B0, value), GC_ERR_SUCCESS) << "the other device keeps its port";
    EXPECT_NE(Record("traffic.log").find(cam + " R 0x000020B0 4 0 44310000\n"), std::string::npos);
    const DEV_HANDLE closed = a;
    ASSERT_EQ(sim.IFOpenDevice(iface, "D1", DEVICE_ACCESS_CONTROL, &a), GC_ERR_SUCCESS);
    EXPECT_NE(a, closed) << "a handle is never handed out twice";
    EXPECT_EQ(sim.DevClose(closed), GC_ERR_INVALID_HANDLE);
    EXPECT_EQ(sim.TLClose(tl), GC_ERR_SUCCESS);
    EXPECT_EQ(Read32(pb, 0x20B0, value), GC_ERR_INVALID_HANDLE) << "closed with the system";
}

TEST_F(SimSession, LinkModelChargesLatencyAndBytes) {
    // About 0.39 ms per 1 KiB chunk: 40 us + 341 ns per byte.
    Start("[link]\nlatency_us = 40\nns_per_byte = 341\n[camera cam0]\n");
    PORT_HANDLE port = OpenCamera();
    const auto start = std::chrono::steady_clock::now();
    Upload(port, std::string(64 * 1024, 'z'), 0);
    const auto ns = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              std::chrono::steady_clock::now() - start)
                                              .count());
    const uint64_t chunkNs = 40000 + 341 * 1024, headerNs = 40000 + 341 * 4;
    // The record is written during the flash command, before that access is charged.
    const uint64_t recordedNs = 64 * chunkNs + 4 * headerNs, modelledNs = recordedNs + headerNs;
    EXPECT_NE(Record("cam0.result.txt").find("port_time_us = " + std::to_string(recordedNs / 1000)),
              std::string::npos);
    std::cout << "link model: " << ns / 1000 << " us for " << modelledNs / 1000 << " modelled\n";
    // The measured timing of the data phase: all 64 chunks inside the camera, within the span
    // from the first chunk to the checksum, within the whole upload.
    const std::string result = Record("cam0.result.txt");
    auto field = [&](const std::string& key) -> uint64_t {
        const size_t at = result.find("\n" + key + " = ");
        return at == std::string::npos ? 0 : std::stoull(result.substr(at + key.size() + 4));
    };
    EXPECT_EQ(field("data_writes"), 64u);
    // An overrun of the header writes (a slow first record, a sanitizer) is taken off the
    // data writes, so they may take less than they cost, but never just a little of it.
    EXPECT_GE(field("data_in_camera_us"), 64 * chunkNs / 1000 / 2);
    EXPECT_GE(field("data_span_us"), field("data_in_camera_us"));
    EXPECT_LE(field("data_span_us"), ns / 1000);
    EXPECT_NE(result.find("\nflash_us = "), std::string::npos);
    EXPECT_GE(ns, modelledNs) << "the link waits at least what it charges";
    // Loose on purpose: a loaded machine or wine may preempt the spinning wait.
    EXPECT_LT(ns, modelledNs * 4 + 100000000) << "a wait per access that sleeps coarsely";

    // A refused access costs the round trip only, whatever size it names.
    size_t size = SIZE_MAX;
    char text[4];
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(sim.GCReadPort(port, 0x2000, text, &size), GC_ERR_INVALID_ADDRESS);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(100));
}

// What the tool does, call for call: enumerate, identify, upload, wait, finish, shut down.
TEST_F(SimSession, WalksFromInitToAVerifiedImageRecord) {
    Start("[device CXP-DEV0]\ncamera = cam0\nuser_defined_name = bench\n"
          "[camera cam0]\nbusy_ms = 50\n");
    char text[256];
    size_t size = 0;
    INFO_DATATYPE type = INFO_DATATYPE_UNKNOWN;
    // Text answers: zero-terminated, typed, the size written back with the zero.
    auto asked = [&](GC_ERROR status) {
        EXPECT_EQ(status, GC_ERR_SUCCESS);
        EXPECT_EQ(type, INFO_DATATYPE_STRING);
        EXPECT_EQ(size, std::strlen(text) + 1);
        return std::string(text);
    };
#define ASK(call) (std::memset(text, 0, sizeof text), size = sizeof text, asked(call))
    ASSERT_EQ(sim.TLOpen(&tl), GC_ERR_SUCCESS);
    EXPECT_EQ(ASK(sim.TLGetInfo(tl, TL_INFO_TLTYPE, &type, text, &size)), "CXP");
    bool8_t changed = 0;
    uint32_t count = 0;
    EXPECT_EQ(sim.TLUpdateInterfaceList(tl, &changed, 1000), GC_ERR_SUCCESS);
    ASSERT_EQ(sim.TLGetNumInterfaces(tl, &count), GC_ERR_SUCCESS);
    ASSERT_EQ(count, 1u);
    char id[128];
    size = sizeof id;
    ASSERT_EQ(sim.TLGetInterfaceID(tl, 0, id, &size), GC_ERR_SUCCESS);
    EXPECT_EQ(ASK(sim.TLGetInterfaceInfo(tl, id, INTERFACE_INFO_ID, &type, text, &size)),
              "CXP-IF0");
    IF_HANDLE iface = nullptr;
    ASSERT_EQ(sim.TLOpenInterface(tl, id, &iface), GC_ERR_SUCCESS);
    EXPECT_EQ(sim.IFUpdateDeviceList(iface, &changed, 3000), GC_ERR_SUCCESS);
    ASSERT_EQ(sim.IFGetNumDevices(iface, &count), GC_ERR_SUCCESS);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(ASK(sim.IFGetInfo(iface, INTERFACE_INFO_TLTYPE, &type, text, &size)), "CXP");
    size = sizeof id;
    ASSERT_EQ(sim.IFGetDeviceID(iface, 0, id, &size), GC_ERR_SUCCESS);
    EXPECT_EQ(ASK(sim.IFGetDeviceInfo(iface, id, DEVICE_INFO_SERIAL_NUMBER, &type, text, &size)),
              "TQ12M0001")
        << "the producer reports its camera's serial";
    ASSERT_EQ(sim.IFOpenDevice(iface, id, DEVICE_ACCESS_CONTROL, &device), GC_ERR_SUCCESS);
    EXPECT_EQ(ASK(sim.DevGetInfo(device, DEVICE_INFO_USER_DEFINED_NAME, &type, text, &size)),
              "bench");
#undef ASK
    int32_t access = 0;
    uint64_t frequency = 0;
    size = 4;
    EXPECT_EQ(sim.DevGetInfo(device, DEVICE_INFO_ACCESS_STATUS, &type, &access, &size),
              GC_ERR_SUCCESS);
    EXPECT_EQ(access, DEVICE_ACCESS_STATUS_OPEN_READWRITE);
    size = 8;
    EXPECT_EQ(sim.DevGetInfo(device, DEVICE_INFO_TIMESTAMP_FREQUENCY, &type, &frequency, &size),
              GC_ERR_SUCCESS);
    EXPECT_NE(frequency, 0u);
    PORT_HANDLE port = nullptr;
    ASSERT_EQ(sim.DevGetPort(device, &port), GC_ERR_SUCCESS);
    size = 48;
    EXPECT_EQ(sim.GCReadPort(port, 0x2040, text, &size), GC_ERR_SUCCESS);
    EXPECT_EQ(std::string(text, 48), std::string("TQ-12M-CXP rev.B 12MP CoaXPress").append(17, 0));

    // A 1025-byte file padded to 1028, as the tool sends it, with its CRC-32.
    std::string image(1028, '\0');
    for (size_t i = 0; i < 1025; ++i)
        image[i] = static_cast<char>(i * 7);
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : image) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    crc ^= 0xFFFFFFFFu;
    const auto flashed = std::chrono::steady_clock::now(); // no later than the camera's clock
    Upload(port, image, crc);
    uint32_t value = 0;
    EXPECT_EQ(Read32(port, 0xAB0C, value), GC_ERR_TIMEOUT) << "busy right after the flash";
    while (Read32(port, 0xAB0C, value) != GC_ERR_SUCCESS)
        ASSERT_LT(std::chrono::steady_clock::now() - flashed, std::chrono::seconds(5));
    EXPECT_GE(std::chrono::steady_clock::now() - flashed, std::chrono::milliseconds(50));
    EXPECT_EQ(Write32(port, 0xB0E8, 0xD2C4), GC_ERR_SUCCESS);

    EXPECT_EQ(Record("cam0.image.bin"), image);
    char crcText[9];
    std::snprintf(crcText, sizeof crcText, "%08x", crc);
    EXPECT_NE(Record("cam0.result.txt")
                  .find("camera = cam0\ntarget = primary\nsize = 1028\nreceived = 1028\n"
                        "crc_received = " +
                        std::string(crcText) + "\ncrc_computed = " + crcText +
                        "\nresult = accepted\nreason = ok\n"),
              std::string::npos)
        << Record("cam0.result.txt");
    EXPECT_NE(Record("traffic.log").find("cam0 W 0x70000000 1024 0\ncam0 W 0x70000400 4 0 "),
              std::string::npos);

    EXPECT_EQ(sim.DevClose(device), GC_ERR_SUCCESS);
    EXPECT_EQ(sim.IFClose(iface), GC_ERR_SUCCESS);
    EXPECT_EQ(sim.IFClose(iface), GC_ERR_INVALID_HANDLE);
    EXPECT_EQ(sim.TLClose(tl), GC_ERR_SUCCESS);
    EXPECT_EQ(sim.GCCloseLib(), GC_ERR_SUCCESS);
    started = false;

    // All 57 names are there; the variant for testing incomplete producers lacks exactly
    // DevClose.
    platform::LibraryLoadFailure failure;
    void* lacking = platform::LoadDynamicLibrary(CXP_SIM_LACKING_PATH, failure);
    ASSERT_NE(lacking, nullptr) << failure.reason;
    ASSERT_EQ(sim::ProducerFunctions().size(), 57u);
    for (const std::string& name : sim::ProducerFunctions()) {
        EXPECT_NE(platform::ResolveSymbol(sim.library, name.c_str()), nullptr) << name;
        EXPECT_EQ(platform::ResolveSymbol(lacking, name.c_str()) == nullptr, name == "DevClose")
            << name;
    }
    platform::FreeDynamicLibrary(lacking);
}

} // namespace
