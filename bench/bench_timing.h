#pragma once

// Wall-clock and processor time of a piece of work. The processor time (user and system, which
// includes the kernel's copies) is what the benchmarks compare: the machine may be busy with
// other work, which shows only in the wall-clock time.

#include <chrono>
#include <ctime>

namespace zel::bench {

struct timing {
    double wall_s = 0;
    double cpu_s = 0;
};

template <class Work>
timing measure(Work&& work) {
    const auto wall = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(),
            static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC};
}

} // namespace zel::bench
