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

} // namespace platform
