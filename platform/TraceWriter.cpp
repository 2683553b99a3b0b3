#include "platform/TraceWriter.h"

#include <system_error>

namespace platform::trace {
FileWriter::FileWriter(FileHandle file) : file(file) {
    try {
        thread = std::thread([this] { Run(); });
        threaded = true;
    } catch (const std::system_error&) {
        // No thread to spare: each line is written as it comes.
    }
}

FileWriter::~FileWriter() {
    Stop();
    CloseFile(file);
}

void FileWriter::Append(std::string_view line) {
    std::unique_lock<std::mutex> lock(mutex);
    pending.append(line);
    if (!threaded || pending.size() >= kMaxPending) {
        WritePending(lock);
    } else if (waiting) {
        waiting = false;
        wake.notify_one();
    }
}

void FileWriter::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        threaded = false;
    }
    wake.notify_one();
    if (thread.joinable())
        thread.join();
    std::unique_lock<std::mutex> lock(mutex);
    if (!pending.empty())
        WritePending(lock);
}

void FileWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping || !pending.empty()) {
        if (pending.empty()) {
            // Idle until a line comes: the next Append wakes us.
            waiting = true;
            wake.wait(lock, [this] { return !waiting || stopping; });
            waiting = false;
            continue;
        }
        WritePending(lock);
        // Let the lines of the next few milliseconds gather into one write; nobody has to wake
        // us for them.
        wake.wait_for(lock, kGather, [this] { return stopping; });
    }
}

void FileWriter::WritePending(std::unique_lock<std::mutex>& lock) {
    std::unique_lock<std::mutex> turn(writing);
    out.swap(pending);
    lock.unlock();
    WriteFile(file, out.data(), out.size());
    out.clear();
    turn.unlock();
    lock.lock();
}
} // namespace platform::trace
