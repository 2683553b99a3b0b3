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

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

class TraceCapture {
public:
    TraceCapture() {
        SetTraceObserver([this](const std::string& m) { lines.push_back(m); });
    }
    ~TraceCapture() { SetTraceObserver(nullptr); }
    Lines lines;
};

// Writes a value with the platform's separator wherever the test says '|'.
std::string PathList(std::string text) {
    for (char& c : text)
        if (c == '|')
            c = platform::kPathListSeparator;
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
}

TEST(SearchPath, ReadTracesTheWholeValueFirst) {
    ASSERT_TRUE(platform::SetEnvironment("GENICAM_GENTL64_PATH", PathList("x|y")));
    TraceCapture trace;
    ProducerManager manager;
    manager.ReadSearchPath(manager.genTLPaths);
    EXPECT_EQ(manager.genTLPaths, (Lines{"x", "y"}));
    EXPECT_EQ(trace.lines,
              (Lines{"64bit", "libvar: " + PathList("x|y"), "GenTLPath: x", "GenTLPath: y"}));

    // Defined but empty is a value, not a missing variable: one empty entry, no stop.
    ASSERT_TRUE(platform::SetEnvironment("GENICAM_GENTL64_PATH", ""));
    TraceCapture emptyTrace;
    ProducerManager empty;
    EXPECT_EQ(empty.ReadSearchPath(empty.genTLPaths), 0);
    EXPECT_EQ(empty.genTLPaths, (Lines{""}));
    EXPECT_EQ(emptyTrace.lines, (Lines{"64bit", "libvar: ", "GenTLPath: "}));
}

class ProducerScan : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::current_path() / "discovery-scratch";
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (const char* name :
             {"a.cti", "a.cti.bak", "a.ctix", ".cti", "A.CTI", "a.Cti", "readme.txt"})
            std::ofstream(dir / name) << "x";
        fs::create_directory(dir / "folder.cti");
    }
    fs::path dir;
};

TEST_F(ProducerScan, KeepsEveryNameHoldingDotCtiCaseSensitively) {
    ProducerManager manager;
    manager.genTLPaths = {dir.string()};
    TraceCapture trace;
    manager.ScanCtiFiles(manager.ctiFiles);

    std::vector<std::string> names;
    for (const std::string& path : manager.ctiFiles) {
        ASSERT_EQ(path.rfind(dir.string() + platform::kDirSeparator, 0), 0u) << path;
        names.push_back(path.substr(dir.string().size() + 1));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Lines{".cti", "a.cti", "a.cti.bak", "a.ctix", "folder.cti"}));
    EXPECT_EQ(trace.lines.size(), 5u);
    for (const std::string& line : trace.lines)
        EXPECT_EQ(line.rfind("CTIFilename: ", 0), 0u) << line;
}

TEST_F(ProducerScan, OneTrailingSeparatorIsDroppedSoTheSameFolderCountsOnce) {
    const std::string sep(1, platform::kDirSeparator);
    ProducerManager manager;
    manager.genTLPaths = {dir.string(), dir.string() + sep, sep, "", (dir / "missing").string()};
    TraceCapture trace;
    manager.ScanCtiFiles(manager.ctiFiles);
    EXPECT_EQ(manager.ctiFiles.size(), 5u);
    // The second spelling names every producer again, and each is refused as known.
    size_t existed = 0;
    for (const std::string& line : trace.lines)
        existed += line == "CTI FileName Existed";
    EXPECT_EQ(existed, 5u);
    EXPECT_EQ(trace.lines.size(), 15u);

    // Two trailing separators keep one of them in the path.
    ProducerManager doubled;
    doubled.genTLPaths = {dir.string() + sep + sep};
    doubled.ScanCtiFiles(doubled.ctiFiles);
    ASSERT_FALSE(doubled.ctiFiles.empty());
    EXPECT_EQ(doubled.ctiFiles[0].rfind(dir.string() + sep + sep, 0), 0u);
}

TEST_F(ProducerScan, DiscoverNumbersTheProducersFromZeroInFoundOrder) {
    fs::path second = dir / "folder.cti";
    std::ofstream(second / "z.cti") << "x";
    ASSERT_TRUE(platform::SetEnvironment(
        "GENICAM_GENTL64_PATH", second.string() + platform::kPathListSeparator + dir.string()));
    TraceCapture trace;
    ProducerManager manager;
    EXPECT_EQ(manager.Discover(), 0);
    ASSERT_EQ(manager.ctiFileMap.size(), 6u);
    EXPECT_EQ(manager.ctiFileMap[0], (second / "z.cti").string());
    int32_t expectedKey = 0;
    for (const auto& [key, path] : manager.ctiFileMap) {
        EXPECT_EQ(key, expectedKey);
        EXPECT_EQ(path, manager.ctiFiles[static_cast<size_t>(expectedKey)]);
        ++expectedKey;
    }
}

} // namespace
