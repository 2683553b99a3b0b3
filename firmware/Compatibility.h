#pragma once
#include <string>

// Whether a firmware file may go to a camera, judged by the file name alone.
enum class Compatibility {
    Matches,       // the name holds the camera's model
    ModelMismatch, // it does not
    Blocked,       // it holds the model but is one of the blocked images of the kmt26 family
};

// How the model must appear in the file name.
enum class ModelRule {
    // Anywhere, as the interactive run has always checked (an empty model is held by every
    // name).
    Contained,
    // As a whole name, for the command line: not glued to a letter or digit before it, nor to
    // a letter, digit or '-' after it (so TQ-12M does not fit TQ-12M-CXP_v2.bin); an empty
    // model fits nothing.
    WholeName,
};

Compatibility CheckCompatibility(const std::string& firmwareFileName, const std::string& model,
                                 ModelRule rule = ModelRule::Contained);
