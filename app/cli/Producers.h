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
Json IdentityJson(const CameraIdentity& identity);

// The producers a command works on: with `wanted` empty every discovered one, else the file
// it names or the one discovered producer whose file name holds it. Full paths.
struct ProducerSearch {
    std::vector<std::string> paths;
    std::string error; // set when none could be chosen
};
ProducerSearch FindProducers(const std::string& wanted, bool onlyOne);

// Renders what opening a producer reports through `say` (one text with its line end).
class TextEnumerationReport : public EnumerationReport {
public:
    explicit TextEnumerationReport(std::function<void(const std::string&)> say)
        : say(std::move(say)) {}
    void ProducerNotLoaded(const std::string& message) override;
    void NoInterfaceFound() override;
    void DeviceNotOpened(const std::string& deviceId) override;
    // The producer did not load: why, without "!!!" and line end, for the caller to say.
    std::string loadError;
    bool noInterface = false;

private:
    std::function<void(const std::string&)> say;
};

// A producer opened for the command line: loaded, enumerated, every camera identified.
// Destroying it closes everything in the usual order.
class OpenedProducer {
public:
    OpenedProducer(const std::string& path, TextEnumerationReport& report);
    bool Loaded() const { return loaded; }
    void Close() { context.reset(); }

    std::string path;
    std::vector<TQRemoteDevice*> cameras; // owned by the context
    std::vector<CameraIdentity> identities;

private:
    bool loaded = false;
    std::unique_ptr<GenTLContext> context;
};

} // namespace cli
