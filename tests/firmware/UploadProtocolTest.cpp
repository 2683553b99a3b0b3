#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/ConsoleReports.h"
#include "discovery/ProducerManager.h"
#include "firmware/FirmwareImage.h"
#include "firmware/ImageCrc32.h"
#include "firmware/UploadInternals.h"
#include "tests/firmware/FakeCamera.h"
#include "tests/firmware/ScratchDir.h"

namespace {
using Lines = std::vector<std::string>;

const std::string kWarning = "----------------------------------------------------\n"
                             "WARN: NOT YET FINISHED, DON'T PLUGOUT THIS CAMERA!! \n"
                             "WARN: PLEASE WAIT UNTIL THIS CAMERA APPEARS AGAIN!! \n"
                             "----------------------------------------------------\n"
                             "Please wait ...";
const std::string kFinish = "W 0x0000B0E8 0000D2C4";
const std::string kWrite = "TQGenTLWrapper::GCWritePort hPort:0x00000000000CA0E0 Address:0x";
const std::string kRead = "TQGenTLWrapper::GCReadPort hPort:0x00000000000CA0E0 Address:0x";

struct Outcome {
    int32_t result = 99;
    std::string console;
    Lines traffic;
    Lines trace;
};

// One update of the fake camera through the manager, as the run performs it.
Outcome UpdateCamera(const fake::Camera& camera, const std::string& file,
                     const UploadControl& control = UploadControl()) {
    ProducerManager manager;
    manager.cameraMap[0] = nullptr;
    manager.cameraMap[1] = &fake::RemoteDevice();
    manager.selectedCamera = 1;
    fake::RecordSleeps();
    Outcome outcome;
    fake::TraceLines trace;
    testing::internal::CaptureStdout();
    ConsoleUploadReport report;
    const UploadEnd end = manager.RunFirmwareUpdate(file, report, control).end;
    outcome.result = end == UploadEnd::Answered ? 0 : -1;
    std::fflush(stdout);
    outcome.console = testing::internal::GetCapturedStdout();
    outcome.traffic = camera.Traffic();
    outcome.trace = trace.lines;
    return outcome;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 251 + 1); // never zero, so padding stands out
    }
    return bytes;
}

std::string Hex32(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

std::string Contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) == std::string::npos ? "missing: " + needle : "";
}

// A stream whose end lies `claimed` bytes in, but which delivers only `content`.
class ClaimingFile : public std::streambuf {
public:
    ClaimingFile(std::string content, std::streamoff claimed)
        : content(std::move(content)), claimed(claimed) {}

protected:
    pos_type seekoff(off_type off, std::ios::seekdir dir, std::ios::openmode) override {
        if (claimed < 0) {
            return pos_type(off_type(-1));
        }
        if (dir == std::ios::beg) {
            position = off;
            char* data = &content[0];
            setg(data, data + std::min<off_type>(off, content.size()), data + content.size());
        } else {
            position = (dir == std::ios::end ? claimed : position) + off;
        }
        return pos_type(position);
    }
    pos_type seekpos(pos_type pos, std::ios::openmode which) override {
        return seekoff(off_type(pos), std::ios::beg, which);
    }

private:
    std::string content;
    std::streamoff claimed;
    std::streamoff position = 0;
};
} // namespace

TEST(Upload, ThreeByteImageGoesOutPaddedInOrderAndIsCommitted) {
    fake::ScratchDir dir("abc");
    const std::string file = dir.Write("TQ-12M-CXP_abc.bin", "abc");
    fake::Camera& camera = fake::NewCamera();
    camera.busyReads = 2;
    Outcome o = UpdateCamera(camera, file);

    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.console, "open file >>>" + file + "<<<\n" +
                             "file size 3, upload size 4, crc a75d6850\n"
                             "\rremaining 4    \rupload done     \nflash to eeprom\n" +
                             kWarning);
    EXPECT_EQ(o.traffic,
              (Lines{"W 0x0000AB00 00005B17", "W 0x0000AB04 00000000", "W 0x0000AB08 00000004",
                     "W 0x70000000 61626300", "W 0x0000AB0C A75D6850", "W 0x0000AB10 00000001",
                     "R 0x0000AB0C", "R 0x0000AB0C", "R 0x0000AB0C 12345678", kFinish}));
    const std::string busy = "TQGenTLWrapper::GCReadPort Failed! hPort:0x00000000000CA0E0 "
                             "Address:0x000000000000AB0C";
    EXPECT_EQ(o.trace, (Lines{kWrite + "ab00", kWrite + "ab04", kWrite + "ab08",
                              kWrite + "70000000", kWrite + "ab0c", kWrite + "ab10", busy, busy,
                              kRead + "000000000000AB0C", kWrite + "b0e8"}));
    // The fixed settling time, then one pause per failed poll.
    EXPECT_EQ(fake::RecordedSleeps(), (std::vector<unsigned>{2000, 500, 500}));
}

