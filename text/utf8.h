#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The one UTF-8 walker. Each caller keeps its own rule for what is not
// well-formed on top of it: replace it, refuse the text, or cut around it.
namespace text {

constexpr char32_t replacementCharacter = 0xFFFD;

// One step of the walk.
struct Utf8Step {
    char32_t codePoint = replacementCharacter;  // replacementCharacter when not valid
    std::size_t length = 1;                      // bytes the step moves on, at least 1
    bool valid = false;                          // well-formed, and a Unicode scalar value
};

// Decodes the sequence that starts at text[at] (at < text.size()). A byte
// that can start no sequence (a continuation byte, 0xC0, 0xC1, 0xF5 and up)
// is a step of one byte; any other lead takes the continuation bytes that
// follow it, up to the first that cannot continue it.
Utf8Step decodeUtf8(std::string_view text, std::size_t at);

// The bytes of the sequence that starts at text[at] as its lead byte
// announces them (0xC0 to 0xF7 announce 2 to 4), shortened at the first byte
// that cannot continue it; 1 for any other byte. Whether the sequence is
// well-formed does not matter: this is where a text may be cut.
std::size_t announcedLength(std::string_view text, std::size_t at);

// Appends codePoint (at most 0x10FFFF) as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

// A character XML 1.0 lets a document carry.
bool isXmlChar(char32_t c);

} // namespace text
