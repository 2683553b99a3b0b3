#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "firmware/FirmwareImage.h"
#include "gentl/GenTLObjects.h"

// Where an upload stands; the front ends show it.
enum class UploadPhase {
    Header,  // update magic, parameter, size (and the secondary target)
    Data,    // the image in 1024-byte chunks
    Flash,   // checksum written; the flash command follows
    Waiting, // flash command sent; the camera is busy until it answers again
    Done,    // the camera answered
};

// How an upload ended.
enum class UploadEnd {
    Answered,         // flashed, and the camera answered again
    FileUnusable,     // nothing written: the file could not be opened or read
    WriteFailed,      // a write up to the flash command failed; nothing was flashed
    SecondaryRefused, // the camera did not accept the secondary target; nothing was flashed
    Interrupted,      // stopped on request before the flash command; nothing was flashed
    Sent,             // the flash command went out; the wait for the camera is still to come
    WaitTimedOut,     // flashed, but the camera stayed silent for the whole wait
    WaitStopped,      // flashed, and the wait was stopped on request
};

// One port access as the producer reported it: it counts only when every byte was moved.
struct PortAccess {
    GC_ERROR status = GC_ERR_SUCCESS;
    size_t asked = 0;
    size_t moved = 0; // what the producer says it moved (*piSize after the call)
    bool Done() const { return status == GC_ERR_SUCCESS && moved == asked; }
};

struct UploadOutcome {
    UploadEnd end = UploadEnd::FileUnusable;
    uint64_t failedAddress = 0; // with WriteFailed
    PortAccess failedWrite;     // with WriteFailed: an error, or success with fewer bytes
    ImageLoad load = ImageLoad::Loaded;
    double uploadSeconds = 0;      // from the first header write to the end of the sending
    double waitSeconds = 0;        // from the flash command to the end of the wait
    bool versionAfterRead = false; // with Answered, when UploadControl::readVersionAfter asked
    std::string versionAfter;
    // The flash command went out: the camera may be writing its flash memory.
    bool Flashed() const {
        return end == UploadEnd::Sent || end == UploadEnd::Answered ||
               end == UploadEnd::WaitTimedOut || end == UploadEnd::WaitStopped;
    }
};

// What an upload tells its front end. Every call comes from the thread running the upload.
class UploadReport {
public:
    virtual ~UploadReport() = default;
    virtual void OpeningFile(const std::string& /*fileName*/) {}
    virtual void ImageUnusable(ImageLoad /*problem*/) {}
    virtual void ImageReady(const LoadedImage& /*image*/) {}
    virtual void PhaseChanged(UploadPhase /*phase*/) {}
    virtual void SecondarySelected() {}
    virtual void SecondaryRefused() {}
    // Before every data chunk (sent < total), and once after the last one (sent == total).
    virtual void Progress(uint32_t /*sent*/, uint32_t /*total*/) {}
    virtual void WriteFailed(uint64_t /*address*/) {}
    virtual void Interrupted() {}
};

// How an upload may be stopped from outside.
struct UploadControl {
    // Asked before every write up to and including the flash command; true stops the upload
    // there, before anything is flashed.
    std::function<bool()> stopSending;
    // Asked while waiting for the flashed camera; true ends the wait.
    std::function<bool()> stopWaiting;
    // The longest wait for the camera, counted from the flash command; 0: no limit.
    uint64_t waitTimeoutMs = 0;
    // Read the device version once the camera answered, before UpdateFinish.
    bool readVersionAfter = false;
};

// One camera's update: header, image, checksum, flash command, the wait for the camera, and
// UpdateFinish after it, whatever the outcome (a failure there is only traced).
UploadOutcome UpdateCamera(TQRemoteDevice& camera, const LoadedImage& image, bool secondary,
                           UploadReport& report, const UploadControl& control = {});
// The same for a file: opens and reads it first, and releases the image before the wait. An
// unusable file is reported and ends the update before the header, with UpdateFinish.
UploadOutcome UploadFirmware(TQRemoteDevice& camera, const std::string& fileName,
                             UploadReport& report, const UploadControl& control = {});

// An image whose name holds this word goes to the secondary FPGA.
bool IsSecondaryImage(const std::string& fileName);

// The last access after every upload attempt, whatever its outcome; for a caller whose attempt
// ended outside UpdateCamera.
PortAccess FinishUpdate(TQRemoteDevice& camera);
