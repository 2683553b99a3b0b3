#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/E2eSupport.h"
#include "tests/support/ProcessRunner.h"

namespace {
using e2e::Contains;
using Lines = std::vector<std::string>;

const std::string kModel = "TQ-12M-CXP"; // the default simulated camera
const std::string kDone = "\nNow you can safely powercycle the camera, to see the changes.\n";
const std::string kFailed = "\nfirmware update failed, nothing was flashed\n";
const std::string kFinish = "W 0x0000B0E8 4 0 0000D2C4";
const std::string kHeader4 = "W 0x0000AB00 4 0 00005B17\nW 0x0000AB04 4 0 00000000\n"
                             "W 0x0000AB08 4 0 00000004\n";

// A full run in a fresh working directory with one firmware file: producer 0, camera 0, file 0,
// then the key for the final wait.
e2e::ToolRun Interactive(const std::string& test, const std::string& file,
                         const std::string& content, const std::string& cameraSettings = "") {
    return e2e::RunInScratch(test, file, content, "0\n0\n0\n\n",
                             "[camera cam0]\n" + cameraSettings);
}

e2e::ToolResult Update(const std::string& test, const std::string& file, const std::string& content,
                       const std::string& cameraSettings = "") {
    return e2e::RunTool(Interactive(test, file, content, cameraSettings));
}
} // namespace

// "abc" padded to a word and flashed; a secondary image only into a camera with a secondary
// target ("Secondary" with a capital initial is a primary image: no target register).
TEST(UploadE2e, ThreeByteImageIsPaddedFlashedAndAwaitedWhileTheCameraIsBusy) {
    const std::string rule = "----------------------------------------------------\n";
    const std::string primary = kModel + "_FW_Secondary_v2.bin",
                      secondary = kModel + "_secondary_v2.bin";
    const std::string flashed = "W 0x0000AB0C 4 0 A75D6850\nW 0x0000AB10 4 0 00000001\n";
    struct Case {
        std::string test, file, camera; // camera: settings of cam0
        int status;
        std::string said, traffic; // a part of the console, and all of the update's traffic
    };
    const Case cases[] = {
        {"upload-abc", primary, "busy_reads = 2\n", 0,
         "\nFW File: [0]\nName: " + primary + "\n\nchoose a file >>>\nselected firmware file: " +
             primary + "\nopen file >>>" + primary + "<<<\nfile size 3, upload size 4, crc " +
             "a75d6850\n\rremaining 4    \rupload done     \nflash to eeprom\n" + rule +
             "WARN: NOT YET FINISHED, DON'T PLUGOUT THIS CAMERA!! \nWARN: PLEASE WAIT UNTIL THIS " +
             "CAMERA APPEARS AGAIN!! \n" + rule + "Please wait ..." + kDone + "Press any key",
         "W 0x70000000 4 0 61626300\n" + flashed +
             "R 0x0000AB0C 4 -1011\nR 0x0000AB0C 4 -1011\nR 0x0000AB0C 4 0 A75D6850\n"},
        {"secondary-accepted", secondary, "secondary_fpga = yes\n", 0,
         "crc a75d6850\nFW for secondary FPGA\n\rremaining 4",
         "W 0x0000AB14 4 0 00000002\nR 0x0000AB14 4 0 00000002\nW 0x70000000 4 0 61626300\n" +
             flashed + "R 0x0000AB0C 4 0 A75D6850\n"},
        {"secondary-refused", secondary, "", 1,
         "FW for secondary FPGA\nunable to update secondary FPGA of camera Error \n" + kFailed,
         "W 0x0000AB14 4 0 00000002\nR 0x0000AB14 4 0 00000001\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.test);
        const e2e::ToolResult r = Update(c.test, c.file, "abc", c.camera);
        EXPECT_EQ(r.status, c.status) << r.Diagnostics();
        EXPECT_TRUE(Contains(r.console, c.said)) << r.console;
        EXPECT_EQ(UpdateTraffic(r), e2e::SplitLines(kHeader4 + c.traffic + kFinish)) << r.traffic;
        EXPECT_EQ(r.Record("cam0.image.bin"), c.status == 0 ? std::string("abc\0", 4) : "");
        EXPECT_EQ(Contains(r.Record("cam0.result.txt"), "\nresult = accepted\n"), c.status == 0)
            << r.Record("cam0.result.txt");
        // Console text reaches a pipe as printed: the 2 s pause after the flash command between.
        const double waiting = runner::FirstArrival(r.consoleChunks, "Please wait ...");
        if (c.status == 0) {
            EXPECT_GT(runner::FirstArrival(r.consoleChunks, "Now you can safely") - waiting, 2.0);
        }
    }
}

TEST(UploadE2e, ImageGoesOutInChunksTheNameIsNeverAFormatAndAFailedChunkIsNeverFlashed) {
    const std::string file = kModel + "_%n%s%x.bin";
    std::string content(1025, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i % 251 + 1); // never zero, so padding stands out
    e2e::ToolResult r = Update("upload-1025", file, content);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.console,
                         "open file >>>" + file + "<<<\nfile size 1025, upload size 1028, crc ") &&
                Contains(r.console, "\rremaining 1028    \rremaining 4    \rupload done     \n"))
        << r.console;
    EXPECT_TRUE(Contains(r.trace, "FirmwareFile: " + file)) << r.trace;
    // The camera takes only full chunks in order and exactly the announced size: its copy and
    // its verdict prove the chunks and the padding.
    EXPECT_EQ(r.Record("cam0.image.bin"), content + std::string(3, '\0'));
    EXPECT_TRUE(Contains(r.Record("cam0.result.txt"), "\nresult = accepted\n"));

    // Writes 1 to 3 are the header; the 5th write is the second data chunk.
    r = Update("failed-chunk", kModel + ".bin", content, "fail_write = 5\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.console, "\rremaining 4    \nwrite to camera failed at address "
                                    "0x70000400, firmware not flashed\n" +
                                        kFailed + "Press any key"))
        << r.console;
    EXPECT_EQ(r.Record("cam0.image.bin"), ""); // what follows the failed write: the unit test
}

