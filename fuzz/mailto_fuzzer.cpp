// Every byte string escapes to a mailto: field made only of unreserved
// characters and %XX, which decodes back to the bytes (line breaks as CR LF);
// a whole URL splits back into the fields it was built from.

#include <cstddef>
#include <cstdint>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "delivery/mailto.h"
#include "fuzz/fuzz_support.h"

using namespace fuzz_support;

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes a field, failing on anything an escaped field must not hold.
std::string decodeField(const std::string& field)
{
    static const std::string unreserved = "-._~!$'()*;:@/";
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '%') {
            require(i + 2 < field.size(), "a % without two digits: " + field);
            const int high = hexValue(field[i + 1]), low = hexValue(field[i + 2]);
            require(high >= 0 && low >= 0, "a % without two upper-case hex digits: " + field);
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            require(alnum || unreserved.find(c) != std::string::npos, "a reserved character left bare: " + field);
            out += c;
        }
    }
    return out;
}

// The field as a mail client shows it: every line break as CR LF.
std::string withCrLf(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The text between begin and the next end (or the string's end).
std::string between(const std::string& url, const std::string& begin, const std::string& end)
{
    const std::size_t from = url.find(begin);
    require(from != std::string::npos, "no " + begin + " in " + url);
    const std::size_t start = from + begin.size();
    const std::size_t stop = end.empty() ? std::string::npos : url.find(end, start);
    require(end.empty() || stop != std::string::npos, "no " + end + " in " + url);
    return url.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    require(decodeField(escapeMailtoUrl(bytes)) == withCrLf(bytes), "the field does not decode back to its bytes");

    FuzzedDataProvider input(data, size);
    ReportRequest request;
    request.mailAddress = input.ConsumeRandomLengthString(64);
    request.subject = input.ConsumeRandomLengthString(256);
    request.attachZip = input.ConsumeRandomLengthString(64);
    request.body = input.ConsumeRemainingBytesAsString();
    const std::string url = buildMailtoUrl(request);
    require(url.rfind("mailto:", 0) == 0, "no mailto: scheme: " + url);
    require(decodeField(between(url, "mailto:", "?subject=")) == withCrLf(request.mailAddress), "recipient changed");
    require(decodeField(between(url, "?subject=", "&body=")) == withCrLf(request.subject), "subject changed");
    const std::string body = decodeField(between(url, "&body=", ""));
    const std::string ask = request.attachZip.empty() ? "" : "Please, attach the file " + request.attachZip + "\n";
    require(body == withCrLf(ask + request.body), "body changed");
    return 0;
}
