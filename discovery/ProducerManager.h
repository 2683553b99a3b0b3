#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gentl/GenTLContext.h"
#include "gentl/IdentityRecords.h"

// Finds the producers, keeps the operator's choices and reaches the cameras of the opened one.
class ProducerManager {
public:
    // Search path, producer-file scan and numbering from 0. Ends the process (-1) when
    // GENICAM_GENTL64_PATH is not defined.
    int32_t Discover();
    // Loads the chosen producer and enumerates it. 0, or -1 when the producer could not be
    // loaded (the console has said why; context stays null).
    int32_t OpenProducer();
    int32_t MapCameras();

    // Dialogues. A Choose... returns the chosen number, or -1 when input ended first.
    int32_t ListCtiFiles();
    int32_t ChooseCtiFile(int32_t& choice);
    int32_t ListCameras();
    int32_t ChooseCamera(int32_t& choice);
    int32_t ShowSelectedCamera(int32_t camera, RemoteDeviceInfo& info);

    // Uploads the file to the chosen camera and commits it. 0 when the update completed,
    // -1 otherwise.
    int32_t RunFirmwareUpdate(std::string fileName);

    // Appends the de-duplicated entries of GENICAM_GENTL64_PATH to paths.
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
