#include "app/Compatibility.h"

Compatibility CheckCompatibility(const std::string& firmwareFileName, const std::string& model) {
    // The model test comes first: a blocked name that lacks the model is a mismatch.
    if (firmwareFileName.find(model) == std::string::npos) {
        return Compatibility::ModelMismatch;
    }
    auto holds = [&](const char* text) { return firmwareFileName.find(text) != std::string::npos; };
    if (holds("kmt26") &&
        (holds("RT40-4D_v1.7.2_b3007.bin") || holds("RT40-4D_v1.7.2_b3009.bin"))) {
        return Compatibility::Blocked;
    }
    return Compatibility::Matches;
}
