#pragma once
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "gentl/EnumerationReport.h"
#include "gentl/GenTLContext.h"
#include "gentl/IdentityRecords.h"

namespace cli {

using Json = nlohmann::ordered_json;

// One JSON value on one line, no line end; bytes that are not UTF-8 (register contents, file
// names) are replaced rather than refused.
std::string JsonLine(const Json& value);

// The identity keys of `list --json` and of the `camera` event, in their documented order.
Json IdentityJson(const RemoteDeviceInfo& identity);

// A camera as the command line knows it: the identity the enumeration read, and its texts made
// printable once, for every message that names the camera.
struct Camera {
    TQRemoteDevice* device = nullptr; // owned by the producer's context, gone once it closes
    RemoteDeviceInfo identity;        // as read: the JSON and the records carry it
    RemoteDeviceInfo shown;           // the same with every text printable
    std::string name;                 // printable: its serial number, else its device ID
};

// The producers a command works on: with `wanted` empty every discovered one, else the file
// it names or the one discovered producer whose file name holds it. Full paths.
struct ProducerSearch {
    std::vector<std::string> paths;
    std::string error; // set when none could be chosen
};
ProducerSearch FindProducers(const std::string& wanted, bool onlyOne);

// An interface or device that could not be listed, opened or identified: a camera may be
// missing. The IDs are empty when not known.
struct ListingProblem {
    std::string interfaceId;
    std::string deviceId;
    std::string reason;  // one line naming the object, the call and the producer's error
    Json ToJson() const; // interface_id, device_id (null when not known), reason
};

// Renders what opening a producer reports through `say` (one text with its line end).
class TextEnumerationReport : public EnumerationReport {
public:
    explicit TextEnumerationReport(std::function<void(const std::string&)> say)
        : say(std::move(say)) {}
    void ProducerNotLoaded(const std::string& message) override;
    void NoInterfaceFound() override;
    void DeviceNotOpened(const std::string&) override {} // a problem says it
    void ProducerNotStarted(const char* call, GC_ERROR code) override;
    void Problem(const EnumerationProblem& problem) override;
    // The producer did not load: why, without "!!!" and line end, for the caller to say.
    std::string loadError;
    std::string notStarted; // "GCInitLib returned -1001 (GC_ERR_ERROR)"
    bool noInterface = false;
    std::vector<ListingProblem> problems;

private:
    std::function<void(const std::string&)> say;
};

// A producer opened for the command line: loaded, enumerated, every camera identified.
// Destroying it closes everything in the usual order.
class OpenedProducer {
public:
    OpenedProducer(const std::string& path, TextEnumerationReport& report);
    void Close() { context.reset(); }

    std::string path;
    std::string error; // why it could not be loaded or started; empty when it was
    std::vector<Camera> cameras;

private:
    std::unique_ptr<GenTLContext> context;
};

} // namespace cli
