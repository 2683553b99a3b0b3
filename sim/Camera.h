#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimConfig.h"

namespace sim {

constexpr uint32_t kCrcStart = 0xFFFFFFFFu; // the CRC-32 register before the first byte

// Where a simulation writes what it saw; shared by all cameras of one GCInitLib, which may
// be driven from several threads at once. The settings are fixed before the first access.
class Recorder {
public:
    Recorder(std::string directory, bool traffic, bool image);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // One whole line of traffic.log, whatever other cameras write at the same time.
    void Access(const std::string& camera, char kind, uint64_t address, size_t size, int32_t status,
                const void* bytes);
    // A file of one camera, written while that camera is held.
    void WriteFile(const std::string& name, const void* data, size_t size);
    bool KeepsImage() const { return image; }

private:
    const std::string directory; // empty: record nothing
    const bool traffic;
    const bool image; // keep the image and write <camera>.image.bin at a flash command
    std::mutex logMutex;
    FILE* log = nullptr;
    bool logFailed = false; // said once on standard error, then no more attempts
};

// One simulated camera: its bootstrap registers and the firmware-update registers. Each
// access holds the camera (and its link) for as long as the link takes, so accesses to one
// camera follow each other while other cameras run alongside.
class Camera {
public:
    Camera(const CameraConfig& config, std::shared_ptr<Recorder> recorder, unsigned latencyUs,
           unsigned nsPerByte);

    int32_t Read(uint64_t address, void* buffer, size_t size);
    // `size` comes back as the bytes the camera took.
    int32_t Write(uint64_t address, const void* buffer, size_t& size);

private:
    // How far the update in progress has come, in the order the registers must be written.
    enum class Stage { None, Magic, Param, Size, Target, Data, Checksum };

    int32_t ReadRegister(uint64_t address, void* buffer, size_t size);
    int32_t WriteRegister(uint64_t address, const uint8_t* buffer, size_t size);
    void ClearImage();
    void WriteData(uint64_t offset, const uint8_t* buffer, size_t size);
    void Flash();
    void Reject(const std::string& why);
    void ChargeLink(std::chrono::steady_clock::time_point start, size_t size);
    bool Answering() const;

    std::mutex mutex; // one access at a time, link wait included
    const CameraConfig config;
    const std::shared_ptr<Recorder> recorder; // outlives the library if an access is in flight
    const unsigned latencyUs;
    const unsigned nsPerByte;
    std::string version;         // what 0x2070 reads now
    bool versionPending = false; // an accepted update changes it once the camera is back
    unsigned reads = 0;
    unsigned writes = 0;
    uint64_t portTimeNs = 0;
    uint64_t overrunNs = 0; // how far the link is behind its schedule
    // Timing of the update in progress (wall clock, not modelled).
    unsigned dataWrites = 0;
    std::chrono::steady_clock::time_point dataStart{};
    uint64_t dataSpanNs = 0;     // first data write to the checksum write; 0: not reached
    uint64_t dataInCameraNs = 0; // inside the data writes, link wait included

    // The update in progress.
    Stage stage = Stage::None;
    uint32_t param = 0;
    uint32_t announced = 0;
    uint32_t target = 1;
    uint32_t checksum = 0;
    uint32_t finish = 0;
    std::vector<uint8_t> image;    // the in-order data writes so far, when the recorder keeps it
    uint32_t received = 0;         // bytes of them
    uint32_t crcState = kCrcStart; // their CRC-32 so far, before the final inversion
    std::string problem;           // first thing that went wrong in this update
    unsigned busyReadsLeft = 0;
    std::chrono::steady_clock::time_point busyUntil{};
};

// CRC-32 (IEEE 802.3) of `size` bytes; Crc32Update carries the register across pieces.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);
uint32_t Crc32(const uint8_t* data, size_t size);

} // namespace sim
