#include "sim/Camera.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

#include "platform/Utf8.h"

namespace sim {
namespace {
uint64_t Nanoseconds(std::chrono::steady_clock::duration span) {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(span).count());
}

constexpr uint64_t kWindow = 0x70000000;
constexpr uint64_t kWindowSpan = 0x10000000;
constexpr uint32_t kChunkMax = 1024;

uint32_t BigEndian(const uint8_t* bytes) {
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
           uint32_t(bytes[3]);
}

void PutBigEndian(uint32_t value, void* buffer) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    bytes[0] = uint8_t(value >> 24);
    bytes[1] = uint8_t(value >> 16);
    bytes[2] = uint8_t(value >> 8);
    bytes[3] = uint8_t(value);
}

std::string Hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

} // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
    // Built once, by whichever camera's thread gets here first.
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> made{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            made[i] = c;
        }
        return made;
    }();
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    return Crc32Update(kCrcStart, data, size) ^ 0xFFFFFFFFu;
}

Recorder::Recorder(std::string directory, bool traffic, bool image)
    : directory(std::move(directory)), traffic(traffic), image(image) {}

Recorder::~Recorder() {
    if (log != nullptr)
        std::fclose(log);
}

void Recorder::Access(const std::string& camera, char kind, uint64_t address, size_t size,
                      int32_t status, const void* bytes) {
    if (directory.empty() || !traffic)
        return;
    // Camera names are at most 64 characters (checked with the configuration).
    char line[160];
    int length = std::snprintf(line, sizeof line, "%s %c 0x%08llX %zu %d", camera.c_str(), kind,
                               static_cast<unsigned long long>(address), size, status);
    if (length < 0 || static_cast<size_t>(length) >= sizeof line - 12)
        return;
    if (bytes != nullptr && size == 4) {
        const auto* b = static_cast<const uint8_t*>(bytes);
        length += std::snprintf(line + length, sizeof line - length, " %02X%02X%02X%02X", b[0],
                                b[1], b[2], b[3]);
    }
    line[length++] = '\n';
    std::lock_guard<std::mutex> hold(logMutex);
    if (logFailed)
        return;
    if (log == nullptr) {
        const std::string path = directory + "/traffic.log";
        log = platform::OpenFile(path, "ab");
        if (log == nullptr) {
            std::fprintf(stderr, "cxp-sim: cannot write %s; no traffic record\n", path.c_str());
            logFailed = true;
            return;
        }
    }
    // One write and a flush per line: the consumer may end the process at any moment.
    std::fwrite(line, 1, static_cast<size_t>(length), log);
    std::fflush(log);
}

void Recorder::WriteFile(const std::string& name, const void* data, size_t size) {
    if (directory.empty())
        return;
    const std::string path = directory + "/" + name;
    FILE* file = platform::OpenFile(path, "wb");
    bool ok = file != nullptr && (size == 0 || std::fwrite(data, 1, size, file) == size);
    if (file != nullptr)
        ok = std::fclose(file) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "cxp-sim: cannot write %s\n", path.c_str());
}

Camera::Camera(const CameraConfig& config, std::shared_ptr<Recorder> recorder, unsigned latencyUs,
               unsigned nsPerByte)
    : config(config), recorder(std::move(recorder)), latencyUs(latencyUs), nsPerByte(nsPerByte),
      version(config.deviceVersion) {}

// The control link's cost of one access, counted from the moment the access began, so the
// simulator's own work (and its traffic record) is part of the modelled time, not added to
// it. The caller sleeps until then: no processor is taken, so many links can wait at once.
// A sleep wakes late (by a timer tick on some systems), and the camera's own work may take
// longer than the access costs; the link keeps its schedule by taking such an overrun off
// the next waits, so a long run of accesses takes what the model charges, not that plus
// the noise.
void Camera::ChargeLink(std::chrono::steady_clock::time_point start, size_t size) {
    const uint64_t cost = uint64_t(latencyUs) * 1000 + uint64_t(nsPerByte) * size;
    if (cost == 0)
        return;
    portTimeNs += cost;
    const uint64_t wait = cost > overrunNs ? cost - overrunNs : 0;
    const auto until = start + std::chrono::nanoseconds(wait);
    auto now = std::chrono::steady_clock::now();
    // A sleep rounded down to whole milliseconds can end early: then it sleeps again.
    while (now < until) {
        std::this_thread::sleep_until(until);
        now = std::chrono::steady_clock::now();
    }
    overrunNs = (overrunNs > cost ? overrunNs - cost : 0) + Nanoseconds(now - until);
}

