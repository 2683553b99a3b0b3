#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/ProcessRunner.h"
#include "tests/e2e/E2eSupport.h"

namespace {

const std::string kChild = e2e::NativePath(CXP_INTERRUPT_CHILD_PATH);

TEST(Runner, AChildThatCannotStartSaysWhy) {
    e2e::ScratchDir dir("runner-no-start");
    const std::string missingDir = dir.File("gone");
    for (const auto& [program, directory] :
         {std::pair{dir.File("missing.exe"), std::string()}, std::pair{kChild, missingDir}}) {
        platform::ProcessSpec spec;
        spec.program = program;
        spec.workingDirectory = directory;
        platform::ProcessResult r = platform::RunProcess(spec);
        EXPECT_FALSE(r.started);
        EXPECT_EQ(r.exitStatus, -1000);
        // The step, what it was given and the system's own words after the last ": ".
        const std::string& why = r.startError;
        EXPECT_NE(why.find(program + (directory.empty() ? ": " : " in " + directory + ": ")),
                  std::string::npos)
            << why;
        EXPECT_LT(why.rfind(": ") + 2, why.size()) << why;
    }
}

// Interrupts reach a child whose standard streams are pipes, in turn: the second only after
// the child reported the first, and not before the delay.
TEST(Runner, InterruptsArriveWhenTheOutputAsksForThem) {
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
        if (count == 2)
            EXPECT_GE(second - ready, 0.3);
        else
            EXPECT_LT(second, 0);
        EXPECT_LE(std::max(first, second), r.endSeconds);
    }
}

} // namespace
