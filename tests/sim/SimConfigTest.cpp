#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/SimConfig.h"

namespace {

TEST(SimConfig, ErrorsNameFileLineAndReason) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[link]\nlatency_us = fast\n", "f.ini:2: bad value 'fast' for 'latency_us'"},
        {"\n[gadget]\n", "f.ini:2: unknown section [gadget]"},
        {"[camera c]\nserial = 12345678901234567\n",
         "f.ini:2: 'serial' is 17 bytes long, its register holds 16"},
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
    for (const auto& c : cases) {
        sim::SimConfig config;
        std::string error;
        EXPECT_FALSE(sim::ParseConfig(c.text, "f.ini", config, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(SimConfig, TopologyDefaultsFillWhatTheFileLeavesOut) {
    sim::SimConfig config;
    std::string error;
    ASSERT_TRUE(sim::ParseConfig("# two interfaces, one shared device\n"
                                 "[interface A]\ndevices = D1, D2\n"
                                 "[interface A]\ndevices = D2\nrefuse_open = D2\n"
                                 "[device D2]\nserial = S-2\ncamera = cam\n"
                                 "[camera cam]\nmodel = " +
                                     std::string(32, 'M') +
                                     "\nbusy_reads = 3"
                                     "\nfail_write = 5, 7\n"
                                     "[fault]\nTLGetInterfaceID = 2 GC_ERR_ERROR\n"
                                     "IFOpenDevice = always -1005\n"
                                     "TLGetInterfaceID = 4 GC_ERR_IO\n",
                                 "f.ini", config, error))
        << error;
    ASSERT_EQ(config.interfaces.size(), 2u);
    EXPECT_EQ(config.interfaces[1].refuseOpen, std::vector<std::string>{"D2"});
    EXPECT_EQ(config.devices.at("D1").camera, "D1");
    EXPECT_EQ(config.cameras.at("D1").serial, "D1");
    EXPECT_EQ(config.cameras.at("cam").model, std::string(32, 'M'));
    EXPECT_EQ(config.cameras.at("cam").busyReads, 3u);
    EXPECT_EQ(config.cameras.at("cam").failWrites, (std::vector<unsigned>{5, 7}));
    const auto& interfaceId = config.faults.at("TLGetInterfaceID");
    ASSERT_EQ(interfaceId.size(), 2u) << "a second line adds a fault";
    EXPECT_EQ(interfaceId[0].nth, 2u);
    EXPECT_EQ(interfaceId[0].code, -1001);
    EXPECT_EQ(interfaceId[1].nth, 4u);
    EXPECT_EQ(interfaceId[1].code, -1010);
    EXPECT_EQ(config.faults.at("IFOpenDevice")[0].nth, 0u);
    EXPECT_EQ(config.faults.at("IFOpenDevice")[0].code, -1005);

    // Cameras alone sit behind the default frame grabber; a bare [link] has no interface.
    ASSERT_TRUE(sim::ParseConfig("[camera cam0]\nsecondary_fpga = yes\n", "g", config, error));
    ASSERT_EQ(config.interfaces.size(), 1u);
    EXPECT_EQ(config.interfaces[0].devices, std::vector<std::string>{"CXP-DEV0"});
    EXPECT_TRUE(config.cameras.at("cam0").secondaryFpga);
    EXPECT_EQ(config.cameras.at("cam0").model, "TQ-12M-CXP");
    ASSERT_TRUE(sim::ParseConfig("[link]\nlatency_us = 5\n", "h", config, error));
    EXPECT_TRUE(config.interfaces.empty());
    EXPECT_EQ(config.latencyUs, 5u);
}

TEST(SimConfig, EveryShippedExampleParses) {
    size_t examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CXP_SIM_EXAMPLES)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        sim::SimConfig config;
        std::string error;
        EXPECT_TRUE(sim::ParseConfig(text.str(), entry.path().string(), config, error)) << error;
        ++examples;
    }
    EXPECT_GE(examples, 5u);
}

} // namespace