int32_t Camera::Read(uint64_t address, void* buffer, size_t size) {
    std::lock_guard<std::mutex> hold(mutex);
    const auto start = std::chrono::steady_clock::now();
    ++reads;
    const bool fails = std::count(config.failReads.begin(), config.failReads.end(), reads) > 0;
    int32_t status = fails ? -1010 : ReadRegister(address, buffer, size);
    recorder->Access(config.name, 'R', address, size, status, status == 0 ? buffer : nullptr);
    // A refused access costs the round trip but moves no bytes (and a bogus size must not
    // stall the caller).
    ChargeLink(start, status == 0 ? size : 0);
    return status;
}

int32_t Camera::Write(uint64_t address, const void* buffer, size_t& size) {
    std::lock_guard<std::mutex> hold(mutex);
    const auto start = std::chrono::steady_clock::now();
    ++writes;
    if (writes == config.slowWrite)
        std::this_thread::sleep_for(std::chrono::milliseconds(config.slowWriteMs));
    const bool fails = std::count(config.failWrites.begin(), config.failWrites.end(), writes) > 0;
    // A short write succeeds with the first half of the bytes: data lands in the window, a
    // register keeps its value.
    const bool shortens =
        std::count(config.shortWrites.begin(), config.shortWrites.end(), writes) > 0;
    if (shortens)
        size /= 2;
    int32_t status = fails ? -1010
                     : shortens && !(address >= kWindow && address < kWindow + kWindowSpan)
                         ? 0
                         : WriteRegister(address, static_cast<const uint8_t*>(buffer), size);
    recorder->Access(config.name, 'W', address, size, status, buffer);
    ChargeLink(start, status == 0 ? size : 0);
    // Flashing keeps the camera off the link for as long as it takes; the link's schedule
    // starts afresh after it.
    if (address == 0xAB10)
        overrunNs = 0;
    // Where the time of an upload goes, for the benchmark: from the first data write to the
    // checksum write, and how much of that the camera itself (link included) took.
    if (address >= kWindow && address < kWindow + kWindowSpan) {
        if (dataWrites++ == 0)
            dataStart = start;
        dataInCameraNs += Nanoseconds(std::chrono::steady_clock::now() - start);
    } else if (address == 0xAB0C && dataWrites > 0 && dataSpanNs == 0) {
        dataSpanNs = Nanoseconds(start - dataStart);
    }
    return status;
}

// Back on the link after a flash: the busy reads are used up and the busy time is over.
bool Camera::Answering() const {
    return busyReadsLeft == 0 && std::chrono::steady_clock::now() >= busyUntil;
}

