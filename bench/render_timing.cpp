// Whole-process timing of quillmere-render: runs it a number of times with the
// given arguments and prints the median and best wall time and the largest peak
// memory. Usage: render_timing RUNS PROGRAM ARGS...
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <vector>

extern char** environ;

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: render_timing RUNS PROGRAM [ARGS...]\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    if (runs < 1 || runs > 10000) {
        std::fprintf(stderr, "render_timing: RUNS must be 1 .. 10000\n");
        return 2;
    }
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    std::vector<double> ms;
    long peakKiB = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[2], &quiet, nullptr, argv + 2, environ) != 0) {
            std::perror("render_timing: cannot start the program");
            return 2;
        }
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "render_timing: the program failed\n");
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
    }
    std::sort(ms.begin(), ms.end());
    const double median = runs % 2 ? ms[runs / 2] : (ms[runs / 2 - 1] + ms[runs / 2]) / 2.0;
    std::printf("median %.2f ms, best %.2f ms, peak memory %.1f MiB over %d runs\n", median, ms.front(),
                peakKiB / 1024.0, runs);
    return 0;
}
