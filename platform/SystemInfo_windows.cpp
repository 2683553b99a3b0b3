#include "platform/SystemInfo.h"

#include <ctime>
#include <windows.h>

#include "platform/Utf8.h"

namespace platform {
std::string HostName() {
    wchar_t name[256] = {};
    DWORD size = 256;
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size))
        return std::string();
    return Narrow(std::wstring(name, size));
}

std::string UtcTimestamp(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    char text[32] = {};
    if (gmtime_s(&parts, &seconds) != 0 ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0)
        return std::string();
    return text;
}
} // namespace platform
