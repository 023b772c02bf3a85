#pragma once

#include <string>

namespace platform {

// Every string the platform faces hands out or takes is UTF-8; the wide
// Windows calls take these, whatever the process's ANSI code page is.
std::wstring toWide(const std::string& utf8);
// The same, but false (and wide empty) when utf8 is no well-formed UTF-8.
bool toWideStrictly(const std::string& utf8, std::wstring& wide);
std::string fromWide(const wchar_t* wide, std::size_t length);
std::string fromWide(const std::wstring& wide);

} // namespace platform
