#include "app/cli/Workers.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>

#include "app/cli/Selection.h"
#include "app/cli/Text.h"
#include "app/cli/UpdateText.h"
#include "firmware/UploadProtocol.h"
#include "platform/Interrupt.h"

namespace cli {

namespace {
using Steady = std::chrono::steady_clock;

// What an interrupt does to the cameras, decided under one lock: a camera sends its flash
// command only if no interrupt counted before it, and what is said names exactly the cameras
// that did and are not finished yet.
class InterruptPlan {
public:
    InterruptPlan(UpdateConsole& console, const std::vector<std::string>& names,
                  uint64_t waitTimeoutMs)
        : console(console), names(names), state(names.size(), State::Sending),
          waitLimit(waitTimeoutMs == 0 ? std::string("without a time limit")
                                       : "up to " + Seconds(waitTimeoutMs / 1000.0)) {}

    // Just before camera k's flash command: false once interrupted, else k is flashing.
    bool MayFlash(size_t k) {
        std::lock_guard<std::mutex> lock(mutex);
        if (platform::InterruptCount() > 0)
            return false;
        state[k] = State::Flashing;
        return true;
    }

    // Camera k's outcome is known; says first what an interrupt did to it.
    void Finished(size_t k) {
        Announce();
        std::lock_guard<std::mutex> lock(mutex);
        state[k] = State::Finished;
    }

    // Says once what the first interrupt does and once what the second does; from any thread.
    // An interrupt after every camera's turn changes nothing and is not spoken of.
    void Announce() {
        std::lock_guard<std::mutex> lock(mutex);
        const int count = std::min(platform::InterruptCount(), 2);
        if (count <= said ||
            std::count(state.begin(), state.end(), State::Finished) == std::ptrdiff_t(state.size()))
            return;
        interrupted = true;
        std::string flashing;
        size_t waitedFor = 0;
        for (size_t k = 0; k < names.size(); ++k)
            if (state[k] == State::Flashing)
                flashing += (waitedFor++ == 0 ? "" : ", ") + names[k];
        std::string text;
        if (said == 0) {
            text = "interrupted: no camera gets its flash command any more; the ones still "
                   "sending stop after the write in progress\n";
            if (!flashing.empty())
                text += "waiting " + waitLimit + " for the cameras already flashing: " + flashing +
                        " (interrupt again to stop waiting)\n";
        }
        if (count > 1 && !flashing.empty())
            text += "interrupted again: no more waiting for " + flashing +
                    (waitedFor == 1 ? "; it may" : "; they may") + " still be flashing\n";
        said = count;
        if (!text.empty())
            console.Say(text);
    }

