#pragma once

// The medians every benchmark prints: each run's time is taken apart from
// its setup, and the middle one is reported, so that one slow run (a cache
// flush, another process) does not move the figure.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace zarvo::bench {

template <typename T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median time of `op` over `runs` runs, in milliseconds; `setup` runs
// before each and is not timed.
inline double medianMillis(int runs, const std::function<void()>& setup,
                           const std::function<void()>& op) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        setup();
        const auto start = std::chrono::steady_clock::now();
        op();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    return median(times);
}

}  // namespace zarvo::bench
