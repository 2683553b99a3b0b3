#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "firmware/RegisterMap.h"
#include "firmware/UploadInternals.h"
#include "gentl/TQGenTLWrapper.h"
#include "tests/TraceCapture.h"

namespace {
using Lines = std::vector<std::string>;

const std::string kFinish = "W 0x0000B0E8 0000D2C4";

// The camera behind a producer that has only the two port calls. Every access is recorded as
// "W 0x0000AB00 00005B17", "W 0x70000000 [1024]" (data), "R 0x0000AB0C 12345678" or, failed,
// "R 0x0000AB0C".
struct Camera {
    int failWrite = 0; // 1-based number of the write that fails; 0: none
    int busyReads = 0; // checksum reads that fail before the camera answers
    int writes = 0;
    Lines traffic;
} camera;
std::vector<unsigned> sleeps;

void Record(char kind, uint64_t address, const uint8_t* bytes, size_t size) {
    char line[48];
    int n = std::snprintf(line, sizeof line, "%c 0x%08llX", kind, (unsigned long long)address);
    if (bytes && size == 4)
        n += std::snprintf(line + n, sizeof line - n, " %02X%02X%02X%02X", bytes[0], bytes[1],
                           bytes[2], bytes[3]);
    else if (bytes)
        std::snprintf(line + n, sizeof line - n, " [%zu]", size);
    camera.traffic.push_back(line);
}

GC_ERROR GC_CALLTYPE WritePort(PORT_HANDLE, uint64_t address, const void* buffer, size_t* size) {
    Record('W', address, static_cast<const uint8_t*>(buffer), *size);
    return ++camera.writes == camera.failWrite ? GC_ERR_IO : GC_ERR_SUCCESS;
}

GC_ERROR GC_CALLTYPE ReadPort(PORT_HANDLE, uint64_t address, void* buffer, size_t* size) {
    static const uint8_t value[4] = {0x12, 0x34, 0x56, 0x78};
    const bool answers = address == regs::kUpdateChecksum && camera.busyReads-- <= 0;
    if (answers)
        std::memcpy(buffer, value, sizeof value);
    Record('R', address, answers ? value : nullptr, *size);
    return answers ? GC_ERR_SUCCESS : GC_ERR_TIMEOUT;
}

GC_ERROR GC_CALLTYPE NotUsed() {
    ADD_FAILURE() << "the upload called a producer function other than the port calls";
    return GC_ERR_NOT_IMPLEMENTED;
}

TQRemoteDevice& Device() {
    static TQGenTLWrapper wrapper([](const char* name) {
        const std::string function = name;
        return function == "GCWritePort"  ? reinterpret_cast<void*>(&WritePort)
               : function == "GCReadPort" ? reinterpret_cast<void*>(&ReadPort)
                                          : reinterpret_cast<void*>(&NotUsed);
    });
    static TQRemoteDevice device = [] {
        TQRemoteDevice camera;
        camera.hPort = reinterpret_cast<void*>(0xCA0E0);
        camera.wrapper = &wrapper;
        return camera;
    }();
    return device;
}

// An upload's end, what it told its front end in order (a phase's number, "failed ADDRESS",
// "interrupted"), what the camera saw and the trace.
struct Outcome : UploadReport {
    UploadEnd end{};
    Lines told, traffic, trace;
    void PhaseChanged(UploadPhase p) override { told.push_back(std::to_string(int(p))); }
    void WriteFailed(uint64_t a) override { told.push_back("failed " + std::to_string(a)); }
    void Interrupted() override { told.push_back("interrupted"); }
};

// One update of a fresh camera from a file, as the interactive run performs it. The pauses are
// recorded instead of taken.
Outcome Update(const std::string& file, const Camera& setup = {},
               const UploadControl& control = {}) {
    camera = setup;
    sleeps.clear();
    SetUploadSleep([](unsigned ms) { sleeps.push_back(ms); });
    TraceCapture trace;
    Outcome o;
    o.end = UploadFirmware(Device(), file, o, control).end;
    o.traffic = camera.traffic;
    o.trace = trace.lines;
    return o;
}

std::string Write(const std::string& name, const std::string& content) {
    std::filesystem::create_directories("firmware-scratch");
    std::ofstream("firmware-scratch/" + name, std::ios::binary) << content;
    return "firmware-scratch/" + name;
}
} // namespace

