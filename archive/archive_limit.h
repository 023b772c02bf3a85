#pragma once

#include <cstdint>

// The largest report.zip a mail service is trusted to carry: 14 MB, about
// 19.2 MB once base64 has made it mail, inside what Outlook.com, iCloud,
// Gmail and Yahoo accept. PELLICOR_ARCHIVE_LIMIT_MB sets it in whole
// megabytes of 1,000,000 bytes, 0 for no limit.
constexpr std::uint64_t megabyte = 1000000;
constexpr std::uint64_t defaultArchiveLimit = 14 * megabyte;
constexpr std::uint64_t largestArchiveLimitMegabytes = 100000;
constexpr std::uint64_t noArchiveLimit = 0;
extern const char* const archiveLimitVariable;  // "PELLICOR_ARCHIVE_LIMIT_MB"

// The limit in bytes. A value that is no whole number from 0 to
// largestArchiveLimitMegabytes is ignored with one warning naming it.
std::uint64_t archiveLimit();
