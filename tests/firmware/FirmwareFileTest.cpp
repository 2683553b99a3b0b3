#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "firmware/Compatibility.h"
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
        EXPECT_EQ(std::make_tuple(errno, count, trace.lines),
                  std::make_tuple(ENOENT, 0, Lines{"opendir() error"}));
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

TEST(Compatibility, TheModelMustOccurThenTwoKmt26ImagesAreBlocked) {
    const Compatibility match = Compatibility::Matches, mismatch = Compatibility::ModelMismatch;
    const std::string m = "TQ-12M-CXP";
    // Case-sensitive and whole; an unreadable model register leaves the model empty, which
    // every name holds.
    std::vector<std::tuple<std::string, std::string, Compatibility>> cases = {
        {"fw_TQ-12M-CXP_v2.bin", m, match}, {"tq-12m-cxp.bin", m, mismatch},
        {"TQ-12M.bin", m, mismatch},        {"TQ.bin", "TQ.bin.longer", mismatch},
        {"anything.bin", "", match},        {m + "_kmt26_RT40-4D_v1.7.2_b3008.bin", m, match}};
    for (const std::string b : {"RT40-4D_v1.7.2_b3007.bin", "RT40-4D_v1.7.2_b3009.bin"}) {
        // The model test comes first; only "kmt26" exactly, and the blocked name whole.
        cases.insert(cases.end(), {{m + "_kmt26_" + b, m, Compatibility::Blocked},
                                   {b + "kmt26" + m, m, Compatibility::Blocked},
                                   {"kmt26_" + b, m, mismatch},
                                   {m + "_" + b, m, match},
                                   {m + "_KMT26_" + b, m, match},
                                   {m + "_kmt2_" + b, m, match},
                                   {m + "_kmt26_" + b.substr(0, b.size() - 1), m, match}});
    }
    for (const auto& [name, model, expected] : cases)
        EXPECT_EQ(CheckCompatibility(name, model), expected) << name << " / " << model;
}
