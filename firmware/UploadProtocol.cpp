#include "firmware/UploadProtocol.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "firmware/ImageCrc32.h"
#include "firmware/RegisterMap.h"
#include "firmware/UploadInternals.h"
#include "platform/Wait.h"

namespace {
UploadSleepFunction uploadSleep = platform::SleepMilliseconds;

PortAccess WritePort(TQRemoteDevice& camera, uint64_t address, const void* bytes, size_t size) {
    PortAccess access;
    access.asked = size;
    access.moved = size;
    access.status = camera.wrapper->GCWritePort(camera.hPort, address, bytes, &access.moved);
    return access;
}

// Into a buffer preset to zero, so a failed read yields 0. A short read is a failed one.
bool ReadRegister32(TQRemoteDevice& camera, uint64_t address, uint32_t& value) {
    uint8_t bytes[4] = {};
    size_t size = sizeof bytes;
    GC_ERROR status = camera.wrapper->GCReadPort(camera.hPort, address, bytes, &size);
    const bool done = status == GC_ERR_SUCCESS && size == sizeof bytes;
    value = done ? (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
                       (uint32_t{bytes[2]} << 8) | uint32_t{bytes[3]}
                 : 0;
    return done;
}

UploadOutcome Ended(UploadEnd end) {
    UploadOutcome outcome;
    outcome.end = end;
    return outcome;
}

// Once a write has failed the camera holds a partial image; it must never get the flash command.
// A write the producer took only in part counts as failed.
UploadOutcome WriteFailed(UploadReport& report, uint64_t address, const PortAccess& access) {
    report.WriteFailed(address);
    UploadOutcome outcome = Ended(UploadEnd::WriteFailed);
    outcome.failedAddress = address;
    outcome.failedWrite = access;
    return outcome;
}

UploadOutcome Unusable(UploadReport& report, ImageLoad problem) {
    report.ImageUnusable(problem);
    UploadOutcome outcome = Ended(UploadEnd::FileUnusable);
    outcome.load = problem;
    return outcome;
}

// One 32-bit register, big-endian, size 4, through the logged port call.
PortAccess WriteRegister32(TQRemoteDevice& camera, uint64_t address, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return WritePort(camera, address, bytes, sizeof bytes);
}

// The register part of an update, from the header to the flash command. Ends with Sent or with
// the reason nothing was flashed.
UploadOutcome SendImage(TQRemoteDevice& camera, const LoadedImage& image, bool secondary,
                        UploadReport& report, const UploadControl& control) {
    // A stop request is honoured between writes: the write in progress always completes.
    auto stopRequested = [&control] { return control.stopSending && control.stopSending(); };
    auto interrupted = [&report] {
        report.Interrupted();
        return Ended(UploadEnd::Interrupted);
    };
    const uint32_t uploadSize = image.Size();

    report.PhaseChanged(UploadPhase::Header);
    const std::pair<uint64_t, uint32_t> header[] = {
        {regs::kUpdateMagic, regs::kMagicValue},
        {regs::kUpdateParam, regs::kParamValue},
        {regs::kUpdateSize, uploadSize},
    };
    for (const auto& [address, value] : header) {
        if (stopRequested()) {
            return interrupted();
        }
        const PortAccess access = WriteRegister32(camera, address, value);
        if (!access.Done()) {
            return WriteFailed(report, address, access);
        }
    }

    if (secondary) {
        if (stopRequested()) {
            return interrupted();
        }
        const PortAccess access =
            WriteRegister32(camera, regs::kUpdateTarget, regs::kSecondaryTarget);
        if (!access.Done()) {
            return WriteFailed(report, regs::kUpdateTarget, access);
        }
        report.SecondarySelected();
        uint32_t target = 0;
        ReadRegister32(camera, regs::kUpdateTarget, target); // a failed read leaves 0: refused
        if (target != regs::kSecondaryTarget) {
            report.SecondaryRefused();
            return Ended(UploadEnd::SecondaryRefused);
        }
    }

    report.PhaseChanged(UploadPhase::Data);
    uint32_t offset = 0;
    while (offset < uploadSize) {
        if (stopRequested()) {
            return interrupted();
        }
        report.Progress(offset, uploadSize);
        const uint32_t chunkSize = std::min(uploadSize - offset, regs::kChunkSize);
        const uint64_t address = static_cast<uint32_t>(regs::kUpdateDataWindow + offset);
        const PortAccess access =
            WritePort(camera, address, image.bytes.data() + offset, chunkSize);
        if (!access.Done()) {
            return WriteFailed(report, address, access);
        }
        offset += chunkSize;
    }
    report.Progress(uploadSize, uploadSize);

    if (stopRequested()) {
        return interrupted();
    }
    const PortAccess checksum = WriteRegister32(camera, regs::kUpdateChecksum, image.crc);
    if (!checksum.Done()) {
        return WriteFailed(report, regs::kUpdateChecksum, checksum);
    }
    report.PhaseChanged(UploadPhase::Flash);
    if (stopRequested()) {
        return interrupted();
    }
    const PortAccess flash = WriteRegister32(camera, regs::kUpdateFlash, regs::kFlashCommand);
    if (!flash.Done()) {
        return WriteFailed(report, regs::kUpdateFlash, flash);
    }
    report.PhaseChanged(UploadPhase::Waiting);
    return Ended(UploadEnd::Sent);
}

// After the flash command: the settling time, then polls until the camera answers.
UploadOutcome AwaitCamera(TQRemoteDevice& camera, UploadReport& report,
                          const UploadControl& control) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point flashed = Clock::now();
    const bool limited = control.waitTimeoutMs > 0;
    auto waitedMs = [flashed] {
        return static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - flashed).count());
    };
    auto stopRequested = [&control] { return control.stopWaiting && control.stopWaiting(); };
    // False when the wait was stopped. Without a limit or a stop to watch, one plain sleep. A
    // bounded pause ends with the limit.
    auto pause = [&](unsigned milliseconds, bool bounded) {
        if (!limited && !control.stopWaiting) {
            uploadSleep(milliseconds);
            return true;
        }
        uint64_t left = milliseconds;
        if (limited && bounded) {
            const uint64_t waited = waitedMs();
            left = std::min<uint64_t>(
                left, waited < control.waitTimeoutMs ? control.waitTimeoutMs - waited : 0);
        }
        while (left > 0) {
            if (stopRequested()) {
                return false;
            }
            const unsigned slice = static_cast<unsigned>(std::min<uint64_t>(left, 50));
            uploadSleep(slice);
            left -= slice;
        }
        return !stopRequested();
    };

    // The camera is not asked before the settling time is over, whatever the limit: a shorter
    // limit means one poll after it.
    if (!pause(2000, false)) {
        return Ended(UploadEnd::WaitStopped);
    }
    // Only the status counts: the camera is back when a read succeeds.
    uint32_t ignored = 0;
    while (!ReadRegister32(camera, regs::kUpdateChecksum, ignored)) {
        if (limited && waitedMs() >= control.waitTimeoutMs) {
            return Ended(UploadEnd::WaitTimedOut);
        }
        if (!pause(500, true)) {
            return Ended(UploadEnd::WaitStopped);
        }
    }
    report.PhaseChanged(UploadPhase::Done);
    return Ended(UploadEnd::Answered);
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The steps between the loaded image and UpdateFinish. A `spent` image is released once it is
// sent: the wait that follows may be long.
UploadOutcome SendAndAwait(TQRemoteDevice& camera, const LoadedImage& image, LoadedImage* spent,
                           bool secondary, UploadReport& report, const UploadControl& control) {
    const auto started = std::chrono::steady_clock::now();
    UploadOutcome outcome = SendImage(camera, image, secondary, report, control);
    const double uploadSeconds = Since(started);
    if (spent) {
        *spent = LoadedImage();
    }
    if (outcome.end == UploadEnd::Sent) {
        const auto flashed = std::chrono::steady_clock::now();
        outcome = AwaitCamera(camera, report, control);
        outcome.waitSeconds = Since(flashed);
        if (outcome.end == UploadEnd::Answered && control.readVersionAfter) {
            outcome.versionAfterRead = camera.ReadDeviceVersion(outcome.versionAfter);
        }
    }
    outcome.uploadSeconds = uploadSeconds;
    return outcome;
}
} // namespace

