#pragma once

#include <sstream>

#include "pellicor/config.h"
#include "pellicor/logging.h"

namespace tvk {

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
