#include "app/cli/Selection.h"

#include "app/cli/Text.h"
#include "firmware/Compatibility.h"

namespace cli {

namespace {
// An empty field identifies nothing.
bool Names(const RemoteDeviceInfo& camera, const std::string& name) {
    return !name.empty() && (name == camera.serialNumber || name == camera.userId ||
                             name == camera.deviceId || name == camera.listedDeviceId);
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

std::string Describe(const Camera& camera) {
    const RemoteDeviceInfo& shown = camera.shown;
    return "\n  " + shown.serialNumber + "  " + shown.model + "  device " + shown.deviceId +
           " on " + shown.interfaceId;
}

// A station knows how many cameras it has: any other number selected is an error.
void CheckExpected(const std::vector<Camera>& cameras, unsigned expected, Selection& selection) {
    std::string names;
    unsigned found = 0;
    for (size_t i = 0; i < cameras.size(); ++i) {
        if (selection.choices[i].verdict == Verdict::Skipped)
            continue;
        names += (found++ == 0 ? ": " : ", ") + cameras[i].name;
    }
    if (expected != 0 && found != expected)
        selection.errors.push_back("expected " + std::to_string(expected) +
                                   (expected == 1 ? " camera" : " cameras") + ", found " +
                                   std::to_string(found) + names);
}
} // namespace

FirmwareName::FirmwareName(const std::string& path)
    : name(BaseName(path)), shown(Printable(name)), shownPath(Printable(path)) {}

std::string CheckCamera(const Camera& camera, const FirmwareName& firmware) {
    const RemoteDeviceInfo& identity = camera.identity;
    if (identity.standardUnreadable)
        return "not a CoaXPress device: register 0x0000 could not be read";
    if (!identity.IsCoaXPress())
        return "not a CoaXPress device: register 0x0000 reads 0x" + Hex32(identity.standard);
    if (identity.modelUnreadable)
        return "the camera model could not be read";
    if (IsBlank(identity.model))
        return "model register is empty";
    switch (CheckCompatibility(firmware.name, identity.model, ModelRule::WholeName)) {
    case Compatibility::ModelMismatch:
        return "the firmware file name does not hold the model " + camera.shown.model;
    case Compatibility::Blocked:
        return "firmware update not supported: this file is blocked";
    case Compatibility::Matches:
        break;
    }
    return std::string();
}

Selection SelectCameras(const std::vector<Camera>& cameras, const UpdateOptions& options,
                        const FirmwareName& firmware) {
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
                if (Names(cameras[i].identity, name))
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
            for (const Camera& camera : cameras)
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
        const RemoteDeviceInfo& identity = cameras[i].identity;
        if (options.all && !identity.modelUnreadable && !IsBlank(identity.model) &&
            CheckCompatibility(firmware.name, identity.model, ModelRule::WholeName) ==
                Compatibility::ModelMismatch) {
            choice.reason =
                "the firmware file name does not hold the model " + cameras[i].shown.model;
            continue;
        }
        const std::string failed = CheckCamera(cameras[i], firmware);
        any = true;
        choice.verdict = failed.empty() ? Verdict::Update : Verdict::Refused;
        choice.reason = failed;
        if (!failed.empty() && !options.all)
            selection.errors.push_back("camera " + cameras[i].name + ": " + failed);
    }
    if (options.all && !any)
        selection.errors.push_back("no camera's model is held by the firmware file name " +
                                   firmware.shown);
    CheckExpected(cameras, options.expect, selection);
    return selection;
}

} // namespace cli
