#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/E2eSupport.h"

namespace {
using Lines = std::vector<std::string>;

const std::string kModel = "TQ-12M-CXP"; // the default simulated camera
const std::string kDone = "\nNow you can safely powercycle the camera, to see the changes.\n";
const std::string kFailed = "\nfirmware update failed, nothing was flashed\n";
const std::string kFinish = "W 0x0000B0E8 4 0 0000D2C4";
const Lines kHeader4 = {"W 0x0000AB00 4 0 00005B17", "W 0x0000AB04 4 0 00000000",
                        "W 0x0000AB08 4 0 00000004"};

// Standard output in text mode (Windows) ends lines with "\r\n"; the carriage returns of the
// progress line stand alone and stay.
std::string Console(const e2e::ToolResult& r) {
    std::string text;
    for (size_t i = 0; i < r.console.size(); ++i) {
        if (!(r.console[i] == '\r' && i + 1 < r.console.size() && r.console[i + 1] == '\n')) {
            text += r.console[i];
        }
    }
    return text;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The update-register traffic of cam0 ("W 0x0000AB00 4 0 00005B17"): everything from 0xAB00
// on, so the identification reads of the camera listing drop out.
Lines UpdateTraffic(const e2e::ToolResult& r) {
    Lines lines;
    for (const std::string& line : r.trafficLines) {
        std::istringstream fields(line);
        std::string camera, kind, address;
        fields >> camera >> kind >> address;
        if (camera != "cam0" || std::stoull(address, nullptr, 16) < 0xAB00) {
            continue;
        }
        lines.push_back(line.substr(camera.size() + 1));
    }
    return lines;
}

// Writes of any register: a refused run must not have touched the camera at all.
size_t Writes(const e2e::ToolResult& r) {
    size_t n = 0;
    for (const std::string& line : r.trafficLines) {
        n += Contains(line, " W ") ? 1 : 0;
    }
    return n;
}

std::map<std::string, std::string> Result(const e2e::ToolResult& r) {
    std::map<std::string, std::string> values;
    for (const std::string& line : e2e::SplitLines(r.Record("cam0.result.txt"))) {
        size_t eq = line.find(" = ");
        if (eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 3);
        }
    }
    return values;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 251 + 1); // never zero, so padding stands out
    }
    return bytes;
}

// A full run with one firmware file in the working directory: producer 0, camera 0, file 0,
// then the key for the final wait.
e2e::ToolResult Update(const std::string& test, const std::string& file, const std::string& content,
                       const std::string& simConfig = "") {
    e2e::ScratchDir dir(test);
    dir.Write(file, content);
    e2e::ToolRun run;
    run.input = "0\n0\n0\n\n";
    run.workingDirectory = dir.Path();
    run.simConfig = simConfig;
    return e2e::RunTool(run);
}

// The default topology (one interface, one device, camera cam0) with extra camera settings.
std::string CameraConfig(const std::string& settings) {
    return "[interface CXP-IF0]\ndevices = CXP-DEV0\n[device CXP-DEV0]\ncamera = cam0\n"
           "[camera cam0]\n" +
           settings;
}

Lines Upload(const Lines& header, const Lines& data, const std::string& crc) {
    Lines lines = header;
    lines.insert(lines.end(), data.begin(), data.end());
    lines.push_back("W 0x0000AB0C 4 0 " + crc);
    lines.push_back("W 0x0000AB10 4 0 00000001");
    return lines;
}
} // namespace

TEST(UploadE2e, ThreeByteImageIsPaddedVerifiedAndFlashed) {
    // "Secondary" with a capital initial is a primary image: no target register.
    const std::string file = kModel + "_FW_Secondary_v2.bin";
    e2e::ToolResult r = Update("upload-abc", file, "abc");
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(Console(r), "open file >>>" + file +
                                         "<<<\n"
                                         "file size 3, upload size 4, crc a75d6850\n"
                                         "\rremaining 4    \rupload done     \nflash to eeprom\n"))
        << Console(r);
    EXPECT_TRUE(Contains(Console(r), "Please wait ..." + kDone)) << Console(r);
    Lines expected = Upload(kHeader4, {"W 0x70000000 4 0 61626300"}, "A75D6850");
    expected.push_back("R 0x0000AB0C 4 0 A75D6850");
    expected.push_back(kFinish);
    EXPECT_EQ(UpdateTraffic(r), expected) << r.traffic;
    EXPECT_EQ(r.Record("cam0.image.bin"), std::string("abc\0", 4));
    auto result = Result(r);
    EXPECT_EQ(result["result"], "accepted");
    EXPECT_EQ(result["size"], "4");
    EXPECT_EQ(result["crc_received"], result["crc_computed"]);
}

