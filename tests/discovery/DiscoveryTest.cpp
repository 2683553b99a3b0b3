#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "discovery/ProducerManager.h"
#include "platform/Environment.h"
#include "platform/PathRules.h"
#include "tests/TraceCapture.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TEST(SearchPath, SplitsAtEverySeparatorAndDropsExactRepeats) {
    // The value ('|': the platform's separator), the entries kept, the trace.
    const std::tuple<std::string, Lines, Lines> cases[] = {
        {"", {""}, {"GenTLPath: "}},
        {"a||b", {"a", "", "b"}, {"GenTLPath: a", "GenTLPath: ", "GenTLPath: b"}},
        {"||",
         {""},
         {"GenTLPath: ", "GenTLPath: ", "CTI Path Existed", "GenTLPath: ", "CTI Path Existed"}},
        {"a|b|a", {"a", "b"}, {"GenTLPath: a", "GenTLPath: b", "GenTLPath: a", "CTI Path Existed"}},
        {" a |A|a", {" a ", "A", "a"}, {"GenTLPath:  a ", "GenTLPath: A", "GenTLPath: a"}},
    };
    for (auto [value, paths, traced] : cases) {
        std::replace(value.begin(), value.end(), '|', platform::kPathListSeparator);
        TraceCapture trace;
        Lines split;
        SplitSearchPath(value, split);
        EXPECT_EQ(split, paths) << value;
        EXPECT_EQ(trace.lines, traced) << value;
    }

    // Defined but empty is a value, not a missing variable: one empty entry, no stop.
    ASSERT_TRUE(platform::SetEnvironment("GENICAM_GENTL64_PATH", ""));
    TraceCapture trace;
    ProducerManager manager;
    EXPECT_EQ(manager.ReadSearchPath(manager.genTLPaths), 0);
    EXPECT_EQ(manager.genTLPaths, Lines{""});
    EXPECT_EQ(trace.lines, (Lines{"64bit", "libvar: ", "GenTLPath: "}));
}

TEST(ProducerScan, KeepsNamesHoldingDotCtiAndListsAFolderOnceWithOrWithoutItsSeparator) {
    const fs::path dir = fs::current_path() / "discovery-scratch";
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.cti");
    for (const char* name :
         {"a.cti", "a.cti.bak", "a.ctix", ".cti", "A.CTI", "a.Cti", "readme.txt"})
        std::ofstream(dir / name) << "x";
    const std::string sep(1, platform::kDirSeparator), d = dir.string() + sep;
    ProducerManager manager;
    manager.genTLPaths = {dir.string(), d, sep, "", (dir / "missing").string()};
    TraceCapture trace;
    manager.ScanCtiFiles(manager.ctiFiles);
    Lines names;
    for (const std::string& path : manager.ctiFiles) {
        ASSERT_EQ(path.rfind(d, 0), 0u) << path;
        names.push_back(path.substr(d.size()));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Lines{".cti", "a.cti", "a.cti.bak", "a.ctix", "folder.cti"}));
    // The second spelling names every producer again, and each is refused as known.
    ASSERT_EQ(trace.lines.size(), 15u);
    EXPECT_EQ(trace.lines[0], "CTIFilename: " + manager.ctiFiles[0]);
    EXPECT_EQ(std::count(trace.lines.begin(), trace.lines.end(), "CTI FileName Existed"), 5);

    // Two trailing separators keep one of them in the path.
    manager.genTLPaths = {d + sep};
    manager.ctiFiles.clear();
    manager.ScanCtiFiles(manager.ctiFiles);
    ASSERT_EQ(manager.ctiFiles.size(), 5u);
    EXPECT_EQ(manager.ctiFiles[0].rfind(d + sep, 0), 0u);
}
