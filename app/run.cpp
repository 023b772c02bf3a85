#include "app/run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/crash_report.h"
#include "app/issue_definition_reader.h"
#include "archive/archive_limit.h"
#include "delivery/mailto.h"
#include "delivery/mapi_mailer.h"
#include "logging/log_line.h"
#include "pellicor/logging.h"
#include "platform/desktop_mail_client.h"
#include "platform/dynamic_library.h"
#include "platform/files.h"

namespace {

// The mailto: route carries no file, so the user gets the archive put in
// front of them to drag into the mail. Whatever becomes of that, the run
// goes on as the mail routes decide.
void offerArchiveByHand(const ReportRequest& request, const ShowArchive& showArchive)
{
    if (request.attachZip.empty())
        return;
    // Unattended runs have nobody to show it to.
    const char* wanted = std::getenv("PELLICOR_REVEAL_ARCHIVE");
    if (wanted != nullptr && std::string(wanted) == "0")
        return;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(request.attachZip), ec))
        return;
    std::string why;
    platform::FileShown shown = platform::FileShown::NotShown;
    try {
        shown = showArchive(request.attachZip, why);
    } catch (const std::exception& error) {
        why = error.what();
    }
    if (shown == platform::FileShown::Selected)
        return;
    if (shown == platform::FileShown::FolderOpened)
        logLine(Logger::MODULE_MAIN, Logger::levelInfo, "Opened the folder of the archive ", request.attachZip,
                " without selecting it: ", why, "\n");
    else
        logLine(Logger::MODULE_MAIN, Logger::levelInfo, "Could not show the archive ", request.attachZip,
                " in a file manager: ", why, "\n");
}

void logMailClient()
{
    const std::string client = platform::desktopMailClient();
    logLine(Logger::MODULE_MAIN, Logger::levelInfo, "Mail client offered by the desktop: ",
            client.empty() ? "none" : client.c_str(), "\n");
}

} // namespace

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
    logLine(Logger::MODULE_MAIN, Logger::levelWarn, "Attachment ", path, " is ", size,
            " bytes, more than the mail size limit of ", limit, " bytes; it is handed over as it is\n");
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

void sendReport(std::string argument, const ShowArchive& showArchive)
{
    ReportRequest request;
    fillReportRequest(argument, request);
    logMailClient();

    // Loaded only once the request is complete: a bad request never
    // touches the mail client.
    MapiMailer mailer(platform::DynamicLibrary::open("mapi32.dll"));
    if (mailer.send(request))
        return;
    logLine(Logger::MODULE_MAIN, Logger::levelWarn, "MAPI error report failed. Trying mailto.\n");
    const bool opened = openMailto(request);
    offerArchiveByHand(request, showArchive);
    if (!opened)
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
