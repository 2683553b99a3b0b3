#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// What the simulated producer offers: read from the file named by CXP_SIM_CONFIG, or the
// default demo topology.
namespace sim {

struct CameraConfig {
    std::string name;
    std::string vendor = "Tevrak Imaging";
    std::string model = "TQ-12M-CXP";
    std::string manufacturerInfo = "TQ-12M-CXP rev.B 12MP CoaXPress";
    std::string serial = "TQ12M0001";
    std::string deviceVersion = "1.0.0";
    std::optional<std::string> versionAfterUpdate; // reported once an accepted update is over
    std::string userId;
    uint32_t standard = 0xC0A79AE5; // what every CoaXPress device answers at 0x0000
    bool standardReadFails = false;
    bool vendorReadFails = false;
    bool modelReadFails = false;
    bool manufacturerInfoReadFails = false;
    bool deviceVersionReadFails = false;
    bool serialReadFails = false;
    bool userIdReadFails = false;
    bool secondaryFpga = false;
    unsigned busyReads = 0;            // reads of the checksum register that fail after a flash
    unsigned busyMs = 0;               // time after a flash during which those reads fail
    std::vector<unsigned> failReads;   // these port reads (counted from 1) fail
    std::vector<unsigned> failWrites;  // these port writes (counted from 1) fail
    std::vector<unsigned> shortWrites; // these port writes take half their bytes and say so
    unsigned slowWrite = 0;            // this port write (counted from 1) takes slowWriteMs more
    unsigned slowWriteMs = 0;
};

struct DeviceConfig {
    std::string id;
    std::string vendor = "Tevrak Imaging";
    std::string model = "TQ-12M-CXP";
    std::string serial; // default: the camera's serial
    std::string displayName;
    std::string tlType = "CXP";
    std::string userDefinedName;
    std::string version = "1.0";
    std::string camera;   // default: the device ID
    std::string openedId; // the ID DevGetInfo gives once it is open; default: the device ID
    bool nullPort = false;
    int line = 0; // where the device was defined or first listed, for messages
};

struct InterfaceConfig {
    std::string id;
    std::string displayName;
    std::string tlType = "CXP";
    std::vector<std::string> devices;
    std::vector<std::string> refuseOpen;
};

struct Fault {
    unsigned nth = 0; // the call (from 1) that fails; 0: every call
    int32_t code = -1001;
};

struct SimConfig {
    std::vector<InterfaceConfig> interfaces;
    std::map<std::string, DeviceConfig> devices;
    std::map<std::string, CameraConfig> cameras;
    std::map<std::string, std::vector<Fault>> faults; // in file order per function
    std::map<std::string, unsigned> delays;           // ms every call of a function takes more
    unsigned latencyUs = 0;
    unsigned nsPerByte = 0;
    bool recordTraffic = true;
    bool recordImage = true;   // no: the camera checks the image as it arrives and keeps no copy
    bool lingerThread = false; // a thread of the library runs on after GCCloseLib
};

SimConfig DefaultConfig();
// Parses `text` (the content of `file`). On failure `error` reads "<file>:<line>: <reason>".
bool ParseConfig(const std::string& text, const std::string& file, SimConfig& config,
                 std::string& error);
// The 57 function names a producer exports, for fault sections.
bool IsProducerFunction(const std::string& name);
const std::vector<std::string>& ProducerFunctions();
// Camera names become record file names and traffic-log fields.
bool IsCameraName(const std::string& name);

} // namespace sim
