#pragma once

#include <string>

/// \file
/// The report library a host product links to have Pellicor mail a problem
/// report (`Pellicor::report`): it writes the issue-definition file that
/// Pellicor reads, and starts Pellicor on it.
/// \code
/// pellicor::IssueReport report;
/// report.mailAddress = "support@example.com";
/// report.subject = "Map stays blank";
/// report.body = userText;                    // any text: "&", "<", line breaks, non-ASCII
/// std::string error;
/// if (!pellicor::writeIssueFile("issue.xml", report, error)
///     || !pellicor::startPellicor(pellicorPath, "issue.xml", error))
///     showError(error);
/// \endcode

/// The report library's namespace.
namespace pellicor {

/// The four fields of an issue-definition file. Texts are UTF-8; they are
/// written as they are, and Pellicor reads back the same bytes.
struct IssueReport {
    std::string mailAddress;  ///< the support address the mail goes to; required
    std::string subject;      ///< the mail's subject line; required
    std::string body;         ///< the mail's text, line breaks included; may be empty
    std::string attachZip;    ///< path of a zip file to attach; empty: no attachment
};

/// The issue-definition file for report, as UTF-8 XML with every character
/// escaped that XML needs escaped ("&", "<", ">", quotes, and carriage
/// returns as "&#13;" so that "\r\n" survives), or an empty string with the
/// reason in error when the report cannot be written: an empty mailAddress
/// or subject, or a field that is no well-formed UTF-8 or holds a character
/// XML 1.0 cannot carry (NUL and most other control characters).
/// Thread-safe: it touches no shared state.
std::string issueFileText(const IssueReport& report, std::string& error);

/// Writes issueFileText() of report to path, whole or not at all: the bytes
/// go to a new file beside path that takes its name only once complete, so
/// neither a failure nor a crash leaves a half-written file, and a file
/// already at path is replaced only by a complete one. True on success;
/// false with the reason in error (see issueFileText(), or the system's
/// reason: no such directory, no rights, disk full), path then as it was.
/// Safe from several threads for different paths.
bool writeIssueFile(const std::string& path, const IssueReport& report, std::string& error);

/// Starts the Pellicor program at path program with issueFile as its one
/// argument ("--crash" asks for crash mode), in the caller's current
/// directory, where Pellicor writes "Pellicor.log". No shell is involved (the
/// program runs by CreateProcessW on Windows, posix_spawn on POSIX), so no
/// character of either path is interpreted; program is taken as a path and
/// not searched for in PATH. Returns at once, without waiting for Pellicor:
/// true once it was started, false with the reason in error when it could
/// not be (no such file, not executable, names that are no UTF-8 on
/// Windows). Whether the mail went out is Pellicor's to say, in its log.
/// On POSIX a background thread reaps the program when it ends.
bool startPellicor(const std::string& program, const std::string& issueFile, std::string& error);

/// What a host may tell the Pellicor it starts, beyond the issue file.
struct StartOptions {
    /// The largest `report.zip` a crash-mode run builds, in whole megabytes
    /// of 1,000,000 bytes, from 0 (no limit) to 100000: the least important
    /// diagnostic files are left out to keep within it, and the mail says so.
    /// In report mode a larger AttachZip is attached as it is, with a warning
    /// in the log. Negative: Pellicor's own, 14 MB, or what the
    /// caller's environment sets in PELLICOR_ARCHIVE_LIMIT_MB.
    long archiveLimitMegabytes = -1;
};

/// startPellicor() with options; false, with the reason in error, also for
/// an archive limit above 100000.
bool startPellicor(const std::string& program, const std::string& issueFile, const StartOptions& options,
                   std::string& error);

} // namespace pellicor
