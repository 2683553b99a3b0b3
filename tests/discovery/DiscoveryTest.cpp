#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "discovery/ProducerManager.h"
#include "gentl/DebugTrace.h"
#include "platform/Environment.h"
#include "platform/PathRules.h"
#include "tests/TraceCapture.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

// Writes a value with the platform's separator wherever the test says '|'.
std::string PathList(std::string text) {
    std::replace(text.begin(), text.end(), '|', platform::kPathListSeparator);
    return text;
}

TEST(SearchPath, SplitsAtEverySeparatorAndDropsExactRepeats) {
    struct Case {
        std::string value;
        Lines paths;
        Lines trace;
    };
    const Case cases[] = {
        {"", {""}, {"GenTLPath: "}},
        {"a|b", {"a", "b"}, {"GenTLPath: a", "GenTLPath: b"}},
        {"a|", {"a", ""}, {"GenTLPath: a", "GenTLPath: "}},
        {"a||b", {"a", "", "b"}, {"GenTLPath: a", "GenTLPath: ", "GenTLPath: b"}},
        {"||",
         {""},
         {"GenTLPath: ", "GenTLPath: ", "CTI Path Existed", "GenTLPath: ", "CTI Path Existed"}},
        {"a|b|a", {"a", "b"}, {"GenTLPath: a", "GenTLPath: b", "GenTLPath: a", "CTI Path Existed"}},
        {" a |A|a", {" a ", "A", "a"}, {"GenTLPath:  a ", "GenTLPath: A", "GenTLPath: a"}},
    };
    for (const Case& c : cases) {
        TraceCapture trace;
        Lines paths;
        SplitSearchPath(PathList(c.value), paths);
        EXPECT_EQ(paths, c.paths) << c.value;
        EXPECT_EQ(trace.lines, c.trace) << c.value;
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
    const std::string sep(1, platform::kDirSeparator);
    ProducerManager manager;
    manager.genTLPaths = {dir.string(), dir.string() + sep, sep, "", (dir / "missing").string()};
    TraceCapture trace;
    manager.ScanCtiFiles(manager.ctiFiles);

    Lines names;
    for (const std::string& path : manager.ctiFiles) {
        ASSERT_EQ(path.rfind(dir.string() + sep, 0), 0u) << path;
        names.push_back(path.substr(dir.string().size() + 1));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Lines{".cti", "a.cti", "a.cti.bak", "a.ctix", "folder.cti"}));
    // The second spelling names every producer again, and each is refused as known.
    ASSERT_EQ(trace.lines.size(), 15u);
    EXPECT_EQ(trace.lines[0], "CTIFilename: " + manager.ctiFiles[0]);
    EXPECT_EQ(std::count(trace.lines.begin(), trace.lines.end(), "CTI FileName Existed"), 5);

    // Two trailing separators keep one of them in the path.
    ProducerManager doubled;
    doubled.genTLPaths = {dir.string() + sep + sep};
    doubled.ScanCtiFiles(doubled.ctiFiles);
    ASSERT_EQ(doubled.ctiFiles.size(), 5u);
    EXPECT_EQ(doubled.ctiFiles[0].rfind(dir.string() + sep + sep, 0), 0u);
}

} // namespace
