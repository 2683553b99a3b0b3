#pragma once
#include <map>
#include <string>
#include <vector>

// Starts a program with scripted standard input, for the end-to-end tests. The same code runs
// natively and as a Windows program under wine.
namespace runner {
struct ProcessSpec {
    std::string program;                       // path of the executable
    std::vector<std::string> arguments;        // after the program name
    std::string standardInput;                 // written whole, then the pipe is closed
    std::map<std::string, std::string> setEnv; // added to / replacing the inherited environment
    std::vector<std::string> unsetEnv;         // removed from the inherited environment
    std::string workingDirectory;              // empty: the caller's
    unsigned timeoutSeconds = 120;             // the child is killed after this
    // The child's address space in bytes, 0: unchanged. POSIX only: for running out of memory.
    unsigned long long addressSpaceLimit = 0;

    // Interrupts, as a user's Ctrl-C: SIGINT on POSIX, a console Ctrl-C event on Windows (the
    // runner's process then gets a console of its own, shared with the child). The texts are
    // searched in the raw standard output ("\r\n" line ends on Windows).
    std::string interruptOnOutput;       // the first goes once the output holds this; "": none
    unsigned interrupts = 1;             // 2: a second one follows
    std::string secondInterruptOnOutput; // once this appears after the first text ("": at once)
    unsigned secondInterruptDelayMs = 0; // and at least this long after the first interrupt
    unsigned interruptAfterMs =
        0; // with interruptOnOutput "": the first goes this long after start

    // Once the standard output holds this, its reading end is closed: the child's further
    // writes to it fail (EPIPE, SIGPIPE unless ignored), as behind `| head -c N`. "": never.
    std::string closeOutputOnOutput;
};

// A piece of the child's standard output as it arrived.
struct OutputChunk {
    double seconds = 0; // since the start of the child
    std::string bytes;
};

struct ProcessResult {
    std::string standardOutput;
    std::string standardError;
    std::vector<OutputChunk> outputChunks; // the standard output again, by arrival
    int exitStatus = -1000; // as the parent sees it: 255 for exit(-1) on POSIX, -1 on Windows
    bool timedOut = false;
    bool started = false;
    // Every failed attempt to start the child: the step (pipe, posix_spawn, CreateProcess, ...)
    // and the system's error. A start that failed for a transient reason is tried once more,
    // so this can be set while `started` is true.
    std::string startError;
    double endSeconds = -1; // when the child was seen to end, since its start
    unsigned interruptsSent = 0;
    std::string interruptError; // why an interrupt could not be delivered
};

ProcessResult RunProcess(const ProcessSpec& spec);
// The exit status a parent sees for a child that returned `code` from main.
int ExitStatusSeenForCode(int code);

// Seconds after the start at which `text` had arrived whole, or -1 when it never did.
double FirstArrival(const std::vector<OutputChunk>& chunks, const std::string& text);
inline double FirstArrival(const ProcessResult& result, const std::string& text) {
    return FirstArrival(result.outputChunks, text);
}
} // namespace runner
