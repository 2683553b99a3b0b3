#include "tests/support/ProcessRunner.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace runner::os {

bool Start(const ProcessSpec& spec, Child& child, std::string& error) {
    signal(SIGPIPE, SIG_IGN); // a child that stops reading its input must not end the test
    int theirs[3] = {-1, -1, -1}, ours[3] = {-1, -1, -1}, failed = 0;
    for (int i = 0; i < 3; ++i) {
        int fds[2] = {-1, -1};
        failed = pipe2(fds, O_CLOEXEC) == 0 ? failed : errno;
        theirs[i] = fds[i == 0 ? 0 : 1];
        ours[i] = fds[i == 0 ? 1 : 0];
    }
    std::vector<std::string> args{spec.program}, env;
    args.insert(args.end(), spec.arguments.begin(), spec.arguments.end());
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry), name = text.substr(0, text.find('='));
        const auto& unset = spec.unsetEnv;
        if (spec.setEnv.count(name) == 0 && std::count(unset.begin(), unset.end(), name) == 0)
            env.push_back(text);
    }
    for (const auto& [name, value] : spec.setEnv)
        env.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (auto [texts, list] : {std::pair{&args, &argv}, {&env, &envp}}) {
        for (std::string& text : *texts)
            list->push_back(text.data());
        list->push_back(nullptr);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int i = 0; i < 3; ++i)
        posix_spawn_file_actions_adddup2(&actions, theirs[i], i);
    if (!spec.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, spec.workingDirectory.c_str());
    // The child starts as from a shell, not with our SIGPIPE ignored.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    // The child inherits the limit; ours is put back at once.
    rlimit saved{};
    const bool limited = spec.addressSpaceLimit > 0 && getrlimit(RLIMIT_AS, &saved) == 0;
    const rlimit lowered{static_cast<rlim_t>(spec.addressSpaceLimit), saved.rlim_max};
    if (limited)
        setrlimit(RLIMIT_AS, &lowered);
    pid_t pid = -1;
    // A failed exec or change of folder in the child shows here too.
    const int spawned = failed != 0 ? failed
                                    : posix_spawn(&pid, spec.program.c_str(), &actions, &attributes,
                                                  argv.data(), envp.data());
    if (limited)
        setrlimit(RLIMIT_AS, &saved);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 3; ++i) {
        Close(theirs[i]);
        if (spawned != 0)
            Close(ours[i]);
    }
    if (spawned != 0) {
        error = "posix_spawn " + spec.program +
                (spec.workingDirectory.empty() ? "" : " in " + spec.workingDirectory) + ": " +
                std::strerror(spawned);
        return false;
    }
    child = Child{pid, ours[0], ours[1], ours[2]};
    return true;
}

size_t Write(Handle end, const char* data, size_t size) {
    ssize_t n = 0;
    while ((n = write(static_cast<int>(end), data, size)) < 0 && errno == EINTR) {
    }
    return n > 0 ? static_cast<size_t>(n) : 0;
}

size_t Read(Handle end, char* buffer, size_t size) {
    ssize_t n = 0;
    while ((n = read(static_cast<int>(end), buffer, size)) < 0 && errno == EINTR) {
    }
    return n > 0 ? static_cast<size_t>(n) : 0;
}

void Close(Handle end) {
    if (end >= 0)
        close(static_cast<int>(end));
}

bool Ended(Child& child, unsigned waitMs) {
    int status = 0;
    const pid_t got = waitpid(static_cast<pid_t>(child.process), &status, WNOHANG);
    if (got == 0)
        usleep(waitMs * 1000);
    if (got > 0)
        child.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return got != 0;
}

bool Signal(const Child& child, bool kill) {
    return ::kill(static_cast<pid_t>(child.process), kill ? SIGKILL : SIGINT) == 0;
}

} // namespace runner::os

int runner::ExitStatusSeenForCode(int code) {
    return code & 0xFF;
}
