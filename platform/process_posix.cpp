#include "platform/process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <system_error>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/descriptor_posix.h"

extern char** environ;

namespace platform {
namespace {

struct SpawnActionsTraits {
    using Handle = posix_spawn_file_actions_t*;
    static constexpr Handle invalid() noexcept { return nullptr; }
    static void free(Handle actions) noexcept { posix_spawn_file_actions_destroy(actions); }
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

// Sleeps until the child ends or the deadline passes, whichever is first,
// where the kernel can wake us for a process (Linux 5.3 and later). Polling
// alone would notice a launcher that is done in two milliseconds only at
// the next of its doubling pauses.
void awaitExit(pid_t pid, std::chrono::steady_clock::time_point deadline)
{
#ifdef SYS_pidfd_open
    const ScopedDescriptor process(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (!process)
        return;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        pollfd ready{process.get(), POLLIN, 0};
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

namespace {

// The HOME a process started with; empty when it had none or it cannot be read.
std::string homeOf(const std::string& processDirectory)
{
    std::ifstream environment(processDirectory + "/environ", std::ios::binary);
    for (std::string entry; std::getline(environment, entry, '\0');) {
        if (entry.rfind("HOME=", 0) == 0)
            return entry.substr(5);
    }
    return {};
}

} // namespace

std::vector<std::intptr_t> processesNamed(const std::string& name)
{
    std::vector<std::intptr_t> ids;
    const ScopedPointer<DIR, &::closedir> proc(::opendir("/proc"));
    if (!proc)
        return ids;
    const std::string shown = name.substr(0, 15);
    const char* ownHome = std::getenv("HOME");
    const std::string home = ownHome != nullptr ? ownHome : "";
    while (const dirent* entry = ::readdir(proc.get())) {
        char* end = nullptr;
        const long id = std::strtol(entry->d_name, &end, 10);
        struct stat info {};
        const std::string dir = std::string("/proc/") + entry->d_name;
        if (*end != '\0' || id <= 0 || ::stat(dir.c_str(), &info) != 0 || info.st_uid != ::getuid())
            continue;
        std::string comm;
        // A client hands its mail to the instance of its own profile, which lives in the same home.
        if (std::getline(std::ifstream(dir + "/comm"), comm) && comm == shown && homeOf(dir) == home
            && processIsAlive(id))
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const ScopedHandle<SpawnActionsTraits> ownActions(&actions);
    if (!options.workingDirectory.empty()
        && posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str()) != 0)
        return outcome;
    if (!options.standardInput.empty()
        && posix_spawn_file_actions_addopen(&actions, 0, options.standardInput.c_str(), O_RDONLY, 0) != 0)
        return outcome;
    const int appendFlags = O_WRONLY | O_CREAT | O_APPEND;
    if (!options.standardOutput.empty()
        && posix_spawn_file_actions_addopen(&actions, 1, options.standardOutput.c_str(), appendFlags, 0644) != 0)
        return outcome;
    if (!options.standardError.empty()
        && posix_spawn_file_actions_addopen(&actions, 2, options.standardError.c_str(), appendFlags, 0644) != 0)
        return outcome;

    std::vector<char*> args = pointers(argv);
    std::vector<char*> env = pointers(options.environment);
    char** envp = options.environment.empty() ? environ : env.data();

    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp) != 0)
        return outcome;

    return waitForExit(pid, timeout);
}

void StartedProcessTraits::free(std::intptr_t process) noexcept
{
    const auto pid = static_cast<pid_t>(process);
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
    if (!process_)
        return {};
    const ProcessOutcome outcome = waitForExit(static_cast<pid_t>(process_.get()), timeout);
    if (outcome.status == ProcessOutcome::Exited)
        process_.release();  // reaped: nothing left to free
    return outcome;
}

StartedProcess startProcess(const std::vector<std::string>& argv, std::string& error,
                            const std::vector<std::string>& variables)
{
    StartedProcess started;
    if (argv.empty() || argv[0].empty()) {
        error = "no program to start";
        return started;
    }
    std::vector<char*> args = pointers(argv);
    std::vector<std::string> environment;
    if (!variables.empty())
        environment = currentEnvironment();
    for (const std::string& variable : variables) {
        const std::string name = variable.substr(0, variable.find('=') + 1);
        environment.erase(std::remove_if(environment.begin(), environment.end(),
                                         [&](const std::string& entry) { return entry.rfind(name, 0) == 0; }),
                          environment.end());
        environment.push_back(variable);
    }
    std::vector<char*> env = pointers(environment);
    pid_t pid = 0;
    // posix_spawn, not a shell: every argument arrives as it is, and a
    // program that cannot be run is reported here rather than by the child.
    const int failure =
        ::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), variables.empty() ? environ : env.data());
    if (failure != 0) {
        error = "cannot start " + argv[0] + ": " + std::strerror(failure);
        return started;
    }
    started.process_.reset(pid);
    return started;
}

} // namespace platform
