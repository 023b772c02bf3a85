#include "app/crash_report.h"

#include "archive/archive_limit.h"
#include "archive/report_archive.h"
#include "logging/log_line.h"
#include "pellicor/product_config.h"
#include "pellicor/logging.h"
#include "platform/files.h"

const std::string crashSubjectPrefix = "QXF feedback: Issue Report from user with license ";
const std::string crashBodyIntro = "Please, describe the issue here, thank you.\n\n\n\n";
const std::string crashThanksText =
    "Thank you for your feedback. Your report message will be processed and forwarded to support team. "
    "If you expect immediate reply, please contact VKD support team at numbers:\n"
    "    US Toll Free: " PELLICOR_SUPPORT_TOLL_FREE "\n"
    "    International: " PELLICOR_SUPPORT_INTERNATIONAL ", option 6\n";

namespace {

// Reads one string of the product configuration; empty when it is missing.
std::string productSetting(const std::string& key, const std::string& section)
{
    // The first use creates the configuration from ORVAPlus.xml. It is never
    // destroyed, so this program never writes the file back.
    std::string value;
    tvk::ORVAXMLConfigManager::getInstance()->getString(key, value, section);
    return value;
}

} // namespace

std::string getReportUserName()
{
    return productSetting("UserName", "Environment");
}

std::string getSupportAddress()
{
    return productSetting("SupportEmail", "Internet");
}

std::string makeCrashSubject(const std::string& userName)
{
    return crashSubjectPrefix + (userName.empty() ? std::string("None") : userName);
}

std::string makeCrashBody()
{
    return crashBodyIntro + crashThanksText;
}

std::string makeLeftOutNote(const std::vector<LeftOutFile>& leftOut, std::uint64_t limit)
{
    if (leftOut.empty())
        return {};
    std::string note = "\nLeft out of the attached archive to keep this mail within " + std::to_string(limit / megabyte)
                       + " MB, the size that most mail services accept:\n";
    for (const LeftOutFile& file : leftOut) {
        // Tenths of a megabyte, rounded half up.
        const std::uint64_t tenths = (file.size + megabyte / 20) / (megabyte / 10);
        note += "    " + file.name + " (" + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB)\n";
    }
    std::string directory;
    if (!platform::currentDirectory(directory))
        directory = "the current directory";
    return note + "They are still in " + directory + ".\n";
}

void fillCrashReport(ReportRequest& request)
{
    logLine(Logger::MODULE_MAIN, Logger::levelInfo, "Crash mode entered\n");

    const std::string userName = getReportUserName();
    request.mailAddress = getSupportAddress();
    request.subject = makeCrashSubject(userName);
    request.body = makeCrashBody();
    request.attachZip = reportArchivePath();
    const std::uint64_t limit = archiveLimit();
    request.body += makeLeftOutNote(buildReportArchive(request.attachZip, limit), limit);
}
