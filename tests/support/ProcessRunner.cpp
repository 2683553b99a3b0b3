#include "tests/support/ProcessRunner.h"

#include <algorithm>

#include "tests/support/ProcessRunnerSchedule.h"

namespace runner {

double FirstArrival(const std::vector<OutputChunk>& chunks, const std::string& text) {
    std::string seen;
    for (const OutputChunk& chunk : chunks) {
        // Only the tail can complete a text that was not there before.
        size_t from = seen.size() >= text.size() ? seen.size() - text.size() + 1 : 0;
        seen += chunk.bytes;
        if (seen.find(text, text.empty() ? 0 : from) != std::string::npos)
            return chunk.seconds;
    }
    return -1;
}

bool InterruptSchedule::Pending() const {
    return (!spec.interruptOnOutput.empty() || spec.interruptAfterMs > 0) &&
           sent < std::min(spec.interrupts, 2u);
}

bool InterruptSchedule::Due(const std::string& output, double seconds) {
    if (!Pending())
        return false;
    if (sent == 0 && spec.interruptOnOutput.empty())
        return seconds * 1000 >= spec.interruptAfterMs;
    if (sent == 0) {
        size_t at = output.find(spec.interruptOnOutput);
        if (at == std::string::npos)
            return false;
        firstTextEnd = at + spec.interruptOnOutput.size();
        return true;
    }
    return output.find(spec.secondInterruptOnOutput, firstTextEnd) != std::string::npos &&
           (seconds - firstSentAt) * 1000 >= spec.secondInterruptDelayMs;
}

void InterruptSchedule::Sent(double seconds) {
    if (sent++ == 0)
        firstSentAt = seconds;
}

} // namespace runner
