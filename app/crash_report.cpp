#include "app/crash_report.h"

#include "logging/log_line.h"
#include "archive/report_archive.h"
#include "pellicor/product_config.h"
#include "pellicor/logging.h"

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

void fillCrashReport(ReportRequest& request)
{
    logLine(Logger::MODULE_MAIN, Logger::levelInfo, "Crash mode entered\n");

    const std::string userName = getReportUserName();
    request.mailAddress = getSupportAddress();
    request.subject = makeCrashSubject(userName);
    request.body = makeCrashBody();
    request.attachZip = reportArchivePath();
    buildReportArchive(request.attachZip);
}
