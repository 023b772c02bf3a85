#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/descriptor_posix.h"

namespace testing_support {

// A process group, by its leader's pid, that freeing ends: a polite signal
// first, a hard one after a grace period.
struct ProcessGroupTraits {
    using Handle = int;
    static constexpr Handle invalid() noexcept { return -1; }
    static void free(Handle leader) noexcept;
};

// A program that runs beside a test (an X server, a session bus, a mail
// client) in a process group of its own, so the helpers it starts end with it.
// Dropping the object ends the whole group.
class BackgroundProcess {
public:
    // Starts argv[0] (found through PATH) with exactly environment, its output
    // appended to logFile. The program's descriptor 3 is a pipe readable with
    // readLine(), for servers that report where they listen (-displayfd 3,
    // --print-address=3).
    static BackgroundProcess start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                                   const std::string& logFile);

    explicit operator bool() const { return static_cast<bool>(group_); }
    // The first line the program wrote to descriptor 3; empty when none came in time.
    std::string readLine(std::chrono::milliseconds timeout);
    // Whether the program ended within timeout.
    bool waitForExit(std::chrono::milliseconds timeout);

private:
    platform::ScopedHandle<ProcessGroupTraits> group_;
    platform::ScopedDescriptor report_;
};

// The full path of an executable found through PATH; empty when there is none.
std::string findOnPath(const std::string& name);

// The strings as the array, ended by a null pointer, that exec and
// posix_spawn take; valid while strings is.
std::vector<char*> cStrings(const std::vector<std::string>& strings);

} // namespace testing_support
