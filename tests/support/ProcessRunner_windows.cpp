#include "tests/support/ProcessRunner.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <thread>

namespace runner::os {
namespace {

// The runner speaks UTF-8, as the tool does; Windows takes UTF-16.
std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return wide;
}

// Windows environment names ignore case; one block of "name=value\0" entries ending in "\0".
std::wstring EnvironmentBlock(const ProcessSpec& spec) {
    std::vector<std::string> replaced = spec.unsetEnv;
    for (const auto& item : spec.setEnv)
        replaced.push_back(item.first);
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring text(entry), name = text.substr(0, text.find(L'=', 1));
        bool kept = true;
        for (const std::string& gone : replaced)
            kept = kept && _wcsicmp(Wide(gone).c_str(), name.c_str()) != 0;
        if (kept)
            block.append(text).push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : spec.setEnv)
        block.append(Wide(name + "=" + value)).push_back(L'\0');
    return block + L'\0';
}

// Quoting as the C runtime's argument parser expects it.
void AppendQuoted(std::string& line, const std::string& argument) {
    line.push_back('"');
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line.push_back(c);
    }
    line.append(backslashes * 2, '\\').push_back('"');
}

// The Ctrl-C this process sends its children comes back to it.
BOOL WINAPI Swallow(DWORD type) {
    return type == CTRL_C_EVENT;
}

HANDLE Native(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// A console control event reaches every process attached to the sender's console. Wine
// delivers only Ctrl-C (no Ctrl-Break), a new process group starts with Ctrl-C disabled, and
// a program started by wine without a terminal has a placeholder console that refuses events.
// So this process takes a console of its own, shared with nobody but its children. Its own
// standard handles stay where they were.
std::string OwnConsole() {
    static const std::string failure = [] {
        const DWORD kinds[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
        HANDLE handles[3] = {};
        for (int i = 0; i < 3; ++i)
            handles[i] = GetStdHandle(kinds[i]);
        FreeConsole();
        if (!AllocConsole())
            return "AllocConsole: error " + std::to_string(GetLastError());
        for (int i = 0; i < 3; ++i)
            SetStdHandle(kinds[i], handles[i]);
        SetConsoleCtrlHandler(Swallow, TRUE);
        return std::string();
    }();
    return failure;
}

} // namespace

bool Start(const ProcessSpec& spec, Child& child, std::string& error) {
    error = spec.interrupts.empty() ? "" : OwnConsole();
    std::string line;
    AppendQuoted(line, spec.program);
    for (const std::string& argument : spec.arguments)
        AppendQuoted(line.append(" "), argument);
    std::wstring wideLine = Wide(line), environment = EnvironmentBlock(spec);
    const std::wstring program = Wide(spec.program), folder = Wide(spec.workingDirectory);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    for (int attempt = 0;; ++attempt) {
        HANDLE theirs[3] = {}, ours[3] = {};
        bool ok = CreatePipe(&theirs[0], &ours[0], &inherit, 0) &&
                  CreatePipe(&ours[1], &theirs[1], &inherit, 0) &&
                  CreatePipe(&ours[2], &theirs[2], &inherit, 0);
        for (HANDLE own : ours) // only the child's ends are inherited
            ok = ok && SetHandleInformation(own, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = theirs[0];
        startup.hStdOutput = theirs[1];
        startup.hStdError = theirs[2];
        PROCESS_INFORMATION process{};
        ok = ok && CreateProcessW(program.c_str(), wideLine.data(), nullptr, nullptr, TRUE,
                                  CREATE_UNICODE_ENVIRONMENT, environment.data(),
                                  folder.empty() ? nullptr : folder.c_str(), &startup, &process);
        const DWORD code = ok ? 0 : GetLastError();
        for (int i = 0; i < 3; ++i) {
            CloseHandle(theirs[i]);
            if (!ok)
                CloseHandle(ours[i]);
        }
        if (ok) {
            CloseHandle(process.hThread);
            auto handle = [](HANDLE h) { return reinterpret_cast<Handle>(h); };
            child = {handle(process.hProcess), handle(ours[0]), handle(ours[1]), handle(ours[2])};
            return true;
        }
        // Now and then a wine without its preloader loses a new process before it starts:
        // address randomisation put its heap where the shared user data page must go, and
        // CreateProcess fails with ERROR_INTERNAL_ERROR. A second start works; a missing
        // program or folder stays missing.
        if (attempt == 1 || code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
            code == ERROR_DIRECTORY) {
            error = "CreateProcess " + spec.program +
                    (folder.empty() ? "" : " in " + spec.workingDirectory) + ": error " +
                    std::to_string(code);
            return false;
        }
        std::fprintf(stderr, "RunProcess: error %lu, trying once more\n", code);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

size_t Write(Handle end, const char* data, size_t size) {
    DWORD n = 0;
    return WriteFile(Native(end), data, static_cast<DWORD>(size), &n, nullptr) ? n : 0;
}

size_t Read(Handle end, char* buffer, size_t size) {
    DWORD n = 0;
    return ReadFile(Native(end), buffer, static_cast<DWORD>(size), &n, nullptr) ? n : 0;
}

void Close(Handle end) {
    CloseHandle(Native(end));
}

bool Ended(Child& child, unsigned waitMs) {
    if (WaitForSingleObject(Native(child.process), waitMs) == WAIT_TIMEOUT)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(Native(child.process), &code);
    CloseHandle(Native(child.process));
    child.status = static_cast<int>(code);
    return true;
}

bool Signal(const Child& child, bool kill) {
    return kill ? TerminateProcess(Native(child.process), 1)
                : GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
}

} // namespace runner::os

int runner::ExitStatusSeenForCode(int code) {
    return code;
}
