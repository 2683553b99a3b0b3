#include "tests/support/ProcessRunner.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace runner {

ProcessResult RunProcess(const ProcessSpec& spec) {
    ProcessResult result;
    os::Child child;
    if (!(result.started = os::Start(spec, child, result.startError)))
        return result;
    const auto start = std::chrono::steady_clock::now();
    auto since = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::thread feeder([&] {
        const std::string& input = spec.standardInput;
        for (size_t at = 0, n = 1; at < input.size() && n > 0; at += n)
            n = os::Write(child.in, input.data() + at, input.size() - at);
        os::Close(child.in);
    });
    std::mutex lock;
    auto drain = [&](os::Handle end, bool isOut) {
        char buffer[65536];
        for (size_t n; (n = os::Read(end, buffer, sizeof buffer)) > 0;) {
            const std::string bytes(buffer, n);
            std::lock_guard<std::mutex> hold(lock);
            (isOut ? result.standardOutput : result.standardError) += bytes;
            if (!isOut)
                continue;
            result.outputChunks.push_back(OutputChunk{since(), bytes});
            const std::string& closeOn = spec.closeOutputOnOutput;
            if (!closeOn.empty() && result.standardOutput.find(closeOn) != std::string::npos)
                break;
        }
        os::Close(end);
    };
    std::thread outReader(drain, child.out, true), errReader(drain, child.err, false);
    size_t next = 0, searchFrom = 0; // the next interrupt, and where its text may begin
    double lastAt = 0;
    const auto deadline = start + std::chrono::seconds(spec.timeoutSeconds);
    while (!os::Ended(child, 10)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            os::Signal(child, true);
        }
        std::lock_guard<std::mutex> hold(lock);
        if (next == spec.interrupts.size())
            continue;
        const Interrupt& due = spec.interrupts[next];
        const size_t at = result.standardOutput.find(due.text, searchFrom);
        if (at == std::string::npos || (since() - lastAt) * 1000 < due.delayMs)
            continue;
        searchFrom = at + spec.interrupts[next++].text.size();
        lastAt = since();
        result.interruptsSent += result.startError.empty() && os::Signal(child, false) ? 1 : 0;
    }
    result.endSeconds = since();
    result.exitStatus = child.status;
    feeder.join();
    outReader.join();
    errReader.join();
    return result;
}

double FirstArrival(const std::vector<OutputChunk>& chunks, const std::string& text) {
    std::string seen;
    for (const OutputChunk& chunk : chunks)
        if ((seen += chunk.bytes).find(text) != std::string::npos)
            return chunk.seconds;
    return -1;
}

} // namespace runner
