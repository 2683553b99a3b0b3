#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/Console.h"
#include "app/cli/History.h"
#include "app/cli/ImageFile.h"
#include "app/cli/Options.h"
#include "app/cli/Producers.h"
#include "app/cli/Records.h"
#include "app/cli/Selection.h"
#include "app/cli/Text.h"
#include "app/cli/UpdateText.h"
#include "app/cli/Workers.h"
#include "platform/Interrupt.h"
#include "platform/Sha256.h"
#include "platform/SystemInfo.h"
#include "platform/Terminal.h"

namespace cli {

namespace {
// --skip-current: a camera the report shows with this image gets nothing.
void SkipCurrent(const UpdateHistory& history, const std::vector<Camera>& cameras,
                 const std::string& sha256, Selection& selection) {
    for (size_t i = 0; i < cameras.size(); ++i) {
        CameraChoice& choice = selection.choices[i];
        if (choice.verdict != Verdict::Update)
            continue;
        const std::string when = history.AlreadyHas(cameras[i].identity, sha256);
        if (!when.empty()) {
            choice.verdict = Verdict::Current;
            choice.reason = "already has this image: updated " + when;
        }
    }
}

// What a run of `update` holds from its first step to its last.
class UpdateRun {
public:
    explicit UpdateRun(const UpdateOptions& options)
        : options(options),
          console(options.json, platform::IsTerminal(options.json ? platform::Stream::Error
                                                                  : platform::Stream::Output)),
          outcomes(console, facts),
          early(console, [this] { outcomes.Finish(kExitInterrupted, skipped); }),
          firmware(options.firmwareFile),
          enumeration([this](const std::string& text) { console.Say(text); }) {
        facts.file = options.firmwareFile;
        facts.host = platform::HostName();
    }

    // Up to the choice of the cameras; a hang there ends the run at an interrupt. True when
    // interrupted.
    bool Prepare() {
        const bool interrupted = early.Run([this] { PrepareSteps(); });
        for (const std::string& warning : warnings)
            console.Say("warning: " + warning + "\n");
        return interrupted;
    }
    bool Refused() const { return !refusal.empty(); }
    bool InterruptedEarly() { return early.Interrupted(); }
    int EndInterrupted() {
        Close();
        return outcomes.Finish(kExitInterrupted, skipped);
    }
    int Refuse(const std::vector<std::string>& errors);
    int Refuse() { return Refuse({refusal}); }
    int RefuseSelection() { return Refuse(selection.errors); }

    void ShowProblems();
    // The camera events and the refused cameras' records; the cameras to update.
    std::vector<size_t> ShowCameras();
    bool SelectionFailed() const { return !selection.errors.empty(); }
    void ShowFirmware();
    int DryRun(const std::vector<size_t>& targets);
    int Update(const std::vector<size_t>& targets) {
        const bool interrupted =
            UpdateCameras(console, outcomes, *producer, targets, image, firmware, options);
        producer->Close();
        return Finish(interrupted);
    }
    bool IsDryRun() const { return options.dryRun; }

private:
    void PrepareSteps();
    // Before the first write the producer is closed the same way: a hang there ends the run.
    void Close() {
        early.Run([this] { producer.reset(); });
    }
    int Finish(bool interrupted);

    const UpdateOptions& options;
    // Interrupts are counted from here on: up to the first write to a camera they end the run
    // at once (UntilFirstWrite); from it on they stop the uploads between two writes.
    platform::InterruptDeferral deferral;
    UpdateConsole console;
    RunFacts facts;
    Outcomes outcomes;
    unsigned skipped = 0;
    UntilFirstWrite early;

    std::string refusal;
    const FirmwareName firmware;
    LoadedImage image;
    TextEnumerationReport enumeration;
    std::unique_ptr<OpenedProducer> producer;
    Selection selection;
    std::vector<std::string> warnings;
};

void UpdateRun::PrepareSteps() {
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
    selection = SelectCameras(producer->cameras, options, firmware);
    if (options.skipCurrent)
        SkipCurrent(UpdateHistory::Read(options.reportFile, warnings), producer->cameras,
                    facts.sha256, selection);
}

int UpdateRun::Refuse(const std::vector<std::string>& errors) {
    for (const std::string& error : errors)
        console.Error(error);
    Close();
    return outcomes.Finish(early.Interrupted() ? kExitInterrupted : kExitRefused, skipped);
}

// How a run that got to the cameras ends.
int UpdateRun::Finish(bool interrupted) {
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
}

void UpdateRun::ShowProblems() {
    for (const ListingProblem& problem : enumeration.problems) {
        console.Error(problem.reason);
        Json event = {{"event", "problem"}};
        event.update(problem.ToJson());
        console.Event(event);
    }
}

std::vector<size_t> UpdateRun::ShowCameras() {
    const std::vector<Camera>& cameras = producer->cameras;
    std::vector<size_t> targets;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const CameraChoice& choice = selection.choices[i];
        Json event = {{"event", "camera"}};
        event.update(IdentityJson(cameras[i].identity));
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
    return targets;
}

void UpdateRun::ShowFirmware() {
    console.Say("firmware " + firmware.shownPath + ": " + std::to_string(facts.fileSize) +
                " bytes, upload size " + std::to_string(facts.uploadSize) + ", CRC-32 " +
                Hex32(facts.crc) + "\n  SHA-256 " + facts.sha256 + "\nproducer " +
                Printable(facts.producer) + "\n" + Plan(producer->cameras, selection));
}

int UpdateRun::DryRun(const std::vector<size_t>& targets) {
    for (size_t i : targets) {
        Attempt ready;
        ready.result = Result::DryRun;
        outcomes.Add(producer->cameras[i], ready);
        console.Say(ResultLine(producer->cameras[i], ready));
    }
    Close();
    return Finish(early.Interrupted());
}
} // namespace

int RunUpdate(const UpdateOptions& options) {
    UpdateRun run(options);
    if (run.Prepare())
        return run.EndInterrupted();
    if (run.Refused())
        return run.Refuse();
    run.ShowProblems();
    const std::vector<size_t> targets = run.ShowCameras();
    if (run.SelectionFailed())
        return run.RefuseSelection();
    run.ShowFirmware();
    if (run.IsDryRun())
        return run.DryRun(targets);
    if (run.InterruptedEarly())
        return run.EndInterrupted();
    return run.Update(targets);
}

} // namespace cli
