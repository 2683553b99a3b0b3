#include "discovery/ProducerManager.h"
#include "gentl/DebugTrace.h"
#include "gentl/Listed.h"
#include "platform/DirectoryReader.h"
#include "platform/PathRules.h"

int32_t ProducerManager::ScanCtiFiles(std::vector<std::string>& files) {
    for (const std::string& entry : genTLPaths) {
        std::string directory = entry;
        if (!directory.empty() && directory.back() == platform::kDirSeparator)
            directory.pop_back(); // only one: a doubled separator keeps the other
        if (directory.empty())
            continue;
        DirectoryStream* stream = DirectoryReader::opendir(directory.c_str());
        if (stream == nullptr)
            continue; // a missing or unreadable folder contributes nothing
        while (const DirectoryEntry* found = DirectoryReader::readdir(stream)) {
            const std::string name(found->name, found->nameLength);
            if (name.find(".cti") == std::string::npos)
                continue;
            const std::string path = directory + platform::kDirSeparator + name;
            DebugTrace("CTIFilename: %s", path.c_str());
            auto same = [&path](const std::string& file) { return file == path; };
            if (!ListedAlready(files, same, "CTI FileName Existed"))
                files.push_back(path);
        }
        DirectoryReader::closedir(stream);
    }
    return 0;
}
