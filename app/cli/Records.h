#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "app/cli/Console.h"

namespace cli {

enum class Result { Updated, Failed, Refused, Timeout, Interrupted, DryRun };
const char* ResultName(Result result); // as in the records: "updated", "dry-run", ...

// What every record of a run shares.
struct RunFacts {
    std::string host;
    std::string producer;
    std::string file; // as given
    uint32_t fileSize = 0;
    uint32_t uploadSize = 0;
    std::string sha256;
    uint32_t crc = 0;
};

// How one camera's turn ended.
struct Attempt {
    using SystemClock = std::chrono::system_clock;
    Result result = Result::Refused;
    std::string reason;
    std::string failedAddress; // "0x...", empty when no write failed
    bool versionAfterRead = false;
    std::string versionAfter;
    SystemClock::time_point start = SystemClock::now();
    SystemClock::time_point end = start;
    double uploadSeconds = 0;
    double waitSeconds = 0;
};

// The records of a run: counted, appended to the report file at once, shown as result events.
class Outcomes {
public:
    Outcomes(UpdateConsole& console, const RunFacts& facts) : console(console), facts(facts) {}
    ~Outcomes();
    Outcomes(const Outcomes&) = delete;
    Outcomes& operator=(const Outcomes&) = delete;

    // False when the report file cannot be opened for appending.
    bool OpenReport(const std::string& path);
    // The record is on the disk (or known lost) before the camera counts as done.
    void Add(const Camera& camera, const Attempt& attempt);

    unsigned Count(Result result) const { return counts[static_cast<int>(result)]; }
    // Selected cameras that already have this image (--skip-current): no record, no write.
    unsigned current = 0;
    void Lost() { recordLost = true; }
    bool RecordLost() const { return recordLost; }

    // Shows the summary; returns the status.
    int Finish(int status, unsigned skipped);

private:
    std::string Append(const std::string& line);

    UpdateConsole& console;
    const RunFacts& facts;
    std::string reportPath;
    std::FILE* report = nullptr;
    std::mutex mutex;
    unsigned counts[6] = {};
    std::atomic<bool> recordLost{false};
};

// The exit status of a run that got as far as the cameras (the rules in ExitStatus.cpp).
int ExitStatus(const Outcomes& outcomes, bool interrupted, bool writeFailed);

} // namespace cli
