#pragma once

#include <exception>
#include <functional>
#include <string>

#include "mail/report_request.h"
#include "platform/file_manager.h"

// The one pass every run makes: log file, start, argument, request,
// delivery, end. Errors travel as exceptions to main().
int run(int argc, char* argv[]);

void initLogging();
std::string getReportArgument(int argc, char* argv[]);
// Shows the archive that the user has to attach by hand.
using ShowArchive = std::function<platform::FileShown(const std::string& path, std::string& why)>;

// Throws when neither Simple MAPI nor the mailto route took the mail. When
// the mailto route had the mail, or no route did, the archive is shown
// with showArchive, unless PELLICOR_REVEAL_ARCHIVE is "0".
void sendReport(std::string argument, const ShowArchive& showArchive = platform::showFileInFileManager);
void fillReportRequest(const std::string& argument, ReportRequest& request);
void logError(const std::exception& error);
