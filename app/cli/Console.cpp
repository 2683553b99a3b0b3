#include "app/cli/Console.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/cli/Selection.h"
#include "app/cli/Text.h"
#include "platform/Utf8.h"

namespace cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kProgressInterval = std::chrono::seconds(1);

const char* PhaseName(UploadPhase phase) {
    switch (phase) {
    case UploadPhase::Header:
        return "header";
    case UploadPhase::Data:
        return "data";
    case UploadPhase::Flash:
        return "flash";
    case UploadPhase::Waiting:
        return "waiting";
    case UploadPhase::Done:
        return "done";
    }
    return "";
}

double Since(std::chrono::steady_clock::time_point start,
             std::chrono::steady_clock::time_point now) {
    return std::chrono::duration<double>(now - start).count();
}

// "42 %, 2.4 MiB/s, 0:12 left"; padded, the percent takes three places.
std::string DataState(uint32_t sent, uint32_t total, double seconds, bool padded = false) {
    const unsigned percent = total == 0 ? 100 : static_cast<unsigned>(uint64_t{sent} * 100 / total);
    std::string text = std::to_string(percent) + " %";
    if (padded && text.size() < 5)
        text.insert(0, 5 - text.size(), ' ');
    if (sent > 0 && seconds > 0) {
        const double rate = sent / seconds;
        text += ", " + Rate(rate);
        if (sent < total)
            text += ", " + Clock((total - sent) / rate) + " left";
    }
    return text;
}
} // namespace

UpdateConsole::UpdateConsole(bool json, bool terminal)
    : json(json), terminal(terminal), human(json ? stderr : stdout) {}

void UpdateConsole::Write(std::FILE* stream, const std::string& text) {
    bool& failed = stream == stdout ? outputFailed : errorFailed;
    if (failed)
        return; // said once at the end
    errno = 0;
    if (platform::WriteConsoleText(stream, text) && std::fflush(stream) == 0)
        return;
    failed = true;
    if (outputFailure.empty())
        outputFailure =
            std::string(stream == stdout ? "standard output" : "standard error") +
            " could not be written: " + (errno != 0 ? std::strerror(errno) : "write error");
}

std::string UpdateConsole::OutputFailure() {
    std::lock_guard<std::mutex> lock(mutex);
    return outputFailure;
}

void UpdateConsole::Say(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    Lift();
    Write(human, text);
    Redraw();
}

void UpdateConsole::Aside(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    Lift();
    std::fflush(stdout); // what came before stays before
    Write(stderr, text);
    Redraw();
}

void UpdateConsole::Error(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    Lift();
    std::fflush(stdout); // what came before stays before
    Write(stderr, "error: " + text + "\n");
    Redraw();
}

void UpdateConsole::Event(const cli::Json& event) {
    if (!json)
        return;
    const std::string line = JsonLine(event) + "\n";
    std::lock_guard<std::mutex> lock(mutex);
    Write(stdout, line);
}

void UpdateConsole::StartBoard(const std::vector<std::string>& names, uint64_t waitTimeoutMs,
                               double heartbeatSeconds) {
    std::lock_guard<std::mutex> lock(mutex);
    waitLimit = waitTimeoutMs == 0 ? "no limit" : "limit " + Clock(waitTimeoutMs / 1000.0);
    this->heartbeatSeconds = heartbeatSeconds;
    size_t width = 0;
    for (const std::string& name : names)
        width = std::max(width, name.size());
    for (const std::string& name : names) {
        lines.push_back(std::make_unique<Line>());
        lines.back()->name = name + std::string(width - name.size(), ' ');
    }
    boardShown = terminal;
    Redraw();
}

void UpdateConsole::Identify(size_t camera, const std::string& serialNumber,
                             const std::string& deviceId) {
    std::lock_guard<std::mutex> lock(mutex);
    lines[camera]->serialNumber = serialNumber;
    lines[camera]->deviceId = deviceId;
}

void UpdateConsole::Phase(size_t camera, UploadPhase phase) {
    std::lock_guard<std::mutex> lock(mutex);
    Line& line = *lines[camera];
    const Steady::time_point now = Steady::now();
    line.started = true;
    line.phase = phase;
    if (phase == UploadPhase::Data)
        line.dataStart = now;
    if (phase == UploadPhase::Waiting)
        line.flashed = now;
    if (terminal)
        return; // the next tick shows it
    std::string text = line.name + ": ";
    switch (phase) {
    case UploadPhase::Header:
        text += "update header";
        break;
    case UploadPhase::Data:
        text += "sending the image";
        break;
    case UploadPhase::Flash:
        text += "checksum written, sending the flash command";
        break;
    case UploadPhase::Waiting:
        text += "flashing; waiting for the camera to answer";
        break;
    case UploadPhase::Done:
        text += "the camera answered after " + Seconds(Since(line.flashed, now));
        break;
    }
    Write(human, text + "\n");
}

