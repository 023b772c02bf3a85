#pragma once

#include <string>

namespace platform {

// UTF-8 text as the system's narrow ("A") calls read it: unchanged where
// their code page is UTF-8, as it is for our programs wherever the system
// honours their manifest; else in the ANSI code page, with "?" for what it
// cannot hold.
std::string toNarrowCodePage(const std::string& utf8);

} // namespace platform
