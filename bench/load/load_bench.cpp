// What loading the library costs a host: the CPU time of dlopen in a fresh process, against the baseline of loading
// the libraries it depends on (SDL2, libmpg123, libgsm) alone, side by side, each the median of its rounds.
//   load_bench LIBRARY DEPENDENCY... [--rounds N]
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

double CpuMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

// Loads `paths` in a child process and answers the CPU milliseconds it took, through a pipe.
double LoadInFreshProcess(const std::vector<const char*>& paths) {
    int channel[2];
    if (pipe(channel) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        const double start = CpuMilliseconds();
        for (const char* path : paths)
            if (!dlopen(path, RTLD_NOW)) _exit(1);
        const double spent = CpuMilliseconds() - start;
        if (write(channel[1], &spent, sizeof spent) != sizeof spent) _exit(1);
        _exit(0);
    }
    double spent = -1;
    if (read(channel[0], &spent, sizeof spent) != sizeof spent) spent = -1;
    close(channel[0]);
    close(channel[1]);
    waitpid(child, nullptr, 0);
    return spent;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 21;
    std::vector<const char*> library, dependencies;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = atoi(argv[++i]);
        } else if (library.empty()) {
            library.push_back(argv[i]);
        } else {
            dependencies.push_back(argv[i]);
        }
    }
    if (library.empty() || rounds < 1) {
        fprintf(stderr, "usage: load_bench LIBRARY DEPENDENCY... [--rounds N]\n");
        return 2;
    }
    std::vector<double> ours, baseline;
    for (int round = 0; round < rounds; ++round) {
        baseline.push_back(LoadInFreshProcess(dependencies));
        ours.push_back(LoadInFreshProcess(library));
    }
    const double base = Median(baseline), load = Median(ours);
    printf("dependencies alone %.2f ms CPU, the library %.2f ms CPU: %.2f ms more (%d rounds)\n", base, load,
           load - base, rounds);
    return base < 0 || load < 0;
}
