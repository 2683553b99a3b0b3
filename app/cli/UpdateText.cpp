#include "app/cli/UpdateText.h"

#include <algorithm>

#include "app/cli/Text.h"
#include "gentl/ErrorNames.h"

namespace cli {

std::string ResultLine(const Camera& camera, const Attempt& attempt) {
    std::string line = camera.name + ": ";
    switch (attempt.result) {
    case Result::Updated:
        line += "updated, device version " +
                (camera.shown.deviceVersion.empty() ? "-" : camera.shown.deviceVersion) +
                " before, " +
                (attempt.versionAfterRead ? Printable(attempt.versionAfter) : "unreadable") +
                " now (upload " + Seconds(attempt.uploadSeconds) + ", flashing " +
                Seconds(attempt.waitSeconds) + ")";
        break;
    case Result::DryRun:
        line += "ready (dry run: nothing written)";
        break;
    default:
        line += std::string(ResultName(attempt.result)) + ": " + attempt.reason;
        break;
    }
    return line + "\n";
}

// One aligned line per identified camera: what the update will do with it.
std::string Plan(const std::vector<Camera>& cameras, const Selection& selection) {
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const RemoteDeviceInfo& shown = cameras[i].shown;
        const CameraChoice& choice = selection.choices[i];
        const char* verdicts[] = {"update", "skipped", "refused", "current"};
        std::string verdict = verdicts[static_cast<int>(choice.verdict)];
        if (!choice.reason.empty())
            verdict += " (" + choice.reason + ")";
        rows.push_back({cameras[i].name, shown.model, shown.deviceId + " on " + shown.interfaceId,
                        "version " + (shown.deviceVersionUnreadable ? std::string("unreadable")
                                                                    : shown.deviceVersion),
                        verdict});
    }
    std::vector<size_t> widths(5, 0);
    for (const auto& row : rows)
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    std::string plan;
    for (const auto& row : rows) {
        plan += " ";
        for (size_t column = 0; column < row.size(); ++column) {
            plan += " " + row[column];
            if (column + 1 < row.size())
                plan += std::string(widths[column] - row[column].size() + 1, ' ');
        }
        plan += "\n";
    }
    return plan;
}

// The producer's side of a failed write: its error, or how much of the write it took.
std::string WriteError(const PortAccess& write) {
    if (write.status != GC_ERR_SUCCESS)
        return GenTLErrorName(write.status) + ", " + std::to_string(write.status);
    return "the producer took " + std::to_string(write.moved) + " of " +
           std::to_string(write.asked) + " bytes";
}

} // namespace cli
