#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "discovery/ProducerManager.h"
#include "firmware/FirmwareFile.h"
#include "gentl/GenTLContext.h"
#include "gentl/IdentityRecords.h"

// One interactive run: the operator chooses a producer file, one of its cameras and a firmware
// file of the working folder, and the upload follows.
class UpdateApp {
public:
    // Drives one run from discovery to the upload. 0 only when an upload completed,
    // kRunInterrupted when an interrupt stopped the upload, -1 after every other end; whatever
    // was opened is released in each case.
    int32_t Run();

private:
    // The steps of a run, in order. Each returns nothing to go on, or the run's result once it
    // has ended (and closed what it opened).
    void FindProducers();
    std::optional<int32_t> ChooseProducer();
    std::optional<int32_t> OpenProducer();
    std::optional<int32_t> ChooseCamera();
    std::optional<int32_t> ChooseFirmware();
    std::optional<int32_t> CheckFirmwareFits();
    int32_t Upload();

    int32_t Closed(int32_t result);
    int32_t EndOfInput();

    ProducerManager producers;
    std::string ctiFilePath;
    std::unique_ptr<GenTLContext> context; // the chosen producer; destroying it is the shutdown
    TQRemoteDevice* camera = nullptr;      // the chosen camera; the context owns it
    RemoteDeviceInfo cameraInfo;
    FirmwareFile catalogue;
    std::string firmwareFileName;
};

// An interrupt stopped the upload before the flash command; also the exit status then.
constexpr int32_t kRunInterrupted = 130;