void SetUploadSleep(UploadSleepFunction sleep) {
    uploadSleep = sleep ? sleep : platform::SleepMilliseconds;
}

bool IsSecondaryImage(const std::string& fileName) {
    return fileName.find("secondary") != std::string::npos;
}

PortAccess FinishUpdate(TQRemoteDevice& camera) {
    return WriteRegister32(camera, regs::kUpdateFinish, regs::kFinishValue);
}

UploadOutcome UpdateCamera(TQRemoteDevice& camera, const LoadedImage& image, bool secondary,
                           UploadReport& report, const UploadControl& control) {
    const UploadOutcome outcome = SendAndAwait(camera, image, nullptr, secondary, report, control);
    FinishUpdate(camera);
    return outcome;
}

UploadOutcome UploadFirmware(TQRemoteDevice& camera, const std::string& fileName,
                             UploadReport& report, const UploadControl& control) {
    report.OpeningFile(fileName);
    LoadedImage image;
    const ImageLoad load = LoadImageFile(fileName, image);
    UploadOutcome outcome;
    if (load != ImageLoad::Loaded) {
        outcome = Unusable(report, load);
    } else {
        report.ImageReady(image);
        outcome = SendAndAwait(camera, image, &image, IsSecondaryImage(fileName), report, control);
    }
    FinishUpdate(camera);
    return outcome;
}
