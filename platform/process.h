#pragma once

#include <chrono>
#include <string>
#include <vector>

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

// The caller's environment as "NAME=value" entries.
std::vector<std::string> currentEnvironment();

// What separates the directories of PATH.
extern const char pathListSeparator;

// Whether the system lets a started program take argument as one argument;
// runProcess fails to start one given anything longer.
bool fitsOneArgument(const std::string& argument);

} // namespace platform
