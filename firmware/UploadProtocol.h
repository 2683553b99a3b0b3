#pragma once
#include <cstdint>
#include <string>

#include "gentl/GenTLObjects.h"

// Sends the image file to the camera (header registers, data window, checksum, flash command)
// and waits until the camera answers again. Returns true only when every write up to and
// including the flash command was accepted and the camera came back; the console says why
// otherwise.
bool UploadFirmware(TQRemoteDevice& camera, std::string fileName);

// One 32-bit register, big-endian, size 4, through the logged GCWritePort.
GC_ERROR WriteRegister32(TQRemoteDevice& camera, uint64_t address, uint32_t value);
