#pragma once

#include "app/report_request.h"

// Builds the request of a crash-mode run ("--crash").
void fillCrashReport(ReportRequest& request);