    // An interrupt came before every camera's turn was over.
    bool Interrupted() {
        std::lock_guard<std::mutex> lock(mutex);
        return interrupted;
    }

private:
    enum class State { Sending, Flashing, Finished };
    UpdateConsole& console;
    const std::vector<std::string> names;
    std::vector<State> state;
    const std::string waitLimit;
    std::mutex mutex;
    int said = 0; // interrupts announced
    bool interrupted = false;
};

// How an upload ended, as a record's result and reason.
std::pair<Result, std::string> Ending(const UploadOutcome& outcome, uint64_t waitTimeoutMs,
                                      const std::string& failedAddress) {
    switch (outcome.end) {
    case UploadEnd::Answered:
        return {Result::Updated, ""};
    case UploadEnd::WriteFailed:
        return {Result::Failed, "write to the camera failed at address " + failedAddress + " (" +
                                    WriteError(outcome.failedWrite) + "); nothing flashed"};
    case UploadEnd::SecondaryRefused:
        return {Result::Failed, "the camera has no secondary FPGA target; nothing flashed"};
    case UploadEnd::Interrupted:
        return {Result::Interrupted, "stopped before the flash command; nothing flashed"};
    case UploadEnd::WaitTimedOut:
        return {Result::Timeout, "the camera did not answer within " +
                                     Seconds(waitTimeoutMs / 1000.0) +
                                     " after the flash command; it may still be flashing"};
    case UploadEnd::WaitStopped:
        return {Result::Timeout,
                "waiting stopped by an interrupt; the camera may still be flashing"};
    case UploadEnd::FileUnusable:
    case UploadEnd::Sent:
        break;
    }
    return {Result::Failed, "the upload ended unexpectedly"};
}

// One camera's turn: the update's outcome as a record.
Attempt UpdateTurn(TQRemoteDevice& camera, const LoadedImage& image, bool secondary,
                   UploadReport& progress, const UploadControl& control) {
    Attempt attempt;
    attempt.start = Attempt::SystemClock::now();
    const UploadOutcome outcome = UpdateCamera(camera, image, secondary, progress, control);
    attempt.end = Attempt::SystemClock::now();
    attempt.uploadSeconds = outcome.uploadSeconds;
    attempt.waitSeconds = outcome.waitSeconds;
    attempt.versionAfterRead = outcome.versionAfterRead;
    attempt.versionAfter = outcome.versionAfter;

    char address[24];
    std::snprintf(address, sizeof address, "0x%llx",
                  static_cast<unsigned long long>(outcome.failedAddress));
    if (outcome.end == UploadEnd::WriteFailed)
        attempt.failedAddress = address;
    std::tie(attempt.result, attempt.reason) =
        Ending(outcome, control.waitTimeoutMs, attempt.failedAddress);
    return attempt;
}

// The workers: each takes the next camera until none is left; this thread watches them.
class Pool {
public:
    Pool(UpdateConsole& console, Outcomes& outcomes, OpenedProducer& producer,
         const std::vector<size_t>& targets, InterruptPlan& plan)
        : console(console), outcomes(outcomes), cameras(producer.cameras), targets(targets),
          plan(plan) {}

    void Start(size_t jobs, const LoadedImage& image, bool secondary, const UploadControl& control);
    // Keeps the board moving and says what an interrupt does until every turn is over.
    void Watch();

private:
    void Work(const LoadedImage& image, bool secondary, const UploadControl& control);
    void Complete(size_t k, const Attempt& attempt);
    static Attempt FailedTurn(const std::string& reason) {
        Attempt attempt;
        attempt.result = Result::Failed;
        attempt.reason = reason;
        return attempt;
    }

    UpdateConsole& console;
    Outcomes& outcomes;
    const std::vector<Camera>& cameras;
    const std::vector<size_t>& targets;
    InterruptPlan& plan;
    std::vector<std::thread> workers;
    std::atomic<size_t> next{0};
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    size_t finished = 0;
};

// A camera's turn is over: said, recorded, counted, whatever fails on the way.
void Pool::Complete(size_t k, const Attempt& attempt) {
    const Camera& camera = cameras[targets[k]];
    try {
        plan.Finished(k);
        outcomes.Add(camera, attempt);
        console.Finished(k, ResultName(attempt.result), ResultLine(camera, attempt));
    } catch (const std::exception&) {
        outcomes.Lost();
    }
    std::lock_guard<std::mutex> lock(doneMutex);
    ++finished;
    doneSignal.notify_all();
}

void Pool::Work(const LoadedImage& image, bool secondary, const UploadControl& control) {
    for (size_t k = next++; k < targets.size(); k = next++) {
        TQRemoteDevice& device = *cameras[targets[k]].device;
        Attempt attempt;
        try {
            CameraProgress progress(console, k, cameras[targets[k]].identity);
            UploadControl own = control;
            own.stopSending = [&progress, this, k] {
                // The write asked about after the checksum is the flash command.
                return progress.Phase() == UploadPhase::Flash ? !plan.MayFlash(k)
                                                              : platform::InterruptCount() > 0;
            };
            attempt = UpdateTurn(device, image, secondary, progress, own);
        } catch (const std::exception& error) {
            // Out of memory or threads: this camera's turn ends here, the others go on.
            attempt = FailedTurn(std::string("the tool failed during the update: ") + error.what());
            try {
                FinishUpdate(device);
            } catch (const std::exception&) {
                // the record still says why the turn ended
            }
        }
        Complete(k, attempt);
    }
}

void Pool::Start(size_t jobs, const LoadedImage& image, bool secondary,
                 const UploadControl& control) {
    workers.reserve(jobs);
    std::string notStarted;
    for (size_t j = 0; j < jobs; ++j) {
        try {
            workers.emplace_back(
                [this, &image, secondary, &control] { Work(image, secondary, control); });
        } catch (const std::system_error& error) {
            // The camera it would have taken first is not updated; the others go on.
            notStarted = std::string("no worker could be started for the camera: ") + error.what();
            const size_t k = next++;
            if (k < targets.size())
                Complete(k, FailedTurn(notStarted));
        }
    }
    if (workers.empty()) // nobody to take the rest
        for (size_t k = next++; k < targets.size(); k = next++)
            Complete(k, FailedTurn(notStarted));
}

void Pool::Watch() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(doneMutex);
            doneSignal.wait_for(lock, std::chrono::milliseconds(100),
                                [&] { return finished == targets.size(); });
            if (finished == targets.size())
                break;
        }
        try {
            plan.Announce();
            console.Tick();
        } catch (const std::exception&) {
            // Only the display suffers.
        }
    }
    for (std::thread& worker : workers)
        worker.join();
    plan.Announce(); // an interrupt that came as the last camera finished
}

