#include <gtest/gtest.h>

#include "app/Compatibility.h"

TEST(Compatibility, ModelMustOccurCaseSensitively) {
    EXPECT_EQ(CheckCompatibility("fw_TQ-12M-CXP_v2.bin", "TQ-12M-CXP"), Compatibility::Matches);
    EXPECT_EQ(CheckCompatibility("TQ-12M-CXP.bin", "TQ-12M-CXP"), Compatibility::Matches);
    EXPECT_EQ(CheckCompatibility("abc.bin", "ABC"), Compatibility::ModelMismatch);
    EXPECT_EQ(CheckCompatibility("tq-12m-cxp.bin", "TQ-12M-CXP"), Compatibility::ModelMismatch);
    EXPECT_EQ(CheckCompatibility("TQ-12M.bin", "TQ-12M-CXP"), Compatibility::ModelMismatch);
    // A model longer than the name is never found.
    EXPECT_EQ(CheckCompatibility("TQ.bin", "TQ.bin.longer"), Compatibility::ModelMismatch);
    // An unreadable model register leaves the model empty, which every name holds.
    EXPECT_EQ(CheckCompatibility("anything.bin", ""), Compatibility::Matches);
    EXPECT_EQ(CheckCompatibility("", ""), Compatibility::Matches);
}

TEST(Compatibility, BlockedImagesOfTheKmt26Family) {
    const std::string model = "TQ-12M-CXP";
    for (const char* blocked : {"RT40-4D_v1.7.2_b3007.bin", "RT40-4D_v1.7.2_b3009.bin"}) {
        SCOPED_TRACE(blocked);
        EXPECT_EQ(CheckCompatibility(model + "_kmt26_" + blocked, model), Compatibility::Blocked);
        EXPECT_EQ(CheckCompatibility(std::string(blocked) + "kmt26" + model, model),
                  Compatibility::Blocked);
        // The model test comes first.
        EXPECT_EQ(CheckCompatibility(std::string("kmt26_") + blocked, model),
                  Compatibility::ModelMismatch);
        // Without "kmt26" (exactly, lower case) the file is uploaded.
        EXPECT_EQ(CheckCompatibility(model + "_" + blocked, model), Compatibility::Matches);
        EXPECT_EQ(CheckCompatibility(model + "_KMT26_" + blocked, model), Compatibility::Matches);
        EXPECT_EQ(CheckCompatibility(model + "_kmt2_" + blocked, model), Compatibility::Matches);
        // The blocked names must occur whole.
        const std::string cut(blocked, std::string(blocked).size() - 1);
        EXPECT_EQ(CheckCompatibility(model + "_kmt26_" + cut, model), Compatibility::Matches);
    }
    EXPECT_EQ(CheckCompatibility(model + "_kmt26_RT40-4D_v1.7.2_b3008.bin", model),
              Compatibility::Matches);
}
