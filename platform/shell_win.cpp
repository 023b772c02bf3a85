#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/utf16_win.h"

namespace platform {

std::intptr_t shellOpen(const std::string& url)
{
    HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, toWide(url).c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<std::intptr_t>(result);
}

} // namespace platform