TEST(UploadE2e, ImageGoesOutInChunksAndTheNameIsNeverAFormat) {
    const std::string file = kModel + "_%n%s%x.bin";
    const std::string content = Pattern(1025);
    e2e::ToolResult r = Update("upload-1025", file, content);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(Console(r), "selected firmware file: " + file + "\n")) << Console(r);
    EXPECT_TRUE(Contains(Console(r), "open file >>>" + file +
                                         "<<<\nfile size 1025, upload size "
                                         "1028, crc "))
        << Console(r);
    EXPECT_TRUE(Contains(Console(r), "\rremaining 1028    \rremaining 4    \rupload done     \n"));
    EXPECT_TRUE(Contains(r.trace, "FirmwareFile: " + file)) << r.trace;

    const Lines traffic = UpdateTraffic(r);
    ASSERT_GE(traffic.size(), 8u) << r.traffic;
    EXPECT_EQ(traffic[2], "W 0x0000AB08 4 0 00000404");
    EXPECT_EQ(traffic[3], "W 0x70000000 1024 0");
    // The last chunk: the file's last byte, then three zero bytes of padding.
    char last[64];
    std::snprintf(last, sizeof last, "W 0x70000400 4 0 %02X000000",
                  static_cast<unsigned char>(content.back()));
    EXPECT_EQ(traffic[4], last);
    EXPECT_EQ(traffic.back(), kFinish);
    EXPECT_EQ(r.Record("cam0.image.bin"), content + std::string(3, '\0'));
    EXPECT_EQ(Result(r)["result"], "accepted");
}

TEST(UploadE2e, SecondaryImageNeedsACameraWithASecondaryTarget) {
    const std::string file = kModel + "_secondary_v2.bin";
    const Lines header = {kHeader4[0], kHeader4[1], kHeader4[2], "W 0x0000AB14 4 0 00000002"};
    {
        e2e::ToolResult r =
            Update("secondary-accepted", file, "abc", CameraConfig("secondary_fpga = yes\n"));
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(Contains(Console(r), "crc a75d6850\nFW for secondary FPGA\n\rremaining 4"))
            << Console(r);
        const Lines traffic = UpdateTraffic(r);
        ASSERT_GE(traffic.size(), 6u) << r.traffic;
        EXPECT_EQ(Lines(traffic.begin(), traffic.begin() + 4), header);
        EXPECT_EQ(traffic[4], "R 0x0000AB14 4 0 00000002");
        EXPECT_EQ(traffic[5], "W 0x70000000 4 0 61626300");
        EXPECT_EQ(Result(r)["result"], "accepted");
    }
    {
        e2e::ToolResult r = Update("secondary-refused", file, "abc");
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(Contains(Console(r), "FW for secondary FPGA\n"
                                         "unable to update secondary FPGA of camera Error \n" +
                                             kFailed))
            << Console(r);
        const Lines traffic = UpdateTraffic(r);
        ASSERT_EQ(traffic.size(), 6u) << r.traffic;
        EXPECT_EQ(Lines(traffic.begin(), traffic.begin() + 4), header);
        EXPECT_EQ(traffic[4].rfind("R 0x0000AB14 4 0 ", 0), 0u);
        EXPECT_NE(traffic[4], "R 0x0000AB14 4 0 00000002");
        EXPECT_EQ(traffic[5], kFinish);
        EXPECT_EQ(r.Record("cam0.image.bin"), "");
    }
}

TEST(UploadE2e, WaitsWhileTheCameraIsBusyAfterFlashing) {
    e2e::ToolResult r = Update("busy", kModel + ".bin", "abcd", CameraConfig("busy_reads = 3\n"));
    EXPECT_EQ(r.status, 0);
    const Lines traffic = UpdateTraffic(r);
    ASSERT_GE(traffic.size(), 6u) << r.traffic;
    const Lines tail(traffic.end() - 6, traffic.end());
    EXPECT_EQ(tail[0], "W 0x0000AB10 4 0 00000001");
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(tail[i].rfind("R 0x0000AB0C 4 ", 0), 0u);
        EXPECT_NE(tail[i].substr(0, 17), "R 0x0000AB0C 4 0 ") << tail[i]; // failed
    }
    EXPECT_EQ(tail[4].rfind("R 0x0000AB0C 4 0", 0), 0u);
    EXPECT_EQ(tail[5], kFinish);
    EXPECT_TRUE(Contains(Console(r), "Please wait ..." + kDone));
}

