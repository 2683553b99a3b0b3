#pragma once
// Path spelling of the platform the tool runs on.
namespace platform {
#ifdef _WIN32
constexpr char kPathListSeparator = ';'; // between entries of a search-path variable
constexpr char kDirSeparator = '\\';     // between a directory and a file name
#else
constexpr char kPathListSeparator = ':';
constexpr char kDirSeparator = '/';
#endif
} // namespace platform
