#include "sim/SimConfig.h"

#include <cctype>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include "gentl/ErrorNames.h"
#include "gentl/GenTLFunctions.h"

namespace sim {
namespace {

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> List(const std::string& value) {
    std::vector<std::string> items;
    std::stringstream stream(value);
    std::string item;
    while (std::getline(stream, item, ','))
        if (!Trim(item).empty())
            items.push_back(Trim(item));
    return items;
}

bool Number(const std::string& value, unsigned& out) {
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
        value.size() > 9)
        return false;
    out = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
    return true;
}

// "k" or "k1, k2, ...": call or access numbers, counted from 1.
bool NumberList(const std::string& value, std::vector<unsigned>& out) {
    out.clear();
    for (const std::string& item : List(value)) {
        unsigned number = 0;
        if (!Number(item, number) || number == 0)
            return false;
        out.push_back(number);
    }
    return !out.empty();
}

// "k ms": two numbers.
bool NumberPair(const std::string& value, unsigned& first, unsigned& second) {
    const size_t blank = value.find(' ');
    return blank != std::string::npos && Number(value.substr(0, blank), first) &&
           Number(Trim(value.substr(blank)), second);
}

// "0xC0A79AE5" or "C0A79AE5": one to eight hex digits.
bool HexNumber(const std::string& value, uint32_t& out) {
    const bool prefixed =
        value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
    const std::string digits = value.substr(prefixed ? 2 : 0);
    if (digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    out = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    return true;
}

bool Flag(const std::string& value, bool& out) {
    if (value == "yes" || value == "true" || value == "1")
        out = true;
    else if (value == "no" || value == "false" || value == "0")
        out = false;
    else
        return false;
    return true;
}

bool ErrorCode(const std::string& text, int32_t& code) {
    if (GenTLErrorCode(text, code))
        return true;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value == 0 || value < -100000 || value > 100000)
        return false;
    code = static_cast<int32_t>(value);
    return true;
}

std::string BadCameraName(const std::string& name) {
    return "camera name '" + name + "' is not 1 to 64 letters, digits, '-', '_' or '.'";
}

} // namespace

const std::vector<std::string>& ProducerFunctions() {
    static const std::vector<std::string> names(std::begin(kGenTLFunctionNames),
                                                std::end(kGenTLFunctionNames));
    return names;
}

bool IsCameraName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '.')
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
            return false;
    return true;
}

bool IsProducerFunction(const std::string& name) {
    for (const char* function : kGenTLFunctionNames)
        if (name == function)
            return true;
    return false;
}

SimConfig DefaultConfig() {
    SimConfig config;
    InterfaceConfig iface;
    iface.id = "CXP-IF0";
    iface.displayName = "Simulated CoaXPress frame grabber, link 0";
    iface.devices = {"CXP-DEV0"};
    config.interfaces.push_back(iface);
    DeviceConfig device;
    device.id = "CXP-DEV0";
    device.camera = "cam0";
    config.devices[device.id] = device;
    CameraConfig camera;
    camera.name = "cam0";
    config.cameras[camera.name] = camera;
    return config;
}

