#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>

#include "app/cli/Console.h"
#include "app/cli/History.h"
#include "app/cli/Options.h"
#include "app/cli/Producers.h"
#include "app/cli/Selection.h"
#include "app/cli/Text.h"
#include "firmware/FirmwareImage.h"
#include "firmware/UploadProtocol.h"
#include "gentl/ErrorNames.h"
#include "platform/FileSync.h"
#include "platform/Interrupt.h"
#include "platform/Sha256.h"
#include "platform/SystemInfo.h"
#include "platform/Terminal.h"

namespace cli {

namespace {
using SystemClock = std::chrono::system_clock;
using Steady = std::chrono::steady_clock;

enum class Result { Updated, Failed, Refused, Timeout, Interrupted, DryRun };
constexpr const char* kResultNames[] = {"updated", "failed",      "refused",
                                        "timeout", "interrupted", "dry-run"};

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

Json Record(const RunFacts& facts, const CameraIdentity& camera, const Attempt& attempt) {
    return {
        {"time_start", platform::UtcTimestamp(attempt.start)},
        {"time_end", platform::UtcTimestamp(attempt.end)},
        {"host", facts.host},
        {"tool_version", ToolVersion()},
        {"producer", facts.producer},
        {"interface_id", camera.interfaceId},
        {"device_id", camera.deviceId},
        {"vendor", camera.vendor},
        {"model", camera.model},
        {"manufacturer_info", camera.manufacturerInfo},
        {"serial_number", camera.serialNumber},
        {"user_id", camera.userId},
        {"device_version_before", camera.deviceVersion},
        {"device_version_after", attempt.versionAfterRead ? Json(attempt.versionAfter) : Json()},
        {"file", facts.file},
        {"file_size", facts.fileSize},
        {"upload_size", facts.uploadSize},
        {"sha256", facts.sha256},
        {"crc32", Hex32(facts.crc)},
        {"result", kResultNames[static_cast<int>(attempt.result)]},
        {"reason", attempt.reason},
        {"failed_address", attempt.failedAddress.empty() ? Json() : Json(attempt.failedAddress)},
        {"upload_seconds", Rounded(attempt.uploadSeconds)},
        {"wait_seconds", Rounded(attempt.waitSeconds)}};
}

std::string ResultLine(const CameraIdentity& camera, const Attempt& attempt) {
    std::string line = CameraName(camera) + ": ";
    switch (attempt.result) {
    case Result::Updated:
        line += "updated, device version " +
                (camera.deviceVersion.empty() ? "-" : Printable(camera.deviceVersion)) +
                " before, " +
                (attempt.versionAfterRead ? Printable(attempt.versionAfter) : "unreadable") +
                " now (upload " + Seconds(attempt.uploadSeconds) + ", flashing " +
                Seconds(attempt.waitSeconds) + ")";
        break;
    case Result::DryRun:
        line += "ready (dry run: nothing written)";
        break;
    default:
        line += std::string(kResultNames[static_cast<int>(attempt.result)]) + ": " + attempt.reason;
        break;
    }
    return line + "\n";
}

// The records of a run: counted, appended to the report file at once, shown as result events.
class Outcomes {
public:
    Outcomes(UpdateConsole& console, const RunFacts& facts) : console(console), facts(facts) {}

    // False when the report file cannot be opened for appending.
    bool OpenReport(const std::string& path) {
        if (path.empty())
            return true;
        reportPath = path;
        report = std::fopen(path.c_str(), "ab");
        // Unbuffered: a record that could not be written is not written again with the next.
        if (report)
            std::setvbuf(report, nullptr, _IONBF, 0);
        return report != nullptr;
    }
    ~Outcomes() {
        if (report)
            std::fclose(report);
    }

    // The record is on the disk (or known lost) before the camera counts as done.
    void Add(const CameraIdentity& camera, const Attempt& attempt) {
        const Json record = Record(facts, camera, attempt);
        std::string failure;
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++counts[static_cast<int>(attempt.result)];
            if (report)
                failure = Append(JsonLine(record) + "\n");
        }
        if (!failure.empty()) {
            Lost();
            console.Error(CameraName(camera) +
                          ": the record could not be written to the report file " +
                          Printable(reportPath) + ": " + failure);
        }
        Json event = {{"event", "result"}};
        event.update(record);
        console.Event(event);
    }