// A positive timeout too short to count in milliseconds is the shortest wait, not none.
uint64_t WaitTimeoutMs(double seconds) {
    return seconds <= 0 ? 0
                        : std::max<uint64_t>(
                              1, static_cast<uint64_t>(std::min(seconds, 1e9) * 1000.0 + 0.5));
}
} // namespace

bool UntilFirstWrite::Interrupted() {
    if (platform::InterruptCount() == 0)
        return false;
    if (!said.exchange(true))
        console.Aside("interrupted before any camera was written\n");
    return true;
}

bool UntilFirstWrite::Run(const std::function<void()>& steps) {
    struct Progress {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::exception_ptr error;
    };
    auto progress = std::make_shared<Progress>();
    std::thread thread;
    try {
        thread = std::thread([progress, &steps] {
            try {
                steps();
            } catch (...) {
                progress->error = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(progress->mutex);
            progress->done = true;
            progress->ended.notify_all();
        });
    } catch (const std::system_error&) {
        steps(); // no thread to spare: an interrupt is seen after them
        return Interrupted();
    }
    std::unique_lock<std::mutex> lock(progress->mutex);
    int seen = 0; // interrupts when the grace began
    Steady::time_point deadline;
    while (!progress->done) {
        progress->ended.wait_for(lock, std::chrono::milliseconds(20));
        const int count = platform::InterruptCount();
        if (progress->done || count == 0)
            continue;
        if (seen == 0) {
            seen = count;
            deadline = Steady::now() + kGrace;
            lock.unlock();
            Interrupted();
            lock.lock();
        } else if (count > seen || Steady::now() >= deadline) {
            lock.unlock();
            summary();
            std::fflush(stdout);
            std::fflush(stderr);
            std::_Exit(kExitInterrupted); // the call in progress cannot be ended or closed
        }
    }
    lock.unlock();
    thread.join();
    if (progress->error)
        std::rethrow_exception(progress->error);
    return Interrupted();
}

bool UpdateCameras(UpdateConsole& console, Outcomes& outcomes, OpenedProducer& producer,
                   const std::vector<size_t>& targets, const LoadedImage& image,
                   const FirmwareName& firmware, const UpdateOptions& options) {
    UploadControl control;
    control.stopWaiting = [] { return platform::InterruptCount() > 1; };
    // The new version may show only after a power cycle: reported, not judged.
    control.readVersionAfter = true;
    control.waitTimeoutMs = WaitTimeoutMs(options.waitTimeoutSeconds);
    const bool secondary = IsSecondaryImage(firmware.name);
    std::vector<std::string> names;
    for (size_t i : targets)
        names.push_back(producer.cameras[i].name);
    InterruptPlan plan(console, names, control.waitTimeoutMs);
    console.StartBoard(names, control.waitTimeoutMs, options.heartbeatSeconds);

    // All the workers share the one image.
    Pool pool(console, outcomes, producer, targets, plan);
    pool.Start(options.jobs == 0 ? targets.size() : std::min<size_t>(options.jobs, targets.size()),
               image, secondary, control);
    pool.Watch();
    console.StopBoard();
    return plan.Interrupted();
}

} // namespace cli
