#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "mail/report_request.h"
#include "mail/mailto_field.h"
#include "platform/shell.h"

// Hands the shell a URL; above 32 means accepted, as the Windows shell reports.
using ShellOpen = std::function<std::intptr_t(const std::string& url)>;

// Opens the user's mail program on a new mail through a mailto: URL. A URL
// carries no file, so when the request names an archive the body starts
// with a line asking the user to attach it. True when the shell took it.
bool openMailto(const ReportRequest& request);
bool openMailto(const ReportRequest& request, const ShellOpen& shell,
                std::size_t maxUrlLength = platform::maxShellUrlLength());

// The mailto: URL for the request (RFC 6068), at most maxUrlLength bytes: a
// body or an absurdly long subject that does not fit is cut and says so at
// its end, and one warning in the log says so too.
std::string buildMailtoUrl(const ReportRequest& request, std::size_t maxUrlLength = platform::maxShellUrlLength());
