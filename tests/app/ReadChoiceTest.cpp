#include <gtest/gtest.h>

#include <sstream>

#include "app/ReadChoice.h"

namespace {

struct Outcome {
    bool chosen;
    int32_t out;
    int32_t field;
    std::string transcript;
};

Outcome Ask(const std::string& typed, int32_t count) {
    std::istringstream input(typed);
    std::ostringstream output;
    Outcome result{false, -11, -11, ""};
    result.chosen =
        ReadChoice("\nchoose a file >>>", count, result.out, result.field, input, output);
    result.transcript = output.str();
    return result;
}

const std::string kPrompt = "\nchoose a file >>>\n";

std::string Refusal(const std::string& line) {
    return "Invalid choice: [" + line + "]\n\n";
}

TEST(ReadChoice, AcceptsWhatTheStandardConversionAccepts) {
    const struct {
        const char* line;
        int32_t value;
    } accepted[] = {{"0", 0}, {" 2", 2}, {"+1", 1}, {"-0", 0}, {"1abc", 1}, {"0x2", 0}, {"\t1", 1}};
    for (const auto& item : accepted) {
        Outcome o = Ask(std::string(item.line) + "\n", 3);
        EXPECT_TRUE(o.chosen) << item.line;
        EXPECT_EQ(o.field, item.value) << item.line;
        EXPECT_EQ(o.out, item.value) << item.line;
        EXPECT_EQ(o.transcript, kPrompt) << item.line;
    }
}

TEST(ReadChoice, RefusesAndRepeatsTheLineExactlyAsTyped) {
    const char* refused[] = {
        "", "abc", "-1", "3", "  x ", "12345678901", "99999999999999999999999", "+", "- 1"};
    for (const char* line : refused) {
        Outcome o = Ask(std::string(line) + "\n2\n", 3);
        EXPECT_TRUE(o.chosen) << line;
        EXPECT_EQ(o.field, 2) << line;
        EXPECT_EQ(o.transcript, kPrompt + Refusal(line) + kPrompt) << line;
    }
}

TEST(ReadChoice, KeepsTheLastConvertedNumberInOutEvenWhenRefused) {
    Outcome o = Ask("7\n", 3);
    EXPECT_FALSE(o.chosen);
    EXPECT_EQ(o.out, 7);
    EXPECT_EQ(o.field, -11) << "a refused number must not reach the choice field";
}

TEST(ReadChoice, EndOfInputStopsInsteadOfRepeatingForever) {
    Outcome closed = Ask("", 3);
    EXPECT_FALSE(closed.chosen);
    EXPECT_EQ(closed.transcript, kPrompt);

    Outcome afterRefusals = Ask("x\n5\n", 3);
    EXPECT_FALSE(afterRefusals.chosen);
    EXPECT_EQ(afterRefusals.transcript, kPrompt + Refusal("x") + kPrompt + Refusal("5") + kPrompt);

    // A last line without its line end still counts as an answer.
    Outcome unterminated = Ask("1", 3);
    EXPECT_TRUE(unterminated.chosen);
    EXPECT_EQ(unterminated.field, 1);
}

TEST(ReadChoice, NoValidAnswerExistsWithoutEntries) {
    Outcome o = Ask("0\n-1\n", 0);
    EXPECT_FALSE(o.chosen);
    EXPECT_EQ(o.transcript, kPrompt + Refusal("0") + kPrompt + Refusal("-1") + kPrompt);
}

TEST(ReadChoice, LargestCountAcceptsTheTopIndexWithoutOverflow) {
    Outcome o = Ask("2147483646\n", INT32_MAX);
    EXPECT_TRUE(o.chosen);
    EXPECT_EQ(o.field, 2147483646);
    Outcome top = Ask("2147483647\n", INT32_MAX);
    EXPECT_FALSE(top.chosen);
}

} // namespace
