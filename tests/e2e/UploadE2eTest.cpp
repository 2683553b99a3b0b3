#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/E2eSupport.h"

namespace {
using e2e::Contains;
using Lines = std::vector<std::string>;

const std::string kModel = "TQ-12M-CXP"; // the default simulated camera
const std::string kDone = "\nNow you can safely powercycle the camera, to see the changes.\n";
const std::string kFailed = "\nfirmware update failed, nothing was flashed\n";
const std::string kFinish = "W 0x0000B0E8 4 0 0000D2C4";
const Lines kHeader4 = {"W 0x0000AB00 4 0 00005B17", "W 0x0000AB04 4 0 00000000",
                        "W 0x0000AB08 4 0 00000004"};

bool Accepted(const e2e::ToolResult& r) {
    return Contains(r.Record("cam0.result.txt"), "\nresult = accepted\n");
}

// A full run in `dir`: producer 0, camera 0, file 0, then the key for the final wait.
e2e::ToolResult Interactive(const std::string& dir, const std::string& cameraSettings = "") {
    return e2e::RunTool(e2e::RunIn(
        dir, "0\n0\n0\n\n", cameraSettings.empty() ? "" : "[camera cam0]\n" + cameraSettings));
}

// The same with one firmware file in a fresh working directory.
e2e::ToolResult Update(const std::string& test, const std::string& file, const std::string& content,
                       const std::string& cameraSettings = "") {
    e2e::ScratchDir dir(test);
    dir.Write(file, content);
    return Interactive(dir.Path(), cameraSettings);
}
} // namespace

TEST(UploadE2e, ThreeByteImageIsPaddedFlashedAndAwaitedWhileTheCameraIsBusy) {
    // "Secondary" with a capital initial is a primary image: no target register.
    const std::string file = kModel + "_FW_Secondary_v2.bin";
    e2e::ToolResult r = Update("upload-abc", file, "abc", "busy_reads = 2\n");
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.console, "\nFW File: [0]\nName: " + file +
                                        "\n\nchoose a file >>>\nselected firmware file: " + file +
                                        "\nopen file >>>" + file +
                                        "<<<\n"
                                        "file size 3, upload size 4, crc a75d6850\n"
                                        "\rremaining 4    \rupload done     \nflash to eeprom\n"
                                        "----------------------------------------------------\n"
                                        "WARN: NOT YET FINISHED, DON'T PLUGOUT THIS CAMERA!! \n"
                                        "WARN: PLEASE WAIT UNTIL THIS CAMERA APPEARS AGAIN!! \n"
                                        "----------------------------------------------------\n"
                                        "Please wait ..." +
                                        kDone + "Press any key"))
        << r.console;
    Lines expected = kHeader4;
    expected.insert(expected.end(), {"W 0x70000000 4 0 61626300", "W 0x0000AB0C 4 0 A75D6850",
                                     "W 0x0000AB10 4 0 00000001", "R 0x0000AB0C 4 -1011",
                                     "R 0x0000AB0C 4 -1011", "R 0x0000AB0C 4 0 A75D6850", kFinish});
    EXPECT_EQ(UpdateTraffic(r), expected) << r.traffic;
    EXPECT_EQ(r.Record("cam0.image.bin"), std::string("abc\0", 4));
    EXPECT_TRUE(Accepted(r)) << r.Record("cam0.result.txt");
}

TEST(UploadE2e, ImageGoesOutInChunksTheNameIsNeverAFormatAndAFailedChunkIsNeverFlashed) {
    const std::string file = kModel + "_%n%s%x.bin";
    std::string content(1025, '\0');
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i % 251 + 1); // never zero, so padding stands out
    }
    e2e::ToolResult r = Update("upload-1025", file, content);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.console,
                         "open file >>>" + file + "<<<\nfile size 1025, upload size 1028, crc ") &&
                Contains(r.console, "\rremaining 1028    \rremaining 4    \rupload done     \n"))
        << r.console;
    EXPECT_TRUE(Contains(r.trace, "FirmwareFile: " + file)) << r.trace;
    Lines traffic = UpdateTraffic(r);
    ASSERT_GE(traffic.size(), 8u) << r.traffic;
    EXPECT_EQ(traffic[2], "W 0x0000AB08 4 0 00000404");
    EXPECT_EQ(traffic[3], "W 0x70000000 1024 0");
    // The last chunk: the file's last byte, then three zero bytes of padding.
    char last[64];
    std::snprintf(last, sizeof last, "W 0x70000400 4 0 %02X000000",
                  static_cast<unsigned char>(content.back()));
    EXPECT_EQ(traffic[4], last);
    EXPECT_EQ(r.Record("cam0.image.bin"), content + std::string(3, '\0'));
    EXPECT_TRUE(Accepted(r));

    // Writes 1 to 3 are the header; the 5th write is the second data chunk.
    r = Update("failed-chunk", kModel + ".bin", content, "fail_write = 5\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.console, "\rremaining 4    \nwrite to camera failed at address "
                                    "0x70000400, firmware not flashed\n" +
                                        kFailed + "Press any key"))
        << r.console;
    traffic = UpdateTraffic(r);
    ASSERT_EQ(traffic.size(), 6u) << r.traffic;
    EXPECT_EQ(traffic[4], "W 0x70000400 4 -1010 " + std::string(last).substr(17));
    EXPECT_EQ(traffic[5], kFinish);
    EXPECT_EQ(r.Record("cam0.image.bin"), "");
}

