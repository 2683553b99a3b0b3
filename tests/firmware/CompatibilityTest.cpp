#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "firmware/Compatibility.h"

TEST(Compatibility, TheModelMustOccurThenTwoKmt26ImagesAreBlocked) {
    const Compatibility match = Compatibility::Matches, mismatch = Compatibility::ModelMismatch;
    const std::string m = "TQ-12M-CXP";
    // Case-sensitive and whole; an unreadable model register leaves the model empty, which
    // every name holds.
    std::vector<std::tuple<std::string, std::string, Compatibility>> cases = {
        {"fw_TQ-12M-CXP_v2.bin", m, match},
        {"TQ-12M-CXP.bin", m, match},
        {"abc.bin", "ABC", mismatch},
        {"tq-12m-cxp.bin", m, mismatch},
        {"TQ-12M.bin", m, mismatch},
        {"TQ.bin", "TQ.bin.longer", mismatch},
        {"anything.bin", "", match},
        {"", "", match},
        {m + "_kmt26_RT40-4D_v1.7.2_b3008.bin", m, match}};
    for (const std::string b : {"RT40-4D_v1.7.2_b3007.bin", "RT40-4D_v1.7.2_b3009.bin"}) {
        // The model test comes first; only "kmt26" exactly, and the blocked name whole.
        cases.insert(cases.end(), {{m + "_kmt26_" + b, m, Compatibility::Blocked},
                                   {b + "kmt26" + m, m, Compatibility::Blocked},
                                   {"kmt26_" + b, m, mismatch},
                                   {m + "_" + b, m, match},
                                   {m + "_KMT26_" + b, m, match},
                                   {m + "_kmt2_" + b, m, match},
                                   {m + "_kmt26_" + b.substr(0, b.size() - 1), m, match}});
    }
    for (const auto& [name, model, expected] : cases)
        EXPECT_EQ(CheckCompatibility(name, model), expected) << name << " / " << model;
}
