#pragma once

#include <string>

#include "pellicor/report.h"
#include "platform/process.h"

namespace pellicor {

// What startPellicor() starts, kept for a caller that wants to wait for it.
platform::StartedProcess launchPellicor(const std::string& program, const std::string& issueFile,
                                        const StartOptions& options, std::string& error);

} // namespace pellicor
