#include "delivery/mailto.h"

#include "mail/mailto_fit.h"
#include "logging/log_line.h"

namespace {

void logShortened(const char* field, std::size_t charactersLeftOut, std::size_t maxUrlLength)
{
    logLine(Logger::MODULE_MAIN, Logger::levelWarn, "Mailto ", field, " shortened to fit the URL limit of ",
            maxUrlLength, " bytes; characters left out: ", charactersLeftOut, "\n");
}

} // namespace

std::string buildMailtoUrl(const ReportRequest& request, std::size_t maxUrlLength)
{
    std::string body;
    if (!request.attachZip.empty())
        body = "Please, attach the file " + request.attachZip + "\n";
    const std::size_t askLength = body.size();
    body += request.body;
    FittedMailtoUrl fitted = fitMailtoUrl(request.mailAddress, request.subject, body, askLength, maxUrlLength);
    if (fitted.subjectCharactersLeftOut > 0)
        logShortened("subject", fitted.subjectCharactersLeftOut, maxUrlLength);
    if (fitted.bodyCharactersLeftOut > 0)
        logShortened("body", fitted.bodyCharactersLeftOut, maxUrlLength);
    return std::move(fitted.url);
}

bool openMailto(const ReportRequest& request, const ShellOpen& shell, std::size_t maxUrlLength)
{
    return shell(buildMailtoUrl(request, maxUrlLength)) > 32;
}

bool openMailto(const ReportRequest& request)
{
    return openMailto(request, platform::shellOpen);
}
