#pragma once
#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

#include "app/cli/Console.h"
#include "app/cli/Options.h"
#include "app/cli/Producers.h"
#include "app/cli/Records.h"
#include "app/cli/Selection.h"
#include "firmware/FirmwareImage.h"

namespace cli {

// Runs the steps before the first write to a camera on a thread of their own, so that an
// interrupt ends the run at once even while a producer call hangs: once one is counted the
// steps have a moment to come to an end (and the caller closes what they opened); steps still
// in a producer call then, or at a further interrupt, are left behind with the process.
class UntilFirstWrite {
public:
    UntilFirstWrite(UpdateConsole& console, std::function<void()> summary)
        : console(console), summary(std::move(summary)) {}

    // True when interrupted (and said) by the end of the steps.
    bool Run(const std::function<void()>& steps);
    bool Interrupted();

private:
    static constexpr auto kGrace = std::chrono::milliseconds(500);
    UpdateConsole& console;
    const std::function<void()> summary;
    std::atomic<bool> said{false};
};

// Updates the target cameras, each in a worker of its own, at most --jobs at once; every
// turn is recorded in outcomes. True when an interrupt came before every turn was over.
bool UpdateCameras(UpdateConsole& console, Outcomes& outcomes, OpenedProducer& producer,
                   const std::vector<size_t>& targets, const LoadedImage& image,
                   const FirmwareName& firmware, const UpdateOptions& options);

} // namespace cli
