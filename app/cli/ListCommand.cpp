#include <algorithm>
#include <cstdio>

#include "app/cli/Options.h"
#include "app/cli/Producers.h"
#include "app/cli/Text.h"
#include "platform/Utf8.h"

namespace cli {

namespace {
// One aligned table of the cameras of a producer.
std::string CameraTable(const std::vector<Camera>& cameras) {
    std::vector<std::vector<std::string>> rows = {{"INTERFACE", "DEVICE", "VENDOR", "MODEL",
                                                   "MANUFACTURER INFO", "DEVICE VERSION",
                                                   "SERIAL NUMBER", "USER ID", "COAXPRESS"}};
    for (const Camera& camera : cameras) {
        const RemoteDeviceInfo& id = camera.shown;
        auto cell = [](const std::string& text, bool unreadable) {
            return unreadable     ? std::string("(unreadable)")
                   : text.empty() ? std::string("-")
                                  : text;
        };
        rows.push_back({cell(id.interfaceId, false), cell(id.deviceId, false),
                        cell(id.vendor, id.vendorUnreadable), cell(id.model, id.modelUnreadable),
                        cell(id.manufacturerInfo, id.manufacturerInfoUnreadable),
                        cell(id.deviceVersion, id.deviceVersionUnreadable),
                        cell(id.serialNumber, id.serialNumberUnreadable),
                        cell(id.userId, id.userIdUnreadable),
                        id.standardUnreadable ? "(unreadable)"
                        : id.IsCoaXPress()    ? "yes"
                                              : "no"});
    }
    std::vector<size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    std::string table;
    for (const auto& row : rows) {
        std::string line = " ";
        for (size_t column = 0; column < row.size(); ++column) {
            line += " " + row[column];
            if (column + 1 < row.size())
                line += std::string(widths[column] - row[column].size() + 1, ' ');
        }
        table += line + "\n";
    }
    return table;
}
} // namespace

int RunList(const ListOptions& options) {
    // With --json the document says it all: standard error is for what went wrong.
    auto say = [&options](const std::string& text) {
        if (options.json)
            return;
        platform::WriteConsoleText(stdout, text);
        std::fflush(stdout);
    };
    const ProducerSearch search = FindProducers(options.producer, false);
    Json producers = Json::array();
    bool anyStarted = false;
    bool anyProblem = false; // a camera may be missing
    if (!search.error.empty())
        platform::WriteConsoleText(stderr, "error: " + Printable(search.error) + "\n");
    // One at a time: each producer is closed before the next is opened.
    for (const std::string& path : search.paths) {
        say("producer " + Printable(path) + "\n");
        TextEnumerationReport report(say);
        OpenedProducer producer(path, report);
        producer.Close();
        const bool started = producer.error.empty();
        anyStarted = anyStarted || started;
        if (!started)
            platform::WriteConsoleText(stderr, "error: " + Printable(producer.error) + "\n");
        Json problems = Json::array();
        for (const ListingProblem& problem : report.problems) {
            platform::WriteConsoleText(stderr, "error: " + problem.reason + "\n");
            problems.push_back(problem.ToJson());
        }
        anyProblem = anyProblem || !report.problems.empty();
        Json cameras = Json::array();
        for (const Camera& camera : producer.cameras)
            cameras.push_back(IdentityJson(camera.identity));
        Json error = nullptr;
        if (!started)
            error = producer.error;
        else if (report.noInterface)
            error = "the producer reports no interface";
        producers.push_back(
            {{"path", path}, {"error", error}, {"cameras", cameras}, {"problems", problems}});
        if (started && !producer.cameras.empty())
            say(CameraTable(producer.cameras));
        else if (started)
            say("  no camera found\n");
    }
    if (options.json) {
        const Json document = {
            {"tool", "cxp-fwupdate"}, {"version", ToolVersion()}, {"producers", producers}};
        std::fputs((JsonLine(document) + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
    // A listing that did not reach its reader (a closed pipe, a full disk) is no listing.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || std::ferror(stderr)) {
        std::fprintf(stderr, "error: the list could not be written in full\n");
        return anyStarted ? kExitFailed : kExitRefused;
    }
    return !anyStarted ? kExitRefused : anyProblem ? kExitFailed : kExitDone;
}

} // namespace cli
