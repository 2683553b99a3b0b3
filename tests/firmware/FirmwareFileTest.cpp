#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "firmware/FirmwareFile.h"
#include "platform/Environment.h"
#include "platform/TraceSink.h"
#include "tests/TraceCapture.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TEST(FirmwareFile, CataloguesNamesHoldingDotBinOnceInListingOrder) {
    const fs::path dir = fs::current_path() / "firmware-scratch" / "catalogue";
    fs::remove_all(dir);
    fs::create_directories(dir / "e.bin");
    for (const char* name : {"a.bin", "b.BIN", "c.bin.txt", "d.binx", "notes.txt"})
        std::ofstream(dir / name) << "x";
    // The order the platform lists them in, which the numbering must follow. A second scan
    // into the same catalogue refuses every name as already held.
    const std::set<std::string> wanted = {"a.bin", "c.bin.txt", "d.binx", "e.bin"};
    Lines listed, first, second;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (wanted.count(name)) {
            listed.push_back(name);
            first.push_back("FirmwareFile: " + name);
            second.insert(second.end(), {first.back(), "FirmwareFile Existed"});
        }
    }
    FirmwareFile catalogue;
    for (const auto& [added, trace] : {std::make_pair(4, first), std::make_pair(0, second)}) {
        int32_t count = -5;
        TraceCapture traced;
        EXPECT_EQ(catalogue.ScanFirmwareFiles(dir.string(), count), 0);
        EXPECT_EQ(count, added);
        EXPECT_EQ(catalogue.firmwareFiles, listed);
        EXPECT_EQ(traced.lines, trace);
    }
}

TEST(FirmwareFile, UnreadableDirectoryLeavesErrnoForTheCallersMessage) {
    for (const std::string name : {"firmware-scratch/absent", ""}) {
        int32_t count = 7;
        TraceCapture trace;
        errno = 0;
        EXPECT_EQ(FirmwareFile().ScanFirmwareFiles(name, count), -1);
        EXPECT_EQ(errno, ENOENT);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(trace.lines, Lines{"opendir() error"});
    }
    // The trace must not disturb errno, not even when its file cannot be opened (a folder).
    platform::SetEnvironment("CXP_FWUPDATE_TRACE", fs::current_path().string());
    platform::ResetTraceSink();
    int32_t count = 0;
    EXPECT_EQ(FirmwareFile().ScanFirmwareFiles("firmware-scratch/absent", count), -1);
    EXPECT_EQ(errno, ENOENT);
    platform::UnsetEnvironment("CXP_FWUPDATE_TRACE");
    platform::ResetTraceSink();
}
