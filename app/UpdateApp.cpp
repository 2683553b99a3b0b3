#include "app/UpdateApp.h"

#include "app/Compatibility.h"
#include "app/ConsolePrint.h"
#include "app/ReadChoice.h"

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
    producerManager->Discover();
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

    producerManager->OpenProducer();
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
    firmwareCatalogue->ScanFirmwareFiles(".", firmwareCount);
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

    const bool completed = producerManager->RunFirmwareUpdate(firmwareFileName) == 0;
    CatalogueRelease();
    ProducerTeardown();
    if (!completed) {
        ConsolePrint("\nfirmware update failed, nothing was flashed\n");
        return -1;
    }
    ConsolePrint("\nNow you can safely powercycle the camera, to see the changes.\n");
    return 0;
}
