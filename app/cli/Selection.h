#pragma once
#include <string>
#include <vector>

#include "app/cli/Options.h"
#include "app/cli/Producers.h"

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

// The firmware file's name as the checks read it and as messages show it, made once.
struct FirmwareName {
    explicit FirmwareName(const std::string& path);
    std::string name;      // its last component: the compatibility rule reads only this
    std::string shown;     // the name, printable
    std::string shownPath; // the path as given, printable
};

Selection SelectCameras(const std::vector<Camera>& cameras, const UpdateOptions& options,
                        const FirmwareName& firmware);

// The checks of one camera for the file: empty when it may be updated, else the reason.
std::string CheckCamera(const Camera& camera, const FirmwareName& firmware);

} // namespace cli
