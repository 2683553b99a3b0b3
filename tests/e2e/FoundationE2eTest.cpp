#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/e2e/E2eSupport.h"

namespace {
using e2e::Contains;

const std::string kBanner = "Tevrak CXP-Firmware Update Tool v1.0.0.546\n\n";
const std::string kCtiHeading = "Discover all available CTI Files:\n"
                                "---------------------------------\n";

TEST(Foundation, MissingSearchPathStopsAtOnceWithoutTheFinalWait) {
    e2e::ScratchDir dir("no-search-path");
    e2e::ToolRun run = e2e::RunIn(dir.Path(), "0\n");
    run.genTLPathSet = false;
    e2e::ToolResult r = e2e::RunTool(run);

    EXPECT_EQ(r.console, kBanner + "LIB doesn't exist!\n");
    EXPECT_EQ(r.status, e2e::StatusFor(-1));
    EXPECT_TRUE(Contains(r.trace, "LIB doesn't exist!\n")) << r.trace;
}

TEST(Foundation, EmptyProducerDirectoryEndsWithoutAPrompt) {
    e2e::ScratchDir dir("no-producer");
    std::string empty = dir.MakeSubdir("producers");
    e2e::ScratchDir work("no-producer-work");
    e2e::ToolRun run = e2e::RunIn(work.Path(), "0\n");
    run.genTLPath = empty;
    e2e::ToolResult r = e2e::RunTool(run);

    EXPECT_EQ(r.console.rfind(kBanner + kCtiHeading + "No cti file found!\n", 0), 0u) << r.console;
    EXPECT_FALSE(Contains(r.console, "choose a file"));
    EXPECT_TRUE(Contains(r.console, "Press any key to continue"));
    EXPECT_EQ(r.status, 1);
}

TEST(Foundation, ClosedInputAtTheProducerPromptEndsInOrder) {
    e2e::ScratchDir work("closed-input");
    e2e::ToolRun run = e2e::RunIn(work.Path(), "7\n");
    e2e::ToolResult r = e2e::RunTool(run);

    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    const std::string listing = kBanner + kCtiHeading +
                                "\nCTI File: [0]\nName: " + e2e::SimDirectory() + separator +
                                "cxp-sim.cti\n";
    EXPECT_EQ(r.console.rfind(listing, 0), 0u) << r.console;
    EXPECT_TRUE(Contains(r.console, "\nchoose a file >>>\nInvalid choice: [7]\n\n"
                                    "\nchoose a file >>>\n\nend of input, program exits\n"))
        << r.console;
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.timedOut);
    // Nothing of the producer was loaded, so nothing was called.
    EXPECT_FALSE(Contains(r.trace, "GCInitLib")) << r.trace;
}

} // namespace