void UpdateConsole::Data(size_t camera, uint32_t sent, uint32_t total) {
    std::lock_guard<std::mutex> lock(mutex);
    Line& line = *lines[camera];
    line.total = total;
    line.sent.store(sent);
    if (terminal || sent == 0)
        return;
    const std::string state = DataState(sent, total, Since(line.dataStart, Steady::now()));
    Write(human, line.name + ": data " + state + "\n");
}

void UpdateConsole::Finished(size_t camera, const std::string& word,
                             const std::string& resultLine) {
    std::lock_guard<std::mutex> lock(mutex);
    Line& line = *lines[camera];
    line.result = word;
    line.resultLine = resultLine;
    if (!terminal)
        Write(human, resultLine);
}

std::string UpdateConsole::Render(const Line& line, Steady::time_point now) const {
    std::string text = line.name + "  ";
    if (!line.result.empty())
        return text + line.result;
    if (!line.started)
        return text + "queued";
    text += PhaseName(line.phase);
    if (line.phase == UploadPhase::Data)
        text += "  " + DataState(line.sent.load(), line.total, Since(line.dataStart, now), true);
    if (line.phase == UploadPhase::Waiting)
        text +=
            "  " + Clock(Since(line.flashed, now)) + " since the flash command (" + waitLimit + ")";
    return text;
}

void UpdateConsole::Lift() {
    if (drawn == 0)
        return;
    Write(human, "\x1b[" + std::to_string(drawn) + "A\r\x1b[J");
    drawn = 0;
}

void UpdateConsole::Redraw(bool onlyChanges) {
    if (!boardShown)
        return;
    const Steady::time_point now = Steady::now();
    std::string board;
    for (const std::unique_ptr<Line>& line : lines)
        board += "\x1b[2K" + Render(*line, now) + "\n";
    if (onlyChanges && drawn > 0 && board == shown)
        return; // nothing new to show
    Write(human, (drawn > 0 ? "\x1b[" + std::to_string(drawn) + "A\r" : std::string()) + board);
    shown = board;
    drawn = lines.size();
    lastDraw = now;
}

// A camera may flash for minutes: a log through a pipe still shows every so often that the
// tool is waiting for it, and how long it may still wait.
void UpdateConsole::Heartbeats() {
    if (heartbeatSeconds <= 0)
        return;
    const Steady::time_point now = Steady::now();
    for (const std::unique_ptr<Line>& line : lines) {
        if (line->phase != UploadPhase::Waiting || !line->result.empty())
            continue;
        const double seconds = Since(line->flashed, now);
        if (seconds < (line->beats + 1.0) * heartbeatSeconds)
            continue;
        // A beat missed (a busy machine) is not made up for; the next is due a whole interval on.
        line->beats = std::max(line->beats + 1,
                               static_cast<uint64_t>(std::min(seconds / heartbeatSeconds, 1e18)));
        if (!terminal)
            Write(human, line->name + ": flashing, " + Clock(seconds) +
                             " since the flash command (" + waitLimit + ")\n");
        if (json)
            Write(stdout, JsonLine({{"event", "heartbeat"},
                                    {"serial_number", line->serialNumber},
                                    {"device_id", line->deviceId},
                                    {"seconds", Rounded(seconds)}}) +
                              "\n");
    }
}

void UpdateConsole::Tick() {
    std::lock_guard<std::mutex> lock(mutex);
    Heartbeats();
    if (boardShown && Steady::now() - lastDraw >= kRedrawInterval)
        Redraw(true);
}

void UpdateConsole::StopBoard() {
    std::lock_guard<std::mutex> lock(mutex);
    if (!boardShown)
        return;
    Lift();
    boardShown = false;
    std::string results;
    for (const std::unique_ptr<Line>& line : lines)
        results += line->resultLine;
    Write(human, results);
}

CameraProgress::CameraProgress(UpdateConsole& console, size_t line, const RemoteDeviceInfo& camera)
    : console(console), line(line), serialNumber(camera.serialNumber), deviceId(camera.deviceId) {
    console.Identify(line, serialNumber, deviceId);
}

void CameraProgress::PhaseChanged(UploadPhase phase) {
    this->phase = phase;
    console.Phase(line, phase);
    console.Event({{"event", "phase"},
                   {"serial_number", serialNumber},
                   {"device_id", deviceId},
                   {"phase", PhaseName(phase)}});
}

// Before every chunk: only what is due leaves the worker. The line and the event go out at
// each 10 % step, at most once a second but always at the end.
void CameraProgress::Progress(uint32_t sent, uint32_t total) {
    console.Sent(line, sent);
    if (sent == 0) {
        console.Data(line, sent, total); // the board learns the size
        return;
    }
    const unsigned tenth = total == 0 ? 10 : static_cast<unsigned>(uint64_t{sent} * 10 / total);
    if (tenth <= lastTenth)
        return;
    lastTenth = tenth;
    const auto now = std::chrono::steady_clock::now();
    if (sent == total || !shown || now - lastShown >= kProgressInterval) {
        shown = true;
        lastShown = now;
        console.Data(line, sent, total);
        console.Event({{"event", "progress"},
                       {"serial_number", serialNumber},
                       {"device_id", deviceId},
                       {"bytes_sent", sent},
                       {"bytes_total", total}});
    }
}

} // namespace cli
