// A host product's use of Pellicor's three libraries:
//   host                     logs to host.log, counts its runs in host-settings.xml
//                            and lists the weather products of ORVAPlus.xml
//   host --report PELLICOR   also writes issue.xml and starts Pellicor on it,
//                            as a "Report a problem" menu entry would
#include <pellicor/config.h>
#include <pellicor/logging.h>
#include <pellicor/report.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The host's own module, printed as [HOST:...].
constexpr int moduleHost = loggerModule("HOST");

void logLine(int level, const std::string& text)
{
    Logger* logger = Logger::getInstance();
    if (logger->isEnabled(moduleHost, level))
        logger->log(text + "\n", moduleHost, level);
}

// A setting of the host's own, in a file of its own.
int countRun()
{
    const std::string root = "Host";  // the store keeps a reference: it outlives the store
    tvk::XMLConfigManager settings("host-settings.xml", root);
    int runs = 0;
    settings.getInt("Runs", runs, "Usage");  // stays 0 on the first run
    settings.setInt("Runs", runs + 1, "Usage");
    if (!settings.save())
        logLine(Logger::levelWarn, "host-settings.xml could not be saved");
    return runs + 1;
}

void listWeatherProducts()
{
    std::vector<tvk::WxProductSettings> products;
    tvk::ORVAXMLConfigManager::getInstance()->getWxProducts(products);
    for (const tvk::WxProductSettings& product : products) {
        logLine(Logger::levelInfo, tvk::wxProductNameById(product.id) + (product.isActive ? " active" : " inactive"));
    }
}

bool reportProblem(const std::string& pellicor)
{
    pellicor::IssueReport report;
    tvk::ORVAXMLConfigManager::getInstance()->getString("SupportEmail", report.mailAddress, "Internet");
    if (report.mailAddress.empty())
        report.mailAddress = "support@example.com";
    report.subject = "Map stays blank";
    // What a user types: the library escapes it.
    report.body = "Steps: open <Map> & zoom in.\r\nSeen in J\xC3\xB6rg's \"M\xC3\xBCnchen\" view.";
    report.attachZip = "";  // no archive prepared here

    std::string error;
    if (!pellicor::writeIssueFile("issue.xml", report, error) || !pellicor::startPellicor(pellicor, "issue.xml", error)) {
        logLine(Logger::levelError, "cannot report the problem: " + error);
        std::fprintf(stderr, "cannot report the problem: %s\n", error.c_str());
        return false;
    }
    logLine(Logger::levelInfo, "Pellicor started on issue.xml");
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    Logger* logger = Logger::getInstance();
    logger->setInstanceName("Host");
    // Kept by the logger for the rest of the process: never deleted.
    logger->addWriter(new LoggerFileWriter(logger, "host.log"));
    // The configuration library's own lines at DEBG too.
    logger->setLevel(tvk::moduleCFG, Logger::levelDebug);

    logLine(Logger::levelInfo, "run " + std::to_string(countRun()));
    listWeatherProducts();

    if (argc == 3 && std::string(argv[1]) == "--report")
        return reportProblem(argv[2]) ? 0 : 1;
    if (argc != 1) {
        std::fprintf(stderr, "usage: host [--report PELLICOR-PROGRAM]\n");
        return 2;
    }
    return 0;
}
