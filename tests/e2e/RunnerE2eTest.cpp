#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/E2eSupport.h"

// A child that cannot start is told apart from one that failed, with the step and what it was
// given, then the system's own words.
TEST(Runner, AChildThatCannotStartSaysWhy) {
    e2e::ScratchDir dir("runner-no-start");
    for (const auto& [program, directory] : {std::pair{dir.File("missing.exe"), std::string()},
                                             std::pair{e2e::ToolPath(), dir.File("gone")}}) {
        runner::ProcessSpec spec;
        spec.program = program;
        spec.workingDirectory = directory;
        const runner::ProcessResult r = runner::RunProcess(spec);
        EXPECT_FALSE(r.started);
        EXPECT_EQ(r.exitStatus, -1000);
        const std::string given = program + (directory.empty() ? "" : " in " + directory) + ": ";
        const size_t at = r.startError.find(given);
        ASSERT_NE(at, std::string::npos) << r.startError;
        EXPECT_LT(at + given.size(), r.startError.size()) << r.startError;
    }
}
