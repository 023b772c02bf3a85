#include "mail/mailto_field.h"

namespace {

bool isUnreserved(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    // No ",": xdg-email hands the URL to Thunderbird inside a comma-separated
    // -compose list without decoding it, and a bare comma there cuts the field.
    case '-': case '.': case '_': case '~': case '!': case '$': case '\'':
    case '(': case ')': case '*': case ';': case ':': case '@': case '/':
        return true;
    default:
        return false;
    }
}

void appendEscaped(std::string& out, unsigned char c)
{
    static const char hex[] = "0123456789ABCDEF";
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 0x0F];
}

} // namespace

std::string escapeMailtoUrl(const std::string& field)
{
    std::string out;
    out.reserve(field.size() + field.size() / 4);
    for (std::string::size_type i = 0; i < field.size(); ++i) {
        const auto c = static_cast<unsigned char>(field[i]);
        if (c == '\r' || c == '\n') {
            // Mail clients show a bare %0D as a blank; %0D%0A is a line break everywhere.
            out += "%0D%0A";
            if (c == '\r' && i + 1 < field.size() && field[i + 1] == '\n')
                ++i;
        } else if (isUnreserved(c)) {
            out += static_cast<char>(c);
        } else {
            appendEscaped(out, c);
        }
    }
    return out;
}
