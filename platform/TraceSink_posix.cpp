#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include "platform/TraceSinkSystem.h"

namespace platform::trace {
namespace {
void WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written <= 0) {
            return;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

// The descriptor rides in the handle, plus one so that descriptor 0 is not null.
int Descriptor(FileHandle file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1);
}
} // namespace

FileHandle OpenFile(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1);
}

void WriteFile(FileHandle file, const char* data, size_t size) {
    WriteAll(Descriptor(file), data, size);
}

void CloseFile(FileHandle file) {
    ::close(Descriptor(file));
}

void WriteStandardError(const char* data, size_t size) {
    std::fflush(stderr);
    WriteAll(STDERR_FILENO, data, size);
}

void OpenSystemLog() {
    openlog("cxp-fwupdate", LOG_PID | LOG_NDELAY, LOG_USER);
}

void WriteSystemLog(const char* message) {
    syslog(LOG_DEBUG, "%s", message);
}

void CloseSystemLog() {
    closelog();
}
} // namespace platform::trace
