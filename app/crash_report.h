#pragma once

#include <string>

#include "archive/report_archive.h"
#include "mail/report_request.h"

// What a crash report says that the host cannot: fixed subject and body.
extern const std::string crashSubjectPrefix;
extern const std::string crashBodyIntro;
extern const std::string crashThanksText;

// Builds the request of a crash-mode run ("--crash"): the support address
// from the product configuration, the fixed texts, and a fresh archive of
// the host's logs and minidumps as the attachment. Never fails by itself.
void fillCrashReport(ReportRequest& request);

std::string getSupportAddress();
std::string makeCrashSubject(const std::string& userName);
std::string makeCrashBody();
// What the body adds when files were left out of an archive kept within
// limit bytes: their names and sizes, and where they still are. Empty when
// nothing was left out.
std::string makeLeftOutNote(const std::vector<LeftOutFile>& leftOut, std::uint64_t limit);
// The host product's user name; empty when it has none.
std::string getReportUserName();