TEST(UploadE2e, FailedDataChunkIsNeverFlashed) {
    // Writes 1 to 3 are the header; the 5th write is the second data chunk.
    e2e::ToolResult r =
        Update("failed-chunk", kModel + ".bin", Pattern(1025), CameraConfig("fail_write = 5\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(Console(r), "\rremaining 4    \nwrite to camera failed at address "
                                     "0x70000400, firmware not flashed\n" +
                                         kFailed))
        << Console(r);
    EXPECT_FALSE(Contains(Console(r), "Please wait"));
    const Lines traffic = UpdateTraffic(r);
    ASSERT_EQ(traffic.size(), 6u) << r.traffic;
    EXPECT_EQ(traffic[3], "W 0x70000000 1024 0");
    EXPECT_EQ(traffic[4].rfind("W 0x70000400 4 ", 0), 0u);
    EXPECT_NE(traffic[4].rfind("W 0x70000400 4 0 ", 0), 0u) << traffic[4];
    EXPECT_EQ(traffic[5], kFinish);
    EXPECT_EQ(r.Record("cam0.image.bin"), "");
}

TEST(UploadE2e, UnusableFilesAreRefusedBeforeTheCameraIsTouched) {
    struct Case {
        std::string test;
        uint64_t size;
        std::string message;
    };
    const uint64_t kFolder = ~0ull;
    for (const Case& c : {Case{"empty-file", 0, "firmware file is empty\n"},
                          Case{"large-file", 0x80000000ull, "firmware file is too large\n"},
                          Case{"folder", kFolder, "file open not successful\n"}}) {
        SCOPED_TRACE(c.test);
        e2e::ScratchDir dir(c.test);
        if (c.size == kFolder) {
            dir.MakeSubdir(kModel + ".bin");
        } else {
            dir.Write(kModel + ".bin", "");
            // Sparse: the tool must refuse it by its size, without reading it.
            std::filesystem::resize_file(dir.File(kModel + ".bin"), c.size);
        }
        e2e::ToolRun run;
        run.input = "0\n0\n0\n\n";
        run.workingDirectory = dir.Path();
        e2e::ToolResult r = e2e::RunTool(run);
        std::filesystem::remove_all(dir.File(kModel + ".bin"));
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(
            Contains(Console(r), "open file >>>" + kModel + ".bin<<<\n" + c.message + kFailed))
            << Console(r);
        EXPECT_EQ(UpdateTraffic(r), Lines{kFinish}) << r.traffic;
    }
}

TEST(UploadE2e, FileShorterThanItsSizeIsRefusedBeforeTheCameraIsTouched) {
    // The build made this folder: one firmware file, a symbolic link to a kernel attribute
    // file, which states the size of a page and holds one line.
    const std::string dir = e2e::NativePath(CXP_SHORT_FILE_DIR);
    const std::string file = dir + "/" + kModel + ".bin";
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size <= e2e::ReadFile(file).size()) {
        GTEST_SKIP() << "this build host has no file that states more bytes than it holds";
    }
    e2e::ToolRun run;
    run.input = "0\n0\n0\n\n";
    run.workingDirectory = dir;
    e2e::ToolResult r = e2e::RunTool(run);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        Contains(Console(r), "open file >>>" + kModel + ".bin<<<\nfile reading error\n" + kFailed))
        << Console(r);
    EXPECT_EQ(UpdateTraffic(r), Lines{kFinish}) << r.traffic;
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
        e2e::ToolResult r =
            Update(c.test, c.file, "abc", c.camera.empty() ? "" : CameraConfig(c.camera));
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(Contains(Console(r), "selected firmware file: " + c.file + "\n" + c.message))
            << Console(r);
        EXPECT_FALSE(Contains(Console(r), "open file"));
        EXPECT_EQ(Writes(r), 0u) << r.traffic;
        ASSERT_GE(r.traceLines.size(), 2u);
        EXPECT_EQ(r.traceLines[r.traceLines.size() - 2].rfind("TQGenTLWrapper::TLClose ", 0), 0u);
        EXPECT_EQ(r.traceLines.back(), "TQGenTLWrapper::GCCloseLib Successful");
    }
}
