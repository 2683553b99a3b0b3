#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "gentl/DebugTrace.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/TraceSink.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DynamicLibrary, AFileThatIsNoLibraryIsRefusedWithTheReason) {
    fs::path dir = fs::current_path() / "platform-scratch";
    fs::create_directories(dir);
    fs::path fake = dir / "fake.cti";
    std::ofstream(fake) << "not a library";
    platform::LibraryLoadFailure failure;
    EXPECT_EQ(platform::LoadDynamicLibrary(fake.string(), failure), nullptr);
    EXPECT_FALSE(failure.reason.empty());

    platform::LibraryLoadFailure missing;
    EXPECT_EQ(platform::LoadDynamicLibrary((dir / "absent.cti").string(), missing), nullptr);
    EXPECT_FALSE(missing.reason.empty());
    EXPECT_EQ(platform::ResolveSymbol(nullptr, "GCInitLib"), nullptr);
}

TEST(Environment, TellsUndefinedFromEmpty) {
    std::string value = "untouched";
    ASSERT_TRUE(platform::UnsetEnvironment("CXP_TEST_VARIABLE"));
    EXPECT_FALSE(platform::ReadEnvironment("CXP_TEST_VARIABLE", value));
    ASSERT_TRUE(platform::SetEnvironment("CXP_TEST_VARIABLE", "a;b:c"));
    EXPECT_TRUE(platform::ReadEnvironment("CXP_TEST_VARIABLE", value));
    EXPECT_EQ(value, "a;b:c");
    // Defined but empty must stay defined: the search path treats it as one empty entry.
    ASSERT_TRUE(platform::SetEnvironment("CXP_TEST_VARIABLE", ""));
    value = "untouched";
    EXPECT_TRUE(platform::ReadEnvironment("CXP_TEST_VARIABLE", value));
    EXPECT_EQ(value, "");
    ASSERT_TRUE(platform::UnsetEnvironment("CXP_TEST_VARIABLE"));
    EXPECT_FALSE(platform::ReadEnvironment("CXP_TEST_VARIABLE", value));
    platform::UnsetEnvironment("CXP_TEST_VARIABLE");
}

TEST(TraceSink, FileOverrideWritesOneLinePerMessageCutAt4095) {
    fs::path file = fs::current_path() / "platform-scratch" / "trace.log";
    fs::create_directories(file.parent_path());
    fs::remove(file);
    ASSERT_TRUE(platform::SetEnvironment("CXP_FWUPDATE_TRACE", file.string()));
    platform::ResetTraceSink();

    const std::string longText(5000, 'x');
    DebugTrace("first %s", "line");
    DebugTrace("ends with its own line end\n");
    DebugTrace("%s", longText.c_str());
    DebugTrace("%s", "100%s literal");
    platform::ResetTraceSink();
    platform::UnsetEnvironment("CXP_FWUPDATE_TRACE");

    const std::string expected =
        "first line\nends with its own line end\n" + std::string(4095, 'x') + "\n100%s literal\n";
    EXPECT_EQ(Slurp(file), expected);
}

} // namespace
