#include "app/cli/History.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/Utf8.h"

namespace cli {

namespace {
std::string Key(const std::string& serialNumber, const std::string& model) {
    return serialNumber + '\0' + model;
}

std::string Text(const nlohmann::json& record, const char* key) {
    const auto found = record.find(key);
    return found != record.end() && found->is_string() ? found->get<std::string>() : "";
}
} // namespace

UpdateHistory UpdateHistory::Read(const std::string& path, std::vector<std::string>& warnings) {
    UpdateHistory history;
    std::ifstream in(platform::FileSystemPath(path), std::ios::binary);
    std::string line;
    for (size_t number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
        if (!record.is_object()) {
            warnings.push_back("line " + std::to_string(number) + " of the report " + path +
                               " is not a JSON record; skipped");
            continue;
        }
        const std::string serialNumber = Text(record, "serial_number");
        const std::string result = Text(record, "result");
        // A dry run or a refusal wrote nothing: the camera still has what it had.
        if (serialNumber.empty() || result == "dry-run" || result == "refused")
            continue; // a camera without a serial number cannot be recognised later
        Latest& entry = history.latest[Key(serialNumber, Text(record, "model"))];
        entry.result = result;
        entry.sha256 = Text(record, "sha256");
        entry.versionBefore = Text(record, "device_version_before");
        const auto after = record.find("device_version_after");
        entry.versionAfterKnown = after != record.end() && after->is_string();
        entry.versionAfter = Text(record, "device_version_after");
        entry.timeEnd = Text(record, "time_end");
    }
    return history;
}

std::string UpdateHistory::AlreadyHas(const RemoteDeviceInfo& camera,
                                      const std::string& sha256) const {
    if (camera.serialNumber.empty() || camera.deviceVersionUnreadable)
        return std::string();
    const auto found = latest.find(Key(camera.serialNumber, camera.model));
    if (found == latest.end())
        return std::string();
    const Latest& last = found->second;
    if (last.result != "updated" || last.sha256 != sha256)
        return std::string();
    const bool took = (last.versionAfterKnown && camera.deviceVersion == last.versionAfter) ||
                      camera.deviceVersion != last.versionBefore;
    return took ? (last.timeEnd.empty() ? std::string("at an unknown time") : last.timeEnd)
                : std::string();
}

} // namespace cli