bool ParseConfig(const std::string& text, const std::string& file, SimConfig& config,
                 std::string& error) {
    config = SimConfig{};
    error.clear();
    enum class Section {
        None,
        Link,
        Library,
        Interface,
        Device,
        Camera,
        FaultList,
        DelayList
    } section = Section::None;
    InterfaceConfig* iface = nullptr;
    DeviceConfig* device = nullptr;
    CameraConfig* camera = nullptr;
    int refuseLine = 0; // refuse_open of the current interface, checked when it ends
    std::map<std::string, int> pendingLines; // first listing of a device without a section
    std::stringstream lines(text);
    std::string raw;
    int number = 0;
    auto failAt = [&](int line, const std::string& reason) {
        error = file + ":" + std::to_string(line) + ": " + reason;
        return false;
    };
    auto fail = [&](const std::string& reason) { return failAt(number, reason); };
    // A refused device the interface does not list is a typo that would silently test nothing.
    auto endInterface = [&]() {
        if (section != Section::Interface)
            return true;
        for (const std::string& refused : iface->refuseOpen) {
            bool listed = false;
            for (const std::string& id : iface->devices)
                listed = listed || id == refused;
            if (!listed)
                return failAt(refuseLine, "refuse_open names " + refused +
                                              ", which this interface does not list");
        }
        return true;
    };
    auto fits = [&](std::string& field, const std::string& key, const std::string& value,
                    size_t width) {
        if (value.size() > width)
            return fail("'" + key + "' is " + std::to_string(value.size()) +
                        " bytes long, its register holds " + std::to_string(width));
        field = value;
        return true;
    };
    while (std::getline(lines, raw)) {
        ++number;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                return fail("section header without ']'");
            if (!endInterface())
                return false;
            const std::string inner = Trim(line.substr(1, line.size() - 2));
            const size_t blank = inner.find(' ');
            const std::string kind = inner.substr(0, blank);
            const std::string name = blank == std::string::npos ? "" : Trim(inner.substr(blank));
            if (kind == "link" || kind == "library" || kind == "fault" || kind == "delay") {
                if (!name.empty())
                    return fail("section [" + kind + "] takes no name");
                section = kind == "link"      ? Section::Link
                          : kind == "library" ? Section::Library
                          : kind == "fault"   ? Section::FaultList
                                              : Section::DelayList;
            } else if (kind == "interface" || kind == "device" || kind == "camera") {
                if (name.empty())
                    return fail("section [" + kind + "] needs a name");
                if (kind == "interface") {
                    config.interfaces.push_back(InterfaceConfig{});
                    iface = &config.interfaces.back();
                    iface->id = name;
                    iface->displayName = name;
                    refuseLine = 0;
                    section = Section::Interface;
                } else if (kind == "device") {
                    if (config.devices.count(name))
                        return fail("device " + name + " defined twice");
                    device = &config.devices[name];
                    device->id = name;
                    device->displayName = name;
                    device->camera = name;
                    device->line = number;
                    section = Section::Device;
                } else {
                    if (!IsCameraName(name))
                        return fail(BadCameraName(name));
                    if (config.cameras.count(name))
                        return fail("camera " + name + " defined twice");
                    camera = &config.cameras[name];
                    camera->name = name;
                    section = Section::Camera;
                }
            } else {
                return fail("unknown section [" + kind + "]");
            }
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            return fail("expected 'key = value'");
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        bool ok = true;
        switch (section) {
        case Section::None:
            return fail("key '" + key + "' outside a section");
        case Section::Link:
            if (key == "latency_us")
                ok = Number(value, config.latencyUs);
            else if (key == "ns_per_byte")
                ok = Number(value, config.nsPerByte);
            else if (key == "record_traffic")
                ok = Flag(value, config.recordTraffic);
            else if (key == "record_image")
                ok = Flag(value, config.recordImage);
            else
                return fail("unknown key '" + key + "' in [link]");
            break;
        case Section::Library:
            if (key == "linger_thread")
                ok = Flag(value, config.lingerThread);
            else
                return fail("unknown key '" + key + "' in [library]");
            break;
        case Section::Interface:
            if (key == "devices") {
                iface->devices = List(value);
                for (const std::string& id : iface->devices)
                    pendingLines.emplace(id, number);
            } else if (key == "refuse_open") {
                iface->refuseOpen = List(value);
                refuseLine = number;
            } else if (key == "display_name")
                iface->displayName = value;
            else if (key == "tl_type")
                iface->tlType = value;
            else
                return fail("unknown key '" + key + "' in [interface]");
            break;
        case Section::Device:
            if (key == "vendor")
                device->vendor = value;
            else if (key == "model")
                device->model = value;
            else if (key == "serial")
                device->serial = value;
            else if (key == "display_name")
                device->displayName = value;
            else if (key == "tl_type")
                device->tlType = value;
            else if (key == "user_defined_name")
                device->userDefinedName = value;
            else if (key == "version")
                device->version = value;
            else if (key == "camera") {
                if (!IsCameraName(value))
                    return fail(BadCameraName(value));
                device->camera = value;
            } else if (key == "opened_id")
                device->openedId = value;
            else if (key == "null_port")
                ok = Flag(value, device->nullPort);
            else
                return fail("unknown key '" + key + "' in [device]");
            break;
        case Section::Camera:
            if (key == "vendor")
                ok = fits(camera->vendor, key, value, 32);
            else if (key == "model")
                ok = fits(camera->model, key, value, 32);
            else if (key == "manufacturer_info")
                ok = fits(camera->manufacturerInfo, key, value, 48);
            else if (key == "serial")
                ok = fits(camera->serial, key, value, 16);
            else if (key == "device_version")
                ok = fits(camera->deviceVersion, key, value, 32);
            else if (key == "device_version_after_update")
                ok = fits(camera->versionAfterUpdate.emplace(), key, value, 32);
            else if (key == "user_id")
                ok = fits(camera->userId, key, value, 16);
            else if (key == "standard")
                ok = HexNumber(value, camera->standard);
            else if (key == "standard_read_fails")
                ok = Flag(value, camera->standardReadFails);
            else if (key == "device_version_read_fails")
                ok = Flag(value, camera->deviceVersionReadFails);
            else if (key == "user_id_read_fails")
                ok = Flag(value, camera->userIdReadFails);
            else if (key == "vendor_read_fails")
                ok = Flag(value, camera->vendorReadFails);
            else if (key == "model_read_fails")
                ok = Flag(value, camera->modelReadFails);
            else if (key == "manufacturer_info_read_fails")
                ok = Flag(value, camera->manufacturerInfoReadFails);
            else if (key == "serial_read_fails")
                ok = Flag(value, camera->serialReadFails);
            else if (key == "secondary_fpga")
                ok = Flag(value, camera->secondaryFpga);
            else if (key == "busy_reads")
                ok = Number(value, camera->busyReads);
            else if (key == "busy_ms")
                ok = Number(value, camera->busyMs);
            else if (key == "fail_read")
                ok = NumberList(value, camera->failReads);
            else if (key == "fail_write")
                ok = NumberList(value, camera->failWrites);
            else if (key == "short_write")
                ok = NumberList(value, camera->shortWrites);
            else if (key == "slow_write")
                ok = NumberPair(value, camera->slowWrite, camera->slowWriteMs) &&
                     camera->slowWrite > 0;
            else
                return fail("unknown key '" + key + "' in [camera]");
            if (!ok && !error.empty())
                return false; // fits() has said why
            break;
        case Section::FaultList: {
            if (!IsProducerFunction(key))
                return fail("'" + key + "' is no producer function");
            const size_t blank = value.find(' ');
            const std::string when = value.substr(0, blank);
            const std::string code = blank == std::string::npos ? "" : Trim(value.substr(blank));
            Fault fault;
            if (when != "always" && (!Number(when, fault.nth) || fault.nth == 0))
                return fail("fault needs 'always' or a call number from 1, then an error code");
            if (!ErrorCode(code, fault.code))
                return fail("unknown error code '" + code + "'");
            // Several lines for one function fail several of its calls.
            config.faults[key].push_back(fault);
            break;
        }
        case Section::DelayList:
            if (!IsProducerFunction(key))
                return fail("'" + key + "' is no producer function");
            ok = Number(value, config.delays[key]);
            break;
        }
        if (!ok)
            return fail("bad value '" + value + "' for '" + key + "'");
    }
    if (!endInterface())
        return false;
    // Without [interface] sections the cameras of the file sit behind the default frame
    // grabber, one device each; a file with neither interfaces nor cameras has no interface.
    if (config.interfaces.empty() && (!config.devices.empty() || !config.cameras.empty())) {
        InterfaceConfig iface = DefaultConfig().interfaces.front();
        iface.devices.clear();
        for (const auto& [id, device] : config.devices)
            iface.devices.push_back(id);
        if (iface.devices.empty()) {
            for (const auto& [name, camera] : config.cameras) {
                DeviceConfig device;
                device.id = name == "cam0" ? "CXP-DEV0" : "CXP-DEV-" + name;
                device.displayName = device.id;
                device.camera = name;
                config.devices[device.id] = device;
                iface.devices.push_back(device.id);
            }
        }
        config.interfaces.push_back(iface);
    }
    // A device only named by an interface gets the defaults, and a camera of its own name.
    for (const InterfaceConfig& item : config.interfaces) {
        for (const std::string& id : item.devices) {
            if (!config.devices.count(id)) {
                DeviceConfig device;
                device.id = id;
                device.displayName = id;
                device.camera = id;
                device.line = pendingLines.count(id) ? pendingLines[id] : 0;
                config.devices[id] = device;
            }
            const DeviceConfig& device = config.devices[id];
            if (!config.cameras.count(device.camera)) {
                if (!IsCameraName(device.camera))
                    return failAt(device.line,
                                  "device ID '" + id +
                                      "' cannot name its camera; set camera = NAME in a [device " +
                                      id + "] section");
                CameraConfig made;
                made.name = device.camera;
                made.serial = id.substr(0, 16);
                config.cameras[made.name] = made;
            }
        }
    }
    return true;
}

} // namespace sim
