#include <gtest/gtest.h>

#include <cerrno>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "firmware/FirmwareFile.h"
#include "tests/firmware/FakeCamera.h"
#include "tests/firmware/ScratchDir.h"

TEST(FirmwareFile, CataloguesNamesHoldingDotBinInListingOrder) {
    fake::ScratchDir dir("catalogue");
    for (const char* name : {"a.bin", "b.BIN", "c.bin.txt", "d.binx", "notes.txt"}) {
        dir.Write(name, "x");
    }
    std::filesystem::create_directory(dir.path / "e.bin");

    // The order the platform lists them in, which the numbering must follow.
    const std::set<std::string> wanted = {"a.bin", "c.bin.txt", "d.binx", "e.bin"};
    std::vector<std::string> listed;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        const std::string name = entry.path().filename().string();
        if (wanted.count(name)) {
            listed.push_back(name);
        }
    }
    ASSERT_EQ(listed.size(), 4u);

    FirmwareFile catalogue;
    int32_t count = -5;
    fake::TraceLines trace;
    EXPECT_EQ(catalogue.ScanFirmwareFiles(dir.path.string(), count), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(catalogue.firmwareFiles, listed);
    ASSERT_EQ(catalogue.firmwareFileMap.size(), 4u);
    int32_t key = 0;
    for (const auto& [index, name] : catalogue.firmwareFileMap) {
        EXPECT_EQ(index, key);
        EXPECT_EQ(name, listed[key]);
        ++key;
    }
    std::vector<std::string> expectedTrace;
    for (const std::string& name : listed) {
        expectedTrace.push_back("FirmwareFile: " + name);
    }
    EXPECT_EQ(trace.lines, expectedTrace);

    // A second scan into the same catalogue refuses every name as already held.
    trace.lines.clear();
    catalogue.ScanFirmwareFiles(dir.path.string(), count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(catalogue.firmwareFileMap.size(), 4u);
    ASSERT_EQ(trace.lines.size(), 8u);
    EXPECT_EQ(trace.lines[0], "FirmwareFile: " + listed[0]);
    EXPECT_EQ(trace.lines[1], "FirmwareFile Existed");

    catalogue.selectedFirmwareName = "a.bin";
    catalogue.Clear();
    EXPECT_TRUE(catalogue.firmwareFiles.empty());
    EXPECT_TRUE(catalogue.firmwareFileMap.empty());
    EXPECT_EQ(catalogue.selectedFirmwareName, "a.bin");
}

TEST(FirmwareFile, UnreadableDirectoryIsReportedAndLeavesCatalogueEmpty) {
    fake::ScratchDir dir("missing");
    for (const std::string& name : {dir.File("absent"), std::string()}) {
        FirmwareFile catalogue;
        int32_t count = 7;
        fake::TraceLines trace;
        errno = 0;
        EXPECT_EQ(catalogue.ScanFirmwareFiles(name, count), -1);
        EXPECT_EQ(errno, ENOENT) << "the caller reports the failure from errno";
        EXPECT_EQ(count, 0);
        EXPECT_TRUE(catalogue.firmwareFileMap.empty());
        EXPECT_EQ(trace.lines, std::vector<std::string>{"opendir() error"});
    }
}