    unsigned Count(Result result) const { return counts[static_cast<int>(result)]; }
    // Selected cameras that already have this image (--skip-current): no record, no write.
    unsigned current = 0;
    void Lost() { recordLost = true; }
    bool RecordLost() const { return recordLost; }

    int Finish(int status, unsigned skipped) {
        auto count = [this](Result result) { return Count(result); };
        console.Event({{"event", "summary"},
                       {"updated", count(Result::Updated)},
                       {"failed", count(Result::Failed)},
                       {"refused", count(Result::Refused)},
                       {"timeout", count(Result::Timeout)},
                       {"interrupted", count(Result::Interrupted)},
                       {"skipped", skipped},
                       {"current", current},
                       {"dry_run", count(Result::DryRun)},
                       {"exit_status", status}});
        std::string text = "summary: " + std::to_string(count(Result::Updated)) + " updated, " +
                           std::to_string(count(Result::Failed)) + " failed, " +
                           std::to_string(count(Result::Refused)) + " refused, " +
                           std::to_string(count(Result::Timeout)) + " timed out, " +
                           std::to_string(count(Result::Interrupted)) + " interrupted, " +
                           std::to_string(skipped) + " skipped";
        if (current > 0)
            text += ", " + std::to_string(current) + " current";
        if (count(Result::DryRun) > 0)
            text += ", " + std::to_string(count(Result::DryRun)) + " ready (dry run)";
        console.Say(text + "; exit status " + std::to_string(status) + "\n");
        return status;
    }

private:
    // Written, flushed and synced: empty, else the system's error.
    std::string Append(const std::string& line) {
        errno = 0;
        if (std::fwrite(line.data(), 1, line.size(), report) != line.size() ||
            std::fflush(report) != 0) {
            std::clearerr(report);
            return errno != 0 ? std::strerror(errno) : "write error";
        }
        return platform::SyncToDisk(report);
    }

    UpdateConsole& console;
    const RunFacts& facts;
    std::string reportPath;
    std::FILE* report = nullptr;
    std::mutex mutex;
    unsigned counts[6] = {};
    std::atomic<bool> recordLost{false};
};

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
    bool Interrupted() {
        if (platform::InterruptCount() == 0)
            return false;
        if (!said.exchange(true))
            console.Aside("interrupted before any camera was written\n");
        return true;
    }

private:
    static constexpr auto kGrace = std::chrono::milliseconds(500);
    UpdateConsole& console;
    const std::function<void()> summary;
    std::atomic<bool> said{false};
};

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

// Reads the whole file once; the workers share it read-only. Empty when usable, else why not.
std::string LoadFile(const std::string& name, LoadedImage& image) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(name), error);
    if (!fs::exists(status))
        return "firmware file " + Printable(name) + " not found";
    if (!fs::is_regular_file(status))
        return "firmware file " + Printable(name) + " is not a regular file";
    switch (LoadImageFile(name, image)) {
    case ImageLoad::Loaded:
        return std::string();
    case ImageLoad::OpenFailed:
        return "firmware file " + Printable(name) + " cannot be opened";
    case ImageLoad::ReadError:
        return "firmware file " + Printable(name) + " could not be read in full";
    case ImageLoad::Empty:
        return "firmware file " + Printable(name) + " is empty";
    case ImageLoad::TooLarge:
        return "firmware file " + Printable(name) + " is too large (2 GiB or more)";
    case ImageLoad::NoMemory:
        return "not enough memory for the firmware image";
    }
    return "firmware file " + Printable(name) + " cannot be used";
}

// The producer's side of a failed write: its error, or how much of the write it took.
std::string WriteError(const PortAccess& write) {
    if (write.status != GC_ERR_SUCCESS)
        return GenTLErrorName(write.status) + ", " + std::to_string(write.status);
    return "the producer took " + std::to_string(write.moved) + " of " +
           std::to_string(write.asked) + " bytes";
}

