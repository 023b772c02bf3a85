#include "tests/e2e/background_process.h"

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

namespace e2e {
namespace {

std::vector<char*> pointers(const std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (const std::string& s : strings)
        result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

} // namespace

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
    // Kept clear of descriptor 3, which dup2 onto itself would leave closed on exec.
    const int writeEnd = ::fcntl(report[1], F_DUPFD_CLOEXEC, 10);
    ::close(report[1]);
    report[1] = writeEnd;
    if (writeEnd < 0) {
        ::close(report[0]);
        return process;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // dup2 clears close-on-exec on the copy: only descriptor 3 reaches the program.
    posix_spawn_file_actions_adddup2(&actions, report[1], 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> args = pointers(argv);
    std::vector<char*> env = pointers(environment);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), env.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(report[1]);
    if (error != 0) {
        ::close(report[0]);
        return process;
    }
    process.pid_ = pid;
    process.reportFd_ = report[0];
    return process;
}

BackgroundProcess::~BackgroundProcess()
{
    stop();
}

BackgroundProcess::BackgroundProcess(BackgroundProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), reportFd_(std::exchange(other.reportFd_, -1))
{
}

BackgroundProcess& BackgroundProcess::operator=(BackgroundProcess&& other) noexcept
{
    if (this != &other) {
        stop();
        pid_ = std::exchange(other.pid_, -1);
        reportFd_ = std::exchange(other.reportFd_, -1);
    }
    return *this;
}

std::string BackgroundProcess::readLine(std::chrono::milliseconds timeout)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (reportFd_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return {};
        pollfd entry{reportFd_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {};
        char c = 0;
        if (::read(reportFd_, &c, 1) != 1)
            return {};
        if (c == '\n')
            return line;
        line += c;
    }
    return {};
}

bool BackgroundProcess::waitForExit(std::chrono::milliseconds timeout)
{
    if (pid_ <= 0)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || (done < 0 && errno == ECHILD)) {
            // The leader is gone; helpers left in its group go with it.
            ::kill(-pid_, SIGKILL);
            pid_ = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void BackgroundProcess::stop()
{
    if (pid_ > 0) {
        ::kill(-pid_, SIGTERM);
        if (!waitForExit(std::chrono::seconds(10))) {
            ::kill(-pid_, SIGKILL);
            waitForExit(std::chrono::seconds(10));
        }
    }
    if (reportFd_ >= 0) {
        ::close(reportFd_);
        reportFd_ = -1;
    }
}

} // namespace e2e
