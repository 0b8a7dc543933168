#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

// One run of a workload, in seconds.
struct TSample {
    double Cpu = 0;
    double Wall = 0;
};

// The calling thread's CPU time: the client's own cost, without the time it waits for the
// server, which on this machine dominates the wall time of streaming.
inline double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

template <typename Work>
TSample Measure(Work&& work) {
    using Clock = std::chrono::steady_clock;
    const double cpuStart = ThreadCpuSeconds();
    const Clock::time_point wallStart = Clock::now();
    work();
    const std::chrono::duration<double> wall = Clock::now() - wallStart;
    return {ThreadCpuSeconds() - cpuStart, wall.count()};
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace bench
