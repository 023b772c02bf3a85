#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/scoped_handle.h"

namespace platform {

struct ProcessOptions {
    std::string workingDirectory;          // empty: the caller's
    std::vector<std::string> environment;  // "NAME=value" entries; empty: the caller's
    std::string standardInput;             // a file to read from; empty: inherit
    std::string standardOutput;            // files to append to; empty: inherit
    std::string standardError;
};

struct ProcessOutcome {
    enum Status { NotStarted, Exited, StillRunning };
    Status status = NotStarted;
    int exitCode = -1;  // when Exited: the exit status, or 128 + signal number
};

// Starts argv[0], found through PATH when it has no directory part, with
// each element one argument and no shell in between. Waits at most timeout
// for it to end; a program still running then is left running.
ProcessOutcome runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                          const ProcessOptions& options = {});

// A started program that nobody waits for any more: on POSIX a background
// thread reaps it, so no zombie is left behind; on Windows only the handle
// is closed. The pid on POSIX, the process handle on Windows.
struct StartedProcessTraits {
    using Handle = std::intptr_t;
    static constexpr Handle invalid() noexcept { return 0; }
    static void free(Handle process) noexcept;  // in process_<os>.cpp
};

// A program started without waiting for it. Dropping the object leaves the
// program running.
class StartedProcess {
public:
    explicit operator bool() const { return static_cast<bool>(process_); }
    // Waits at most timeout for the program to end; Exited with its status
    // (128 + signal number on POSIX) or StillRunning. Once it has ended the
    // object is empty.
    ProcessOutcome waitFor(std::chrono::milliseconds timeout);

private:
    friend StartedProcess startProcess(const std::vector<std::string>& argv, std::string& error,
                                       const std::vector<std::string>& variables);
    ScopedHandle<StartedProcessTraits> process_;
};

// Starts the program at path argv[0] (not looked up in PATH) with each
// element one argument and no shell in between, and returns at once with the
// started program. An empty object, and the reason in error, when it cannot
// be started (no such file, not executable, arguments not UTF-8 on Windows).
// The program gets the caller's environment with each "NAME=value" of
// variables set on top.
StartedProcess startProcess(const std::vector<std::string>& argv, std::string& error,
                            const std::vector<std::string>& variables = {});

// The caller's environment as "NAME=value" entries.
std::vector<std::string> currentEnvironment();

// Sets one variable of this process's environment, which the programs it
// starts inherit; false when the system refuses.
bool setEnvironmentVariable(const std::string& name, const std::string& value);

// The processes of this user and of this HOME whose name, as the system
// shows it (at most its first 15 bytes on Linux), is name's; empty where the
// system does not say.
std::vector<std::intptr_t> processesNamed(const std::string& name);
// Whether that process is still alive; an ended one not yet reaped is not.
bool processIsAlive(std::intptr_t id);

// What separates the directories of PATH.
extern const char pathListSeparator;

// The longest single argument, in bytes, the system lets a started program
// take; runProcess fails to start one given anything longer.
std::size_t longestArgument();
inline bool fitsOneArgument(const std::string& argument)
{
    return argument.size() <= longestArgument();
}

} // namespace platform
