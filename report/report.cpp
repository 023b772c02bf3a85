#include "pellicor/report.h"

#include "platform/atomic_file.h"
#include "report/launch.h"
#include "text/utf8.h"

namespace pellicor {

namespace {

bool appendElement(std::string& out, const char* name, const std::string& text, std::string& error)
{
    out += "  <";
    out += name;
    out += '>';
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const text::Utf8Step step = text::decodeUtf8(text, i);
        i += step.length;
        if (!step.valid || !text::isXmlChar(step.codePoint)) {
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
