// Writes the eight files of a crash for the whole-process benchmark.
//
//   make_crash_files DIR TOTAL_MEGABYTES
#include <cstdio>
#include <cstdlib>

#include "bench/crash_files.h"

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_crash_files DIR TOTAL_MEGABYTES\n");
        return 2;
    }
    const unsigned long long megabytes = std::strtoull(argv[2], nullptr, 10);
    if (megabytes == 0) {
        std::fprintf(stderr, "make_crash_files: %s is no size in megabytes\n", argv[2]);
        return 2;
    }
    if (!bench::writeCrashFiles(argv[1], megabytes << 20)) {
        std::perror("make_crash_files");
        return 1;
    }
    return 0;
}
