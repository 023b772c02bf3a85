#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/utf16_win.h"

namespace platform {
namespace {

// The handler gets the URL on its command line, which holds at most 32,767
// characters with the NUL (CreateProcess); the rest of that line is the
// handler's path (up to MAX_PATH, quoted) and its switches.
constexpr std::size_t maxCommandLineCharacters = 32767;
constexpr std::size_t handlerRoom = 1023;

// Wine's ShellExecute puts the handler's command line into 1024 characters:
// a URL a little longer is dropped unseen, a longer one ends this process.
constexpr std::size_t wineCommandLineCharacters = 1024;
constexpr std::size_t wineHandlerRoom = 128;

bool runsUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

std::intptr_t shellOpen(const std::string& url)
{
    HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, toWide(url).c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<std::intptr_t>(result);
}

std::size_t maxShellUrlLength()
{
    // Escaped URLs are ASCII: one byte, one character.
    static const std::size_t limit =
        runsUnderWine() ? wineCommandLineCharacters - wineHandlerRoom : maxCommandLineCharacters - handlerRoom;
    return limit;
}

} // namespace platform
