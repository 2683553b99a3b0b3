#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Inside the tool every text is UTF-8. On Linux names are bytes and pass as they are; on
// Windows every name crosses to the system as UTF-16 through these, never the ANSI code page.
namespace platform {
#ifdef _WIN32
// Invalid UTF-8 and lone surrogates become U+FFFD.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
// The absolute form of a path for the wide file and loader calls: "\\?\" ahead of one that is
// too long for the classic limit, so that the system does not cut it there.
std::wstring SystemPath(const std::wstring& path);
#endif

// The path of a UTF-8 name, and the UTF-8 name of a path.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);
// PathFromUtf8 for a call into the file system: on Windows through SystemPath.
std::filesystem::path FileSystemPath(const std::string& utf8);

// The arguments of the process in UTF-8 (on Windows from the wide command line), argv[0] first.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// std::fopen by a UTF-8 name; null with errno set when the file cannot be opened.
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);

// Writes UTF-8 text to standard output or standard error so that a Windows console shows it
// (wide console output there); a redirected stream gets the bytes as they are. No flush of a
// redirected stream. False when the write failed.
bool WriteConsoleText(std::FILE* stream, std::string_view utf8);
} // namespace platform
