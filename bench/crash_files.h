#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The files a crashed host leaves behind, for the benchmarks. Made up: text
// logs in the host's log format, and minidump-like data of 4 KiB pages, half
// random and half zero, in a random order; the same seed and size always
// give the same bytes. Or taken from real process memory and real logs,
// which compress as a user's files do.
namespace bench {

struct Random {
    std::uint64_t state;
    std::uint64_t next();
    std::uint64_t below(std::uint64_t n) { return next() % n; }
};

// Appends size bytes of log lines to out.
void appendLogText(std::string& out, std::uint64_t size, Random& random);
// Appends size bytes of minidump-like pages to out.
void appendDumpData(std::string& out, std::uint64_t size, Random& random);

// Writes the eight files of a crash into dir, totalBytes in all: a third in
// the six logs, the rest in the two minidumps. False, with errno set, when
// a file cannot be written.
bool writeCrashFiles(const std::string& dir, std::uint64_t totalBytes);

// The same eight files from real data: each minidump holds the pages of one
// process's core image (gcore) that are not all zero, the logs the text of
// real log files, both repeated as often as the size asks. False, with
// errno set, when a file cannot be read or written.
bool writeCrashFilesFrom(const std::string& dir, std::uint64_t totalBytes, const std::string (&cores)[2],
                         const std::vector<std::string>& logs);

extern const char* const crashFileNames[8];

} // namespace bench
