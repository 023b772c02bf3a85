#pragma once

#include <cstdint>
#include <string>

// The files a crashed host leaves behind, made up for the benchmarks: text
// logs in the host's log format, and minidump-like data of 4 KiB pages, half
// random and half zero, in a random order. The same seed and size always
// give the same bytes, so Pellicor and its peer see identical inputs.
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

extern const char* const crashFileNames[8];

} // namespace bench