int32_t Camera::ReadRegister(uint64_t address, void* buffer, size_t size) {
    // The new firmware reports its version once the camera answers again.
    if (versionPending && Answering()) {
        version = *config.versionAfterUpdate;
        versionPending = false;
    }
    struct Text {
        uint64_t base;
        size_t width;
        const std::string* value;
        bool fails;
    };
    // The bootstrap registers; the Standard number is read like a text of its four bytes.
    std::string standard(4, '\0');
    PutBigEndian(config.standard, &standard[0]);
    const Text texts[] = {{0x0000, 4, &standard, config.standardReadFails},
                          {0x2000, 32, &config.vendor, config.vendorReadFails},
                          {0x2020, 32, &config.model, config.modelReadFails},
                          {0x2040, 48, &config.manufacturerInfo, config.manufacturerInfoReadFails},
                          {0x2070, 32, &version, config.deviceVersionReadFails},
                          {0x20B0, 16, &config.serial, config.serialReadFails},
                          {0x20C0, 16, &config.userId, config.userIdReadFails}};
    for (const Text& text : texts) {
        if (address < text.base || address >= text.base + text.width)
            continue;
        if (size > text.width || address - text.base + size > text.width)
            return -1015; // INVALID_ADDRESS: past the register
        if (text.fails)
            return -1010; // IO
        std::string padded = *text.value;
        padded.resize(text.width, '\0');
        std::memcpy(buffer, padded.data() + (address - text.base), size);
        return 0;
    }
    if (size != 4 || address % 4 != 0)
        return (address >= 0xAB00 && address <= 0xAB14) || address == 0xB0E8 ? -1009 : -1015;
    switch (address) {
    case 0xAB00:
        PutBigEndian(stage != Stage::None ? 0x5B17 : 0, buffer);
        return 0;
    case 0xAB04:
        PutBigEndian(param, buffer);
        return 0;
    case 0xAB08:
        PutBigEndian(announced, buffer);
        return 0;
    case 0xAB0C:
        // Busy or restarting after a flash: the camera does not answer.
        if (busyReadsLeft > 0) {
            --busyReadsLeft;
            return -1011; // TIMEOUT
        }
        if (!Answering())
            return -1011;
        PutBigEndian(checksum, buffer);
        return 0;
    case 0xAB10:
        PutBigEndian(0, buffer);
        return 0;
    case 0xAB14:
        // What the camera can take, not what was asked for: the tool checks this read-back.
        PutBigEndian(config.secondaryFpga ? 2 : 1, buffer);
        return 0;
    case 0xB0E8:
        PutBigEndian(finish, buffer);
        return 0;
    default:
        return -1015;
    }
}

void Camera::Reject(const std::string& why) {
    if (problem.empty())
        problem = why;
}

void Camera::ClearImage() {
    image.clear();
    received = 0;
    crcState = kCrcStart;
}

// The image arrives in order, in chunks of 1024 bytes but a shorter last one.
void Camera::WriteData(uint64_t offset, const uint8_t* buffer, size_t size) {
    if (stage < Stage::Size) {
        Reject("image data before the update header");
        return;
    }
    if (stage == Stage::Checksum) {
        Reject("image data after the checksum");
        return;
    }
    stage = Stage::Data;
    if (offset != received) {
        Reject("image data out of order at offset " + std::to_string(offset));
        return;
    }
    if (offset + size > announced) {
        Reject("image data beyond the announced size");
        return;
    }
    if (size != kChunkMax && offset + size != announced)
        Reject("short chunk of " + std::to_string(size) + " bytes at offset " +
               std::to_string(offset) + " before the end of the image");
    crcState = Crc32Update(crcState, buffer, size);
    received += size;
    if (recorder->KeepsImage())
        image.insert(image.end(), buffer, buffer + size);
}

