#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gentl/EnumerationReport.h"
#include "gentl/GenTLContext.h"

// Results of reading GENICAM_GENTL64_PATH (0: read).
constexpr int32_t kSearchPathUndefined = -1;
constexpr int32_t kSearchPathNoMemory = -2;

// Finds the producer files on the search path and loads one of them.
class ProducerManager {
public:
    // Search path, then the producer-file scan into ctiFiles. A search-path result other than 0
    // (kSearchPathUndefined, kSearchPathNoMemory) means nothing was scanned.
    int32_t Discover();
    // Loads the producer at `path` and enumerates its cameras. Null when the producer could not
    // be loaded (reported); destroying the context is the producer's shutdown.
    static std::unique_ptr<GenTLContext> OpenProducer(const std::string& path,
                                                      EnumerationReport& report);

    // Appends the de-duplicated entries of GENICAM_GENTL64_PATH to paths. 0, or
    // kSearchPathUndefined / kSearchPathNoMemory.
    int32_t ReadSearchPath(std::vector<std::string>& paths);
    // Appends the full paths of the producer files in the genTLPaths directories.
    int32_t ScanCtiFiles(std::vector<std::string>& files);

    std::vector<std::string> ctiFiles; // in scan order; a producer's number is its place
    std::vector<std::string> genTLPaths;
};

// The splitting behind ReadSearchPath: entries of `value` at the platform's path-list
// separator, each traced, repeated ones dropped.
void SplitSearchPath(const std::string& value, std::vector<std::string>& paths);
