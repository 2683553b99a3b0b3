#include "tests/support/ProcessRunner.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <thread>

#include "tests/support/ProcessRunnerSchedule.h"

namespace runner {
namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The runner speaks UTF-8, as the tool does; Windows takes UTF-16. Lengths are explicit, so an
// environment block's inner zeros pass.
std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length) {
    std::string narrow(length * 3, '\0');
    int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(),
                                static_cast<int>(narrow.size()), nullptr, nullptr);
    narrow.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return narrow;
}

// Windows environment names ignore case; one block of "name=value\0" entries ending in "\0".
std::string BuildEnvironmentBlock(const ProcessSpec& spec) {
    std::string block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; entry != nullptr && *entry != L'\0';
         entry += std::wcslen(entry) + 1) {
        std::string text = Narrow(entry, std::wcslen(entry));
        std::string name = text.substr(0, text.find('=', 1));
        bool replaced = false;
        for (const auto& item : spec.setEnv)
            replaced = replaced || SameName(item.first, name);
        for (const std::string& gone : spec.unsetEnv)
            replaced = replaced || SameName(gone, name);
        if (!replaced)
            block.append(text).push_back('\0');
    }
    if (strings != nullptr)
        FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : spec.setEnv)
        block.append(name).append("=").append(value).push_back('\0');
    block.push_back('\0');
    return block;
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
        if (c == '"')
            line.append(backslashes * 2 + 1, '\\');
        else
            line.append(backslashes, '\\');
        backslashes = 0;
        line.push_back(c);
    }
    line.append(backslashes * 2, '\\');
    line.push_back('"');
}

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = text != nullptr ? std::string(text, length) : "";
    LocalFree(text);
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back())))
        message.pop_back();
    return "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

// The Ctrl-C events this process sent that have still to come back to it.
volatile LONG ownInterrupts = 0;

BOOL WINAPI SwallowOwnInterrupt(DWORD type) {
    if (type != CTRL_C_EVENT)
        return FALSE;
    if (InterlockedDecrement(&ownInterrupts) >= 0)
        return TRUE;
    InterlockedIncrement(&ownInterrupts);
    return FALSE;
}

// A console control event reaches every process attached to the sender's console. Wine
// delivers only Ctrl-C (no Ctrl-Break), a new process group starts with Ctrl-C disabled, and
// a program started by wine without a terminal has a placeholder console that refuses events.
// So this process takes a console of its own, shared with nobody but its children, and
// swallows the Ctrl-C that comes back to it. Children started later share it too.
std::string OwnConsole() {
    static const std::string failure = [] {
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        FreeConsole();
        if (!AllocConsole())
            return "AllocConsole: " + SystemMessage(GetLastError());
        // The tests' own output keeps going where it went.
        SetStdHandle(STD_INPUT_HANDLE, in);
        SetStdHandle(STD_OUTPUT_HANDLE, out);
        SetStdHandle(STD_ERROR_HANDLE, err);
        // Hidden where it has a window; looked up so that nothing else pays for user32.
        HWND window = GetConsoleWindow();
        auto show = reinterpret_cast<BOOL(WINAPI*)(HWND, int)>(reinterpret_cast<void*>(
            window != nullptr ? GetProcAddress(LoadLibraryA("user32.dll"), "ShowWindow")
                              : nullptr));
        if (show != nullptr)
            show(window, SW_HIDE);
        SetConsoleCtrlHandler(SwallowOwnInterrupt, TRUE);
        return std::string();
    }();
    return failure;
}

struct Child {
    PROCESS_INFORMATION process{};
    HANDLE inWrite = nullptr, outRead = nullptr, errRead = nullptr;
};

// One attempt; on failure nothing stays open, `error` names the step and the system's error
// code is returned.
DWORD Start(const ProcessSpec& spec, std::string commandLine, std::string environment, Child& child,
            std::string& error) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead = nullptr, outWrite = nullptr, errWrite = nullptr;
    DWORD code = 0;
    if (!CreatePipe(&inRead, &child.inWrite, &inherit, 0) ||
        !CreatePipe(&child.outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&child.errRead, &errWrite, &inherit, 0)) {
        code = GetLastError();
        error = "CreatePipe: " + SystemMessage(code);
    } else if (!SetHandleInformation(child.inWrite, HANDLE_FLAG_INHERIT, 0) ||
               !SetHandleInformation(child.outRead, HANDLE_FLAG_INHERIT, 0) ||
               !SetHandleInformation(child.errRead, HANDLE_FLAG_INHERIT, 0)) {
        // Only the child's ends are inherited.
        code = GetLastError();
        error = "SetHandleInformation: " + SystemMessage(code);
    } else {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = inRead;
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
        std::wstring program = Wide(spec.program), line = Wide(commandLine);
        std::wstring block = Wide(environment), folder = Wide(spec.workingDirectory);
        const wchar_t* directory = folder.empty() ? nullptr : folder.c_str();
        if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                            CREATE_UNICODE_ENVIRONMENT, block.data(), directory, &startup,
                            &child.process)) {
            code = GetLastError();
            error = "CreateProcess " + spec.program +
                    (directory != nullptr ? " in " + spec.workingDirectory : "") + ": " +
                    SystemMessage(code);
        }
    }
    for (HANDLE handle : {inRead, outWrite, errWrite})
        if (handle != nullptr)
            CloseHandle(handle);
    if (error.empty())
        return 0;
    for (HANDLE handle : {child.inWrite, child.outRead, child.errRead})
        if (handle != nullptr)
            CloseHandle(handle);
    child = Child{};
    return code != 0 ? code : ERROR_GEN_FAILURE;
}

} // namespace

