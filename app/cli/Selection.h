#pragma once
#include <string>
#include <vector>

#include "app/cli/Options.h"
#include "gentl/IdentityRecords.h"

namespace cli {

enum class Verdict {
    Update,  // selected, every check passed
    Skipped, // not selected: not named, or its model is not in the file name under --all
    Refused, // selected, but a check failed
    Current, // selected, but it already has this image (--skip-current)
};

struct CameraChoice {
    Verdict verdict = Verdict::Skipped;
    std::string reason; // why skipped or refused
};

// The cameras an update works on, one choice per identified camera, in order. `errors` holds
// every selection error and every failed check of a named camera (or of the only camera):
// when it is not empty, nothing may be written to any camera.
struct Selection {
    std::vector<CameraChoice> choices;
    std::vector<std::string> errors;
};

Selection SelectCameras(const std::vector<CameraIdentity>& cameras, const UpdateOptions& options);

// The checks of one camera for the file: empty when it may be updated, else the reason.
std::string CheckCamera(const CameraIdentity& camera, const std::string& firmwareFile);

// How a camera is named in messages: its serial number, else its device ID.
std::string CameraName(const CameraIdentity& camera);

} // namespace cli
