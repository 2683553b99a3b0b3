#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/ConsoleReports.h"
#include "app/Dialogues.h"
#include "app/ReadChoice.h"
#include "gentl/DebugTrace.h"

// The trace joins the console, marked, so the capture shows the order of the two. Names are
// never a format.
TEST(Dialogues, FirmwareListingGoesToTheConsoleFirstThenToTheTrace) {
    SetTraceObserver([](const std::string& message) { std::printf("<%s>", message.c_str()); });
    testing::internal::CaptureStdout();
    ListFirmwareFiles({});
    ListFirmwareFiles({"b.bin", "a%s.bin"});
    std::fflush(stdout);
    const std::string console = testing::internal::GetCapturedStdout();
    SetTraceObserver(nullptr);
    EXPECT_EQ(console, "No firmware file found!\n<No firmware file found!\n>"
                       "\nFW File: [0]\nName: b.bin\n<\nFW File: [0]\n><Name: b.bin\n>"
                       "\nFW File: [1]\nName: a%s.bin\n<\nFW File: [1]\n><Name: a%s.bin\n>");
}

// A failure message starts a line of its own: after a progress line, a new one.
TEST(Dialogues, UploadFailureEndsAnOpenProgressLineOnly) {
    testing::internal::CaptureStdout();
    ConsoleUploadReport report;
    report.WriteFailed(0xAB14);
    report.Progress(0, 4);
    report.WriteFailed(0x70000000);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "write to camera failed at address 0xab14, firmware not flashed\n\rremaining 4    \n"
              "write to camera failed at address 0x70000000, firmware not flashed\n");
}

// Numbers as the standard conversion takes them; a refusal repeats the line exactly as typed.
// The choice (-11: untouched) changes only with a valid answer.
TEST(Dialogues, PromptTakesWhatTheStandardConversionTakesUntilTheInputEnds) {
    const std::string p = "\nchoose a file >>>\n";
    auto refused = [&p](const std::string& line) {
        return p + "Invalid choice: [" + line + "]\n\n";
    };
    // typed, entries, choice, transcript
    std::vector<std::tuple<std::string, int32_t, int32_t, std::string>> cases = {
        {"", 3, -11, p},
        {"7\n", 3, -11, refused("7") + p},
        {"x\n5\n", 3, -11, refused("x") + refused("5") + p},
        {"1", 3, 1, p}, // a last line without its line end still counts
        {"0\n-1\n", 0, -11, refused("0") + refused("-1") + p},
        // The top index of the largest count, without overflow.
        {"2147483646\n", INT32_MAX, INT32_MAX - 1, p},
        {"2147483647\n", INT32_MAX, -11, refused("2147483647") + p}};
    for (const auto& [line, value] : std::vector<std::pair<std::string, int32_t>>{
             {"0", 0}, {" 2", 2}, {"+1", 1}, {"-0", 0}, {"1abc", 1}, {"0x2", 0}, {"\t1", 1}})
        cases.emplace_back(line + "\n", 3, value, p);
    for (const std::string line : {"", "abc", "-1", "3", "  x ", "12345678901", "4294967296",
                                   "99999999999999999999999", "+", "- 1"})
        cases.emplace_back(line + "\n2\n", 3, 2, refused(line) + p);
    for (const auto& [typed, count, choice, transcript] : cases) {
        std::istringstream input(typed);
        std::ostringstream output;
        int32_t chosen = -11;
        const bool answered = ReadChoice("\nchoose a file >>>", count, chosen, input, output);
        EXPECT_EQ(std::make_tuple(answered, chosen, output.str()),
                  std::make_tuple(choice != -11, choice, transcript))
            << typed;
    }
}
