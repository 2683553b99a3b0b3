#pragma once
#include <string>

#include "tests/support/ProcessRunner.h"

// Shared by both runners: when the child of one run gets its interrupts.
namespace runner {
class InterruptSchedule {
public:
    explicit InterruptSchedule(const ProcessSpec& spec) : spec(spec) {}
    // Whether the next interrupt is due, from the standard output so far and the seconds since
    // the start; the caller then delivers it and reports it with Sent.
    bool Due(const std::string& output, double seconds);
    void Sent(double seconds);
    bool Pending() const;
    // The next interrupt may fall due with time alone, so the runner has to wake up for it.
    bool WaitsOnTime() const { return Pending() && (sent > 0 || spec.interruptOnOutput.empty()); }

private:
    const ProcessSpec& spec;
    unsigned sent = 0;
    size_t firstTextEnd = 0;
    double firstSentAt = 0;
};
} // namespace runner