// One camera's turn: the update's outcome as a record.
Attempt UpdateTurn(TQRemoteDevice& camera, const LoadedImage& image, bool secondary,
                   UploadReport& progress, const UploadControl& control) {
    Attempt attempt;
    attempt.start = SystemClock::now();
    const UploadOutcome outcome = UpdateCamera(camera, image, secondary, progress, control);
    attempt.end = SystemClock::now();
    attempt.uploadSeconds = outcome.uploadSeconds;
    attempt.waitSeconds = outcome.waitSeconds;
    attempt.versionAfterRead = outcome.versionAfterRead;
    attempt.versionAfter = outcome.versionAfter;

    char address[24];
    std::snprintf(address, sizeof address, "0x%llx",
                  static_cast<unsigned long long>(outcome.failedAddress));
    switch (outcome.end) {
    case UploadEnd::Answered:
        attempt.result = Result::Updated;
        break;
    case UploadEnd::WriteFailed:
        attempt.result = Result::Failed;
        attempt.failedAddress = address;
        attempt.reason = "write to the camera failed at address " + attempt.failedAddress + " (" +
                         WriteError(outcome.failedWrite) + "); nothing flashed";
        break;
    case UploadEnd::SecondaryRefused:
        attempt.result = Result::Failed;
        attempt.reason = "the camera has no secondary FPGA target; nothing flashed";
        break;
    case UploadEnd::Interrupted:
        attempt.result = Result::Interrupted;
        attempt.reason = "stopped before the flash command; nothing flashed";
        break;
    case UploadEnd::WaitTimedOut:
        attempt.result = Result::Timeout;
        attempt.reason = "the camera did not answer within " +
                         Seconds(control.waitTimeoutMs / 1000.0) +
                         " after the flash command; it may still be flashing";
        break;
    case UploadEnd::WaitStopped:
        attempt.result = Result::Timeout;
        attempt.reason = "waiting stopped by an interrupt; the camera may still be flashing";
        break;
    case UploadEnd::FileUnusable:
    case UploadEnd::Sent:
        attempt.result = Result::Failed;
        attempt.reason = "the upload ended unexpectedly";
        break;
    }
    return attempt;
}

// One aligned line per identified camera: what the update will do with it.
std::string Plan(const std::vector<CameraIdentity>& cameras, const Selection& selection) {
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const CameraIdentity& camera = cameras[i];
        const CameraChoice& choice = selection.choices[i];
        const char* verdicts[] = {"update", "skipped", "refused", "current"};
        std::string verdict = verdicts[static_cast<int>(choice.verdict)];
        if (!choice.reason.empty())
            verdict += " (" + choice.reason + ")";
        rows.push_back(
            {CameraName(camera), Printable(camera.model),
             Printable(camera.deviceId) + " on " + Printable(camera.interfaceId),
             "version " + (camera.deviceVersionUnreadable ? std::string("unreadable")
                                                          : Printable(camera.deviceVersion)),
             verdict});
    }
    std::vector<size_t> widths(5, 0);
    for (const auto& row : rows)
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    std::string plan;
    for (const auto& row : rows) {
        plan += " ";
        for (size_t column = 0; column < row.size(); ++column) {
            plan += " " + row[column];
            if (column + 1 < row.size())
                plan += std::string(widths[column] - row[column].size() + 1, ' ');
        }
        plan += "\n";
    }
    return plan;
}

// --skip-current: a camera the report shows with this image gets nothing.
void SkipCurrent(const UpdateHistory& history, const std::vector<CameraIdentity>& cameras,
                 const std::string& sha256, Selection& selection) {
    for (size_t i = 0; i < cameras.size(); ++i) {
        CameraChoice& choice = selection.choices[i];
        if (choice.verdict != Verdict::Update)
            continue;
        const std::string when = history.AlreadyHas(cameras[i], sha256);
        if (!when.empty()) {
            choice.verdict = Verdict::Current;
            choice.reason = "already has this image: updated " + when;
        }
    }
}

// The exit status of a run that got as far as the cameras, the worst first:
//   130  interrupted before every camera's turn was over (a dry run: at any time)
//     1  a camera failed, or was refused under --all; under --all a camera may have been missed
//        (an interface or device the producer could not list); a record or other output was
//        not written
//     3  every upload was flashed, but a camera did not answer within --wait-timeout
//     0  every selected camera was updated and answered (a dry run: everything is ready)
// 2 is the refusal before anything was written to any camera, decided before this.
int ExitStatus(const Outcomes& outcomes, bool interrupted, bool writeFailed) {
    if (interrupted || outcomes.Count(Result::Interrupted) > 0)
        return kExitInterrupted;
    if (outcomes.Count(Result::Failed) > 0 || outcomes.Count(Result::Refused) > 0 || writeFailed)
        return kExitFailed;
    if (outcomes.Count(Result::Timeout) > 0)
        return kExitTimedOut;
    return kExitDone;
}
} // namespace

