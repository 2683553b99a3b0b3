#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/E2eSupport.h"
#include "tests/support/ProcessRunner.h"

// What the operator sees and can do while an update runs: console text as it happens, an
// interrupt during the upload, too little memory for the image.
namespace {
using e2e::Contains;
using Lines = std::vector<std::string>;

const std::string kModel = "TQ-12M-CXP";
const std::string kAnswers = "0\n0\n0\n\n"; // producer, camera, file, the final key
} // namespace

TEST(OperatorE2e, ConsoleTextReachesAPipeWhenItIsPrinted) {
    e2e::ScratchDir dir("console-as-printed");
    dir.Write(kModel + ".bin", "abcd");
    e2e::ToolResult r =
        e2e::RunTool(e2e::RunIn(dir.Path(), kAnswers, "[camera cam0]\nbusy_ms = 3000\n"));
    ASSERT_EQ(r.status, 0) << r.Diagnostics();
    const double waiting = runner::FirstArrival(r.consoleChunks, "Please wait ...");
    const double done = runner::FirstArrival(r.consoleChunks, "Now you can safely powercycle");
    ASSERT_GE(waiting, 0) << r.console;
    // The camera stays busy for 3 s after the flash command; a buffered console would hand
    // both texts over together at the end.
    EXPECT_GT(done - waiting, 2.0) << "Please wait at " << waiting << " s, done at " << done;
}

TEST(OperatorE2e, AnInterruptDuringTheUploadStopsItBeforeTheFlashCommand) {
    e2e::ScratchDir dir("interrupted-upload");
    dir.Write(kModel + ".bin", std::string(256 * 1024, 'x'));
    // 5 ms a write: the data phase lasts more than a second.
    e2e::ToolRun run =
        e2e::RunIn(dir.Path(), kAnswers, "[link]\nlatency_us = 5000\n[camera cam0]\n");
    run.interruptOnOutput = "remaining";
    e2e::ToolResult r = e2e::RunTool(run);
    ASSERT_EQ(r.interruptsSent, 1u) << r.Diagnostics();
    EXPECT_EQ(r.status, 130) << r.Diagnostics();
    const std::string console = r.console;
    const std::string ending = "\nupload interrupted, firmware not flashed\n";
    ASSERT_GE(console.size(), ending.size());
    // No failure message of the run after it, and no key wait.
    EXPECT_EQ(console.substr(console.size() - ending.size()), ending) << console;

    const Lines traffic = UpdateTraffic(r);
    ASSERT_GE(traffic.size(), 5u) << r.traffic;
    EXPECT_EQ(traffic.front(), "W 0x0000AB00 4 0 00005B17");
    EXPECT_EQ(traffic.back(), "W 0x0000B0E8 4 0 0000D2C4");
    EXPECT_LT(traffic.size(), 3u + 256u + 1u) << "the data phase went on";
    for (const std::string& line : traffic) {
        EXPECT_FALSE(Contains(line, "0x0000AB0C") || Contains(line, "0x0000AB10")) << line;
    }
    EXPECT_EQ(r.Record("cam0.result.txt"), "") << "nothing was flashed";
    ASSERT_GE(r.traceLines.size(), 2u);
    EXPECT_EQ(r.traceLines.back(), "TQGenTLWrapper::GCCloseLib Successful");
}

TEST(OperatorE2e, TooLittleMemoryForTheImageEndsLikeAnUnreadableFile) {
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "needs an address-space limit for the tool, which the sanitizers' shadow "
                    "memory and Windows do not allow";
#else
    e2e::ScratchDir dir("no-memory");
    dir.Write(kModel + ".bin", "");
    // Sparse, under the size limit, and far beyond what the tool may map.
    std::filesystem::resize_file(dir.File(kModel + ".bin"), 1536ull << 20);
    e2e::ToolRun run = e2e::RunIn(dir.Path(), kAnswers);
    run.addressSpaceLimit = 512ull << 20;
    e2e::ToolResult r = e2e::RunTool(run);
    std::filesystem::remove(dir.File(kModel + ".bin"));
    EXPECT_EQ(r.status, 1) << r.Diagnostics();
    EXPECT_TRUE(Contains(r.console, "open file >>>" + kModel +
                                        ".bin<<<\nnot enough memory for the firmware image\n"
                                        "\nfirmware update failed, nothing was flashed\n"))
        << r.console;
    EXPECT_EQ(UpdateTraffic(r), Lines{"W 0x0000B0E8 4 0 0000D2C4"}) << r.traffic;
    EXPECT_EQ(r.traceLines.back(), "TQGenTLWrapper::GCCloseLib Successful");
#endif
}
