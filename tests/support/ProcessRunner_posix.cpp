#include "tests/support/ProcessRunner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/ProcessRunnerSchedule.h"

extern char** environ;

namespace runner {
namespace {

struct Pipe {
    int readEnd = -1;
    int writeEnd = -1;
    bool Open() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        readEnd = fds[0];
        writeEnd = fds[1];
        return true;
    }
    static void Close(int& fd) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    ~Pipe() {
        Close(readEnd);
        Close(writeEnd);
    }
};

std::vector<std::string> BuildEnvironment(const ProcessSpec& spec) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text(*entry);
        std::string name = text.substr(0, text.find('='));
        bool replaced = spec.setEnv.count(name) != 0;
        for (const std::string& gone : spec.unsetEnv)
            replaced = replaced || gone == name;
        if (!replaced)
            result.push_back(text);
    }
    for (const auto& [name, value] : spec.setEnv)
        result.push_back(name + "=" + value);
    return result;
}

std::vector<char*> PointerList(std::vector<std::string>& texts) {
    std::vector<char*> list;
    for (std::string& text : texts)
        list.push_back(text.data());
    list.push_back(nullptr);
    return list;
}

} // namespace

ProcessResult RunProcess(const ProcessSpec& spec) {
    // A child that stops reading its input must not kill the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    ProcessResult result;
    Pipe in, out, err;
    if (!in.Open() || !out.Open() || !err.Open()) {
        result.startError = std::string("pipe: ") + std::strerror(errno);
        return result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.readEnd, 0);
    posix_spawn_file_actions_adddup2(&actions, out.writeEnd, 1);
    posix_spawn_file_actions_adddup2(&actions, err.writeEnd, 2);
    if (!spec.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, spec.workingDirectory.c_str());

    std::vector<std::string> argTexts{spec.program};
    argTexts.insert(argTexts.end(), spec.arguments.begin(), spec.arguments.end());
    std::vector<std::string> envTexts = BuildEnvironment(spec);
    std::vector<char*> argv = PointerList(argTexts);
    std::vector<char*> envp = PointerList(envTexts);

    const auto start = std::chrono::steady_clock::now();
    auto since = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    pid_t child = -1;
    // The child inherits the limit; ours is put back at once.
    rlimit saved{};
    const bool limited = spec.addressSpaceLimit > 0 && getrlimit(RLIMIT_AS, &saved) == 0;
    if (limited) {
        rlimit lowered = saved;
        lowered.rlim_cur = static_cast<rlim_t>(spec.addressSpaceLimit);
        setrlimit(RLIMIT_AS, &lowered);
    }
    // The child starts as from a shell, not with our SIGPIPE ignored.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    int spawned =
        posix_spawn(&child, spec.program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (limited)
        setrlimit(RLIMIT_AS, &saved);
    posix_spawn_file_actions_destroy(&actions);
    Pipe::Close(in.readEnd);
    Pipe::Close(out.writeEnd);
    Pipe::Close(err.writeEnd);
    if (spawned != 0) {
        // glibc reports a failed exec or change of directory in the child here as well.
        result.startError = "posix_spawn " + spec.program +
                            (spec.workingDirectory.empty() ? "" : " in " + spec.workingDirectory) +
                            ": " + std::strerror(spawned);
        return result;
    }
    result.started = true;

    fcntl(in.writeEnd, F_SETFL, O_NONBLOCK);
    size_t written = 0;
    if (spec.standardInput.empty())
        Pipe::Close(in.writeEnd);

    InterruptSchedule interrupts(spec);
    auto interruptIfDue = [&] {
        if (!interrupts.Due(result.standardOutput, since()))
            return;
        interrupts.Sent(since());
        if (kill(child, SIGINT) == 0)
            ++result.interruptsSent;
        else
            result.interruptError = std::string("kill: ") + std::strerror(errno);
    };
    const auto deadline = start + std::chrono::seconds(spec.timeoutSeconds);
    char buffer[65536];
    while (out.readEnd >= 0 || err.readEnd >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            result.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        pollfd fds[3];
        int count = 0;
        auto watch = [&](int fd, short events) {
            if (fd >= 0)
                fds[count++] = pollfd{fd, events, 0};
        };
        watch(out.readEnd, POLLIN);
        watch(err.readEnd, POLLIN);
        watch(in.writeEnd, POLLOUT);
        int wait =
            static_cast<int>(interrupts.WaitsOnTime() ? std::min<long long>(left, 10) : left);
        if (poll(fds, count, wait) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents == 0)
                continue;
            if (fds[i].fd == in.writeEnd) {
                ssize_t n = write(in.writeEnd, spec.standardInput.data() + written,
                                  spec.standardInput.size() - written);
                if (n > 0)
                    written += static_cast<size_t>(n);
                if (n < 0 && errno != EAGAIN)
                    Pipe::Close(in.writeEnd); // the child closed its input
                else if (written == spec.standardInput.size())
                    Pipe::Close(in.writeEnd);
                continue;
            }
            bool isOut = fds[i].fd == out.readEnd;
            int& fd = isOut ? out.readEnd : err.readEnd;
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                const std::string bytes(buffer, static_cast<size_t>(n));
                (isOut ? result.standardOutput : result.standardError) += bytes;
                if (isOut)
                    result.outputChunks.push_back(OutputChunk{since(), bytes});
                if (isOut && !spec.closeOutputOnOutput.empty() &&
                    result.standardOutput.find(spec.closeOutputOnOutput) != std::string::npos)
                    Pipe::Close(fd);
            } else if (n == 0 || errno != EINTR) {
                Pipe::Close(fd);
            }
        }
        interruptIfDue();
    }

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.endSeconds = since();
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exitStatus = 128 + WTERMSIG(status);
    return result;
}

int ExitStatusSeenForCode(int code) {
    return code & 0xFF;
}

} // namespace runner
