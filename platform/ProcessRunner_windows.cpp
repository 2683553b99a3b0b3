#include "platform/ProcessRunner.h"

#include <windows.h>

#include <cctype>
#include <cstring>
#include <thread>

namespace platform {
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

// Windows environment names ignore case; one block of "name=value\0" entries ending in "\0".
std::string BuildEnvironmentBlock(const ProcessSpec& spec) {
    std::string block;
    char* strings = GetEnvironmentStringsA();
    for (const char* entry = strings; entry != nullptr && *entry != '\0';
         entry += std::strlen(entry) + 1) {
        std::string text(entry);
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
        FreeEnvironmentStringsA(strings);
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

void Drain(HANDLE pipe, std::string& sink) {
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        sink.append(buffer, got);
}

} // namespace

ProcessResult RunProcess(const ProcessSpec& spec) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0) ||
        !CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        result.standardError = "CreatePipe failed";
        return result;
    }
    // Only the child's ends are inherited.
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    std::string commandLine;
    AppendQuoted(commandLine, spec.program);
    for (const std::string& argument : spec.arguments) {
        commandLine.push_back(' ');
        AppendQuoted(commandLine, argument);
    }
    std::string environment = BuildEnvironmentBlock(spec);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessA(
        spec.program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, environment.data(),
        spec.workingDirectory.empty() ? nullptr : spec.workingDirectory.c_str(), &startup,
        &process);
    DWORD startError = GetLastError();
    CloseHandle(inRead);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!started) {
        CloseHandle(inWrite);
        CloseHandle(outRead);
        CloseHandle(errRead);
        result.standardError = "CreateProcess failed: " + std::to_string(startError);
        return result;
    }

    std::thread feeder([&] {
        size_t written = 0;
        while (written < spec.standardInput.size()) {
            DWORD n = 0;
            DWORD chunk = static_cast<DWORD>(spec.standardInput.size() - written);
            if (!WriteFile(inWrite, spec.standardInput.data() + written, chunk, &n, nullptr))
                break;
            written += n;
        }
        CloseHandle(inWrite);
    });
    std::thread outReader(Drain, outRead, std::ref(result.standardOutput));
    std::thread errReader(Drain, errRead, std::ref(result.standardError));

    DWORD waited = WaitForSingleObject(process.hProcess, spec.timeoutSeconds * 1000u);
    if (waited != WAIT_OBJECT_0) {
        result.timedOut = true;
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitStatus = static_cast<int>(code);
    feeder.join();
    outReader.join();
    errReader.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

int ExitStatusSeenForCode(int code) {
    return code;
}

} // namespace platform
