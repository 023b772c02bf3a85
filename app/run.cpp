#include "app/run.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/crash_report.h"
#include "app/issue_definition_reader.h"
#include "delivery/archive_limit.h"
#include "delivery/mailto.h"
#include "delivery/main_log.h"
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

namespace {

// The host built this archive: it is handed over as it is, but the log
// says why a mail service may refuse it.
void warnOfALargeAttachment(const std::string& path)
{
    std::error_code ec;
    const std::uintmax_t size = path.empty() ? 0 : std::filesystem::file_size(std::filesystem::u8path(path), ec);
    if (ec || size == 0)
        return;
    const std::uint64_t limit = archiveLimit();
    if (limit == 0 || size <= limit)
        return;
    logMain(levelWarn, [&](std::ostream& out) {
        out << "Attachment " << path << " is " << size << " bytes, more than the mail size limit of " << limit
            << " bytes; it is handed over as it is\n";
    });
}

} // namespace

void fillReportRequest(const std::string& argument, ReportRequest& request)
{
    if (argument == "--crash") {
        fillCrashReport(request);
        return;
    }
    IssueDefinitionReader reader;
    reader.read(argument, request);
    warnOfALargeAttachment(request.attachZip);
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
    logMainLine(levelWarn, "MAPI error report failed. Trying mailto.\n");
    if (!openMailto(request))
        throw LoggedException("Could not open mail client to report!\n");
}

int run(int argc, char* argv[])
{
    initLogging();
    logMainLine(levelInfo, "Pellicor started.\n");
    sendReport(getReportArgument(argc, argv));
    logMainLine(levelInfo, "Pellicor finished.\n");
    return 0;
}

void logError(const std::exception& error)
{
    // The text as it was raised, with nothing added after it.
    logMain(levelError, [&error](std::ostream& out) { out << "Error: " << error.what(); });
}
