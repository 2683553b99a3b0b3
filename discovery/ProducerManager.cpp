#include "discovery/ProducerManager.h"

int32_t ProducerManager::Discover() {
    const int32_t read = ReadSearchPath(genTLPaths);
    if (read != 0)
        return read;
    return ScanCtiFiles(ctiFiles);
}
