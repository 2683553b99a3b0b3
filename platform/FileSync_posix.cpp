#include "platform/FileSync.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace platform {

std::string SyncToDisk(std::FILE* file) {
    if (fsync(fileno(file)) == 0 || errno == EINVAL || errno == EROFS)
        return std::string(); // EINVAL, EROFS: a pipe, a device or the like: nothing to sync
    return std::strerror(errno);
}

} // namespace platform
