#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace e2e {

namespace {
// Names are UTF-8 on every system (narrow paths would take the ANSI code page on Windows).
fs::path U(const std::string& name) {
    return fs::u8path(name);
}
} // namespace

std::string NativePath(const std::string& path) {
    return fs::absolute(U(path)).make_preferred().u8string();
}

std::string ToolPath() {
    return NativePath(CXP_TOOL_PATH);
}
std::string SimPath() {
    return NativePath(CXP_SIM_PATH);
}
std::string SimDirectory() {
    return U(SimPath()).parent_path().u8string();
}
std::string LackingSimDirectory() {
    return U(NativePath(CXP_SIM_LACKING_PATH)).parent_path().u8string();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(U(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(U(path), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

ScratchDir::ScratchDir(const std::string& name) {
    fs::path dir = fs::current_path() / "e2e-scratch" / U(name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    path = NativePath(dir.u8string());
}

std::string ScratchDir::File(const std::string& name) const {
    return (U(path) / U(name)).u8string();
}

void ScratchDir::Write(const std::string& name, const std::string& content) const {
    WriteFile(File(name), content);
}

std::string ScratchDir::MakeSubdir(const std::string& name) const {
    fs::create_directories(U(File(name)));
    return File(name);
}

std::string ToolResult::Record(const std::string& name) const {
    return ReadFile((U(recordDir) / name).u8string());
}

std::string ToolResult::Diagnostics() const {
    char head[160];
    std::snprintf(head, sizeof head, "status %d%s after %.3f s, %u interrupt(s) sent", status,
                  timedOut ? " (timed out)" : "", seconds, interruptsSent);
    std::string text = head;
    for (const auto& [label, value] : {std::pair{"start error", &startError},
                                       {"interrupt error", &interruptError},
                                       {"standard error", &errors}})
        if (!value->empty())
            text += std::string("\n") + label + ": " + *value;
    return text;
}

namespace {
// A Windows program's standard output is in text mode: every "\n" arrives as "\r\n". The
// tests compare the text the tool wrote, so the pairs become line ends again (a lone "\r",
// as in the progress line, stays).
std::string TextModeUndone(const std::string& text) {
    std::string plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        plain.push_back(text[i]);
    }
    return plain;
}
} // namespace

ToolRun RunIn(const std::string& workingDirectory, const std::string& input,
              const std::string& simConfig) {
    ToolRun run;
    run.workingDirectory = workingDirectory;
    run.input = input;
    run.simConfig = simConfig;
    return run;
}

ToolResult RunTool(const ToolRun& run) {
    std::string working = run.workingDirectory;
    if (working.empty())
        working = ScratchDir("unnamed").Path();
    // Everything the run leaves behind goes beside the working directory, not into it: the
    // tool lists the working directory as its firmware catalogue.
    fs::path runDir = U(NativePath(working)).concat(".run");
    fs::remove_all(runDir);
    fs::create_directories(runDir / "record");

    runner::ProcessSpec spec;
    spec.program = ToolPath();
    spec.arguments = run.arguments;
    spec.standardInput = run.input;
    spec.workingDirectory = NativePath(working);
    spec.timeoutSeconds = run.timeoutSeconds;
    spec.addressSpaceLimit = run.addressSpaceLimit;
    spec.setEnv = run.env;
    if (run.genTLPathSet)
        spec.setEnv["GENICAM_GENTL64_PATH"] =
            run.genTLPath.empty() ? SimDirectory() : run.genTLPath;
    else
        spec.unsetEnv.push_back("GENICAM_GENTL64_PATH");
    const std::string tracePath = (runDir / "trace.log").u8string();
    spec.setEnv["CXP_FWUPDATE_TRACE"] = tracePath;
    spec.setEnv["CXP_SIM_RECORD_DIR"] = (runDir / "record").u8string();
    if (!run.simConfig.empty()) {
        const std::string configPath = (runDir / "sim.ini").u8string();
        WriteFile(configPath, run.simConfig);
        spec.setEnv["CXP_SIM_CONFIG"] = configPath;
    } else if (run.env.count("CXP_SIM_CONFIG") == 0) {
        spec.unsetEnv.push_back("CXP_SIM_CONFIG");
    }

    spec.interruptOnOutput = run.interruptOnOutput;
    spec.interrupts = run.interrupts;
    spec.secondInterruptOnOutput = run.secondInterruptOnOutput;
    spec.secondInterruptDelayMs = run.secondInterruptDelayMs;
    spec.interruptAfterMs = run.interruptAfterMs;
    spec.closeOutputOnOutput = run.closeOutputOnOutput;

    runner::ProcessResult process = runner::RunProcess(spec);
    if (!process.started)
        ADD_FAILURE() << "the tool could not be started: " << process.startError;
    ToolResult result;
    result.console = TextModeUndone(process.standardOutput);
    result.consoleChunks = process.outputChunks;
    for (size_t i = 0; i < result.consoleChunks.size(); ++i) {
        // A line end split between two reads.
        std::string& bytes = result.consoleChunks[i].bytes;
        if (i + 1 < result.consoleChunks.size() && !bytes.empty() && bytes.back() == '\r' &&
            result.consoleChunks[i + 1].bytes.rfind('\n', 0) == 0)
            bytes.pop_back();
        bytes = TextModeUndone(bytes);
    }
    result.errors = TextModeUndone(process.standardError);
    result.status = process.exitStatus;
    result.timedOut = process.timedOut;
    result.startError = process.startError;
    result.seconds = process.endSeconds;
    result.interruptsSent = process.interruptsSent;
    result.interruptError = process.interruptError;
    result.trace = ReadFile(tracePath);
    result.traceLines = SplitLines(result.trace);
    result.recordDir = (runDir / "record").u8string();
    result.traffic = ReadFile((runDir / "record" / "traffic.log").u8string());
    result.trafficLines = SplitLines(result.traffic);
    return result;
}

int StatusFor(int code) {
    return runner::ExitStatusSeenForCode(code);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::vector<std::string> UpdateTraffic(const ToolResult& r, const std::string& camera) {
    std::vector<std::string> lines;
    for (const std::string& line : r.trafficLines) {
        std::istringstream fields(line);
        std::string name, kind, address;
        fields >> name >> kind >> address;
        if (name == camera && std::stoull(address, nullptr, 16) >= 0xAB00)
            lines.push_back(line.substr(name.size() + 1));
    }
    return lines;
}

} // namespace e2e
