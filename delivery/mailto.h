#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/report_request.h"
#include "delivery/mailto_field.h"

// Hands the shell a URL; above 32 means accepted, as the Windows shell reports.
using ShellOpen = std::function<std::intptr_t(const std::string& url)>;

// Opens the user's mail program on a new mail through a mailto: URL. A URL
// carries no file, so when the request names an archive the body starts
// with a line asking the user to attach it. True when the shell took it.
bool openMailto(const ReportRequest& request);
bool openMailto(const ReportRequest& request, const ShellOpen& shell);

// The mailto: URL for the request (RFC 6068).
std::string buildMailtoUrl(const ReportRequest& request);
