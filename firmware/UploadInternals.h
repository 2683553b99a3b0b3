#pragma once
#include <istream>
#include <string>

#include "firmware/UploadProtocol.h"

// Seams of the upload for tests: the pauses and the file stream.

// The settling time after the flash command and the polling interval go through here, so tests
// can record them instead of sleeping. nullptr restores the platform's sleep.
using UploadSleepFunction = void (*)(unsigned milliseconds);
void SetUploadSleep(UploadSleepFunction sleep);

// UploadFirmware after the file has been opened: everything from reading the image on.
UploadOutcome UploadFirmwareFrom(TQRemoteDevice& camera, const std::string& fileName,
                                 std::istream& file, UploadReport& report);
