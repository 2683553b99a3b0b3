#include "app/UpdateApp.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/ConsolePrint.h"
#include "app/ConsoleReports.h"
#include "app/Dialogues.h"
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

int32_t UpdateApp::Run() {
    FindProducers();
    std::optional<int32_t> end = ChooseProducer();
    if (!end)
        end = OpenProducer();
    if (!end)
        end = ChooseCamera();
    if (!end)
        end = ChooseFirmware();
    if (!end)
        end = CheckFirmwareFits();
    return end ? *end : Upload();
}

// Closes the producer, which closes its cameras; whatever comes after has nothing to release.
int32_t UpdateApp::Closed(int32_t result) {
    camera = nullptr;
    context.reset(); // the shutdown: devices, interfaces, system, library
    return result;
}

// A prompt met the end of input: nothing more can be chosen, so close what is open.
int32_t UpdateApp::EndOfInput() {
    ConsolePrint("%s", kEndOfInputMessage);
    return Closed(-1);
}

// Without a search path the run cannot even list producers: it ends at once, without the final
// wait for a key.
void UpdateApp::FindProducers() {
    switch (producers.Discover()) {
    case kSearchPathUndefined:
        ConsolePrint("LIB doesn't exist!\n");
        std::exit(-1);
    case kSearchPathNoMemory:
        ConsolePrint("Failed to allocate memory!\n");
        std::exit(-1);
    default:
        break;
    }
}

std::optional<int32_t> UpdateApp::ChooseProducer() {
    ListCtiFiles(producers.ctiFiles);
    if (producers.ctiFiles.empty())
        return -1; // no answer could ever be valid at the prompt
    const auto count = static_cast<int32_t>(producers.ctiFiles.size());
    int32_t chosen = 0;
    if (!ReadChoice("\nchoose a file >>>", count, chosen))
        return EndOfInput();
    ctiFilePath = producers.ctiFiles[chosen];
    return std::nullopt;
}

std::optional<int32_t> UpdateApp::OpenProducer() {
    ConsoleEnumerationReport report;
    context = ProducerManager::OpenProducer(ctiFilePath, report);
    if (context == nullptr)
        return -1; // the producer did not load; the console has said why
    if (!ListCameras(context->remoteDevices))
        return Closed(-1);
    return std::nullopt;
}

std::optional<int32_t> UpdateApp::ChooseCamera() {
    const auto count = static_cast<int32_t>(context->remoteDevices.size());
    int32_t chosen = 0;
    if (!ReadChoice("\nchoose a camera >>>", count, chosen))
        return EndOfInput();
    camera = context->remoteDevices[chosen].get();
    ShowSelectedCamera(*camera, cameraInfo);
    return std::nullopt;
}

std::optional<int32_t> UpdateApp::ChooseFirmware() {
    int32_t count = 0;
    if (catalogue.ScanFirmwareFiles(".", count) != 0)
        std::perror("opendir() error");
    ListFirmwareFiles(catalogue.firmwareFiles);
    if (count < 1)
        return Closed(-1);
    int32_t chosen = 0;
    if (!ReadChoice("\nchoose a file >>>", count, chosen))
        return EndOfInput();
    firmwareFileName = catalogue.firmwareFiles[chosen];
    ShowSelectedFirmware(firmwareFileName);
    return std::nullopt;
}

// The file must be meant for the chosen camera's model, and not one the camera may not take.
std::optional<int32_t> UpdateApp::CheckFirmwareFits() {
    // A camera that could not say what it is gets no image: the model test would pass any.
    if (cameraInfo.modelUnreadable) {
        ConsolePrint("\ncamera model could not be read, program exits\n");
        return Closed(-1);
    }
    switch (CheckCompatibility(firmwareFileName, cameraInfo.model)) {
    case Compatibility::ModelMismatch:
        ConsolePrint("\nfirmware does not match this camera, program exits\n");
        return Closed(-1);
    case Compatibility::Blocked:
        ConsolePrint("Firmware Update Not Supported\n");
        return Closed(-1);
    case Compatibility::Matches:
        break;
    }
    return std::nullopt;
}

int32_t UpdateApp::Upload() {
    InterruptibleUpload report;
    UploadControl control;
    control.stopSending = [] { return platform::InterruptCount() > 0; };
    const UploadEnd end = UploadFirmware(*camera, firmwareFileName, report, control).end;
    Closed(0); // the producer shuts down before the last words; the result follows from `end`
    if (end == UploadEnd::Interrupted)
        return kRunInterrupted;
    if (end != UploadEnd::Answered) {
        ConsolePrint("\nfirmware update failed, nothing was flashed\n");
        return -1;
    }
    ConsolePrint("\nNow you can safely powercycle the camera, to see the changes.\n");
    return 0;
}
