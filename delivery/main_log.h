#pragma once

#include <sstream>

#include "pellicor/logging.h"

// The program's own lines go to the main module; each is composed only when
// its level lets it through.
constexpr int levelError = 3;
constexpr int levelWarn = 4;
constexpr int levelInfo = 6;

// A fixed line, ending in "\n" as every line does.
inline void logMainLine(int level, const char* text)
{
    Logger* logger = Logger::getInstance();
    if (logger->isEnabled(Logger::MODULE_MAIN, level))
        logger->log(text, Logger::MODULE_MAIN, level);
}

// A line that compose(std::ostream&) writes.
template <typename Compose>
void logMain(int level, Compose compose)
{
    Logger* logger = Logger::getInstance();
    if (!logger->isEnabled(Logger::MODULE_MAIN, level))
        return;
    std::ostringstream text;
    compose(text);
    logger->log(text.str(), Logger::MODULE_MAIN, level);
}
