#include "xml_text.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <sstream>

#include <libxml/tree.h>

namespace tvk {

namespace {

bool isXmlChar(unsigned long c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
           || (c >= 0x10000 && c <= 0x10FFFF);
}

// Decodes the UTF-8 sequence at text[i]; false when it is malformed.
bool nextCodePoint(const std::string& text, std::size_t& i, unsigned long& c)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size())
        return false;
    c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    static const unsigned long smallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < smallest[extra])
        return false;
    i += extra + 1;
    return true;
}

void appendUtf8(std::string& out, unsigned long c)
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

// The character a reference "&...;" (without "&" and ";") stands for.
bool referencedChar(const std::string& name, unsigned long& c)
{
    static const struct {
        const char* name;
        char c;
    } predefined[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& entity : predefined) {
        if (name == entity.name) {
            c = static_cast<unsigned char>(entity.c);
            return true;
        }
    }
    if (name.size() < 2 || name[0] != '#')
        return false;
    const bool hex = name[1] == 'x';
    const std::string digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8
        || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
        return false;
    c = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
    return isXmlChar(c);
}

template <typename T>
std::string formatClassic(T value)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

} // namespace

bool isStorableText(const std::string& text)
{
    unsigned long c = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (!nextCodePoint(text, i, c) || !isXmlChar(c))
            return false;
    }
    return true;
}

bool isElementName(const std::string& name)
{
    // A name with more than one colon, or the reserved prefix "xmlns", is
    // an XML name the parser would read back under another name.
    return !name.empty() && isStorableText(name) && xmlValidateQName(BAD_CAST name.c_str(), 0) == 0
           && name.compare(0, 6, "xmlns:") != 0;
}

std::string resolveReferences(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t end = text[i] == '&' ? text.find(';', i + 1) : std::string::npos;
        unsigned long c = 0;
        if (end != std::string::npos && referencedChar(text.substr(i + 1, end - i - 1), c)) {
            appendUtf8(out, c);
            i = end;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string formatInt(int value)
{
    return formatClassic(value);
}

std::string formatDouble(double value)
{
    return formatClassic(value);
}

int parseInt(const std::string& text)
{
    long value = std::strtol(text.c_str(), nullptr, 10);
    return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

double parseDouble(const std::string& text)
{
    // strtod reads the decimal point of the C locale the host has set; hand
    // it a text in that locale's form. Its own point ends the number there,
    // as it would under "C".
    const char* point = std::localeconv()->decimal_point;
    if (point == nullptr || *point == '\0' || std::strcmp(point, ".") == 0)
        return std::strtod(text.c_str(), nullptr);
    std::string local = text.substr(0, text.find(point));
    std::string::size_type dot = 0;
    while ((dot = local.find('.', dot)) != std::string::npos) {
        local.replace(dot, 1, point);
        dot += std::strlen(point);
    }
    return std::strtod(local.c_str(), nullptr);
}

} // namespace tvk
