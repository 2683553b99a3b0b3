#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "discovery/ProducerManager.h"
#include "firmware/FirmwareFile.h"
#include "gentl/IdentityRecords.h"

// The state of one update run, from the producer choice to the upload.
struct UpdateApp {
    // Drives one run from discovery to the upload. 0 only when an upload completed,
    // kRunInterrupted when an interrupt stopped the upload, -1 after every other end; whatever
    // was opened is released in each case.
    int32_t Run();

    std::string firmwareFileName;
    bool firmwareMatches = false;
    int32_t selectedFirmware = 0;
    int32_t firmwareCount = 0;
    std::unique_ptr<FirmwareFile> firmwareCatalogue;
    RemoteDeviceInfo selectedCameraInfo;
    int32_t selectedCamera = 0;
    std::string ctiFilePath;
    int32_t selectedCti = 0;
    std::unique_ptr<ProducerManager> producerManager;

private:
    void ProducerTeardown();
    void CatalogueRelease();
    int32_t EndOfInput();
};

// An interrupt stopped the upload before the flash command; also the exit status then.
constexpr int32_t kRunInterrupted = 130;

// The banner's version, 1.0.0.546.
constexpr unsigned kVersion[4] = {1, 0, 0, 546};
