#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {
namespace {

// The handler gets the URL on its command line, which holds at most 32,767
// characters with the NUL (CreateProcess); the rest of that line is the
// handler's path (up to MAX_PATH, quoted) and its switches.
constexpr std::size_t maxCommandLineCharacters = 32767;
constexpr std::size_t handlerRoom = 1023;

} // namespace

std::intptr_t shellOpen(const std::string& url)
{
    HINSTANCE result = ::ShellExecuteA(nullptr, nullptr, url.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<std::intptr_t>(result);
}

std::size_t maxShellUrlLength()
{
    // Escaped URLs are ASCII: one byte, one character.
    return maxCommandLineCharacters - handlerRoom;
}

} // namespace platform
