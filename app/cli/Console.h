#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/cli/Producers.h"
#include "firmware/UploadProtocol.h"

namespace cli {

// Everything an update shows, from any worker thread: human text on standard output (standard
// error with --json), JSON events on standard output, and while the images go out the
// progress of every camera. Each line leaves whole.
class UpdateConsole {
public:
    UpdateConsole(bool json, bool terminal);

    bool Json() const { return json; }
    void Say(const std::string& text);   // human text with its line ends
    void Aside(const std::string& text); // human text on standard error whatever the mode
    void Error(const std::string& text); // "error: <text>" on standard error
    void Event(const cli::Json& event);  // with --json only
    // A write to standard output or standard error failed: why, else empty. A stream that
    // failed once is written no more; the run goes on.
    std::string OutputFailure();

    // The progress of the cameras being updated, one line each in this order. On a terminal
    // they are redrawn in place by Tick (at most 10 times a second); elsewhere a line is
    // printed per phase and per 10 %, and Tick gives a flashing camera a line every
    // `heartbeatSeconds` (0: never), with a heartbeat event under --json.
    void StartBoard(const std::vector<std::string>& names, uint64_t waitTimeoutMs,
                    double heartbeatSeconds);
    void Identify(size_t camera, const std::string& serialNumber, const std::string& deviceId);
    void Phase(size_t camera, UploadPhase phase);
    void Data(size_t camera, uint32_t sent, uint32_t total); // called when something is to show
    void Sent(size_t camera, uint32_t sent) { lines[camera]->sent.store(sent); }
    void Finished(size_t camera, const std::string& word, const std::string& resultLine);
    void Tick();
    void StopBoard(); // on a terminal: the board gives way to the result lines

private:
    using Steady = std::chrono::steady_clock;
    struct Line {
        std::string name;
        std::string serialNumber, deviceId;
        UploadPhase phase = UploadPhase::Header;
        bool started = false;
        std::atomic<uint32_t> sent{0};
        uint32_t total = 0;
        Steady::time_point dataStart, flashed;
        std::string result; // a word once finished
        std::string resultLine;
        uint64_t beats = 0; // heartbeats since the flash command
    };

    void Write(std::FILE* stream, const std::string& text); // locked; failures remembered
    std::string Render(const Line& line, Steady::time_point now) const;
    void Lift();                           // locked: erase the board
    void Redraw(bool onlyChanges = false); // locked
    void Heartbeats();                     // locked

    const bool json;
    const bool terminal;
    std::FILE* const human;
    std::mutex mutex;
    std::string outputFailure;
    bool outputFailed = false, errorFailed = false;
    std::vector<std::unique_ptr<Line>> lines;
    bool boardShown = false;
    size_t drawn = 0;  // board lines now on the screen
    std::string shown; // and what they say
    Steady::time_point lastDraw;
    std::string waitLimit; // "limit 15:00", "no limit"
    double heartbeatSeconds = 0;
};

// One camera's upload as the console shows it; runs on that camera's worker.
class CameraProgress : public UploadReport {
public:
    CameraProgress(UpdateConsole& console, size_t line, const RemoteDeviceInfo& camera);
    void PhaseChanged(UploadPhase phase) override;
    void Progress(uint32_t sent, uint32_t total) override;
    UploadPhase Phase() const { return phase; }

private:
    UpdateConsole& console;
    UploadPhase phase = UploadPhase::Header;
    const size_t line;
    const std::string serialNumber;
    const std::string deviceId;
    std::chrono::steady_clock::time_point lastShown;
    bool shown = false; // a progress line or event went out
    unsigned lastTenth = 0;
};

} // namespace cli
