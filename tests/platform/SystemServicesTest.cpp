#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gentl/DebugTrace.h"
#include "platform/DirectoryReader.h"
#include "platform/Environment.h"
#include "platform/Sha256.h"
#include "platform/SystemInfo.h"
#include "platform/TraceSink.h"
#include "platform/TraceWriter.h"

namespace fs = std::filesystem;

namespace {

// Every entry, dot entries included, with its type; the end stays the end.
TEST(DirectoryReader, RefusesWhatIsNoDirectoryWithTheRightErrnoListsAllOfTheRest) {
    const fs::path dir = fs::current_path() / "platform-scratch" / "listing";
    fs::remove_all(dir);
    fs::create_directories(dir / "sub.cti");
    std::ofstream(dir / "a.cti") << "x";
    const std::string missing = (dir / "missing").string(), plain = (dir / "a.cti").string();
    const std::pair<const char*, int> cases[] = {
        {nullptr, ENOENT}, {"", ENOENT}, {missing.c_str(), ENOENT}, {plain.c_str(), ENOTDIR}};
    for (const auto& [name, code] : cases)
        EXPECT_EQ((errno = 0, DirectoryReader::opendir(name) ? -1 : errno), code);
    DirectoryStream* stream = DirectoryReader::opendir(dir.string().c_str());
    std::map<std::string, int32_t> types;
    while (DirectoryEntry* entry = DirectoryReader::readdir(stream)) {
        EXPECT_EQ(entry->nameLength, std::strlen(entry->name));
        EXPECT_TRUE(types.emplace(entry->name, entry->type).second) << entry->name << " twice";
    }
    const int32_t d = kTypeDirectory, f = kTypeRegular;
    EXPECT_EQ(types, (decltype(types){{".", d}, {"..", d}, {"a.cti", f}, {"sub.cti", d}}));
    EXPECT_TRUE(DirectoryReader::readdir(stream) == nullptr &&
                DirectoryReader::closedir(stream) == 0);
}

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A destination chosen by the command line wins over the variable; "" keeps no trace.
TEST(TraceSink, FileOverrideWritesOneLinePerMessageCutAt4095) {
    const fs::path file = fs::current_path() / "platform-trace.log";
    fs::remove(file);
    ASSERT_TRUE(platform::SetEnvironment("CXP_FWUPDATE_TRACE", file.string()));
    platform::ResetTraceSink();
    DebugTrace("first %s", "line");
    DebugTrace("ends with its own line end\n");
    DebugTrace("%s", std::string(5000, 'x').c_str());
    DebugTrace("%s", "100%s literal");
    std::string error;
    EXPECT_TRUE(platform::SetTraceDestination("", error));
    DebugTrace("kept nowhere");
    EXPECT_FALSE(platform::SetTraceDestination((file / "no-folder.log").string(), error));
    EXPECT_FALSE(error.empty());
    platform::UnsetEnvironment("CXP_FWUPDATE_TRACE");
    EXPECT_EQ(Contents(file), "first line\nends with its own line end\n" + std::string(4095, 'x') +
                                  "\n100%s literal\n");
}

// The file is written behind the tracing threads: every line arrives whole, in each thread's
// order, without waiting for the end; a backlog past the limit is written by the tracer at once.
TEST(TraceSink, LinesFromManyThreadsArriveWholeInOrderAndSoon) {
    const fs::path file = fs::current_path() / "platform-trace-threads.log";
    fs::remove(file);
    std::string error;
    ASSERT_TRUE(platform::SetTraceDestination(file.string(), error));
    DebugTrace("first");
    const auto start = std::chrono::steady_clock::now();
    while (Contents(file) != "first\n" &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(Contents(file), "first\n") << "not written within 5 s";
    constexpr int kThreads = 4, kLines = 3000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                DebugTrace("%d %d %s", t, i,
                           std::string(static_cast<size_t>(i % 700), 'x').c_str());
        });
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_TRUE(platform::SetTraceDestination("", error));
    std::istringstream lines(Contents(file));
    std::string line;
    std::getline(lines, line);
    int next[kThreads] = {};
    while (std::getline(lines, line)) {
        int t = -1, i = -1;
        std::istringstream(line) >> t >> i;
        ASSERT_TRUE(t >= 0 && t < kThreads && i == next[t]++) << line;
        ASSERT_EQ(line.size(), std::to_string(t).size() + std::to_string(i).size() + 2 + i % 700);
    }
    EXPECT_EQ(std::vector<int>(next, next + kThreads), std::vector<int>(kThreads, kLines));

    const uintmax_t before = fs::file_size(file);
    platform::trace::FileWriter writer(platform::trace::OpenFile(file.string(), error));
    writer.Append(std::string(platform::trace::FileWriter::kMaxPending, 'y'));
    EXPECT_EQ(fs::file_size(file), before + platform::trace::FileWriter::kMaxPending);
}

TEST(Sha256, FipsVectorsWholeAndInPieces) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    platform::Sha256 hash; // one object throughout: Final starts the next message
    for (const auto& [text, digest] : cases) {
        for (size_t at = 0; at < text.size(); at += 1000)
            hash.Update(text.data() + at, std::min<size_t>(1000, text.size() - at));
        EXPECT_EQ(hash.Final(), digest) << text.size() << " bytes";
    }
}

// The zone goes through the environment functions, which must tell undefined from empty: the
// search path takes an empty value for one empty entry.
TEST(SystemInfo, UtcTimestampsIgnoreTheLocalZoneAndCutFractions) {
    using namespace std::chrono;
    std::string saved, value;
    const bool hadZone = platform::ReadEnvironment("TZ", saved);
    EXPECT_TRUE(platform::UnsetEnvironment("TZ") && !platform::ReadEnvironment("TZ", value));
    for (const std::string zone : {"", "XST-5"})
        EXPECT_TRUE(platform::SetEnvironment("TZ", zone) &&
                    platform::ReadEnvironment("TZ", value) && value == zone)
            << zone;
    const std::pair<long long, const char*> cases[] = {
        {1796619301999, "2026-12-07T04:55:01Z"},
        {951868799000, "2000-02-29T23:59:59Z"},
        {4107542400000, "2100-03-01T00:00:00Z"}, // past 2038, and no leap day in 2100
    };
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(platform::UtcTimestamp(system_clock::time_point(milliseconds(ms))), text);
    hadZone ? platform::SetEnvironment("TZ", saved) : platform::UnsetEnvironment("TZ");
    const std::string host = platform::HostName();
    EXPECT_TRUE(!host.empty() && host.find('\0') == std::string::npos) << host;
}

} // namespace