TEST(UploadE2e, SecondaryImageNeedsACameraWithASecondaryTarget) {
    const std::string file = kModel + "_secondary_v2.bin";
    Lines header = kHeader4;
    header.push_back("W 0x0000AB14 4 0 00000002");
    e2e::ToolResult r = Update("secondary-accepted", file, "abc", "secondary_fpga = yes\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.console, "crc a75d6850\nFW for secondary FPGA\n\rremaining 4"))
        << r.console;
    Lines traffic = UpdateTraffic(r);
    ASSERT_GE(traffic.size(), 6u) << r.traffic;
    EXPECT_EQ(Lines(traffic.begin(), traffic.begin() + 4), header);
    EXPECT_EQ(traffic[4], "R 0x0000AB14 4 0 00000002");
    EXPECT_EQ(traffic[5], "W 0x70000000 4 0 61626300");
    EXPECT_TRUE(Accepted(r));

    r = Update("secondary-refused", file, "abc");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.console, "FW for secondary FPGA\n"
                                    "unable to update secondary FPGA of camera Error \n" +
                                        kFailed))
        << r.console;
    header.insert(header.end(), {"R 0x0000AB14 4 0 00000001", kFinish});
    EXPECT_EQ(UpdateTraffic(r), header) << r.traffic;
    EXPECT_EQ(r.Record("cam0.image.bin"), "");
}

TEST(UploadE2e, UnusableFilesAreRefusedBeforeTheCameraIsTouched) {
    struct Case {
        std::string test;
        uint64_t size; // of a sparse file: refused by its size, never read
        std::string message;
    };
    const uint64_t kFolder = ~0ull, kShort = 1;
    for (const Case& c : {Case{"empty-file", 0, "firmware file is empty\n"},
                          Case{"large-file", 0x80000000ull, "firmware file is too large\n"},
                          Case{"folder", kFolder, "file open not successful\n"},
                          Case{"short-file", kShort, "file reading error\n"}}) {
        SCOPED_TRACE(c.test);
        e2e::ScratchDir dir(c.test);
        std::string where = dir.Path();
        if (c.size == kShort) {
            // The build made this folder: one firmware file, a symbolic link to a kernel
            // attribute file, which states the size of a page and holds one line.
            where = e2e::NativePath(CXP_SHORT_FILE_DIR);
            const std::string file = where + "/" + kModel + ".bin";
            std::error_code error;
            if (std::filesystem::file_size(file, error) <= e2e::ReadFile(file).size() || error) {
                GTEST_SKIP() // the last case: the others have run
                    << "no file on this host states more bytes than it holds";
            }
        } else if (c.size == kFolder) {
            dir.MakeSubdir(kModel + ".bin");
        } else {
            dir.Write(kModel + ".bin", "");
            std::filesystem::resize_file(dir.File(kModel + ".bin"), c.size);
        }
        e2e::ToolResult r = Interactive(where);
        std::filesystem::remove_all(dir.File(kModel + ".bin"));
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(
            Contains(r.console, "open file >>>" + kModel + ".bin<<<\n" + c.message + kFailed))
            << r.console;
        EXPECT_EQ(UpdateTraffic(r), Lines{kFinish}) << r.traffic;
    }
}

TEST(UploadE2e, MismatchedOrBlockedFirmwareIsNeverUploaded) {
    struct Case {
        std::string test;
        std::string file;
        std::string message;
        std::string camera; // settings of cam0
    };
    for (const Case& c :
         {Case{"mismatch", "TQ-5M-CXP_v1.bin",
               "\nfirmware does not match this camera, program exits\n", ""},
          Case{"blocked", kModel + "_kmt26_RT40-4D_v1.7.2_b3009.bin",
               "Firmware Update Not Supported\n", ""},
          // Any name would match the empty model a failed read leaves.
          Case{"model-unreadable", kModel + ".bin",
               "\ncamera model could not be read, program exits\n", "model_read_fails = yes\n"}}) {
        SCOPED_TRACE(c.test);
        e2e::ToolResult r = Update(c.test, c.file, "abc", c.camera);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(Contains(r.console, "selected firmware file: " + c.file + "\n" + c.message +
                                            "Press any key"))
            << r.console;
        EXPECT_EQ(UpdateTraffic(r), Lines{}) << r.traffic;
        ASSERT_GE(r.traceLines.size(), 2u);
        EXPECT_EQ(r.traceLines[r.traceLines.size() - 2].rfind("TQGenTLWrapper::TLClose ", 0), 0u);
        EXPECT_EQ(r.traceLines.back(), "TQGenTLWrapper::GCCloseLib Successful");
    }
}
