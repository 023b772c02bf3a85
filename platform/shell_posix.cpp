#include "platform/shell.h"

#include <chrono>

#include "platform/process.h"

namespace platform {
namespace {

#if defined(__APPLE__)
const char* const opener = "open";
#else
const char* const opener = "xdg-open";
#endif

// The Windows shell's own codes, so callers read one contract everywhere.
constexpr std::intptr_t accepted = 42;
constexpr std::intptr_t fileNotFound = 2;
constexpr std::intptr_t noAssociation = 31;

// Linux takes at most 128 KiB, the NUL included, in one argument (MAX_ARG_STRLEN);
// the URL is one argument of the opener and of the handler it starts. 4 KiB of
// it are left to a handler that wraps the URL into a longer argument of its own.
constexpr std::size_t maxArgumentBytes = 128 * 1024;
constexpr std::size_t handlerRoom = 4 * 1024;

} // namespace

std::intptr_t shellOpen(const std::string& url)
{
    // Some openers stay until the handler they started has ended; one still
    // running after the wait has handed the URL on.
    ProcessOutcome outcome = runProcess({opener, url}, std::chrono::seconds(10));
    switch (outcome.status) {
    case ProcessOutcome::NotStarted:
        return fileNotFound;
    case ProcessOutcome::StillRunning:
        return accepted;
    case ProcessOutcome::Exited:
        break;
    }
    return outcome.exitCode == 0 ? accepted : noAssociation;
}

std::size_t maxShellUrlLength()
{
    return maxArgumentBytes - handlerRoom;
}

} // namespace platform
