#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {

std::intptr_t shellOpen(const std::string& url)
{
    HINSTANCE result = ::ShellExecuteA(nullptr, nullptr, url.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<std::intptr_t>(result);
}

} // namespace platform
