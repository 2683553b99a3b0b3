#include "platform/Utf8.h"

#include <algorithm>
#include <cwchar>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

namespace platform {
std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty())
        return std::string();
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::wstring SystemPath(const std::wstring& path) {
    if (path.empty() || path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0)
        return path;
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.assign(length, L'\0'); // the size with the terminator
    }
    // A folder may hold no more than MAX_PATH - 12 characters (room for an 8.3 name).
    if (full.size() < MAX_PATH - 12)
        return full;
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(Widen(utf8));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return Narrow(path.native());
}

std::filesystem::path FileSystemPath(const std::string& utf8) {
    return std::filesystem::path(SystemPath(Widen(utf8)));
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc); // the runtime's code-page reading
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return _wfopen(SystemPath(Widen(utf8Path)).c_str(), Widen(mode).c_str());
}

namespace {
// The console behind a stream, or null when it goes to a file or a pipe.
HANDLE ConsoleOf(std::FILE* stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}
} // namespace

bool WriteConsoleText(std::FILE* stream, std::string_view utf8) {
    // Asking the system costs a round trip, too much for every progress line of an upload;
    // where standard output and standard error go does not change while the tool runs.
    static const HANDLE out = ConsoleOf(stdout), err = ConsoleOf(stderr);
    const HANDLE handle = stream == stdout ? out : stream == stderr ? err : ConsoleOf(stream);
    if (handle == nullptr)
        return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
    // The console takes the text as UTF-16 whatever its code page; what the runtime still
    // holds goes first.
    if (std::fflush(stream) != 0)
        return false;
    const std::wstring wide = Widen(std::string(utf8));
    for (size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 16384));
        if (!WriteConsoleW(handle, wide.data() + done, piece, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}
} // namespace platform
