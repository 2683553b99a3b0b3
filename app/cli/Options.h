#pragma once
#include <string>
#include <vector>

namespace cli {

// Exit statuses of the command-line mode.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitRefused = 2; // usage, selection or a check: nothing was written
constexpr int kExitTimedOut = 3;
constexpr int kExitInterrupted = 130;

struct ListOptions {
    std::string producer;
    bool json = false;
};

struct UpdateOptions {
    std::string firmwareFile; // as given
    std::string producer;
    std::vector<std::string> cameras;
    bool all = false;
    bool dryRun = false;
    double waitTimeoutSeconds = 900; // 0: no limit
    double heartbeatSeconds = 30;    // 0: none
    std::string reportFile;
    bool skipCurrent = false; // leave out the cameras the report shows with this image
    bool json = false;
    unsigned jobs = 0;   // 0: every selected camera at once
    unsigned expect = 0; // cameras that must be selected; 0: any number
};

int RunList(const ListOptions& options);
int RunUpdate(const UpdateOptions& options);

} // namespace cli