int32_t Camera::WriteRegister(uint64_t address, const uint8_t* buffer, size_t size) {
    if (address >= kWindow && address < kWindow + kWindowSpan) {
        if (size == 0 || size > kChunkMax)
            return -1009; // INVALID_PARAMETER
        WriteData(address - kWindow, buffer, size);
        return 0;
    }
    if (address < 0x0004 || (address >= 0x2000 && address < 0x20D0))
        return -1005; // ACCESS_DENIED: the bootstrap registers are read-only
    const bool control = (address >= 0xAB00 && address <= 0xAB14) || address == 0xB0E8;
    if (!control)
        return -1015;
    if (size != 4 || address % 4 != 0)
        return -1009;
    const uint32_t value = BigEndian(buffer);
    switch (address) {
    case 0xAB00:
        // A new update starts here; anything of an earlier one is dropped.
        stage = value == 0x5B17 ? Stage::Magic : Stage::None;
        dataWrites = 0;
        dataSpanNs = 0;
        dataInCameraNs = 0;
        param = 0;
        announced = 0;
        target = 1;
        checksum = 0;
        ClearImage();
        problem.clear();
        if (value != 0x5B17)
            Reject("wrong update magic " + Hex8(value));
        return 0;
    case 0xAB04:
        if (stage == Stage::None)
            Reject("update parameter before the update magic");
        else if (stage == Stage::Param)
            Reject("update parameter written twice");
        else if (stage != Stage::Magic)
            Reject("update parameter after the update size");
        param = value;
        stage = std::max(stage, Stage::Param);
        return 0;
    case 0xAB08:
        if (stage == Stage::None)
            Reject("update size before the update magic");
        else if (stage == Stage::Magic)
            Reject("update size before the update parameter");
        else if (stage != Stage::Param)
            Reject("update size written twice");
        announced = value;
        ClearImage();
        // A size the window cannot hold is refused rather than reserved.
        if (value > kWindowSpan)
            Reject("update size beyond the data window");
        else if (recorder->KeepsImage())
            image.reserve(value);
        stage = std::max(stage, Stage::Size);
        return 0;
    case 0xAB0C:
        if (stage < Stage::Size)
            Reject("checksum before the update header");
        checksum = value;
        stage = Stage::Checksum;
        return 0;
    case 0xAB10:
        if (value == 1)
            Flash();
        else
            Reject("unknown flash command " + Hex8(value));
        return 0;
    case 0xAB14:
        if (stage < Stage::Size)
            Reject("update target before the update size");
        else if (stage > Stage::Target)
            Reject("update target after image data");
        if (value != 1 && value != 2)
            Reject("unknown update target " + std::to_string(value));
        target = value;
        stage = std::max(stage, Stage::Target);
        return 0;
    case 0xB0E8:
        finish = value;
        return 0;
    default:
        return -1015;
    }
}

void Camera::Flash() {
    const auto start = std::chrono::steady_clock::now();
    const uint32_t computed = crcState ^ 0xFFFFFFFFu;
    std::string reason = problem;
    if (reason.empty() && stage < Stage::Size)
        reason = "no update header";
    if (reason.empty() && received != announced)
        reason = "image incomplete: " + std::to_string(received) + " of " +
                 std::to_string(announced) + " bytes";
    if (reason.empty() && announced == 0)
        reason = "empty image";
    if (reason.empty() && announced % 4 != 0)
        reason = "update size is not a multiple of 4";
    if (reason.empty() && stage != Stage::Checksum)
        reason = "no checksum written";
    if (reason.empty() && computed != checksum)
        reason = "checksum mismatch";
    if (reason.empty() && target == 2 && !config.secondaryFpga)
        reason = "camera has no secondary FPGA";
    const bool accepted = reason.empty();

    if (recorder->KeepsImage())
        recorder->WriteFile(config.name + ".image.bin", image.data(), image.size());
    std::string record;
    record += "camera = " + config.name + "\n";
    record += std::string("target = ") + (target == 2 ? "secondary" : "primary") + "\n";
    record += "size = " + std::to_string(announced) + "\n";
    record += "received = " + std::to_string(received) + "\n";
    record += "crc_received = " + Hex8(checksum) + "\n";
    record += "crc_computed = " + Hex8(computed) + "\n";
    record += std::string("result = ") + (accepted ? "accepted" : "rejected") + "\n";
    record += "reason = " + (accepted ? std::string("ok") : reason) + "\n";
    record += "port_time_us = " + std::to_string(portTimeNs / 1000) + "\n";
    record += "data_writes = " + std::to_string(dataWrites) + "\n";
    record += "data_span_us = " + std::to_string(dataSpanNs / 1000) + "\n";
    record += "data_in_camera_us = " + std::to_string(dataInCameraNs / 1000) + "\n";
    record += "flash_us = " +
              std::to_string(Nanoseconds(std::chrono::steady_clock::now() - start) / 1000) + "\n";
    recorder->WriteFile(config.name + ".result.txt", record.data(), record.size());

    // Writing the flash keeps the camera off the link for a while; the next update starts
    // from nothing.
    busyReadsLeft = config.busyReads;
    busyUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(config.busyMs);
    if (accepted && config.versionAfterUpdate)
        versionPending = true;
    stage = Stage::None;
    problem.clear();
}

} // namespace sim