TEST(UploadE2e, UnusableOrMismatchedFilesAreNeverUploaded) {
    const uint64_t kText = ~0ull - 1, kFolder = ~0ull, kShort = 1; // else a sparse file's size
    struct Case {
        std::string test, file;
        uint64_t size;
        std::string said;        // after the line that names the file
        std::string camera = ""; // settings of cam0
        unsigned long long addressSpaceLimit = 0;
    };
    const Case cases[] = {
        {"empty-file", kModel + ".bin", 0, "firmware file is empty\n"},
        {"large-file", kModel + ".bin", 0x80000000ull, "firmware file is too large\n"},
        {"folder", kModel + ".bin", kFolder, "file open not successful\n"},
        // Under the size limit, and far beyond what the tool may map.
        {"no-memory", kModel + ".bin", 1536ull << 20, "not enough memory for the firmware image\n",
         "", 512ull << 20},
        {"mismatch", "TQ-5M-CXP_v1.bin", kText,
         "\nfirmware does not match this camera, program exits\n"},
        {"blocked", kModel + "_kmt26_RT40-4D_v1.7.2_b3009.bin", kText,
         "Firmware Update Not Supported\n"},
        // Any name would match the empty model a failed read leaves.
        {"model-unreadable", kModel + ".bin", kText,
         "\ncamera model could not be read, program exits\n", "model_read_fails = yes\n"},
        {"short-file", kModel + ".bin", kShort, "file reading error\n"}, // the last: it may skip
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.test);
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__)
        if (c.addressSpaceLimit > 0)
            continue; // Windows and the sanitizers' shadow memory allow no address-space limit
#endif
        e2e::ToolRun run = Interactive(c.test, c.file, "abc", c.camera);
        run.addressSpaceLimit = c.addressSpaceLimit;
        const std::string file = run.workingDirectory + "/" + c.file;
        if (c.size == kShort) {
            // The build made this folder: one firmware file, a symbolic link to a kernel
            // attribute file, which states the size of a page and holds one line.
            run.workingDirectory = e2e::NativePath(CXP_SHORT_FILE_DIR);
            const std::string link = run.workingDirectory + "/" + c.file;
            std::error_code error;
            if (std::filesystem::file_size(link, error) <= e2e::ReadFile(link).size() || error)
                GTEST_SKIP() << "no file on this host states more bytes than it holds";
        } else if (c.size == kFolder) {
            std::filesystem::remove(file);
            std::filesystem::create_directory(file);
        } else if (c.size != kText) {
            std::filesystem::resize_file(file, c.size);
        }
        e2e::ToolResult r = e2e::RunTool(run);
        std::filesystem::remove_all(file);
        EXPECT_EQ(r.status, 1) << r.Diagnostics();
        const bool opened = c.size != kText;
        EXPECT_TRUE(Contains(r.console, opened
                                            ? "open file >>>" + c.file + "<<<\n" + c.said + kFailed
                                            : "selected firmware file: " + c.file + "\n" + c.said +
                                                  "Press any key"))
            << r.console;
        EXPECT_EQ(UpdateTraffic(r), opened ? Lines{kFinish} : Lines{}) << r.traffic;
    }
}

TEST(OperatorE2e, AnInterruptDuringTheUploadStopsItBeforeTheFlashCommand) {
    // 5 ms a write: the data phase lasts more than a second.
    e2e::ToolRun run =
        Interactive("interrupted-upload", kModel + ".bin", std::string(256 * 1024, 'x'));
    run.simConfig = "[link]\nlatency_us = 5000\n[camera cam0]\n";
    run.interrupts = {{"remaining"}};
    e2e::ToolResult r = e2e::RunTool(run);
    ASSERT_EQ(r.interruptsSent, 1u) << r.Diagnostics();
    EXPECT_EQ(r.status, 130) << r.Diagnostics();
    const std::string ending = "\nupload interrupted, firmware not flashed\n";
    ASSERT_GE(r.console.size(), ending.size());
    // No failure message of the run after it, and no key wait.
    EXPECT_EQ(r.console.substr(r.console.size() - ending.size()), ending) << r.console;

    const Lines traffic = UpdateTraffic(r);
    ASSERT_GE(traffic.size(), 5u) << r.traffic;
    EXPECT_EQ(traffic.front(), e2e::SplitLines(kHeader4).front());
    EXPECT_EQ(traffic.back(), kFinish);
    EXPECT_LT(traffic.size(), 3u + 256u + 1u) << "the data phase went on";
    // Data, then at once the finish: no checksum, no flash command.
    EXPECT_EQ(traffic[traffic.size() - 2].rfind("W 0x7", 0), 0u) << r.traffic;
    EXPECT_EQ(r.Record("cam0.result.txt"), "") << "nothing was flashed";
    EXPECT_EQ(r.traceLines.back(), "TQGenTLWrapper::GCCloseLib Successful");
}
