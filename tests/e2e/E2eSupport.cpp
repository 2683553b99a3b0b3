#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

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

// A Windows program's standard output is in text mode: every "\n" arrives as "\r\n". The
// tests compare the text the tool wrote, so the pairs become line ends again (a lone "\r",
// as in the progress line, stays).
std::string TextModeUndone(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
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
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 251 + 1);
    return bytes;
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
    return "status " + std::to_string(status) + (timedOut ? " (timed out)" : "") + " after " +
           std::to_string(seconds) + " s, " + std::to_string(interruptsSent) +
           " interrupt(s) sent" + (startError.empty() ? "" : "\nstart error: " + startError) +
           (errors.empty() ? "" : "\nstandard error: " + errors);
}

ToolRun RunIn(const std::string& workingDirectory, const std::string& input,
              const std::string& simConfig) {
    ToolRun run;
    run.workingDirectory = workingDirectory;
    run.input = input;
    run.simConfig = simConfig;
    return run;
}

ToolRun RunInScratch(const std::string& test, const std::string& file, const std::string& content,
                     const std::string& input, const std::string& simConfig) {
    ScratchDir dir(test);
    if (!file.empty())
        dir.Write(file, content);
    return RunIn(dir.Path(), input, simConfig);
}

ToolResult RunTool(const ToolRun& run) {
    const std::string working = NativePath(run.workingDirectory);
    // Everything the run leaves behind goes beside the working directory, not into it: the
    // tool lists the working directory as its firmware catalogue.
    const fs::path runDir = U(working).concat(".run");
    fs::remove_all(runDir);
    fs::create_directories(runDir / "record");

    runner::ProcessSpec spec;
    spec.program = ToolPath();
    spec.arguments = run.arguments;
    spec.standardInput = run.input;
    spec.workingDirectory = working;
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
        spec.setEnv["CXP_SIM_CONFIG"] = (runDir / "sim.ini").u8string();
        WriteFile(spec.setEnv["CXP_SIM_CONFIG"], run.simConfig);
    } else if (run.env.count("CXP_SIM_CONFIG") == 0) {
        spec.unsetEnv.push_back("CXP_SIM_CONFIG");
    }
    spec.interrupts = run.interrupts;
    spec.closeOutputOnOutput = run.closeOutputOnOutput;

    runner::ProcessResult process = runner::RunProcess(spec);
    if (!process.started)
        ADD_FAILURE() << "the tool could not be started: " << process.startError;
    ToolResult result;
    result.console = TextModeUndone(process.standardOutput);
    result.consoleChunks = process.outputChunks;
    result.errors = TextModeUndone(process.standardError);
    result.status = process.exitStatus;
    result.timedOut = process.timedOut;
    result.startError = process.startError;
    result.seconds = process.endSeconds;
    result.interruptsSent = process.interruptsSent;
    result.trace = ReadFile(tracePath);
    result.traceLines = SplitLines(result.trace);
    result.workingDirectory = working;
    result.recordDir = (runDir / "record").u8string();
    result.traffic = ReadFile((runDir / "record" / "traffic.log").u8string());
    result.trafficLines = SplitLines(result.traffic);
    return result;
}

int StatusFor(int code) {
    return runner::ExitStatusSeenForCode(code);
}

std::vector<Json> JsonLines(const std::string& text) {
    std::vector<Json> values;
    for (const std::string& line : SplitLines(text)) {
        values.push_back(Json::parse(line, nullptr, false));
        if (values.back().is_discarded())
            ADD_FAILURE() << "not JSON: " << line;
    }
    return values;
}

std::vector<Json> Events(const std::vector<Json>& events, const std::string& kind) {
    std::vector<Json> found;
    for (const Json& event : events)
        if (event.value("event", "") == kind)
            found.push_back(event);
    return found;
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
