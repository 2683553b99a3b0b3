#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/SimConfig.h"

namespace {

TEST(SimConfig, ErrorsNameFileLineAndReason) {
    const std::pair<std::string, const char*> cases[] = {
        {"[link]\nlatency_us = fast\n", "f.ini:2: bad value 'fast' for 'latency_us'"},
        {"\n[gadget]\n", "f.ini:2: unknown section [gadget]"},
        {"[camera c]\nserial = 12345678901234567\n",
         "f.ini:2: 'serial' is 17 bytes long, its register holds 16"},
        {"[camera c]\nuser_id = 12345678901234567\n",
         "f.ini:2: 'user_id' is 17 bytes long, its register holds 16"},
        {"[camera c]\ndevice_version_after_update = " + std::string(33, 'v') + "\n",
         "f.ini:2: 'device_version_after_update' is 33 bytes long, its register holds 32"},
        {"[camera c]\nstandard = 0x1G\n", "f.ini:2: bad value '0x1G' for 'standard'"},
        {"[camera c]\nfail_read = 2, x\n", "f.ini:2: bad value '2, x' for 'fail_read'"},
        {"[camera ../up]\n",
         "f.ini:1: camera name '../up' is not 1 to 64 letters, digits, '-', '_' or '.'"},
        {"[device d]\ncamera = my cam\n",
         "f.ini:2: camera name 'my cam' is not 1 to 64 letters, digits, '-', '_' or '.'"},
        {"[interface i]\nrefuse_open = D2\ndevices = D1\n[camera c]\n",
         "f.ini:2: refuse_open names D2, which this interface does not list"},
        {"[interface i]\ndevices = ok, bad/id\n",
         "f.ini:2: device ID 'bad/id' cannot name its camera; set camera = NAME in a [device "
         "bad/id] section"},
        {"[camera c]\ncolour = red\n", "f.ini:2: unknown key 'colour' in [camera]"},
        {"key = 1\n", "f.ini:1: key 'key' outside a section"},
        {"[fault]\nTLOpenNow = 1 GC_ERR_IO\n", "f.ini:2: 'TLOpenNow' is no producer function"},
        {"[fault]\nTLOpen = 1 GC_ERR_NOPE\n", "f.ini:2: unknown error code 'GC_ERR_NOPE'"},
        {"[fault]\nTLOpen = never GC_ERR_IO\n",
         "f.ini:2: fault needs 'always' or a call number from 1, then an error code"},
        {"[interface\n", "f.ini:1: section header without ']'"},
        {"[device d]\n[device d]\n", "f.ini:2: device d defined twice"},
        {"[camera]\n", "f.ini:1: section [camera] needs a name"},
        {"[link]\njust text\n", "f.ini:2: expected 'key = value'"},
    };
    for (const auto& [text, expected] : cases) {
        sim::SimConfig config;
        std::string error;
        EXPECT_FALSE(sim::ParseConfig(text, "f.ini", config, error)) << text;
        EXPECT_EQ(error, expected) << text;
    }
}

TEST(SimConfig, TopologyDefaultsFillWhatTheFileLeavesOut) {
    sim::SimConfig config;
    std::string error;
    ASSERT_TRUE(sim::ParseConfig("# a device without a section\n[interface A]\ndevices = D1, D2\n"
                                 "[device D2]\ncamera = cam\n[camera cam]\nstandard = c0a79ae6\n"
                                 "device_version_after_update =\n",
                                 "f.ini", config, error))
        << error;
    EXPECT_EQ(config.devices.at("D1").camera, "D1");
    EXPECT_EQ(config.cameras.at("D1").serial, "D1");
    EXPECT_EQ(config.cameras.at("cam").standard, 0xC0A79AE6u);
    EXPECT_EQ(config.cameras.at("cam").versionAfterUpdate, std::string()) << "set, and empty";
    EXPECT_FALSE(config.cameras.at("D1").versionAfterUpdate) << "unchanged by an update";
    // A bare [link] has no interface.
    ASSERT_TRUE(sim::ParseConfig("[link]\nlatency_us = 5\n", "h", config, error));
    EXPECT_TRUE(config.interfaces.empty());
}

TEST(SimConfig, EveryShippedExampleParses) {
    size_t examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CXP_SIM_EXAMPLES)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        sim::SimConfig config;
        std::string error;
        EXPECT_TRUE(sim::ParseConfig(text, entry.path().string(), config, error)) << error;
        ++examples;
    }
    EXPECT_GE(examples, 5u);
}

} // namespace
