#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/ReadChoice.h"
#include "discovery/ProducerManager.h"
#include "firmware/FirmwareFile.h"
#include "gentl/DebugTrace.h"

namespace {

// Console and trace in the order they were produced, each tagged with its channel: the console
// text so far becomes one event whenever a trace message arrives.
std::vector<std::string> events;
void TakeConsole() {
    fflush(stdout);
    const std::string text = testing::internal::GetCapturedStdout();
    if (!text.empty())
        events.push_back("C:" + text);
}

// Names are never a format. (The producer listings are checked by the end-to-end tests.)
TEST(Dialogues, FirmwareListingGoesToTheConsoleFirstThenToTheTrace) {
    FirmwareFile catalogue;
    catalogue.firmwareFileMap = {{0, "b.bin"}, {1, "a%s.bin"}};
    ProducerManager manager;
    std::string name;
    SetTraceObserver([](const std::string& message) {
        TakeConsole();
        events.push_back("T:" + message);
        testing::internal::CaptureStdout();
    });
    testing::internal::CaptureStdout();
    catalogue.ListFirmwareFiles(0);
    catalogue.ListFirmwareFiles(2);
    catalogue.GetSelectedFile(1, name);
    manager.ListCameras();
    TakeConsole();
    SetTraceObserver(nullptr);
    EXPECT_EQ(events,
              (std::vector<std::string>{
                  "C:No firmware file found!\n", "T:No firmware file found!\n",
                  "C:\nFW File: [0]\nName: b.bin\n", "T:\nFW File: [0]\n", "T:Name: b.bin\n",
                  "C:\nFW File: [1]\nName: a%s.bin\n", "T:\nFW File: [1]\n", "T:Name: a%s.bin\n",
                  "C:selected firmware file: a%s.bin\n"
                  "\nDiscover all available Cameras:\n---------------------------------\n"
                  "!!!No camera found!!!\n"}));
    EXPECT_EQ(name, "a%s.bin");
}

std::string Refused(const std::string& line) {
    return "\nchoose a file >>>\nInvalid choice: [" + line + "]\n\n";
}

// Numbers as the standard conversion takes them; a refusal repeats the line exactly as typed.
// `out` gets every number converted, the choice field (-11: untouched) only a valid one.
TEST(Dialogues, PromptTakesWhatTheStandardConversionTakesUntilTheInputEnds) {
    const std::string p = "\nchoose a file >>>\n";
    // typed, entries, chosen, out, field, transcript
    std::vector<std::tuple<std::string, int32_t, bool, int32_t, int32_t, std::string>> cases = {
        {"", 3, false, -11, -11, p},
        {"7\n", 3, false, 7, -11, Refused("7") + p},
        {"x\n5\n", 3, false, 5, -11, Refused("x") + Refused("5") + p},
        {"1", 3, true, 1, 1, p}, // a last line without its line end still counts
        {"0\n-1\n", 0, false, -1, -11, Refused("0") + Refused("-1") + p},
        // The top index of the largest count, without overflow.
        {"2147483646\n", INT32_MAX, true, INT32_MAX - 1, INT32_MAX - 1, p},
        {"2147483647\n", INT32_MAX, false, INT32_MAX, -11, Refused("2147483647") + p}};
    for (const auto& [line, value] : std::vector<std::pair<std::string, int32_t>>{
             {"0", 0}, {" 2", 2}, {"+1", 1}, {"-0", 0}, {"1abc", 1}, {"0x2", 0}, {"\t1", 1}})
        cases.emplace_back(line + "\n", 3, true, value, value, p);
    for (const std::string line : {"", "abc", "-1", "3", "  x ", "12345678901", "4294967296",
                                   "99999999999999999999999", "+", "- 1"})
        cases.emplace_back(line + "\n2\n", 3, true, 2, 2, Refused(line) + p);
    for (const auto& [typed, count, chosen, out, field, transcript] : cases) {
        std::istringstream input(typed);
        std::ostringstream output;
        int32_t o = -11, f = -11;
        const bool c = ReadChoice("\nchoose a file >>>", count, o, f, input, output);
        EXPECT_EQ(std::make_tuple(c, o, f, output.str()),
                  std::make_tuple(chosen, out, field, transcript))
            << typed;
    }
}

} // namespace
