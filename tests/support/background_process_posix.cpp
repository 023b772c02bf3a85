#include "tests/support/background_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace testing_support {
namespace {

// Whether the group's leader ended within timeout; helpers left in its group go with it.
bool reaped(int leader, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(leader, &status, WNOHANG);
        if (done == leader || (done < 0 && errno == ECHILD)) {
            ::kill(-leader, SIGKILL);
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace

void ProcessGroupTraits::free(Handle leader) noexcept
{
    ::kill(-leader, SIGTERM);
    if (!reaped(leader, std::chrono::seconds(10))) {
        ::kill(-leader, SIGKILL);
        reaped(leader, std::chrono::seconds(10));
    }
}

std::vector<char*> cStrings(const std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (const std::string& s : strings)
        result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

std::string findOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    std::string::size_type start = 0;
    while (start <= dirs.size()) {
        const std::string::size_type end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

BackgroundProcess BackgroundProcess::start(const std::vector<std::string>& argv,
                                           const std::vector<std::string>& environment, const std::string& logFile)
{
    BackgroundProcess process;
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return process;
    platform::ScopedDescriptor readEnd(report[0]);
    // Kept clear of descriptor 3, which dup2 onto itself would leave closed on exec.
    const platform::ScopedDescriptor writeEnd(::fcntl(report[1], F_DUPFD_CLOEXEC, 10));
    ::close(report[1]);
    if (!writeEnd)
        return process;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // dup2 clears close-on-exec on the copy: only descriptor 3 reaches the program.
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    const std::vector<char*> args = cStrings(argv), env = cStrings(environment);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), env.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error == 0) {
        process.group_.reset(pid);
        process.report_ = std::move(readEnd);
    }
    return process;
}

std::string BackgroundProcess::readLine(std::chrono::milliseconds timeout)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (report_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return {};
        pollfd entry{report_.get(), POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {};
        char c = 0;
        if (::read(report_.get(), &c, 1) != 1)
            return {};
        if (c == '\n')
            return line;
        line += c;
    }
    return {};
}

bool BackgroundProcess::waitForExit(std::chrono::milliseconds timeout)
{
    if (group_ && reaped(group_.get(), timeout))
        group_.release();
    return !group_;
}

} // namespace testing_support
