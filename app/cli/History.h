#pragma once
#include <map>
#include <string>
#include <vector>

#include "gentl/IdentityRecords.h"

namespace cli {

// What a report file says about the cameras' last updates, for --skip-current.
class UpdateHistory {
public:
    // Reads every record of the report at `path` (a missing file has none). A line that is not
    // a JSON object is skipped; `warnings` gets one text for it, naming its line number.
    static UpdateHistory Read(const std::string& path, std::vector<std::string>& warnings);

    // When the latest record that wrote to the camera (a dry run or a refusal writes nothing) is
    // an update with this image (sha256 of the file), and the camera's device version shows it
    // took (the version after that update, or no longer the one before it): that record's
    // time_end. Empty when the camera may need the image.
    std::string AlreadyHas(const RemoteDeviceInfo& camera, const std::string& sha256) const;

private:
    struct Latest {
        std::string result, sha256, versionBefore, versionAfter, timeEnd;
        bool versionAfterKnown = false;
    };
    std::map<std::string, Latest> latest; // by serial number and model
};

} // namespace cli
