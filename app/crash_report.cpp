#include "app/crash_report.h"

#include "pellicor/logging.h"

void fillCrashReport(ReportRequest& /*request*/)
{
    Logger* logger = Logger::getInstance();
    if (logger->isEnabled(Logger::MODULE_MAIN, 6))
        logger->log("Crash mode entered\n", Logger::MODULE_MAIN, 6);
    // Until the product configuration and the archive are in, refuse rather
    // than mail an empty report.
    throw LoggedException("Crash mode is not available in this build.");
}
