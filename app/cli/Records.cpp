#include "app/cli/Records.h"

#include <cerrno>
#include <cstring>

#include "app/cli/Selection.h"
#include "app/cli/Text.h"
#include "platform/FileSync.h"
#include "platform/SystemInfo.h"
#include "platform/Utf8.h"

namespace cli {

namespace {
constexpr const char* kResultNames[] = {"updated", "failed",      "refused",
                                        "timeout", "interrupted", "dry-run"};

Json Record(const RunFacts& facts, const RemoteDeviceInfo& camera, const Attempt& attempt) {
    return {
        {"time_start", platform::UtcTimestamp(attempt.start)},
        {"time_end", platform::UtcTimestamp(attempt.end)},
        {"host", facts.host},
        {"tool_version", ToolVersion()},
        {"producer", facts.producer},
        {"interface_id", camera.interfaceId},
        {"device_id", camera.deviceId},
        {"vendor", camera.vendor},
        {"model", camera.model},
        {"manufacturer_info", camera.manufacturerInfo},
        {"serial_number", camera.serialNumber},
        {"user_id", camera.userId},
        {"device_version_before", camera.deviceVersion},
        {"device_version_after", attempt.versionAfterRead ? Json(attempt.versionAfter) : Json()},
        {"file", facts.file},
        {"file_size", facts.fileSize},
        {"upload_size", facts.uploadSize},
        {"sha256", facts.sha256},
        {"crc32", Hex32(facts.crc)},
        {"result", ResultName(attempt.result)},
        {"reason", attempt.reason},
        {"failed_address", attempt.failedAddress.empty() ? Json() : Json(attempt.failedAddress)},
        {"upload_seconds", Rounded(attempt.uploadSeconds)},
        {"wait_seconds", Rounded(attempt.waitSeconds)}};
}
} // namespace

const char* ResultName(Result result) {
    return kResultNames[static_cast<int>(result)];
}

bool Outcomes::OpenReport(const std::string& path) {
    if (path.empty())
        return true;
    reportPath = path;
    report = platform::OpenFile(path, "ab");
    // Unbuffered: a record that could not be written is not written again with the next.
    if (report)
        std::setvbuf(report, nullptr, _IONBF, 0);
    return report != nullptr;
}

Outcomes::~Outcomes() {
    if (report)
        std::fclose(report);
}

void Outcomes::Add(const Camera& camera, const Attempt& attempt) {
    const Json record = Record(facts, camera.identity, attempt);
    std::string failure;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++counts[static_cast<int>(attempt.result)];
        if (report)
            failure = Append(JsonLine(record) + "\n");
    }
    if (!failure.empty()) {
        Lost();
        console.Error(camera.name + ": the record could not be written to the report file " +
                      Printable(reportPath) + ": " + failure);
    }
    Json event = {{"event", "result"}};
    event.update(record);
    console.Event(event);
}

int Outcomes::Finish(int status, unsigned skipped) {
    auto count = [this](Result result) { return Count(result); };
    console.Event({{"event", "summary"},
                   {"updated", count(Result::Updated)},
                   {"failed", count(Result::Failed)},
                   {"refused", count(Result::Refused)},
                   {"timeout", count(Result::Timeout)},
                   {"interrupted", count(Result::Interrupted)},
                   {"skipped", skipped},
                   {"current", current},
                   {"dry_run", count(Result::DryRun)},
                   {"exit_status", status}});
    std::string text = "summary: " + std::to_string(count(Result::Updated)) + " updated, " +
                       std::to_string(count(Result::Failed)) + " failed, " +
                       std::to_string(count(Result::Refused)) + " refused, " +
                       std::to_string(count(Result::Timeout)) + " timed out, " +
                       std::to_string(count(Result::Interrupted)) + " interrupted, " +
                       std::to_string(skipped) + " skipped";
    if (current > 0)
        text += ", " + std::to_string(current) + " current";
    if (count(Result::DryRun) > 0)
        text += ", " + std::to_string(count(Result::DryRun)) + " ready (dry run)";
    console.Say(text + "; exit status " + std::to_string(status) + "\n");
    return status;
}

// Written, flushed and synced: empty, else the system's error.
std::string Outcomes::Append(const std::string& line) {
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), report) != line.size() ||
        std::fflush(report) != 0) {
        std::clearerr(report);
        return errno != 0 ? std::strerror(errno) : "write error";
    }
    return platform::SyncToDisk(report);
}

} // namespace cli
