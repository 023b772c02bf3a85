#include <pellicor/config.h>
#include <pellicor/logging.h>
#include <pellicor/report.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// The product configuration and a store of the host's own, over files in
// the current directory: a literal "&" survives a save and a reload.
bool configWorks()
{
    std::string mail = "none";
    bool ok = !tvk::ORVAXMLConfigManager::getInstance()->getString("SupportEmail", mail, "Internet")
              && mail == "none" && tvk::wxProductNameById(3) == "METARS";
    const std::string root = "Host";
    {
        tvk::XMLConfigManager store("host.xml", root);
        store.setString("Name", "Tom & Jerry", "Cartoons");
    }
    {
        std::string name;
        tvk::XMLConfigManager reread("host.xml", root);
        ok = ok && reread.getString("Name", name, "Cartoons") && name == "Tom & Jerry";
    }
    std::remove("host.xml");
    std::string error;
    return ok && pellicor::issueFileText({"a@b", "Tom & Jerry", "", ""}, error).find("Tom &amp; Jerry") != std::string::npos;
}

} // namespace

int main()
{
    if (!configWorks()) {
        std::fprintf(stderr, "the configuration or report library failed\n");
        return 1;
    }

    Logger* logger = Logger::getInstance();
    logger->setInstanceName("Host");
    logger->addWriter(new LoggerFileWriter(logger, "consumer.log"));
    if (logger->isEnabled(loggerModule("HOST"), 6))
        logger->log("host speaking\n", loggerModule("HOST"), 6);
    try {
        throw LoggedException("on purpose");
    } catch (const std::exception&) {
    }

    std::ifstream in("consumer.log");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool ok = text.find(" Host [HOST:INFO] host speaking\n") != std::string::npos
                    && text.find(" Host [MAIN:ERROR] Exception: on purpose\n") != std::string::npos;
    if (!ok)
        std::fprintf(stderr, "unexpected log:\n%s", text.c_str());
    return ok ? 0 : 1;
}
