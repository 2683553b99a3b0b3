#include "firmware/Compatibility.h"

namespace {
// ASCII only: a byte of a multi-byte character is neither a letter nor a digit here.
bool IsLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool HoldsWholeName(const std::string& name, const std::string& model) {
    if (model.empty())
        return false;
    for (size_t at = name.find(model); at != std::string::npos; at = name.find(model, at + 1)) {
        const size_t after = at + model.size();
        const bool startsFree = at == 0 || !IsLetterOrDigit(name[at - 1]);
        const bool endsFree =
            after == name.size() || (!IsLetterOrDigit(name[after]) && name[after] != '-');
        if (startsFree && endsFree)
            return true;
    }
    return false;
}
} // namespace

Compatibility CheckCompatibility(const std::string& firmwareFileName, const std::string& model,
                                 ModelRule rule) {
    // The model test comes first: a blocked name that lacks the model is a mismatch.
    const bool holds = rule == ModelRule::WholeName
                           ? HoldsWholeName(firmwareFileName, model)
                           : firmwareFileName.find(model) != std::string::npos;
    if (!holds) {
        return Compatibility::ModelMismatch;
    }
    auto has = [&](const char* text) { return firmwareFileName.find(text) != std::string::npos; };
    if (has("kmt26") && (has("RT40-4D_v1.7.2_b3007.bin") || has("RT40-4D_v1.7.2_b3009.bin"))) {
        return Compatibility::Blocked;
    }
    return Compatibility::Matches;
}
