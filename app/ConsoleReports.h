#pragma once
#include "firmware/UploadProtocol.h"
#include "gentl/EnumerationReport.h"

// The interactive run's console texts for what opening the producer reports.
class ConsoleEnumerationReport : public EnumerationReport {
public:
    void ProducerNotLoaded(const std::string& message) override;
    void NoInterfaceFound() override;
    void DeviceNotOpened(const std::string& deviceId) override;
};

// The interactive run's console texts for an upload.
class ConsoleUploadReport : public UploadReport {
public:
    void OpeningFile(const std::string& fileName) override;
    void ImageUnusable(ImageLoad problem) override;
    void ImageReady(const LoadedImage& image) override;
    void PhaseChanged(UploadPhase phase) override;
    void SecondarySelected() override;
    void SecondaryRefused() override;
    void Progress(uint32_t sent, uint32_t total) override;
    void WriteFailed(uint64_t address) override;
    void Interrupted() override;

private:
    bool progressLineOpen = false; // a "remaining" line without its line end is on screen
};
