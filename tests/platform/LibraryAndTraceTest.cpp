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

TEST(DynamicLibrary, AFileThatIsNoLibraryIsRefusedWithTheReason) {
    fs::path fake = fs::current_path() / "platform-scratch" / "fake.cti";
    fs::create_directories(fake.parent_path());
    std::ofstream(fake) << "not a library";
    platform::LibraryLoadFailure failure;
    EXPECT_EQ(platform::LoadDynamicLibrary(fake.string(), failure), nullptr);
    EXPECT_FALSE(failure.reason.empty());
    EXPECT_EQ(platform::ResolveSymbol(nullptr, "GCInitLib"), nullptr);
}

TEST(Environment, TellsUndefinedFromEmpty) {
    std::string value = "untouched";
    ASSERT_TRUE(platform::UnsetEnvironment("CXP_TEST_VARIABLE"));
    EXPECT_FALSE(platform::ReadEnvironment("CXP_TEST_VARIABLE", value));
    // Defined but empty must stay defined: the search path treats it as one empty entry.
    for (const std::string text : {"a;b:c", ""}) {
        ASSERT_TRUE(platform::SetEnvironment("CXP_TEST_VARIABLE", text));
        value = "untouched";
        EXPECT_TRUE(platform::ReadEnvironment("CXP_TEST_VARIABLE", value));
        EXPECT_EQ(value, text);
    }
    ASSERT_TRUE(platform::UnsetEnvironment("CXP_TEST_VARIABLE"));
    EXPECT_FALSE(platform::ReadEnvironment("CXP_TEST_VARIABLE", value));
}

TEST(TraceSink, FileOverrideWritesOneLinePerMessageCutAt4095) {
    fs::path file = fs::current_path() / "platform-scratch" / "trace.log";
    fs::create_directories(file.parent_path());
    fs::remove(file);
    ASSERT_TRUE(platform::SetEnvironment("CXP_FWUPDATE_TRACE", file.string()));
    platform::ResetTraceSink();
    DebugTrace("first %s", "line");
    DebugTrace("ends with its own line end\n");
    DebugTrace("%s", std::string(5000, 'x').c_str());
    DebugTrace("%s", "100%s literal");
    platform::ResetTraceSink();
    platform::UnsetEnvironment("CXP_FWUPDATE_TRACE");

    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    EXPECT_EQ(text.str(), "first line\nends with its own line end\n" + std::string(4095, 'x') +
                              "\n100%s literal\n");
}

} // namespace
