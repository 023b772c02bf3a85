#pragma once

#include <sstream>

#include "pellicor/logging.h"

namespace tvk {

const int moduleCFG = loggerModule("CFG ");
const int moduleOCFG = loggerModule("OCFG");

// One log line from its parts, composed only when the level lets it through.
template <typename... Parts>
void logLine(int module, int level, const Parts&... parts)
{
    Logger* logger = Logger::getInstance();
    if (!logger->isEnabled(module, level))
        return;
    std::ostringstream message;
    (message << ... << parts) << "\n";
    logger->log(message.str(), module, level);
}

} // namespace tvk
