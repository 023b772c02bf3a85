#include <pellicor/logging.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main()
{
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