TEST(Upload, ImageIsSentInChunksOfAtMost1024BytesWithZeroPadding) {
    struct Case {
        size_t fileSize;
        std::vector<size_t> chunks;
    };
    for (const Case& c :
         {Case{1024, {1024}}, Case{1025, {1024, 4}}, Case{5000, {1024, 1024, 1024, 1024, 904}}}) {
        SCOPED_TRACE(c.fileSize);
        fake::ScratchDir dir("chunks");
        const std::string content = Pattern(c.fileSize);
        const std::string file = dir.Write("TQ-12M-CXP.bin", content);
        fake::Camera& camera = fake::NewCamera();
        Outcome o = UpdateCamera(camera, file);
        EXPECT_EQ(o.result, 0);

        const uint32_t uploadSize = static_cast<uint32_t>((c.fileSize + 3) / 4 * 4);
        std::string padded = content + std::string(uploadSize - c.fileSize, '\0');
        EXPECT_EQ(camera.window, std::vector<uint8_t>(padded.begin(), padded.end()));
        const uint32_t crc =
            ImageCrc32(reinterpret_cast<const uint8_t*>(padded.data()), uploadSize);

        ASSERT_EQ(camera.accesses.size(), 3 + c.chunks.size() + 4);
        EXPECT_EQ(o.traffic[2], "W 0x0000AB08 " + Hex32(uploadSize));
        std::string progress;
        uint32_t offset = 0;
        for (size_t i = 0; i < c.chunks.size(); ++i) {
            const fake::PortAccess& a = camera.accesses[3 + i];
            EXPECT_EQ(a.address, 0x70000000u + offset);
            EXPECT_EQ(a.size, c.chunks[i]);
            progress += "\rremaining " + std::to_string(uploadSize - offset) + "    ";
            offset += static_cast<uint32_t>(c.chunks[i]);
        }
        EXPECT_EQ(o.traffic[3 + c.chunks.size()], "W 0x0000AB0C " + Hex32(crc));
        EXPECT_EQ(Contains(o.console, progress + "\rupload done     \n"), "");
        char summary[96];
        std::snprintf(summary, sizeof summary, "file size %zu, upload size %u, crc %08x\n",
                      c.fileSize, uploadSize, crc);
        EXPECT_EQ(Contains(o.console, summary), "");
        // Exactly one trace line per port access.
        EXPECT_EQ(o.trace.size(), camera.accesses.size());
    }
}

// A write that fails and a stop request before a write end the upload the same way: nothing
// after that point, above all no flash command, but UpdateFinish.
TEST(Upload, FirstFailedWriteOrStopRequestEndsTheUploadButFinishIsStillWritten) {
    fake::ScratchDir dir("failing");
    const std::string file = dir.Write("TQ-12M-CXP.bin", Pattern(2049));
    fake::Camera& reference = fake::NewCamera();
    const Lines complete = UpdateCamera(reference, file).traffic;
    ASSERT_EQ(complete.size(), 10u); // 3 header, 3 chunks, checksum, flash, read, finish

    const uint64_t addresses[] = {0xAB00,     0xAB04,     0xAB08, 0x70000000,
                                  0x70000400, 0x70000800, 0xAB0C, 0xAB10};
    for (bool stop : {false, true}) {
        for (int failing = 1; failing <= 8; ++failing) {
            SCOPED_TRACE((stop ? "stop before write " : "failed write ") + std::to_string(failing));
            fake::Camera& camera = fake::NewCamera();
            UploadControl control;
            int asked = 0;
            if (stop) {
                control.stopSending = [&asked, failing] { return ++asked >= failing; };
            } else {
                camera.failWrite = failing;
            }
            Outcome o = UpdateCamera(camera, file, control);
            EXPECT_EQ(o.result, -1);
            Lines expected(complete.begin(), complete.begin() + failing - (stop ? 1 : 0));
            expected.push_back(kFinish);
            EXPECT_EQ(o.traffic, expected);
            char message[96];
            std::snprintf(message, sizeof message,
                          "write to camera failed at address 0x%llx, firmware not flashed\n",
                          static_cast<unsigned long long>(addresses[failing - 1]));
            const std::string ending =
                stop ? "\nupload interrupted, firmware not flashed\n" : std::string(message);
            EXPECT_EQ(o.console.substr(o.console.size() - ending.size()), ending) << o.console;
            EXPECT_EQ(Contains(o.console, "Please wait"), "missing: Please wait");
            EXPECT_TRUE(fake::RecordedSleeps().empty());
            if (!stop) {
                EXPECT_EQ(Contains(o.trace[failing - 1], " Failed! "), "");
            }
        }
    }

    // The secondary target's write is guarded the same way.
    const std::string secondary = dir.Write("TQ-12M-CXP_secondary.bin", "abc");
    fake::Camera& camera = fake::NewCamera();
    camera.failWriteAddress = 0xAB14;
    Outcome o = UpdateCamera(camera, secondary);
    EXPECT_EQ(o.result, -1);
    EXPECT_EQ(o.traffic.size(), 5u);
    EXPECT_EQ(o.traffic.back(), kFinish);
    EXPECT_EQ(Contains(o.console, "failed at address 0xab14, firmware not flashed\n"), "");

    // After a completed upload a refused finish write is only traced.
    fake::Camera& finishing = fake::NewCamera();
    finishing.failWriteAddress = 0xB0E8;
    o = UpdateCamera(finishing, file);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.trace.back(), "TQGenTLWrapper::GCWritePort Failed! hPort:0x00000000000CA0E0 "
                              "Address:0xb0e8");
    EXPECT_EQ(Contains(o.console, "write to camera failed"), "missing: write to camera failed");
}

