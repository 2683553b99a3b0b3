#include "firmware/UploadProtocol.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "app/ConsolePrint.h"
#include "firmware/FirmwareImage.h"
#include "firmware/ImageCrc32.h"
#include "firmware/RegisterMap.h"
#include "firmware/UploadInternals.h"
#include "platform/Wait.h"

namespace {
UploadSleepFunction uploadSleep = platform::SleepMilliseconds;

// A 4-byte register read into a buffer preset to zero, so a failed read yields 0.
GC_ERROR ReadRegister32(TQRemoteDevice& camera, uint64_t address, uint32_t& value) {
    uint8_t bytes[4] = {};
    size_t size = sizeof bytes;
    GC_ERROR status = camera.wrapper->GCReadPort(camera.hPort, address, bytes, &size);
    value = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
            uint32_t{bytes[3]};
    return status;
}

// Once a write has failed the camera holds a partial image; it must never get the flash command.
bool WriteFailed(uint64_t address) {
    ConsolePrint("write to camera failed at address 0x%llx, firmware not flashed\n",
                 static_cast<unsigned long long>(address));
    return false;
}

bool ReadImage(std::istream& file, std::vector<uint8_t>& image, uint32_t& fileSize) {
    switch (LoadFirmwareImage(file, image, fileSize)) {
    case ImageLoad::Loaded:
        return true;
    case ImageLoad::ReadError:
        ConsolePrint("file reading error\n");
        return false;
    case ImageLoad::Empty:
        ConsolePrint("firmware file is empty\n");
        return false;
    case ImageLoad::TooLarge:
        ConsolePrint("firmware file is too large\n");
        return false;
    }
    return false;
}

bool SendImage(TQRemoteDevice& camera, const std::vector<uint8_t>& image) {
    const uint32_t uploadSize = static_cast<uint32_t>(image.size());
    uint32_t offset = 0;
    uint32_t remaining = uploadSize;
    uint32_t chunkSize = regs::kChunkSize;
    while (remaining > 0) {
        ConsolePrint("\rremaining %u    ", remaining);
        chunkSize = std::min(remaining, chunkSize);
        const uint64_t address = static_cast<uint32_t>(regs::kUpdateDataWindow + offset);
        size_t size = chunkSize;
        if (camera.wrapper->GCWritePort(camera.hPort, address, image.data() + offset, &size) !=
            GC_ERR_SUCCESS) {
            ConsolePrint("\n"); // leave the progress line intact above the message
            return WriteFailed(address);
        }
        offset += chunkSize;
        remaining -= chunkSize;
    }
    return true;
}
// Everything after reading: header, data, checksum, flash command and the wait for the camera.
bool UploadImage(TQRemoteDevice& camera, const std::string& fileName, std::vector<uint8_t>& image,
                 uint32_t fileSize) {
    const uint32_t uploadSize = static_cast<uint32_t>(image.size());
    const uint32_t crc = ImageCrc32(image.data(), uploadSize);
    ConsolePrint("file size %u, upload size %u, crc %08x\n", fileSize, uploadSize, crc);

    const std::pair<uint64_t, uint32_t> header[] = {
        {regs::kUpdateMagic, regs::kMagicValue},
        {regs::kUpdateParam, regs::kParamValue},
        {regs::kUpdateSize, uploadSize},
    };
    for (const auto& [address, value] : header) {
        if (WriteRegister32(camera, address, value) != GC_ERR_SUCCESS) {
            return WriteFailed(address);
        }
    }

    if (fileName.find("secondary") != std::string::npos) {
        if (WriteRegister32(camera, regs::kUpdateTarget, regs::kSecondaryTarget) !=
            GC_ERR_SUCCESS) {
            return WriteFailed(regs::kUpdateTarget);
        }
        ConsolePrint("FW for secondary FPGA\n");
        uint32_t target = 0;
        ReadRegister32(camera, regs::kUpdateTarget, target); // a failed read leaves 0: refused
        if (target != regs::kSecondaryTarget) {
            ConsolePrint("unable to update secondary FPGA of camera Error \n");
            return false;
        }
    }

    if (!SendImage(camera, image)) {
        return false;
    }
    // Not needed any more; the wait below may be long.
    std::vector<uint8_t>().swap(image);

    if (WriteRegister32(camera, regs::kUpdateChecksum, crc) != GC_ERR_SUCCESS) {
        ConsolePrint("\n");
        return WriteFailed(regs::kUpdateChecksum);
    }
    ConsolePrint("\rupload done     \n");
    ConsolePrint("flash to eeprom\n");
    if (WriteRegister32(camera, regs::kUpdateFlash, regs::kFlashCommand) != GC_ERR_SUCCESS) {
        return WriteFailed(regs::kUpdateFlash);
    }

    ConsolePrint("----------------------------------------------------\n");
    ConsolePrint("WARN: NOT YET FINISHED, DON'T PLUGOUT THIS CAMERA!! \n");
    ConsolePrint("WARN: PLEASE WAIT UNTIL THIS CAMERA APPEARS AGAIN!! \n");
    ConsolePrint("----------------------------------------------------\n");
    ConsolePrint("Please wait ...");
    uploadSleep(2000);
    // No limit: flashing may take long, and the operator has been told to wait.
    uint32_t ignored = 0;
    while (ReadRegister32(camera, regs::kUpdateChecksum, ignored) != GC_ERR_SUCCESS) {
        uploadSleep(500);
    }
    return true;
}

} // namespace

void SetUploadSleep(UploadSleepFunction sleep) {
    uploadSleep = sleep ? sleep : platform::SleepMilliseconds;
}

GC_ERROR WriteRegister32(TQRemoteDevice& camera, uint64_t address, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    size_t size = sizeof bytes;
    return camera.wrapper->GCWritePort(camera.hPort, address, bytes, &size);
}

bool UploadFirmware(TQRemoteDevice& camera, std::string fileName) {
    ConsolePrint("open file >>>%s<<<\n", fileName.c_str());
    std::ifstream file(fileName, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        ConsolePrint("file open not successful\n");
        return false;
    }
    std::vector<uint8_t> image;
    uint32_t fileSize = 0;
    const bool read = ReadImage(file, image, fileSize);
    file.close(); // not needed during the upload and the wait that follows
    return read && UploadImage(camera, fileName, image, fileSize);
}

bool UploadFirmwareFrom(TQRemoteDevice& camera, const std::string& fileName, std::istream& file) {
    std::vector<uint8_t> image;
    uint32_t fileSize = 0;
    return ReadImage(file, image, fileSize) && UploadImage(camera, fileName, image, fileSize);
}