ProcessResult RunProcess(const ProcessSpec& spec) {
    ProcessResult result;
    if (InterruptSchedule(spec).Pending())
        result.interruptError = OwnConsole();

    std::string commandLine;
    AppendQuoted(commandLine, spec.program);
    for (const std::string& argument : spec.arguments) {
        commandLine.push_back(' ');
        AppendQuoted(commandLine, argument);
    }
    const std::string environment = BuildEnvironmentBlock(spec);

    auto start = std::chrono::steady_clock::now();
    auto since = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    Child child;
    DWORD code = Start(spec, commandLine, environment, child, result.startError);
    // Now and then a wine without its preloader loses a new process before it starts: address
    // randomisation put its heap where the shared user data page must go, and CreateProcess
    // fails with ERROR_INTERNAL_ERROR. A second start works; a missing program or folder stays
    // missing.
    if (code != 0 && code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND &&
        code != ERROR_DIRECTORY) {
        std::fprintf(stderr, "RunProcess: %s; trying once more\n", result.startError.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::string again;
        start = std::chrono::steady_clock::now();
        code = Start(spec, commandLine, environment, child, again);
        if (code != 0)
            result.startError += "; again: " + again;
    }
    if (code != 0)
        return result;
    result.started = true;

    std::thread feeder([&] {
        size_t written = 0;
        while (written < spec.standardInput.size()) {
            DWORD n = 0;
            DWORD chunk = static_cast<DWORD>(spec.standardInput.size() - written);
            if (!WriteFile(child.inWrite, spec.standardInput.data() + written, chunk, &n, nullptr))
                break;
            written += n;
        }
        CloseHandle(child.inWrite);
    });
    std::mutex outputLock;
    bool outClosed = false;
    auto drain = [&](HANDLE pipe, bool isOut) {
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            const std::string bytes(buffer, got);
            std::lock_guard<std::mutex> hold(outputLock);
            (isOut ? result.standardOutput : result.standardError) += bytes;
            if (isOut)
                result.outputChunks.push_back(OutputChunk{since(), bytes});
            if (isOut && !spec.closeOutputOnOutput.empty() &&
                result.standardOutput.find(spec.closeOutputOnOutput) != std::string::npos) {
                CloseHandle(pipe);
                outClosed = true;
                return;
            }
        }
    };
    std::thread outReader(drain, child.outRead, true);
    std::thread errReader(drain, child.errRead, false);

    InterruptSchedule interrupts(spec);
    const HANDLE process = child.process.hProcess;
    const auto deadline = start + std::chrono::seconds(spec.timeoutSeconds);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            result.timedOut = true;
            TerminateProcess(process, 1);
            WaitForSingleObject(process, INFINITE);
            break;
        }
        // Interrupts wait on the output the readers collect: look again every 10 ms.
        DWORD wait =
            static_cast<DWORD>(interrupts.Pending() ? std::min<long long>(left, 10) : left);
        DWORD waited = WaitForSingleObject(process, wait);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_FAILED)
            break;
        std::lock_guard<std::mutex> hold(outputLock);
        if (!interrupts.Due(result.standardOutput, since()))
            continue;
        interrupts.Sent(since());
        if (!result.interruptError.empty())
            continue; // no console to send it through
        InterlockedIncrement(&ownInterrupts);
        if (GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
            ++result.interruptsSent;
        } else {
            InterlockedDecrement(&ownInterrupts);
            result.interruptError = "GenerateConsoleCtrlEvent: " + SystemMessage(GetLastError());
        }
    }
    result.endSeconds = since();
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    result.exitStatus = static_cast<int>(exitCode);
    feeder.join();
    outReader.join();
    errReader.join();
    if (!outClosed)
        CloseHandle(child.outRead);
    CloseHandle(child.errRead);
    CloseHandle(child.process.hThread);
    CloseHandle(process);
    return result;
}

int ExitStatusSeenForCode(int code) {
    return code;
}

} // namespace runner
