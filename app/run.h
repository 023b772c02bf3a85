#pragma once

#include <exception>
#include <string>

#include "mail/report_request.h"

// The one pass every run makes: log file, start, argument, request,
// delivery, end. Errors travel as exceptions to main().
int run(int argc, char* argv[]);

void initLogging();
std::string getReportArgument(int argc, char* argv[]);
// Throws when neither Simple MAPI nor the mailto route took the mail.
void sendReport(std::string argument);
void fillReportRequest(const std::string& argument, ReportRequest& request);
void logError(const std::exception& error);