int RunUpdate(const UpdateOptions& options) {
    // Interrupts are counted from here on: up to the first write to a camera they end the run
    // at once (UntilFirstWrite); from it on they stop the uploads between two writes.
    platform::InterruptDeferral deferral;
    UpdateConsole console(
        options.json,
        platform::IsTerminal(options.json ? platform::Stream::Error : platform::Stream::Output));
    RunFacts facts;
    facts.file = options.firmwareFile;
    facts.host = platform::HostName();
    Outcomes outcomes(console, facts);
    unsigned skipped = 0;
    UntilFirstWrite early(console, [&] { outcomes.Finish(kExitInterrupted, skipped); });

    std::string refusal;
    LoadedImage image;
    TextEnumerationReport enumeration([&console](const std::string& text) { console.Say(text); });
    std::unique_ptr<OpenedProducer> producer;
    Selection selection;
    std::vector<std::string> warnings;
    const bool interrupted = early.Run([&] {
        if (!outcomes.OpenReport(options.reportFile)) {
            refusal = "cannot open the report file " + Printable(options.reportFile) + ": " +
                      std::strerror(errno);
            return;
        }
        // The file first: a file that cannot go out needs no producer.
        refusal = LoadFile(options.firmwareFile, image);
        if (!refusal.empty())
            return;
        facts.fileSize = image.fileSize;
        facts.uploadSize = image.Size();
        facts.crc = image.crc;
        facts.sha256 = platform::Sha256Hex(image.bytes.data(), image.fileSize);
        if (facts.sha256.empty()) {
            refusal = "the system's crypto could not compute the SHA-256 of the file";
            return;
        }
        const ProducerSearch search = FindProducers(options.producer, true);
        if (!search.error.empty()) {
            refusal = search.error;
            return;
        }
        facts.producer = search.paths.front();
        producer = std::make_unique<OpenedProducer>(facts.producer, enumeration);
        if (!producer->error.empty()) {
            refusal = producer->error;
            return;
        }
        selection = SelectCameras(producer->identities, options);
        if (options.skipCurrent)
            SkipCurrent(UpdateHistory::Read(options.reportFile, warnings), producer->identities,
                        facts.sha256, selection);
    });
    for (const std::string& warning : warnings)
        console.Say("warning: " + warning + "\n");
    // Before the first write the producer is closed the same way: a hang there ends the run.
    auto close = [&] { early.Run([&] { producer.reset(); }); };
    auto refuse = [&](const std::vector<std::string>& errors) {
        for (const std::string& error : errors)
            console.Error(error);
        close();
        return outcomes.Finish(early.Interrupted() ? kExitInterrupted : kExitRefused, skipped);
    };
    // How a run that got to the cameras ends.
    auto finish = [&](bool interrupted) {
        auto status = [&] {
            const bool writeFailed = outcomes.RecordLost() || !console.OutputFailure().empty();
            // Under --all a camera the producer could not list was meant too.
            const bool missed = options.all && !enumeration.problems.empty();
            return ExitStatus(outcomes, interrupted, writeFailed || missed);
        };
        outcomes.Finish(status(), skipped);
        if (!console.OutputFailure().empty())
            console.Error(console.OutputFailure());
        return status(); // the summary itself may have failed to go out
    };
    if (interrupted) {
        close();
        return outcomes.Finish(kExitInterrupted, skipped);
    }
    if (!refusal.empty())
        return refuse({refusal});
    const std::vector<CameraIdentity>& cameras = producer->identities;
    for (const ListingProblem& problem : enumeration.problems) {
        console.Error(problem.reason);
        Json event = {{"event", "problem"}};
        event.update(problem.ToJson());
        console.Event(event);
    }

    std::vector<size_t> targets;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const CameraChoice& choice = selection.choices[i];
        Json event = {{"event", "camera"}};
        event.update(IdentityJson(cameras[i]));
        event["selected"] =
            choice.verdict != Verdict::Skipped && choice.verdict != Verdict::Current;
        if (choice.verdict == Verdict::Skipped || choice.verdict == Verdict::Current) {
            event["reason"] = choice.reason;
            choice.verdict == Verdict::Skipped ? ++skipped : ++outcomes.current;
        }
        console.Event(event);
        if (choice.verdict == Verdict::Update)
            targets.push_back(i);
    }
    for (size_t i = 0; i < cameras.size(); ++i) {
        if (selection.choices[i].verdict != Verdict::Refused)
            continue;
        Attempt refused;
        refused.reason = selection.choices[i].reason;
        outcomes.Add(cameras[i], refused);
    }
    if (!selection.errors.empty())
        return refuse(selection.errors);

    console.Say("firmware " + Printable(options.firmwareFile) + ": " +
                std::to_string(facts.fileSize) + " bytes, upload size " +
                std::to_string(facts.uploadSize) + ", CRC-32 " + Hex32(facts.crc) + "\n  SHA-256 " +
                facts.sha256 + "\nproducer " + Printable(facts.producer) + "\n" +
                Plan(cameras, selection));

    if (options.dryRun) {
        for (size_t i : targets) {
            Attempt ready;
            ready.result = Result::DryRun;
            outcomes.Add(cameras[i], ready);
            console.Say(ResultLine(cameras[i], ready));
        }
        close();
        return finish(early.Interrupted());
    }
    if (early.Interrupted()) {
        close();
        return outcomes.Finish(kExitInterrupted, skipped);
    }

    // Every camera has its own worker, at most --jobs at once; all share the one image.
    UploadControl control;
    control.stopWaiting = [] { return platform::InterruptCount() > 1; };
    // The new version may show only after a power cycle: reported, not judged.
    control.readVersionAfter = true;
    // A positive timeout too short to count in milliseconds is the shortest wait, not none.
    control.waitTimeoutMs =
        options.waitTimeoutSeconds <= 0
            ? 0
            : std::max<uint64_t>(1, static_cast<uint64_t>(
                                        std::min(options.waitTimeoutSeconds, 1e9) * 1000.0 + 0.5));
    const bool secondary = IsSecondaryImage(BaseName(options.firmwareFile));
    std::vector<std::string> names;
    for (size_t i : targets)
        names.push_back(CameraName(cameras[i]));
    InterruptPlan plan(console, names, control.waitTimeoutMs);
    console.StartBoard(names, control.waitTimeoutMs, options.heartbeatSeconds);

    std::mutex doneMutex;
    std::condition_variable doneSignal;
    size_t finished = 0;
    // A camera's turn is over: said, recorded, counted, whatever fails on the way.
    auto complete = [&](size_t k, const Attempt& attempt) {
        const CameraIdentity& camera = cameras[targets[k]];
        try {
            plan.Finished(k);
            outcomes.Add(camera, attempt);
            console.Finished(k, kResultNames[static_cast<int>(attempt.result)],
                             ResultLine(camera, attempt));
        } catch (const std::exception&) {
            outcomes.Lost();
        }
        std::lock_guard<std::mutex> lock(doneMutex);
        ++finished;
        doneSignal.notify_all();
    };
    auto failedTurn = [](const std::string& reason) {
        Attempt attempt;
        attempt.result = Result::Failed;
        attempt.reason = reason;
        return attempt;
    };
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t k = next++; k < targets.size(); k = next++) {
            TQRemoteDevice& device = *producer->cameras[targets[k]];
            Attempt attempt;
            try {
                CameraProgress progress(console, k, cameras[targets[k]]);
                UploadControl own = control;
                own.stopSending = [&progress, &plan, k] {
                    // The write asked about after the checksum is the flash command.
                    return progress.Phase() == UploadPhase::Flash ? !plan.MayFlash(k)
                                                                  : platform::InterruptCount() > 0;
                };
                attempt = UpdateTurn(device, image, secondary, progress, own);
            } catch (const std::exception& error) {
                // Out of memory or threads: this camera's turn ends here, the others go on.
                attempt =
                    failedTurn(std::string("the tool failed during the update: ") + error.what());
                try {
                    FinishUpdate(device);
                } catch (const std::exception&) {
                    // the record still says why the turn ended
                }
            }
            complete(k, attempt);
        }
    };
    const size_t jobs =
        options.jobs == 0 ? targets.size() : std::min<size_t>(options.jobs, targets.size());
    std::vector<std::thread> workers;
    workers.reserve(jobs);
    std::string notStarted;
    for (size_t j = 0; j < jobs; ++j) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error& error) {
            // The camera it would have taken first is not updated; the others go on.
            notStarted = std::string("no worker could be started for the camera: ") + error.what();
            const size_t k = next++;
            if (k < targets.size())
                complete(k, failedTurn(notStarted));
        }
    }
    if (workers.empty()) // nobody to take the rest
        for (size_t k = next++; k < targets.size(); k = next++)
            complete(k, failedTurn(notStarted));

    // This thread keeps the board moving and says what an interrupt does.
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
    console.StopBoard();
    producer->Close();
    return finish(plan.Interrupted());
}

} // namespace cli
