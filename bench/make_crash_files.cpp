// Writes the eight files of a crash for the whole-process benchmark: made
// up, or from two core images and real log files.
//
//   make_crash_files DIR TOTAL_MEGABYTES [CORE_A CORE_B LOG...]
#include <cstdio>
#include <cstdlib>

#include "bench/crash_files.h"

int main(int argc, char* argv[])
{
    if (argc != 3 && argc < 6) {
        std::fprintf(stderr, "usage: make_crash_files DIR TOTAL_MEGABYTES [CORE_A CORE_B LOG...]\n");
        return 2;
    }
    const unsigned long long megabytes = std::strtoull(argv[2], nullptr, 10);
    if (megabytes == 0) {
        std::fprintf(stderr, "make_crash_files: %s is no size in megabytes\n", argv[2]);
        return 2;
    }
    bool written = false;
    if (argc == 3) {
        written = bench::writeCrashFiles(argv[1], megabytes << 20);
    } else {
        const std::string cores[2] = {argv[3], argv[4]};
        written = bench::writeCrashFilesFrom(argv[1], megabytes << 20, cores, {argv + 5, argv + argc});
    }
    if (!written) {
        std::perror("make_crash_files");
        return 1;
    }
    return 0;
}
