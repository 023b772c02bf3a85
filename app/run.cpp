#include "app/run.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "app/crash_report.h"
#include "app/issue_definition_reader.h"
#include "delivery/mailto.h"
#include "logging/log_line.h"
#include "delivery/mapi_mailer.h"
#include "pellicor/logging.h"
#include "platform/dynamic_library.h"
#include "platform/files.h"

void initLogging()
{
    Logger* logger = Logger::getInstance();
    auto* writer = new LoggerFileWriter(logger, "Pellicor.log");
    const int openError = errno;
    logger->addWriter(writer);
    if (writer->isOpen())
        return;
    // The mail still goes out; whoever started the run learns why there is
    // no log to look at. (A Windows GUI program has no stderr: nobody sees it.)
    std::string directory;
    if (!platform::currentDirectory(directory))
        directory = ".";
    std::fprintf(stderr, "Pellicor: cannot write Pellicor.log in %s: %s; running without a log\n", directory.c_str(),
                 std::generic_category().message(openError).c_str());
}

std::string getReportArgument(int argc, char* argv[])
{
    if (argc != 2)
        throw LoggedException("Expecting one argument containing report xml file name.");
    return argv[1];
}

void fillReportRequest(const std::string& argument, ReportRequest& request)
{
    if (argument == "--crash") {
        fillCrashReport(request);
        return;
    }
    IssueDefinitionReader reader;
    reader.read(argument, request);
}

void sendReport(std::string argument)
{
    ReportRequest request;
    fillReportRequest(argument, request);

    // Loaded only once the request is complete: a bad request never
    // touches the mail client.
    MapiMailer mailer(platform::DynamicLibrary::open("mapi32.dll"));
    if (mailer.send(request))
        return;
    logLine(Logger::MODULE_MAIN, Logger::levelWarn, "MAPI error report failed. Trying mailto.\n");
    if (!openMailto(request))
        throw LoggedException("Could not open mail client to report!\n");
}

int run(int argc, char* argv[])
{
    initLogging();
    logLine(Logger::MODULE_MAIN, Logger::levelInfo, "Pellicor started.\n");
    sendReport(getReportArgument(argc, argv));
    logLine(Logger::MODULE_MAIN, Logger::levelInfo, "Pellicor finished.\n");
    return 0;
}

void logError(const std::exception& error)
{
    // The text as it was raised, with nothing added after it.
    logLine(Logger::MODULE_MAIN, Logger::levelError, "Error: ", error.what());
}
