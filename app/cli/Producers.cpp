#include "app/cli/Producers.h"

#include <filesystem>
#include <utility>

#include "app/cli/Text.h"
#include "discovery/ProducerManager.h"
#include "gentl/ErrorNames.h"
#include "platform/Utf8.h"

namespace fs = std::filesystem;

namespace cli {

std::string JsonLine(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json IdentityJson(const RemoteDeviceInfo& identity) {
    const struct {
        const char* key;
        const std::string& value;
        bool unreadable;
    } fields[] = {
        {"vendor", identity.vendor, identity.vendorUnreadable},
        {"model", identity.model, identity.modelUnreadable},
        {"manufacturer_info", identity.manufacturerInfo, identity.manufacturerInfoUnreadable},
        {"device_version", identity.deviceVersion, identity.deviceVersionUnreadable},
        {"serial_number", identity.serialNumber, identity.serialNumberUnreadable},
        {"user_id", identity.userId, identity.userIdUnreadable},
    };
    Json json = {{"interface_id", identity.interfaceId}, {"device_id", identity.deviceId}};
    Json unreadable = Json::array();
    for (const auto& field : fields) {
        json[field.key] = field.value;
        if (field.unreadable)
            unreadable.push_back(field.key);
    }
    json["coaxpress"] = identity.IsCoaXPress();
    if (identity.standardUnreadable)
        unreadable.push_back("coaxpress");
    json["unreadable"] = unreadable;
    return json;
}

namespace {
std::string Absolute(const std::string& path) {
    std::error_code ignored;
    const fs::path full = fs::absolute(platform::PathFromUtf8(path), ignored);
    return full.empty() ? path : platform::Utf8FromPath(full);
}

std::string Listed(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths)
        list += "\n  " + path;
    return list;
}
} // namespace

// A producer is a regular file (or a link to one) whose name fits the pattern.
ProducerSearch FindProducers(const std::string& wanted, bool onlyOne) {
    ProducerSearch search;
    std::error_code error;
    if (!wanted.empty() && fs::is_regular_file(platform::FileSystemPath(wanted), error)) {
        search.paths.push_back(Absolute(wanted)); // used as given, found or not
        return search;
    }
    ProducerManager manager;
    const int32_t read = manager.Discover();
    std::vector<std::string> found;
    for (const std::string& file : manager.ctiFiles) {
        if (!fs::is_regular_file(platform::FileSystemPath(file), error))
            continue;
        if (wanted.empty() || BaseName(file).find(wanted) != std::string::npos)
            found.push_back(Absolute(file));
    }
    if (found.empty()) {
        if (!wanted.empty())
            search.error = "--producer " + wanted +
                           " names no producer file and no discovered "
                           "producer's file name holds it";
        else if (read == kSearchPathUndefined)
            search.error = "no producer found: GENICAM_GENTL64_PATH is not set";
        else
            search.error = "no producer found in the folders of GENICAM_GENTL64_PATH";
    } else if (found.size() > 1 && !wanted.empty()) {
        search.error = "--producer " + wanted + " matches several producers:" + Listed(found);
    } else if (found.size() > 1 && onlyOne) {
        search.error = "several producers found; choose one with --producer:" + Listed(found);
    } else {
        search.paths = found;
    }
    return search;
}

void TextEnumerationReport::ProducerNotLoaded(const std::string& message) {
    loadError = message;
    if (loadError.rfind("!!! ", 0) == 0)
        loadError.erase(0, 4);
    while (!loadError.empty() && (loadError.back() == '\n' || loadError.back() == '\r'))
        loadError.pop_back();
}

void TextEnumerationReport::NoInterfaceFound() {
    noInterface = true;
    say("the producer reports no interface\n");
}

namespace {
std::string Returned(const char* call, GC_ERROR code) {
    return std::string(call) + " returned " + std::to_string(code) + " (" + GenTLErrorName(code) +
           ")";
}
} // namespace

void TextEnumerationReport::ProducerNotStarted(const char* call, GC_ERROR code) {
    notStarted = Returned(call, code);
}

void TextEnumerationReport::Problem(const EnumerationProblem& problem) {
    using Kind = EnumerationProblem::Kind;
    const std::string iface = Printable(problem.interfaceId);
    const std::string device = Printable(problem.deviceId);
    const std::string index = std::to_string(problem.index);
    std::string what;
    switch (problem.kind) {
    case Kind::InterfaceNotIdentified:
        what = "the interface at index " + index + " could not be identified";
        break;
    case Kind::InterfaceNotOpened:
        what = "interface " + iface + " could not be opened";
        break;
    case Kind::DevicesNotListed:
        what = "the devices of interface " + iface + " could not be listed";
        break;
    case Kind::DeviceNotIdentified:
        what = "the device at index " + index + " on " + iface + " could not be identified";
        break;
    case Kind::DeviceNotOpened:
        what = "device " + device + " on " + iface + " could not be opened";
        break;
    case Kind::CameraNotReached:
        what = "device " + device + " on " + iface + " could not reach its camera";
        break;
    }
    problems.push_back({problem.interfaceId, problem.deviceId,
                        what + ": " + Returned(problem.call, problem.code)});
}

Json ListingProblem::ToJson() const {
    auto known = [](const std::string& id) { return id.empty() ? Json() : Json(id); };
    return {
        {"interface_id", known(interfaceId)}, {"device_id", known(deviceId)}, {"reason", reason}};
}

OpenedProducer::OpenedProducer(const std::string& path, TextEnumerationReport& report)
    : path(path) {
    try {
        context = std::make_unique<GenTLContext>(path);
    } catch (const ProducerLoadError& error) {
        report.ProducerNotLoaded(error.consoleMessage);
        this->error = report.loadError;
        return;
    }
    EnumerationRules rules;
    rules.sameSerialRegisters = true;
    rules.strict = true;
    context->EnumerateDevices(report, rules);
    if (!report.notStarted.empty())
        error = "producer " + Printable(path) + " could not be started: " + report.notStarted;
    for (const std::unique_ptr<TQRemoteDevice>& device : context->remoteDevices) {
        Camera camera;
        camera.device = device.get();
        camera.identity = device->identity;
        camera.shown = camera.identity;
        for (std::string* text :
             {&camera.shown.interfaceId, &camera.shown.deviceId, &camera.shown.listedDeviceId,
              &camera.shown.vendor, &camera.shown.model, &camera.shown.manufacturerInfo,
              &camera.shown.deviceVersion, &camera.shown.serialNumber, &camera.shown.userId})
            *text = Printable(*text);
        camera.name =
            camera.shown.serialNumber.empty() ? camera.shown.deviceId : camera.shown.serialNumber;
        cameras.push_back(std::move(camera));
    }
}

} // namespace cli
