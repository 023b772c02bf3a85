#include "xml_text.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <sstream>

#include <libxml/tree.h>

#include "text/utf8.h"

namespace tvk {

namespace {

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
    return text::isXmlChar(c);
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
    for (std::size_t i = 0; i < text.size();) {
        const text::Utf8Step step = text::decodeUtf8(text, i);
        if (!step.valid || !text::isXmlChar(step.codePoint))
            return false;
        i += step.length;
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
            text::appendUtf8(out, static_cast<char32_t>(c));
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
