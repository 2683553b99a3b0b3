#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/ProducerManager.h"
#include "firmware/FirmwareFile.h"
#include "gentl/DebugTrace.h"

namespace {

// Console and trace in the order they were produced, each tagged with its channel.
class Channels {
public:
    Channels() {
        SetTraceObserver([this](const std::string& m) { Flush(), events.push_back("T:" + m); });
        testing::internal::CaptureStdout();
    }
    ~Channels() { SetTraceObserver(nullptr); }
    std::vector<std::string> Finish() {
        Flush();
        return events;
    }

private:
    // Console text so far becomes one event, so its place among the trace messages shows.
    void Flush() {
        fflush(stdout);
        std::string text = testing::internal::GetCapturedStdout();
        if (!text.empty())
            events.push_back("C:" + text);
        testing::internal::CaptureStdout();
    }
    std::vector<std::string> events;
};

TEST(Dialogues, FirmwareListingGoesToTheConsoleFirstThenToTheTrace) {
    FirmwareFile catalogue;
    catalogue.firmwareFileMap = {{0, "a%s.bin"}, {1, "b.bin"}};
    std::vector<std::string> events;
    {
        Channels channels;
        catalogue.ListFirmwareFiles(2);
        events = channels.Finish();
        fflush(stdout);
        testing::internal::GetCapturedStdout();
    }
    const std::vector<std::string> expected = {
        "C:\nFW File: [0]\nName: a%s.bin\n", "T:\nFW File: [0]\n", "T:Name: a%s.bin\n",
        "C:\nFW File: [1]\nName: b.bin\n",   "T:\nFW File: [1]\n", "T:Name: b.bin\n"};
    EXPECT_EQ(events, expected);
}

TEST(Dialogues, EmptyListingsSayWhyOnEveryChannelTheyUse) {
    FirmwareFile catalogue;
    ProducerManager manager;
    std::vector<std::string> events;
    int32_t cameras = 0;
    {
        Channels channels;
        catalogue.ListFirmwareFiles(0);
        manager.ListCtiFiles();
        cameras = manager.ListCameras();
        events = channels.Finish();
        fflush(stdout);
        testing::internal::GetCapturedStdout();
    }
    EXPECT_EQ(cameras, -1);
    const std::vector<std::string> expected = {
        "C:No firmware file found!\n", "T:No firmware file found!\n",
        "C:Discover all available CTI Files:\n---------------------------------\n"
        "No cti file found!\n"
        "\nDiscover all available Cameras:\n---------------------------------\n"
        "!!!No camera found!!!\n"};
    EXPECT_EQ(events, expected);
}

TEST(Dialogues, SelectedFirmwareNameIsEchoedLiterally) {
    FirmwareFile catalogue;
    catalogue.firmwareFileMap = {{0, "x.bin"}, {1, "%n%s%x.bin"}};
    std::string name;
    testing::internal::CaptureStdout();
    catalogue.GetSelectedFile(1, name);
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console, "selected firmware file: %n%s%x.bin\n");
    EXPECT_EQ(name, "%n%s%x.bin");
    EXPECT_EQ(catalogue.selectedFirmwareName, "%n%s%x.bin");
}

} // namespace
