#include "archive/archive_limit.h"

#include <cstdlib>
#include <string>

#include "logging/log_line.h"

const char* const archiveLimitVariable = "PELLICOR_ARCHIVE_LIMIT_MB";

std::uint64_t archiveLimit()
{
    const char* value = std::getenv(archiveLimitVariable);
    if (value == nullptr)
        return defaultArchiveLimit;
    const std::string text = value;
    // Digits only: strtoull would take blanks, a sign or a hexadecimal "0x".
    std::uint64_t megabytes = 0;
    bool whole = !text.empty();
    for (const char c : text) {
        whole = whole && c >= '0' && c <= '9';
        megabytes = whole ? megabytes * 10 + static_cast<std::uint64_t>(c - '0') : 0;
        whole = whole && megabytes <= largestArchiveLimitMegabytes;
    }
    if (whole)
        return megabytes * megabyte;
    logLine(Logger::MODULE_MAIN, Logger::levelWarn, "Ignoring ", archiveLimitVariable, "=\"", text,
            "\": not a whole number of megabytes from 0 to ", largestArchiveLimitMegabytes,
            "; the archive stays within ", defaultArchiveLimit, " bytes\n");
    return defaultArchiveLimit;
}
