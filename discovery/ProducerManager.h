#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gentl/EnumerationReport.h"
#include "gentl/GenTLContext.h"
#include "gentl/IdentityRecords.h"

// Results of reading GENICAM_GENTL64_PATH (0: read).
constexpr int32_t kSearchPathUndefined = -1;
constexpr int32_t kSearchPathNoMemory = -2;

// Finds the producers, keeps the operator's choices and reaches the cameras of the opened one.
class ProducerManager {
public:
    // Search path, producer-file scan and numbering from 0. A search-path result other than
    // 0 (kSearchPathUndefined, kSearchPathNoMemory) means nothing was scanned.
    int32_t Discover();
    // Loads the chosen producer and enumerates it. 0, or -1 when the producer could not be
    // loaded (reported; context stays null).
    int32_t OpenProducer(EnumerationReport& report);
    int32_t MapCameras();

    // Dialogues. A Choose... returns the chosen number, or -1 when input ended first.
    int32_t ListCtiFiles();
    int32_t ChooseCtiFile(int32_t& choice);
    int32_t ListCameras();
    int32_t ChooseCamera(int32_t& choice);
    int32_t ShowSelectedCamera(int32_t camera, RemoteDeviceInfo& info);

    // The chosen camera; null when the choice is not mapped.
    TQRemoteDevice* SelectedDevice() const;

    // Appends the de-duplicated entries of GENICAM_GENTL64_PATH to paths. 0, or
    // kSearchPathUndefined / kSearchPathNoMemory.
    int32_t ReadSearchPath(std::vector<std::string>& paths);
    // Appends the full paths of the producer files in the genTLPaths directories.
    int32_t ScanCtiFiles(std::vector<std::string>& files);

    int32_t selectedCamera = 0;
    std::map<int32_t, TQRemoteDevice*> cameraMap; // not owning: the context owns the cameras
    std::unique_ptr<GenTLContext> context;        // released by the run's producer teardown
    int32_t selectedCti = 0;
    std::map<int32_t, std::string> ctiFileMap;
    std::vector<std::string> ctiFiles;
    std::vector<std::string> genTLPaths;
};

// The splitting behind ReadSearchPath: entries of `value` at the platform's path-list
// separator, each traced, repeated ones dropped.
void SplitSearchPath(const std::string& value, std::vector<std::string>& paths);
