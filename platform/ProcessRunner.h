#pragma once
#include <map>
#include <string>
#include <vector>

// Starts a program with scripted standard input, for the end-to-end tests. The same code runs
// natively and as a Windows program under wine.
namespace platform {
struct ProcessSpec {
    std::string program;                       // path of the executable
    std::vector<std::string> arguments;        // after the program name
    std::string standardInput;                 // written whole, then the pipe is closed
    std::map<std::string, std::string> setEnv; // added to / replacing the inherited environment
    std::vector<std::string> unsetEnv;         // removed from the inherited environment
    std::string workingDirectory;              // empty: the caller's
    unsigned timeoutSeconds = 120;             // the child is killed after this
};

struct ProcessResult {
    std::string standardOutput;
    std::string standardError;
    int exitStatus = -1000; // as the parent sees it: 255 for exit(-1) on POSIX, -1 on Windows
    bool timedOut = false;
};

ProcessResult RunProcess(const ProcessSpec& spec);
// The exit status a parent sees for a child that returned `code` from main.
int ExitStatusSeenForCode(int code);
} // namespace platform
