#include "app/cli/Text.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/Version.h"
#include "platform/Utf8.h"

namespace cli {

std::string ToolVersion() {
    return std::to_string(kVersion[0]) + "." + std::to_string(kVersion[1]) + "." +
           std::to_string(kVersion[2]) + "." + std::to_string(kVersion[3]);
}

std::string Printable(const std::string& text) {
    std::string printable = text;
    for (char& c : printable) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = '?';
    }
    return printable;
}

std::string BaseName(const std::string& path) {
    return platform::Utf8FromPath(platform::PathFromUtf8(path).filename());
}

std::string Hex32(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    return text;
}

std::string Rate(double bytesPerSecond) {
    char text[32];
    if (bytesPerSecond >= 1024.0 * 1024.0)
        std::snprintf(text, sizeof text, "%.1f MiB/s", bytesPerSecond / (1024.0 * 1024.0));
    else
        std::snprintf(text, sizeof text, "%.0f KiB/s", bytesPerSecond / 1024.0);
    return text;
}

std::string Clock(double seconds) {
    const long total = seconds > 0 ? std::lround(seconds) : 0;
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

double Rounded(double seconds) {
    return std::round(seconds * 1000.0) / 1000.0;
}

} // namespace cli
