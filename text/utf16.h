#pragma once

#include <string>

// UTF-8 to UTF-16; a byte that starts no valid sequence becomes U+FFFD, so
// broken input still yields readable text instead of failing the mail.
std::u16string utf8ToUtf16(const std::string& text);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(const std::u16string& text);
