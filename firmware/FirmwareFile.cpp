#include "firmware/FirmwareFile.h"

#include <algorithm>
#include <cerrno>

#include "gentl/DebugTrace.h"
#include "gentl/Listed.h"
#include "platform/DirectoryReader.h"

int32_t FirmwareFile::ScanFirmwareFiles(std::string directory, int32_t& count) {
    count = 0;
    DirectoryStream* stream = DirectoryReader::opendir(directory.c_str());
    if (!stream) {
        // The caller reports the failure from errno, which the trace must not disturb.
        const int error = errno;
        DebugTrace("opendir() error");
        errno = error;
        return -1;
    }
    while (DirectoryEntry* entry = DirectoryReader::readdir(stream)) {
        // The reader always terminates the name; the bound only guards a faulty entry.
        const char* begin = entry->name;
        std::string name(begin, std::find(begin, begin + sizeof entry->name, '\0'));
        if (name.find(".bin") == std::string::npos) {
            continue;
        }
        DebugTrace("FirmwareFile: %s", name.c_str());
        auto same = [&name](const std::string& file) { return file == name; };
        if (ListedAlready(firmwareFiles, same, "FirmwareFile Existed")) {
            continue;
        }
        firmwareFiles.push_back(name);
        ++count;
    }
    DirectoryReader::closedir(stream);
    return 0;
}
