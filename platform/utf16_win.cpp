#include "platform/utf16_win.h"

#include <windows.h>

namespace platform {

namespace {

bool convert(const std::string& utf8, DWORD flags, std::wstring& wide)
{
    wide.clear();
    if (utf8.empty())
        return true;
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    wide.resize(static_cast<std::size_t>(length));
    if (::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, &wide[0], length) == length)
        return true;
    wide.clear();
    return false;
}

} // namespace

std::wstring toWide(const std::string& utf8)
{
    std::wstring wide;
    convert(utf8, 0, wide);
    return wide;
}

bool toWideStrictly(const std::string& utf8, std::wstring& wide)
{
    return convert(utf8, MB_ERR_INVALID_CHARS, wide);
}

std::string fromWide(const wchar_t* wide, std::size_t length)
{
    if (length == 0)
        return {};
    const int size = static_cast<int>(length);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide, size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, size, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

std::string fromWide(const std::wstring& wide)
{
    return fromWide(wide.data(), wide.size());
}

} // namespace platform
