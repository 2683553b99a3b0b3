#pragma once
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/ProcessRunner.h"

// Runs the built tool as a separate process against the simulated producer, in a scratch
// working directory, and collects everything it left behind.
namespace e2e {

// Absolute, in the platform's own spelling (a drive path under wine).
std::string NativePath(const std::string& path);
std::string ToolPath();            // the built cxp-fwupdate
std::string SimPath();             // the built cxp-sim.cti
std::string SimDirectory();        // the folder that holds it (and nothing else of ours)
std::string LackingSimDirectory(); // the folder of cxp-sim-lacking.cti (no DevClose export)

std::string ReadFile(const std::string& path); // whole file, "" when missing
void WriteFile(const std::string& path, const std::string& content);
std::vector<std::string> SplitLines(const std::string& text); // at "\n", no empty last line
std::string Pattern(size_t size); // bytes 1 to 251 over and over: no two chunks alike

// A fresh, empty directory for one test, under the build tree; removed and re-made on creation.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name);
    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const; // Path() + separator + name
    void Write(const std::string& name, const std::string& content) const;
    std::string MakeSubdir(const std::string& name) const; // returns its path

private:
    std::string path;
};

struct ToolRun {
    std::vector<std::string> arguments;     // after the program name
    std::string input;                      // standard input, then closed
    std::string workingDirectory;           // where the tool runs (firmware files live here)
    bool genTLPathSet = true;               // false: GENICAM_GENTL64_PATH removed
    std::string genTLPath;                  // default (empty and set): SimDirectory()
    std::string simConfig;                  // text of a simulator configuration, or ""
    std::map<std::string, std::string> env; // anything else
    unsigned timeoutSeconds = 120;
    unsigned long long addressSpaceLimit = 0;  // bytes; POSIX only (runner::ProcessSpec)
    std::vector<runner::Interrupt> interrupts; // as a user's Ctrl-C (texts in the raw output)
    std::string closeOutputOnOutput;           // then standard output is a closed pipe
};

struct ToolResult {
    std::string console; // standard output
    // The raw standard output ("\r\n" line ends on Windows) by arrival: runner::FirstArrival
    // finds when a text without line ends arrived.
    std::vector<runner::OutputChunk> consoleChunks;
    std::string errors; // standard error
    std::string trace;  // the CXP_FWUPDATE_TRACE file
    std::vector<std::string> traceLines;
    int status = -1000; // exit status as the parent sees it
    bool timedOut = false;
    std::string startError; // why the tool could not be started (see runner::ProcessResult)
    double seconds = -1;    // from the start to the end of the tool
    unsigned interruptsSent = 0;
    std::string workingDirectory; // of this run
    std::string recordDir;        // CXP_SIM_RECORD_DIR of this run
    std::string traffic;          // recordDir/traffic.log
    std::vector<std::string> trafficLines;
    std::string Record(const std::string& name) const; // a file of recordDir
    // Status, time, start error and standard error, for assertion messages.
    std::string Diagnostics() const;
};

// A run in `workingDirectory` with this standard input and simulator configuration.
ToolRun RunIn(const std::string& workingDirectory, const std::string& input,
              const std::string& simConfig = "");
// The same in a fresh ScratchDir(test) that holds `file` with `content` (none when "").
ToolRun RunInScratch(const std::string& test, const std::string& file, const std::string& content,
                     const std::string& input, const std::string& simConfig = "");

// Runs the tool in run.workingDirectory with CXP_FWUPDATE_TRACE and CXP_SIM_RECORD_DIR pointing
// into a "run" folder beside it (emptied first), CXP_SIM_CONFIG at a file holding run.simConfig
// when that is not empty. A tool that could not be started fails the current test.
ToolResult RunTool(const ToolRun& run);

using Json = nlohmann::json;
std::vector<Json> JsonLines(const std::string& text); // one document a line, or the test fails
std::vector<Json> Events(const std::vector<Json>& events, const std::string& kind);

bool Contains(const std::string& text, const std::string& part);
size_t Count(const std::string& text, const std::string& part); // overlapping ones too
// One camera's accesses from 0xAB00 on (the update registers, so the identification reads
// drop out), without the camera's name: "W 0x0000AB00 4 0 00005B17".
std::vector<std::string> UpdateTraffic(const ToolResult& r, const std::string& camera = "cam0");

// The status a parent sees for main returning `code` (255 for -1 on POSIX).
int StatusFor(int code);
} // namespace e2e
