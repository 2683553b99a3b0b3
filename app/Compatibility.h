#pragma once
#include <string>

// Whether a firmware file may go to a camera, judged by the file name alone.
enum class Compatibility {
    Matches,       // the name holds the camera's model
    ModelMismatch, // it does not (an empty model is held by every name)
    Blocked,       // it holds the model but is one of the blocked images of the kmt26 family
};

Compatibility CheckCompatibility(const std::string& firmwareFileName, const std::string& model);
