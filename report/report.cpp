#include "pellicor/report.h"

#include "platform/atomic_file.h"
#include "report/launch.h"

namespace pellicor {

namespace {

// Whether the code point starting at text[i] is well-formed UTF-8 and a
// character XML 1.0 allows; moves i past it.
bool nextXmlChar(const std::string& text, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size())
        return false;
    unsigned long c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    static const unsigned long smallest[] = {0, 0x80, 0x800, 0x10000};
    i += static_cast<std::size_t>(extra) + 1;
    return c >= smallest[extra]
           && (c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
               || (c >= 0x10000 && c <= 0x10FFFF));
}

bool appendElement(std::string& out, const char* name, const std::string& text, std::string& error)
{
    out += "  <";
    out += name;
    out += '>';
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        if (!nextXmlChar(text, i)) {
            error = std::string(name) + " holds a byte that is no UTF-8 or a character XML cannot carry, at offset "
                    + std::to_string(start);
            return false;
        }
        switch (text[start]) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        // A parser turns a literal carriage return into a line feed.
        case '\r': out += "&#13;"; break;
        default: out.append(text, start, i - start);
        }
    }
    out += "</";
    out += name;
    out += ">\n";
    return true;
}

} // namespace

std::string issueFileText(const IssueReport& report, std::string& error)
{
    // Pellicor refuses a file without them; better said to the host now.
    if (report.mailAddress.empty()) {
        error = "MailAddress is empty";
        return {};
    }
    if (report.subject.empty()) {
        error = "Subject is empty";
        return {};
    }
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<IssueReport>\n";
    if (!appendElement(text, "MailAddress", report.mailAddress, error) || !appendElement(text, "Subject", report.subject, error)
        || !appendElement(text, "Body", report.body, error) || !appendElement(text, "AttachZip", report.attachZip, error))
        return {};
    text += "</IssueReport>\n";
    return text;
}

bool writeIssueFile(const std::string& path, const IssueReport& report, std::string& error)
{
    const std::string text = issueFileText(report, error);
    if (text.empty()) {
        error = "issue file " + path + " not written: " + error;
        return false;
    }
    std::string reason;
    if (!platform::writeFileAtomically(path, text, reason)) {
        error = "issue file " + path + " not written: " + reason;
        return false;
    }
    return true;
}

platform::StartedProcess launchPellicor(const std::string& program, const std::string& issueFile,
                                        const StartOptions& options, std::string& error)
{
    std::vector<std::string> variables;
    if (options.archiveLimitMegabytes > 100000) {
        error = "archive limit of " + std::to_string(options.archiveLimitMegabytes)
                + " MB is above the largest, 100000 MB; Pellicor not started";
        return {};
    }
    // Set for the program alone: the host's own environment stays as it is.
    if (options.archiveLimitMegabytes >= 0)
        variables.push_back("PELLICOR_ARCHIVE_LIMIT_MB=" + std::to_string(options.archiveLimitMegabytes));
    return platform::startProcess({program, issueFile}, error, variables);
}

bool startPellicor(const std::string& program, const std::string& issueFile, std::string& error)
{
    return startPellicor(program, issueFile, StartOptions{}, error);
}

bool startPellicor(const std::string& program, const std::string& issueFile, const StartOptions& options,
                   std::string& error)
{
    return static_cast<bool>(launchPellicor(program, issueFile, options, error));
}

} // namespace pellicor