TEST(Upload, PaddedImageThenTheCameraIsPolledUntilItAnswersOneTraceLineAnAccess) {
    const Camera busy{0, 2, 0, {}};
    const std::string file = Write("TQ-12M-CXP_abc.bin", "abc");
    const Outcome o = Update(file, busy);
    EXPECT_EQ(o.end, UploadEnd::Answered);
    EXPECT_EQ(o.traffic,
              (Lines{"W 0x0000AB00 00005B17", "W 0x0000AB04 00000000", "W 0x0000AB08 00000004",
                     "W 0x70000000 61626300", "W 0x0000AB0C A75D6850", "W 0x0000AB10 00000001",
                     "R 0x0000AB0C", "R 0x0000AB0C", "R 0x0000AB0C 12345678", kFinish}));
    const std::string port = "hPort:0x00000000000CA0E0 Address:0x";
    ASSERT_EQ(o.trace.size(), o.traffic.size());
    EXPECT_EQ(o.trace[0], "TQGenTLWrapper::GCWritePort " + port + "ab00");
    EXPECT_EQ(o.trace[6], "TQGenTLWrapper::GCReadPort Failed! " + port + "000000000000AB0C");
    EXPECT_EQ(o.told, (Lines{"0", "1", "2", "3", "4"}));
    // The fixed settling time, then one pause per failed poll.
    EXPECT_EQ(sleeps, (std::vector<unsigned>{2000, 500, 500}));

    // The command line's entry: the image in memory goes out the same way, and the version is
    // read between the answer and UpdateFinish when asked.
    LoadedImage image;
    ASSERT_EQ(LoadImageFile(file, image), ImageLoad::Loaded);
    camera = busy;
    UploadControl control;
    control.readVersionAfter = true;
    Outcome inMemory;
    // The fake camera refuses the version read; the traffic shows the upload was answered.
    EXPECT_FALSE(UpdateCamera(Device(), image, false, inMemory, control).versionAfterRead);
    Lines expected = o.traffic;
    expected.insert(expected.end() - 1, "R 0x00002070");
    EXPECT_EQ(camera.traffic, expected);
    EXPECT_EQ(image.Size(), 4u); // shared by the workers: never released here
}

// A write that fails and a stop request before a write end the upload the same way: nothing
// after that point, above all no flash command and no wait, but UpdateFinish.
TEST(Upload, FirstFailedWriteOrStopRequestEndsTheUploadButFinishIsStillWritten) {
    const std::string file = Write("TQ-12M-CXP.bin", std::string(2049, 'x'));
    const Lines complete = Update(file).traffic;
    ASSERT_EQ(complete.size(), 10u); // 3 header, 3 chunks, checksum, flash, read, finish
    for (bool stop : {false, true}) {
        for (int failing = 1; failing <= 8; ++failing) {
            SCOPED_TRACE((stop ? "stop before write " : "failed write ") + std::to_string(failing));
            int asked = 0;
            UploadControl control;
            control.stopSending = [&] { return stop && ++asked >= failing; };
            const Outcome o = Update(file, Camera{stop ? 0 : failing, 0, 0, {}}, control);
            EXPECT_EQ(o.end, stop ? UploadEnd::Interrupted : UploadEnd::WriteFailed);
            Lines expected(complete.begin(), complete.begin() + failing - (stop ? 1 : 0));
            expected.push_back(kFinish);
            EXPECT_EQ(o.traffic, expected);
            // The address of the write that failed, as the camera saw it.
            const uint64_t address = std::stoull(complete[failing - 1].substr(4, 8), nullptr, 16);
            EXPECT_EQ(o.told.back(), stop ? "interrupted" : "failed " + std::to_string(address));
            EXPECT_EQ(std::count(o.told.begin(), o.told.end(), "3"), 0); // no wait
            EXPECT_TRUE(sleeps.empty());
        }
    }

    // The secondary target's write is guarded the same way.
    Camera refusing{4, 0, 0, {}};
    Outcome o = Update(Write("TQ-12M-CXP_secondary.bin", "abc"), refusing);
    EXPECT_EQ(o.traffic, (Lines{complete[0], complete[1], "W 0x0000AB08 00000004",
                                "W 0x0000AB14 00000002", kFinish}));
    EXPECT_EQ(o.told, (Lines{"0", "failed " + std::to_string(0xAB14)}));

    // After a completed upload a refused finish write is only traced.
    refusing.failWrite = 9;
    o = Update(file, refusing);
    EXPECT_EQ(o.end, UploadEnd::Answered);
    EXPECT_EQ(o.trace.back(), "TQGenTLWrapper::GCWritePort Failed! hPort:0x00000000000CA0E0 "
                              "Address:0xb0e8");
    EXPECT_EQ(o.told.back(), "4");
}
