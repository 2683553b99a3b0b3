#include "app/UpdateApp.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/ConsolePrint.h"
#include "app/ConsoleReports.h"
#include "app/ReadChoice.h"
#include "firmware/Compatibility.h"
#include "firmware/UploadProtocol.h"
#include "platform/Interrupt.h"

namespace {
// Interrupts are held back from before the first header write to the flash command, so the
// upload stops between two writes and the camera never gets a partial image flashed. Once the
// camera flashes there is nothing left to stop: an interrupt ends the tool as it always did.
class InterruptibleUpload : public ConsoleUploadReport {
public:
    InterruptibleUpload() { deferral.emplace(); }
    void PhaseChanged(UploadPhase phase) override {
        ConsoleUploadReport::PhaseChanged(phase);
        if (phase == UploadPhase::Waiting) {
            deferral.reset();
        }
    }

private:
    std::optional<platform::InterruptDeferral> deferral;
};
} // namespace

void UpdateApp::ProducerTeardown() {
    if (producerManager == nullptr)
        return;
    producerManager->cameraMap.clear(); // its pointers die with the context
    producerManager->context.reset();   // the shutdown: devices, interfaces, system, library
    producerManager.reset();
}

void UpdateApp::CatalogueRelease() {
    if (firmwareCatalogue == nullptr)
        return;
    firmwareCatalogue->Clear();
    firmwareCatalogue.reset();
}

// A prompt met the end of input: nothing more can be chosen, so close what is open.
int32_t UpdateApp::EndOfInput() {
    ConsolePrint("%s", kEndOfInputMessage);
    CatalogueRelease();
    ProducerTeardown();
    return -1;
}

int32_t UpdateApp::Run() {
    producerManager = std::make_unique<ProducerManager>();
    switch (producerManager->Discover()) {
    case kSearchPathUndefined:
        ConsolePrint("LIB doesn't exist!\n");
        std::exit(-1);
    case kSearchPathNoMemory:
        ConsolePrint("Failed to allocate memory!\n");
        std::exit(-1);
    default:
        break;
    }
    producerManager->ListCtiFiles();
    if (producerManager->ctiFileMap.empty()) {
        // No answer could ever be valid at the producer prompt.
        ProducerTeardown();
        return -1;
    }

    selectedCti = -11;
    if (producerManager->ChooseCtiFile(selectedCti) < 0)
        return EndOfInput();
    ctiFilePath = producerManager->ctiFileMap[producerManager->selectedCti];

    ConsoleEnumerationReport enumerationReport;
    producerManager->OpenProducer(enumerationReport);
    if (producerManager->context == nullptr) {
        // The producer did not load; the console has said why.
        ProducerTeardown();
        return -1;
    }
    producerManager->MapCameras();
    if (producerManager->ListCameras() != 0) {
        ProducerTeardown();
        return -1;
    }

    selectedCamera = -11;
    if (producerManager->ChooseCamera(selectedCamera) < 0)
        return EndOfInput();
    producerManager->ShowSelectedCamera(selectedCamera, selectedCameraInfo);

    firmwareCatalogue = std::make_unique<FirmwareFile>();
    if (firmwareCatalogue->ScanFirmwareFiles(".", firmwareCount) != 0)
        std::perror("opendir() error");
    firmwareCatalogue->ListFirmwareFiles(firmwareCount);
    if (firmwareCount < 1) {
        CatalogueRelease();
        ProducerTeardown();
        return -1;
    }

    selectedFirmware = -1;
    firmwareMatches = false;
    if (firmwareCatalogue->ChooseFirmwareFile(firmwareCount, selectedFirmware) < 0)
        return EndOfInput();
    firmwareCatalogue->GetSelectedFile(selectedFirmware, firmwareFileName);

    // A camera that could not say what it is gets no image: the model test would pass any.
    if (selectedCameraInfo.modelUnreadable) {
        ConsolePrint("\ncamera model could not be read, program exits\n");
        ProducerTeardown();
        CatalogueRelease();
        return -1;
    }
    switch (CheckCompatibility(firmwareFileName, selectedCameraInfo.model)) {
    case Compatibility::ModelMismatch:
        firmwareMatches = false;
        ConsolePrint("\nfirmware does not match this camera, program exits\n");
        ProducerTeardown();
        CatalogueRelease();
        return -1;
    case Compatibility::Blocked:
        firmwareMatches = true;
        ConsolePrint("Firmware Update Not Supported\n");
        ProducerTeardown();
        CatalogueRelease();
        return -1;
    case Compatibility::Matches:
        firmwareMatches = true;
        break;
    }

    InterruptibleUpload uploadReport;
    UploadControl control;
    control.stopSending = [] { return platform::InterruptCount() > 0; };
    // The camera prompt only accepts mapped numbers.
    TQRemoteDevice* camera = producerManager->SelectedDevice();
    const UploadEnd end = camera
                              ? UploadFirmware(*camera, firmwareFileName, uploadReport, control).end
                              : UploadEnd::FileUnusable;
    CatalogueRelease();
    ProducerTeardown();
    if (end == UploadEnd::Interrupted)
        return kRunInterrupted;
    if (end != UploadEnd::Answered) {
        ConsolePrint("\nfirmware update failed, nothing was flashed\n");
        return -1;
    }
    ConsolePrint("\nNow you can safely powercycle the camera, to see the changes.\n");
    return 0;
}
