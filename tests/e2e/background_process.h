#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

// A program that runs beside a test (an X server, a session bus, a mail
// client) in a process group of its own, so the helpers it starts end with it.
class BackgroundProcess {
public:
    BackgroundProcess() = default;
    // Ends the whole group: a polite signal first, a hard one after a grace period.
    ~BackgroundProcess();
    BackgroundProcess(BackgroundProcess&& other) noexcept;
    BackgroundProcess& operator=(BackgroundProcess&& other) noexcept;
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // Starts argv[0] (found through PATH) with exactly environment, its output
    // appended to logFile. The program's descriptor 3 is a pipe readable with
    // readLine(), for servers that report where they listen (-displayfd 3,
    // --print-address=3).
    static BackgroundProcess start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                                   const std::string& logFile);

    explicit operator bool() const { return pid_ > 0; }
    // The first line the program wrote to descriptor 3; empty when none came in time.
    std::string readLine(std::chrono::milliseconds timeout);
    // Whether the program ended within timeout.
    bool waitForExit(std::chrono::milliseconds timeout);
    void stop();

private:
    int pid_ = -1;
    int reportFd_ = -1;
};

// The full path of an executable found through PATH; empty when there is none.
std::string findOnPath(const std::string& name);

} // namespace e2e
