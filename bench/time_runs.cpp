// Starts a program N times, one after the other, and prints the median and
// the fastest wall time of a run and the mean processor time (user and
// system, the program's children included) of a run, in milliseconds:
// "median_ms min_ms cpu_ms". On a busy machine the processor time shows what
// the wall time would be without the wait for a free core. The program's
// output goes to /dev/null; any failed run fails the measurement.
//
//   time_runs N PROGRAM [ARGUMENT...]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char** environ;

int main(int argc, char* argv[])
{
    const int runs = argc > 2 ? std::atoi(argv[1]) : 0;
    if (runs <= 0) {
        std::fprintf(stderr, "usage: time_runs N PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1 /* O_WRONLY */, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1 /* O_WRONLY */, 0);

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawnp(&pid, argv[2], &actions, nullptr, argv + 2, environ) != 0) {
            std::perror(argv[2]);
            return 1;
        }
        int status = 0;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "time_runs: run %d of %s failed\n", i + 1, argv[2]);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const double cpuMs = (children.ru_utime.tv_sec + children.ru_stime.tv_sec) * 1e3
                         + (children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e3;
    std::sort(times.begin(), times.end());
    std::printf("%.3f %.3f %.3f\n", times[times.size() / 2], times.front(), cpuMs / runs);
    return 0;
}
