#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/ProcessRunner.h"
#include "tests/e2e/E2eSupport.h"

namespace {

const std::string kChild = e2e::NativePath(CXP_INTERRUPT_CHILD_PATH);

TEST(Runner, AChildThatCannotStartSaysWhy) {
    e2e::ScratchDir dir("runner-no-start");
    for (const auto& [program, directory] :
         {std::pair{dir.File("missing.exe"), std::string()}, std::pair{kChild, dir.File("gone")}}) {
        platform::ProcessSpec spec;
        spec.program = program;
        spec.workingDirectory = directory;
        platform::ProcessResult r = platform::RunProcess(spec);
        EXPECT_FALSE(r.started);
        EXPECT_EQ(r.exitStatus, -1000);
        // The step and what it was given, then the system's own words.
        const std::string given = program + (directory.empty() ? "" : " in " + directory) + ": ";
        const size_t at = r.startError.find(given);
        ASSERT_NE(at, std::string::npos) << r.startError;
        EXPECT_LT(at + given.size(), r.startError.size()) << r.startError;
    }
}

// The second interrupt waits until the child reported the first, and for the delay.
TEST(Runner, InterruptsReachAChildWithPipesWhenItsOutputAsks) {
    for (unsigned count : {1u, 2u}) {
        platform::ProcessSpec spec;
        spec.program = kChild;
        spec.arguments = {std::to_string(count)};
        spec.timeoutSeconds = 60;
        spec.interruptOnOutput = "ready";
        spec.interrupts = count;
        spec.secondInterruptOnOutput = "interrupted 1";
        spec.secondInterruptDelayMs = 300;
        platform::ProcessResult r = platform::RunProcess(spec);
        const double ready = platform::FirstArrival(r, "ready");
        const double first = platform::FirstArrival(r, "interrupted 1");
        const double second = platform::FirstArrival(r, "interrupted 2");
        EXPECT_EQ(r.exitStatus, 40 + static_cast<int>(count))
            << r.standardOutput << r.interruptError << r.startError;
        EXPECT_EQ(r.interruptsSent, count);
        EXPECT_GE(ready, 0);
        EXPECT_GT(first, ready);
        EXPECT_TRUE(count == 2 ? second - ready >= 0.3 : second < 0) << second;
        EXPECT_LE(std::max(first, second), r.endSeconds);
    }
}

} // namespace
