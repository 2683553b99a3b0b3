#pragma once
#include <filesystem>
#include <fstream>
#include <string>

namespace fake {
// A fresh directory under the system's temporary folder, removed again afterwards.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name)
        : path(std::filesystem::temp_directory_path() / ("cxp_firmware_tests_" + name)) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string Write(const std::string& name, const std::string& content) const {
        std::ofstream(path / name, std::ios::binary) << content;
        return File(name);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }

    std::filesystem::path path;
};
} // namespace fake
