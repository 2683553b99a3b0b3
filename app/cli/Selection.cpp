#include "app/cli/Selection.h"

#include "app/cli/Text.h"
#include "firmware/Compatibility.h"

namespace cli {

namespace {
// An empty field identifies nothing.
bool Names(const CameraIdentity& camera, const std::string& name) {
    return !name.empty() && (name == camera.serialNumber || name == camera.userId ||
                             name == camera.deviceId || name == camera.listedDeviceId);
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

std::string Describe(const CameraIdentity& camera) {
    return "\n  " + Printable(camera.serialNumber) + "  " + Printable(camera.model) + "  device " +
           Printable(camera.deviceId) + " on " + Printable(camera.interfaceId);
}

// A station knows how many cameras it has: any other number selected is an error.
void CheckExpected(const std::vector<CameraIdentity>& cameras, unsigned expected,
                   Selection& selection) {
    std::string names;
    unsigned found = 0;
    for (size_t i = 0; i < cameras.size(); ++i) {
        if (selection.choices[i].verdict == Verdict::Skipped)
            continue;
        names += (found++ == 0 ? ": " : ", ") + CameraName(cameras[i]);
    }
    if (expected != 0 && found != expected)
        selection.errors.push_back("expected " + std::to_string(expected) +
                                   (expected == 1 ? " camera" : " cameras") + ", found " +
                                   std::to_string(found) + names);
}
} // namespace

std::string CameraName(const CameraIdentity& camera) {
    return Printable(camera.serialNumber.empty() ? camera.deviceId : camera.serialNumber);
}

std::string CheckCamera(const CameraIdentity& camera, const std::string& firmwareFile) {
    if (camera.standardUnreadable)
        return "not a CoaXPress device: register 0x0000 could not be read";
    if (!camera.IsCoaXPress())
        return "not a CoaXPress device: register 0x0000 reads 0x" + Hex32(camera.standard);
    if (camera.modelUnreadable)
        return "the camera model could not be read";
    if (IsBlank(camera.model))
        return "model register is empty";
    switch (CheckCompatibility(BaseName(firmwareFile), camera.model, ModelRule::WholeName)) {
    case Compatibility::ModelMismatch:
        return "the firmware file name does not hold the model " + Printable(camera.model);
    case Compatibility::Blocked:
        return "firmware update not supported: this file is blocked";
    case Compatibility::Matches:
        break;
    }
    return std::string();
}

Selection SelectCameras(const std::vector<CameraIdentity>& cameras, const UpdateOptions& options) {
    Selection selection;
    selection.choices.resize(cameras.size());
    if (cameras.empty()) {
        selection.errors.push_back("no camera found");
        return selection;
    }
    std::vector<bool> named(cameras.size(), options.all);
    if (!options.cameras.empty()) {
        for (const std::string& name : options.cameras) {
            std::vector<size_t> matches;
            for (size_t i = 0; i < cameras.size(); ++i)
                if (Names(cameras[i], name))
                    matches.push_back(i);
            if (matches.size() == 1) {
                named[matches.front()] = true; // named twice counts once
                continue;
            }
            std::string error = "--camera " + Printable(name);
            if (matches.empty()) {
                error += " names no camera";
            } else {
                error += " names several cameras:";
                for (size_t i : matches)
                    error += Describe(cameras[i]);
            }
            selection.errors.push_back(error);
        }
    } else if (!options.all) {
        if (cameras.size() > 1) {
            std::string error = "several cameras found; choose with --camera or --all:";
            for (const CameraIdentity& camera : cameras)
                error += Describe(camera);
            selection.errors.push_back(error);
        } else {
            named[0] = true; // the only camera
        }
    }

    bool any = false;
    for (size_t i = 0; i < cameras.size(); ++i) {
        CameraChoice& choice = selection.choices[i];
        if (!named[i]) {
            choice.reason = "not named by --camera";
            continue;
        }
        // Under --all a camera of another model is simply not meant; one whose model cannot
        // be told is refused below.
        if (options.all && !cameras[i].modelUnreadable && !IsBlank(cameras[i].model) &&
            CheckCompatibility(BaseName(options.firmwareFile), cameras[i].model,
                               ModelRule::WholeName) == Compatibility::ModelMismatch) {
            choice.reason =
                "the firmware file name does not hold the model " + Printable(cameras[i].model);
            continue;
        }
        const std::string failed = CheckCamera(cameras[i], options.firmwareFile);
        any = true;
        choice.verdict = failed.empty() ? Verdict::Update : Verdict::Refused;
        choice.reason = failed;
        if (!failed.empty() && !options.all)
            selection.errors.push_back("camera " + CameraName(cameras[i]) + ": " + failed);
    }
    if (options.all && !any)
        selection.errors.push_back("no camera's model is held by the firmware file name " +
                                   Printable(BaseName(options.firmwareFile)));
    CheckExpected(cameras, options.expect, selection);
    return selection;
}

} // namespace cli
