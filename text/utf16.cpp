#include "text/utf16.h"

#include "text/utf8.h"

std::u16string utf8ToUtf16(const std::string& text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::string::size_type i = 0; i < text.size();) {
        const text::Utf8Step step = text::decodeUtf8(text, i);
        const char32_t c = step.codePoint;
        i += step.length;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::u16string::size_type i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = text::replacementCharacter;
        }
        text::appendUtf8(out, c);
    }
    return out;
}
