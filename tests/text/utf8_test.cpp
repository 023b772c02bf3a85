#include "text/utf8.h"

#include <gtest/gtest.h>

namespace {

struct Step {
    const char* bytes;
    char32_t codePoint;  // 0xFFFD where not valid
    std::size_t length;
    bool valid;
    std::size_t announced;
};

// Each caller's rule rests on these: where a step ends, and whether it is a character.
const Step steps[] = {
    {"A", 0x41, 1, true, 1},
    {"\xC3\xA9", 0xE9, 2, true, 2},
    {"\xE6\x9D\xB1", 0x6771, 3, true, 3},
    {"\xF0\x9F\x98\x80", 0x1F600, 4, true, 4},
    {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4, true, 4},
    {"\xEF\xBF\xBF", 0xFFFF, 3, true, 3},       // a noncharacter is still a character here
    {"\x80", 0xFFFD, 1, false, 1},              // a lone continuation byte
    {"\xC0\xAF", 0xFFFD, 1, false, 2},          // never a lead, but a cut keeps the pair
    {"\xC1\xBF", 0xFFFD, 1, false, 2},
    {"\xF5\x80\x80\x80", 0xFFFD, 1, false, 4},
    {"\xF8\x80", 0xFFFD, 1, false, 1},
    {"\xE0\x9F\xBF", 0xFFFD, 3, false, 3},      // overlong U+07FF
    {"\xF0\x8F\xBF\xBF", 0xFFFD, 4, false, 4},  // overlong U+FFFF
    {"\xED\xA0\x80", 0xFFFD, 3, false, 3},      // a surrogate
    {"\xF4\x90\x80\x80", 0xFFFD, 4, false, 4},  // past U+10FFFF
    {"\xE6\x9D", 0xFFFD, 2, false, 2},          // cut short by the end
    {"\xE6\x9D" "A", 0xFFFD, 2, false, 2},      // cut short by a byte that continues nothing
};

TEST(Utf8Walker, StepsOverEachSequenceAsItsRulesSay)
{
    for (const Step& expected : steps) {
        const std::string text = expected.bytes;
        const text::Utf8Step step = text::decodeUtf8(text, 0);
        EXPECT_EQ(step.codePoint, expected.codePoint) << text;
        EXPECT_EQ(step.length, expected.length) << text;
        EXPECT_EQ(step.valid, expected.valid) << text;
        EXPECT_EQ(text::announcedLength(text, 0), expected.announced) << text;
        if (step.valid) {
            std::string encoded;
            text::appendUtf8(encoded, step.codePoint);
            EXPECT_EQ(encoded, text) << "encoded again";
        }
    }
}

} // namespace
