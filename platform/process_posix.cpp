#include "platform/process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <system_error>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

// Owns what posix_spawn needs freed, whichever way the start goes.
class SpawnSetup {
public:
    SpawnSetup() { posix_spawn_file_actions_init(&actions); }
    ~SpawnSetup() { posix_spawn_file_actions_destroy(&actions); }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    posix_spawn_file_actions_t actions;
};

std::vector<char*> pointers(const std::vector<std::string>& strings)
{
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (const std::string& s : strings)
        result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

int exitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

class ScopedDescriptor {
public:
    explicit ScopedDescriptor(int fd) : fd(fd) {}
    ~ScopedDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    ScopedDescriptor(const ScopedDescriptor&) = delete;
    ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
    const int fd;
};

// Sleeps until the child ends or the deadline passes, whichever is first,
// where the kernel can wake us for a process (Linux 5.3 and later). Polling
// alone would notice a launcher that is done in two milliseconds only at
// the next of its doubling pauses.
void awaitExit(pid_t pid, std::chrono::steady_clock::time_point deadline)
{
#ifdef SYS_pidfd_open
    const ScopedDescriptor process(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (process.fd < 0)
        return;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        pollfd ready{process.fd, POLLIN, 0};
        const int waitMs = static_cast<int>(std::min<long long>(left.count(), 1 << 30));
        if (::poll(&ready, 1, waitMs) >= 0 || errno != EINTR)
            return;
    }
#else
    (void)pid;
    (void)deadline;
#endif
}

// Waits at most timeout for the child to end, and reaps it when it has.
// Polls rather than blocks: a mail client may keep its launcher waiting
// until the user closes the compose window.
ProcessOutcome waitForExit(pid_t pid, std::chrono::milliseconds timeout)
{
    ProcessOutcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    awaitExit(pid, deadline);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            outcome.status = ProcessOutcome::Exited;
            outcome.exitCode = exitCodeOf(status);
            return outcome;
        }
        if (done < 0 && errno != EINTR) {
            outcome.status = ProcessOutcome::Exited;
            return outcome;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            outcome.status = ProcessOutcome::StillRunning;
            return outcome;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

} // namespace

const char pathListSeparator = ':';

std::vector<std::string> currentEnvironment()
{
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry)
        result.emplace_back(*entry);
    return result;
}

bool setEnvironmentVariable(const std::string& name, const std::string& value)
{
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::vector<std::intptr_t> processesNamed(const std::string& name)
{
    std::vector<std::intptr_t> ids;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc)
        return ids;
    const std::string shown = name.substr(0, 15);
    while (const dirent* entry = ::readdir(proc.get())) {
        char* end = nullptr;
        const long id = std::strtol(entry->d_name, &end, 10);
        struct stat info {};
        const std::string dir = std::string("/proc/") + entry->d_name;
        if (*end != '\0' || id <= 0 || ::stat(dir.c_str(), &info) != 0 || info.st_uid != ::getuid())
            continue;
        std::string comm;
        if (std::getline(std::ifstream(dir + "/comm"), comm) && comm == shown && processIsAlive(id))
            ids.push_back(id);
    }
    return ids;
}

bool processIsAlive(std::intptr_t id)
{
    // "PID (name) STATE ...": the name may hold blanks and parentheses.
    std::string stat;
    std::getline(std::ifstream("/proc/" + std::to_string(id) + "/stat"), stat);
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z' && stat[close + 2] != 'X';
}

std::size_t longestArgument()
{
#if defined(__linux__)
    // Linux refuses any one argument of 32 pages (128 KiB) or more, its NUL included.
    const long limit = 32 * ::sysconf(_SC_PAGESIZE);
#else
    const long limit = ::sysconf(_SC_ARG_MAX);
#endif
    return limit <= 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(limit) - 1;
}

ProcessOutcome runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                          const ProcessOptions& options)
{
    ProcessOutcome outcome;
    if (argv.empty())
        return outcome;

    SpawnSetup setup;
    if (!options.workingDirectory.empty()
        && posix_spawn_file_actions_addchdir_np(&setup.actions, options.workingDirectory.c_str()) != 0)
        return outcome;
    if (!options.standardInput.empty()
        && posix_spawn_file_actions_addopen(&setup.actions, 0, options.standardInput.c_str(), O_RDONLY, 0) != 0)
        return outcome;
    const int appendFlags = O_WRONLY | O_CREAT | O_APPEND;
    if (!options.standardOutput.empty()
        && posix_spawn_file_actions_addopen(&setup.actions, 1, options.standardOutput.c_str(), appendFlags, 0644) != 0)
        return outcome;
    if (!options.standardError.empty()
        && posix_spawn_file_actions_addopen(&setup.actions, 2, options.standardError.c_str(), appendFlags, 0644) != 0)
        return outcome;

    std::vector<char*> args = pointers(argv);
    std::vector<char*> env = pointers(options.environment);
    char** envp = options.environment.empty() ? environ : env.data();

    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &setup.actions, nullptr, args.data(), envp) != 0)
        return outcome;

    return waitForExit(pid, timeout);
}

void StartedProcess::release() noexcept
{
    if (id_ == 0)
        return;
    const auto pid = static_cast<pid_t>(id_);
    id_ = 0;
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the ended program stays a zombie until we exit.
    }
}

ProcessOutcome StartedProcess::waitFor(std::chrono::milliseconds timeout)
{
    if (id_ == 0)
        return {};
    const ProcessOutcome outcome = waitForExit(static_cast<pid_t>(id_), timeout);
    if (outcome.status == ProcessOutcome::Exited)
        id_ = 0;
    return outcome;
}

StartedProcess startProcess(const std::vector<std::string>& argv, std::string& error)
{
    StartedProcess started;
    if (argv.empty() || argv[0].empty()) {
        error = "no program to start";
        return started;
    }
    std::vector<char*> args = pointers(argv);
    pid_t pid = 0;
    // posix_spawn, not a shell: every argument arrives as it is, and a
    // program that cannot be run is reported here rather than by the child.
    const int failure = ::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (failure != 0) {
        error = "cannot start " + argv[0] + ": " + std::strerror(failure);
        return started;
    }
    started.id_ = pid;
    return started;
}

} // namespace platform
