#include "delivery/mailto.h"

#include "platform/shell.h"

std::string buildMailtoUrl(const ReportRequest& request)
{
    std::string body;
    if (!request.attachZip.empty())
        body = "Please, attach the file " + request.attachZip + "\n";
    body += request.body;
    return "mailto:" + escapeMailtoUrl(request.mailAddress) + "?subject=" + escapeMailtoUrl(request.subject)
           + "&body=" + escapeMailtoUrl(body);
}

bool openMailto(const ReportRequest& request, const ShellOpen& shell)
{
    return shell(buildMailtoUrl(request)) > 32;
}

bool openMailto(const ReportRequest& request)
{
    return openMailto(request, platform::shellOpen);
}