TEST(Upload, TheWaitForAFlashedCameraEndsAtItsLimitOrOnRequest) {
    fake::ScratchDir dir("wait");
    const std::string file = dir.Write("TQ-12M-CXP.bin", "abcd");
    struct Case {
        uint64_t limitMs;
        bool stop;
        UploadEnd end;
    };
    for (const Case& c :
         {Case{300, false, UploadEnd::WaitTimedOut}, Case{0, true, UploadEnd::WaitStopped}}) {
        SCOPED_TRACE(c.limitMs);
        fake::Camera& camera = fake::NewCamera();
        camera.busyReads = 1000;
        UploadControl control;
        control.waitTimeoutMs = c.limitMs;
        if (c.stop) {
            control.stopWaiting = [] { return true; };
        }
        SetUploadSleep(nullptr); // the limit is measured on the real clock
        ConsoleUploadReport report;
        ProducerManager manager;
        manager.cameraMap[0] = &fake::RemoteDevice();
        testing::internal::CaptureStdout();
        const auto started = std::chrono::steady_clock::now();
        const UploadOutcome outcome = manager.RunFirmwareUpdate(file, report, control);
        const auto took = std::chrono::steady_clock::now() - started;
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(outcome.end, c.end);
        EXPECT_TRUE(outcome.Flashed());
        EXPECT_LT(took, std::chrono::milliseconds(1500)) << "the fixed 2000 ms counts too";
        const Lines traffic = camera.Traffic();
        ASSERT_GE(traffic.size(), 2u);
        EXPECT_EQ(traffic[traffic.size() - 2], c.stop ? "W 0x0000AB10 00000001" : "R 0x0000AB0C");
        EXPECT_EQ(traffic.back(), kFinish);
    }
}

TEST(Upload, UnreadableFilesStopBeforeAnyRegister) {
    fake::ScratchDir dir("unreadable");
    const std::string missing = dir.File("TQ-12M-CXP_absent.bin");
    fake::Camera& camera = fake::NewCamera();
    Outcome o = UpdateCamera(camera, missing);
    EXPECT_EQ(o.result, -1);
    EXPECT_EQ(o.console, "open file >>>" + missing + "<<<\nfile open not successful\n");
    EXPECT_EQ(o.traffic, Lines{kFinish});

    // A file may promise more than it delivers; only a seam can make one do that.
    struct Case {
        std::streamoff claimed; // where the end lies; -1: it cannot be found
        ImageLoad load;
        std::string message;
    };
    for (const Case& c : {Case{10, ImageLoad::ReadError, "file reading error\n"},
                          Case{-1, ImageLoad::ReadError, "file reading error\n"},
                          Case{0, ImageLoad::Empty, "firmware file is empty\n"},
                          Case{0x80000000LL, ImageLoad::TooLarge, "firmware file is too large\n"},
                          Case{6, ImageLoad::Loaded, ""}}) {
        SCOPED_TRACE(c.claimed);
        ClaimingFile buffer("abcdef", c.claimed);
        std::istream file(&buffer);
        std::vector<uint8_t> image(3, 0xEE);
        uint32_t fileSize = 99;
        EXPECT_EQ(LoadFirmwareImage(file, image, fileSize), c.load);
        if (c.load == ImageLoad::Loaded) {
            EXPECT_EQ(image, (std::vector<uint8_t>{'a', 'b', 'c', 'd', 'e', 'f', 0, 0}));
            EXPECT_EQ(fileSize, 6u);
            continue;
        }
        EXPECT_TRUE(image.empty()) << "nothing may be kept of a refused file";

        ClaimingFile again("abcdef", c.claimed);
        std::istream stream(&again);
        fake::Camera& camera = fake::NewCamera();
        testing::internal::CaptureStdout();
        ConsoleUploadReport report;
        EXPECT_EQ(UploadFirmwareFrom(fake::RemoteDevice(), "TQ-12M-CXP.bin", stream, report).end,
                  UploadEnd::FileUnusable);
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
        EXPECT_TRUE(camera.accesses.empty());
    }
}
