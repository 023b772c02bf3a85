#include "platform/code_page.h"

#include <windows.h>

#include "platform/utf16_win.h"

namespace platform {

std::string toNarrowCodePage(const std::string& utf8)
{
    if (::GetACP() == CP_UTF8 || utf8.empty())
        return utf8;
    const std::wstring wide = toWide(utf8);
    const int size = static_cast<int>(wide.size());
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}

} // namespace platform
