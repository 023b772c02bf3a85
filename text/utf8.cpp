#include "text/utf8.h"

namespace text {

namespace {

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Bytes a lead byte announces: 1 for ASCII and for bytes that lead nothing.
std::size_t announcedBy(unsigned char lead)
{
    return lead >= 0xF8 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

} // namespace

std::size_t announcedLength(std::string_view text, std::size_t at)
{
    const std::size_t expected = announcedBy(static_cast<unsigned char>(text[at]));
    std::size_t length = 1;
    while (length < expected && at + length < text.size()
        && isContinuation(static_cast<unsigned char>(text[at + length])))
        ++length;
    return length;
}

Utf8Step decodeUtf8(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return {lead, 1, true};
    // Two-byte leads below 0xC2 would only spell ASCII again; leads past
    // 0xF4 only code points past 0x10FFFF.
    if (lead < 0xC2 || lead > 0xF4)
        return {};
    const std::size_t expected = announcedBy(lead);
    static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    char32_t value = lead & (0x7F >> expected);
    std::size_t length = 1;
    for (; length < expected; ++length) {
        if (at + length >= text.size() || !isContinuation(static_cast<unsigned char>(text[at + length])))
            return {replacementCharacter, length, false};
        value = (value << 6) | (static_cast<unsigned char>(text[at + length]) & 0x3F);
    }
    if (value < smallest[expected] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return {replacementCharacter, length, false};
    return {value, length, true};
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
           || (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace text
