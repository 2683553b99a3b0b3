#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Starts a program with scripted standard input, for the end-to-end tests. The same code runs
// natively and as a Windows program under wine; arguments, environment and folder are UTF-8.
namespace runner {
// A user's Ctrl-C (SIGINT; a console Ctrl-C event on Windows), sent once the raw standard
// output holds `text` after the previous one's text, and `delayMs` after the previous one.
struct Interrupt {
    std::string text;
    unsigned delayMs = 0;
};

struct ProcessSpec {
    std::string program;
    std::vector<std::string> arguments;        // after the program name
    std::string standardInput;                 // written whole, then the pipe is closed
    std::map<std::string, std::string> setEnv; // added to / replacing the inherited environment
    std::vector<std::string> unsetEnv;         // removed from the inherited environment
    std::string workingDirectory;              // empty: the caller's
    unsigned timeoutSeconds = 120;             // then the child is killed
    unsigned long long addressSpaceLimit = 0;  // bytes, 0: unchanged; POSIX only
    std::vector<Interrupt> interrupts;         // in order
    std::string closeOutputOnOutput; // then our end of its pipe is closed, as by `| head -c N`
};

struct OutputChunk {
    double seconds = 0; // when these bytes of standard output arrived, since the start
    std::string bytes;
};

struct ProcessResult {
    std::string standardOutput, standardError;
    std::vector<OutputChunk> outputChunks; // the standard output again, by arrival
    int exitStatus = -1000; // as the parent sees it: 255 for exit(-1) on POSIX, -1 on Windows
    bool timedOut = false, started = false;
    std::string startError; // what failed in starting the child or arranging its interrupts
    double endSeconds = -1; // when the child was seen to end
    unsigned interruptsSent = 0;
};

ProcessResult RunProcess(const ProcessSpec& spec);
int ExitStatusSeenForCode(int code); // what a parent sees when a child's main returns `code`
// Seconds after the start at which `text` had arrived whole, or -1 when it never did.
double FirstArrival(const std::vector<OutputChunk>& chunks, const std::string& text);

// The operating system's part, in ProcessRunner_posix.cpp or ProcessRunner_windows.cpp.
namespace os {
using Handle = intptr_t;
struct Child {
    Handle process = 0, in = 0, out = 0, err = 0; // our ends of its standard streams
    int status = -1000;                           // once it ended
};
// `error`: why it failed, or (started) why interrupts cannot be sent.
bool Start(const ProcessSpec& spec, Child& child, std::string& error);
size_t Write(Handle end, const char* data, size_t size); // 0: the reader is gone
size_t Read(Handle end, char* buffer, size_t size);      // 0: the writer is gone
void Close(Handle end);
bool Ended(Child& child, unsigned waitMs);  // then `status` is set
bool Signal(const Child& child, bool kill); // a Ctrl-C, or with `kill` its end
} // namespace os
} // namespace runner
