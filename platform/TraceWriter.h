#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/TraceSinkSystem.h"

namespace platform::trace {
// Writes the trace file from a thread of its own, so that the thread which traces only copies
// its line. At the pace of a camera's control link a write of the tracing thread's own after
// every register access cost it several microseconds each time, because the processor had gone
// idle meanwhile, and those microseconds sat between the chunks of an upload.
// Lines reach the file whole and in the order they were handed over, at most about kGather
// later. Stop writes what is left; after it, and when no thread can be started, every line is
// written at once by the thread that hands it over. Only a process that is killed can lose the
// lines of its last milliseconds.
class FileWriter {
public:
    static constexpr std::chrono::milliseconds kGather{2};
    static constexpr size_t kMaxPending = size_t{1} << 20; // then the tracing thread writes

    explicit FileWriter(FileHandle file);
    ~FileWriter(); // stops, then closes the file
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void Append(std::string_view line);
    void Stop();

private:
    void Run();
    // With `lock` held: takes the pending lines and writes them, in order with other writers.
    void WritePending(std::unique_lock<std::mutex>& lock);

    FileHandle file;
    std::mutex mutex;   // pending, waiting, stopping, threaded
    std::mutex writing; // out: taken while `mutex` is held, so batches leave in order
    std::condition_variable wake;
    std::string pending, out;
    bool waiting = false, stopping = false, threaded = false;
    std::thread thread;
};
} // namespace platform::trace
