#pragma once

#include <sstream>

#include "pellicor/logging.h"

// One log line of ours from its parts, composed only when the module's level
// lets it through. The parts are the whole message: a line ends in "\n" as
// every line does, given by the caller as its last part.
template <typename... Parts>
void logLine(int module, int level, const Parts&... parts)
{
    Logger* logger = Logger::getInstance();
    if (!logger->isEnabled(module, level))
        return;
    std::ostringstream message;
    (message << ... << parts);
    logger->log(message.str(), module, level);
}
